#pragma once

#include <QStringList>

#include <cstdio>
#include <optional>

// The options that run without a window, a display or the settings file:
//   --sample-draws COUNT --range FROM,TO   COUNT first draws, one a line
//   --sample-series COUNT --range FROM,TO  COUNT whole series, one a line
//   --sample-raw BYTES                     the generator's raw output
// Nothing when `arguments` (without the program name) ask for none of them: the
// window starts. Otherwise the exit status: 0 done, 1 output failed, 2 bad usage.
std::optional<int> RunCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err);
