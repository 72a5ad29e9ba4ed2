#pragma once

#include <QStringList>

#include <cstdio>
#include <optional>

// The options that run without a window or a display:
//   --sample-draws COUNT --range FROM,TO   COUNT first draws, one a line
//   --sample-series COUNT --range FROM,TO  COUNT whole series, one a line
//   --sample-raw BYTES                     the generator's raw output
//   --verify [FILE]                        checks the draw journal (Rindell.log)
//   --export FILE                          the current series as a CSV file
// The sampling options never touch the settings file; the others only read it.

// Whether `arguments` (without the program name) ask for one of them.
bool isCommand(const QStringList& arguments);
// Runs it (a QCoreApplication exists); the exit status: 0 done, 1 failed or a
// broken journal, 2 bad usage.
int runCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err);
