#pragma once

#include "journal/replay.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QDateTime;

// The current series as a CSV file to take away: UTF-8 with a BOM (so that Excel
// in Japan opens it), CRLF line ends, RFC 4180 quoting, the header
// 回,番号,日時,景品,氏名, a row a draw in draw order (the number in three digits,
// the time from the journal or empty, the prize of the draw and the name of the
// number from the lists beside the journal, or empty), and last the line
// "# head <sha256>".
namespace Export {

QByteArray csvOf(const QList<std::int16_t>& series, const QList<Replay::Draw>& journal,
                 const QString& head, const QHash<std::int32_t, QString>& prizes = {},
                 const QHash<std::int32_t, QString>& names = {});

// The series of the settings file, with the times and head of its journal;
// the prize and name lists beside the journal as they stand; nothing when the
// journal is missing, cannot be read or is broken, since the CSV would then prove
// nothing.
std::optional<QByteArray> csvOfFiles(const QString& iniPath, const QString& journalPath);

struct Failure
{
    bool refused;   // the destination is not one an export may write
    QString reason; // for the operator
};

// Writes the file whole or not at all. Never over one of `records` (the
// settings file and the journal, by identity: whatever path, link or hard link
// names them), through a link, or over a file that is not an export.
std::optional<Failure> write(const QString& path, const QByteArray& csv,
                             const QStringList& records);

// "Rindell-YYYYMMDD-HHMM.csv" for the moment `now`.
QString defaultFileName(const QDateTime& now);

} // namespace Export
