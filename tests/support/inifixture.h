#pragma once

#include <QByteArray>
#include <QString>

// The settings file beside the test binary, which the program's procedures use.
namespace IniFixture {

QString path();
void write(const QByteArray& content);
// The file, and a journal that agrees with it: as a start that took its series
// over and told the operator leaves them.
void writeRecorded(const QByteArray& content);
QByteArray read();
// Removes the file, or a folder standing in its place, the journal and the
// audience window's place file beside it.
void remove();
// The draw journal beside the settings file.
QString journalPath();
// The audience window's place file beside the settings file.
QString displayPath();
// Puts a folder where the file should be: every write fails, even for root.
void blockWithFolder();

} // namespace IniFixture
