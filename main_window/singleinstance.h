#pragma once

// Whether another instance of the program already runs on the same record.
// Decided once per process, on the lock that the running instance holds for its
// whole run (InstanceLock): no folder that another user could prepare is
// involved, and every path, link or mount that reaches the record shares it.
namespace SingleInstance {

bool anotherIsRunning();

} // namespace SingleInstance
