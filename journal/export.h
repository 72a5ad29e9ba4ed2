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

// The series the journal's head commits to, with its times and head, and the
// prize and name lists beside the journal as they stand; nothing when the journal
// is missing, cannot be read or is broken, or the settings file holds another
// series, since the CSV would then prove nothing.
std::optional<QByteArray> csvOfFiles(const QString& iniPath, const QString& journalPath);

struct Failure
{
    bool refused;   // the destination is not one an export may write
    QString reason; // for the operator
};

// Writes the file whole or not at all, through a temporary file of a unique
// name created exclusively beside it, every step relative to the one folder
// opened first. Never over one of `records` (the settings file and the journal,
// by identity: whatever path, link or hard link names them), through a link,
// over a read-only file or one that is not an export, nor (on Windows) to a
// device name, a data stream or a name Windows cannot hold: each of those is
// `refused`. Only the temporary file it created is ever removed.
std::optional<Failure> write(const QString& path, const QByteArray& csv,
                             const QStringList& records);

// "Rindell-YYYYMMDD-HHMM.csv" for the moment `now`.
QString defaultFileName(const QDateTime& now);

} // namespace Export
