#pragma once

// Whether another instance of the program already runs on the same settings file.
// Decided once per process; the answer and the lock that backs it last until exit.
namespace SingleInstance {

bool anotherIsRunning();

} // namespace SingleInstance
