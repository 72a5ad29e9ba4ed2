#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include "journal/replay.h"

#include <memory>

// The draw journal Rindell.log: one JSON object a line, appended and flushed to
// disk, never rewritten or truncated. Every line carries "seq" (1, 2, 3, ... over
// the life of the file), "time" (ISO 8601 with the local offset), "event" and
// "prev", the SHA-256 in hex of the previous line's bytes (64 zeros on the first),
// so that any change, removal or reordering of a line breaks the chain.
class Journal
{
  public:
    // The journal that goes with the settings file.
    static QString defaultPath();
    // A start reads only the current segment, Rindell.log. One that has grown
    // past this is closed at the next start (renamed Rindell-<its last seq>.log)
    // and a new one begins with a segment line that carries what a start needs
    // of the history: about 5,000 lines, a few milliseconds to read, however
    // long the history is.
    static constexpr qint64 SegmentSize = qint64(1) << 20;

    // Opens the journal at `path`, creating it exclusively (mode 0600) when there
    // is none. Only a regular file of our own with no other name is used, never
    // through a link; on Windows the handle lets others read it, never write,
    // rename or delete it. What a kill left of a line is covered, in one write,
    // by a "recovered" event that carries the hash of those bytes and chains to
    // the last event. A segment past SegmentSize is closed; a missing or empty
    // one after closed segments begins from the newest of them. Nothing when
    // the file cannot be used. `found`, when given, receives what the reading
    // found, for a caller that reconciles with it.
    static std::unique_ptr<Journal> open(const QString& path, Replay::Result* found = nullptr);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Appends one event with its chain fields and flushes it to disk; false when
    // it could not be made durable, or the path no longer names this file.
    bool append(const QString& event, QJsonObject fields = {});
    // Whether the path still names the file this journal writes, and only it.
    bool isStillNamed() const;
    // Reads the file again through its descriptor, as a start reads it, and goes
    // on from what it holds (after a failed write, whose line may or may not be
    // there); nothing when it cannot be read or is no longer named.
    std::optional<Replay::Result> reread();
    // Only the benchmark's preparation of long histories writes without flushing
    // each line to disk.
    void setFlushing(bool flushing) { m_flushing = flushing; }
    // The SHA-256 of the last line: what an operator announces.
    QString head() const { return QString::fromLatin1(m_head); }
    const QString& path() const { return m_path; }

    // SHA-256 in hex of a line's bytes, without its line end.
    static QByteArray hash(QByteArrayView line);
    static QByteArray zeroHash();
    // SHA-256 in hex of the running executable, for the start event.
    static QByteArray programHash();

  private:
    Journal(QString path, int fd);
    // The line an event gets next, with its chain fields, and its time.
    QByteArray compose(const QString& event, QJsonObject fields, QDateTime& time) const;
    // Puts a new segment at the path, whole or not at all: its segment line,
    // which continues from `found`, is written to a temporary file that is
    // then renamed to the path, where nothing may be.
    bool beginSegment(const Replay::Result& found);
    // Closes this segment under its closed name and goes on in a new one; false
    // when no segment could be put in its place (the next start does it).
    bool closeSegment(const Replay::Result& found);
    // Goes on from what a reading found: its last event, and a recovery of what
    // a kill or a failed write left behind it.
    bool continueFrom(const Replay::Result& found);
    bool write(const QString& event, QJsonObject fields, QByteArrayView before = {});

    QString m_path;
    int m_fd;
    qint64 m_seq = 0;
    QByteArray m_head;
    QDateTime m_lastTime; // of the last line
    bool m_torn = false;  // a failed write may have left part of a line
    bool m_flushing = true;
};
