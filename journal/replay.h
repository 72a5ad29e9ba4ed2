#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "journal/sha256.h"

#include <cstdint>
#include <optional>
#include <utility>

// Reading a journal back: the one reader that the start, the verifier and the
// export share. It streams the file line by line (memory bounded by the longest
// line it accepts), checks the chain and everything the program guarantees of
// the events, and replays the series.
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
    qint64 events = 0;  // event lines
    QString head;       // SHA-256 of the last event line
    qint64 seq = 0;     // the seq that line carries
    QDateTime lastTime; // the last time the reader checked
    QList<Draw> series; // the current series, in draw order
    // The last draw of the series was never revealed: its run ended without an
    // end line, and no reveal names it.
    bool revealPending = false;
    // A clear that is the last thing the journal did to the series, and the
    // series it cleared.
    std::optional<QList<Draw>> lastCleared;
    // Recoveries and adoptions: how many, and the first few (MaxNotes) in order
    // for the verifier's line, so that memory stays bounded however many there are.
    static constexpr qsizetype MaxNotes = 5;
    QStringList notes;
    qint64 recoveries = 0;
    qint64 adoptions = 0;
    // The last range the journal stored (from, to); nothing before the first.
    std::optional<std::pair<int, int>> range;
    // An adoption that no warning followed: the operator may never have been told.
    bool adoptionUntold = false;
    // Lines after the last event that no recovery covers yet (a kill's leftovers).
    qint64 tornLine = 0;   // the first of them; 0 when there are none
    QByteArray tornSha256; // of their bytes, without the last line end
    bool endsWithoutLineEnd = false;
    // The only break is that torn tail, which a start recovers.
    bool wholeButTail = false;
    // The line whose hash was asked for, and the series as it stood there.
    qint64 headLine = 0;
    QString headFile; // the segment that holds it, when the journal has several
    QList<Draw> seriesAtHead;
};

// Fed with a journal's bytes in pieces of any size; says what it found at the end.
class Reader
{
  public:
    // A longer line cannot be one the program wrote (the largest, an adoption of
    // a settings file of at most 1 MiB, stays below this).
    static constexpr qsizetype MaxLine = qsizetype(2) << 20;

    // `wantedHead`, when given, is looked for among the lines' hashes. A reader
    // `fromOpening` reads the current segment alone: a segment line that opens it
    // gives the state of the history before it. Otherwise the journal is read
    // from its first segment, and every segment line is checked against the
    // history read.
    explicit Reader(QByteArray wantedHead = {}, bool fromOpening = false);
    // The segments of a journal are fed one after the other, each named first
    // (a journal of one file needs no name).
    void beginFile(const QString& name);
    void feed(QByteArrayView bytes);
    Result finish();

    // A line's fields, read without building a JSON document where the line is
    // spelled as the program spells it.
    struct Event;

  private:
    void line(QByteArrayView bytes);
    // Adds a line to the torn bytes, which begin at `line` when none are open.
    void tear(qint64 line, QByteArrayView bytes);
    // `spelled`: whether the line is exactly as the program writes these fields.
    void event(const Event& event, QByteArrayView bytes, bool spelled);
    // Empty when the event is one the program could have written here.
    QString check(const Event& event, bool spelled);
    void apply(const Event& event);
    void breakAt(qint64 line, const QString& reason);
    // Takes the state that the opening segment line carries.
    void seed(const Event& event);
    // The end of a file's bytes: its last line, and what a stop left.
    void endFile();
    void note(const QString& text);

    QByteArray m_wantedHead;
    bool m_fromOpening = false;
    QString m_file;        // the segment being read, when there are several
    qsizetype m_files = 0; // how many have begun
    QByteArray m_pending;  // the line being read
    bool m_overlong = false;
    qint64 m_line = 0;
    Result m_result;
    QByteArray m_previous; // hash of the last event line
    Sha256 m_torn;
    Sha256 m_lineHash;
    bool m_tornOverlong = false;      // the torn bytes hold a line longer than MaxLine
    bool m_started = false;           // a start was seen
    bool m_inRun = false;             // since a start, before its end
    std::optional<qint64> m_lastTime; // ms since the epoch, of the last time checked
    QByteArray m_lastTimeText;        // as that line wrote it
    bool m_revealed = true;           // the last draw of the series
};

// A whole journal in memory.
Result readBytes(const QByteArray& content);
// The current segment from a descriptor's position to its end, as a start reads
// it; nothing when a read fails.
std::optional<Result> readDescriptor(int fd, const QByteArray& wantedHead = {});
// The whole journal whose current segment is at `journalPath`: the closed
// segments beside it, oldest first, and then it, read as one chain. Nothing
// when a file cannot be used. Each is opened as the settings file is, so that a
// FIFO or a device at a name never blocks the program.
std::optional<Result> readFile(const QString& journalPath, const QByteArray& wantedHead = {});
// The closed segments beside the current segment at `journalPath`, oldest first
// (none unless it is named Rindell.log).
QStringList closedSegments(const QString& journalPath);
// The name a segment whose last line carries `lastSeq` is closed under:
// Rindell-0000012345.log, which sorts by time and no other file of the folder has.
QString closedSegmentName(qint64 lastSeq);

// The numbers of a series, in draw order.
QList<std::int16_t> seriesNumbers(const QList<Draw>& series);

// The series the settings file at `iniPath` holds, as the program reads it.
QList<std::int16_t> settingsSeries(const QString& iniPath);

// The settings file's current series (as the program reads it) against the
// journal's: empty when they agree, otherwise what differs.
QString compareWithSettings(const QList<Draw>& journal, const QList<std::int16_t>& settings);

// The settings file that belongs to the journal at `journalPath`: `programIni`
// (the program's own) when that leads to this journal, otherwise a Rindell.ini
// beside the journal that is a file of its own (no link) and leads to it; empty
// when no settings file is known to belong to it.
QString settingsFileOf(const QString& journalPath, const QString& programIni);

// `rindell --verify [FILE] [--head HEX]`: the lines to print and the exit status
// (0 whole, 1 broken or the head not in the chain). The journal's series is
// compared with the settings file at `settingsPath`, or with none when it is
// empty; the OK line says which.
std::pair<QString, int> verify(const QString& journalPath, const QByteArray& wantedHead = {},
                               const QString& settingsPath = {});

} // namespace Replay
