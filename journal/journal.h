#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>

// The draw journal Rindell.log: one JSON object a line, appended and flushed to
// disk, never rewritten or truncated. Every line carries "seq" (1, 2, 3, ... over
// the life of the file), "time" (ISO 8601 with the local offset), "event" and
// "prev", the SHA-256 in hex of the previous line's bytes (64 zeros on the first),
// so that any change, removal or reordering of a line breaks the chain.
class Journal
{
  public:
    // The journal beside the settings file.
    static QString defaultPath();
    // A start reads the journal whole; one larger than this (over a million
    // events) is not opened rather than read into memory. It is moved aside by
    // hand, and a new one begins.
    static constexpr qint64 MaxSize = qint64(256) << 20;

    // Opens the journal at `path`, creating it exclusively when there is none;
    // only a regular file of at most MaxSize bytes is used, never through a link.
    // A last line that a kill cut short gets its line end and a "recovered" event
    // chained to the last whole line. Nothing when the file cannot be used.
    // `content`, when given, receives the bytes found, for a caller that replays
    // them.
    static std::unique_ptr<Journal> open(const QString& path, QByteArray* content = nullptr);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Appends one event with its chain fields and flushes it to disk; false when
    // it could not be made durable.
    bool append(const QString& event, QJsonObject fields = {});
    // The SHA-256 of the last line: what an operator announces.
    QString head() const { return QString::fromLatin1(m_head); }
    const QString& path() const { return m_path; }

    // The journal the running program keeps; every warning it shows is noted there.
    static Journal* current();
    static void setCurrent(Journal* journal);

    // SHA-256 in hex of a line's bytes, without its line end.
    static QByteArray hash(QByteArrayView line);
    static QByteArray zeroHash();
    // SHA-256 in hex of the running executable, for the start event.
    static QByteArray programHash();

  private:
    Journal(QString path, int fd, qint64 seq, QByteArray head, qint64 lines);
    bool write(const QString& event, QJsonObject fields);
    // Ends a line that a kill or a failed write left without its line end, and
    // notes it in a "recovered" event chained to the last whole line.
    bool recover();

    QString m_path;
    int m_fd;
    qint64 m_seq;
    QByteArray m_head;
    qint64 m_lines;      // whole lines in the file
    bool m_torn = false; // the file may end in part of a line
};
