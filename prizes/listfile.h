#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QLatin1String>
#include <QString>

#include <cstdint>

namespace Prizes {

// Beside the settings file, in the folder where the journal lives: one row a draw,
// 回,景品 (the ordinal from 1, the prize), and one row a number, 番号,氏名 (0..999,
// the holder's name).
constexpr QLatin1String PrizesFileName("Rindell-prizes.csv");
constexpr QLatin1String NamesFileName("Rindell-names.csv");

enum class Key {
    Ordinal, // 1 and above
    Number,  // 0..999
};

// What a list file holds, and what of it was skipped.
struct ListFile
{
    // The text of each key; a key without text is not listed.
    QHash<std::int32_t, QString> texts;
    // The first line of a row that was skipped, from 1; 0 when none was.
    qsizetype firstBadLine = 0;
    // Something stands at the name that was not read at all: not a regular file,
    // over 1 MiB, unreadable.
    bool unreadable = false;
};

// UTF-8 (a BOM or none) where the bytes are valid UTF-8, else Shift-JIS (code
// page 932), as a spreadsheet saves them.
QString decodeText(QByteArrayView bytes);

// The rows of a list: the first cell a whole number (an optional first row whose
// first cell is none is a header), the second the text. Skipped: a row that cannot
// be read, a key out of its range, a key already listed (the first row wins).
// Rows without a key and a text (blank lines) list nothing and are passed over.
ListFile parseList(QByteArrayView bytes, Key key);

// The file at `path`, opened as the settings file is (a FIFO or a device is
// never waited on); nothing at the name is an empty list.
ListFile readList(const QString& path, Key key);

// The warning for a list that was not read whole, naming the file and its first
// skipped line; empty when there is nothing to say.
QString warningFor(const QString& fileName, const ListFile& list);

} // namespace Prizes
