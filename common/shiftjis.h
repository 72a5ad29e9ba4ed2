#pragma once

#include <QByteArray>
#include <QString>

// The settings file and byte-counted input limits use the Shift-JIS of Japanese
// Windows (code page 932); everywhere else text is Unicode.
namespace ShiftJis {

QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);
// Bytes that `text` takes in code page 932: two for a full-width character.
qsizetype byteLength(QStringView text);

} // namespace ShiftJis
