#pragma once

// Whether another instance of the program already runs on the same record.
// Decided once per process. The lock is the journal itself, held by the running
// instance for its whole run: no folder that another user could prepare is
// involved, and every path, link or mount that reaches the one journal shares it.
namespace SingleInstance {

bool anotherIsRunning();

} // namespace SingleInstance
