#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Journals as the program writes them, from a short script of words: "start",
// "end", "clear", "range=F,T", "draw=N" (the next ordinal, range 0..999), "reveal"
// and "void" (of the last draw).
namespace JournalFixture {

// Appends the script's events to the journal at `path`; the file's bytes after.
QByteArray write(const QString& path, const QString& script);

// The "event" of every line of a journal, in order.
QStringList events(const QByteArray& journal);

} // namespace JournalFixture
