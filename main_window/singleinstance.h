#pragma once

#include <QString>

// Whether another instance of the program already runs on the same settings file.
// Decided once per process; the answer and the lock that backs it last until exit.
namespace SingleInstance {

bool anotherIsRunning();

// The lock that guards `settingsFile`: in the user's own runtime folder, which no
// other user can write, named after the file that every link leads to, so two
// paths to one file share one lock. Empty when there is no such folder.
QString lockPath(const QString& settingsFile);

} // namespace SingleInstance
