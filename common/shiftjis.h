#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The settings file and byte-counted input limits use the Shift-JIS of Japanese
// Windows (code page 932); everywhere else text is Unicode.
namespace ShiftJis {

// Whether a working code page 932 converter is at hand: checked at start-up,
// since without one every write would store empty text.
bool isAvailable();
// Nothing when the converter is missing or fails; pure ASCII never needs it.
std::optional<QByteArray> encode(QStringView text);
QString decode(QByteArrayView bytes);
// Bytes that `text` takes in code page 932: two for a full-width character.
qsizetype byteLength(QStringView text);

// Tests only: the converter is looked up by this name instead (an unknown name
// stands for a platform without one). On Windows, which converts code page 932
// itself, any name but "windows-31j" stands for a system without it.
void useCodecNameForTesting(const char* name);

} // namespace ShiftJis
