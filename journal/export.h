#pragma once

#include "journal/replay.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QDateTime;

// The current series as a CSV file to take away: UTF-8 with a BOM (so that Excel
// in Japan opens it), CRLF line ends, RFC 4180 quoting, the header 回,番号,日時,
// a row a draw in draw order (the number in three digits, the time from the
// journal or empty), and last the line "# head <sha256>".
namespace Export {

QByteArray Csv(const QList<std::int16_t>& series, const QList<Replay::Draw>& journal,
               const QString& head);

// The series of the settings file, with the times and head of its journal.
QByteArray CsvOfFiles(const QString& iniPath, const QString& journalPath);

// Writes the file whole or not at all; the reason when it could not.
std::optional<QString> Write(const QString& path, const QByteArray& csv);

// "Rindell-YYYYMMDD-HHMM.csv" for the moment `now`.
QString DefaultFileName(const QDateTime& now);

} // namespace Export
