#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// Reading a journal back: its chain checked line by line, and the series it
// records (draws since the last clear, without voided ones).
namespace Replay {

struct Draw
{
    int ordinal;
    std::int16_t number;
    QString time; // as the journal wrote it
};

struct Result
{
    // Empty when whole; otherwise "line N: reason" of the first break.
    QString broken;
    qint64 events = 0;
    QString head;             // SHA-256 of the last whole line
    QList<Draw> series;       // the current series, in draw order
    QList<int> recoveredTorn; // line numbers of torn lines that a start recovered
};

// Checks the chain of `content` (a journal's bytes): every line a JSON object,
// "seq" 1, 2, 3, ... without a gap, each "prev" the SHA-256 of the line before.
// The one exception is a line that a kill cut short: it must be followed at once
// by a "recovered" event that names it and chains to the line before it.
Result Read(const QByteArray& content);

// The series a journal records, read from its end back to the last clear (or
// taking over) without checking the chain: what a start needs, in time that does
// not grow with the journal's length.
QList<Draw> CurrentSeries(const QByteArray& content);

// The series the settings file at `iniPath` holds, as the program reads it.
QList<std::int16_t> SettingsSeries(const QString& iniPath);

// The settings file's current series (as the program reads it) against the
// journal's: empty when they agree, otherwise what differs.
QString CompareWithSettings(const QList<Draw>& journal, const QList<std::int16_t>& settings);

// The journal at `journalPath` read and checked; nothing when there is none or it
// cannot be used. Read as the settings file is, so that a FIFO or a device at the
// name never blocks the program.
std::optional<Result> ReadFile(const QString& journalPath);

// `rindell --verify [FILE]`: the one line to print and the exit status (0 whole,
// 1 broken). The settings file is the Rindell.ini beside the journal.
std::pair<QString, int> Verify(const QString& journalPath);

} // namespace Replay
