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

// The converter of one code page, by its name. "windows-31j" differs from strict
// Shift_JIS where Windows does (0x8160 is U+FF5E, NEC extensions): the file must
// read the same as on a Japanese system. Another name stands for a system without
// the converter.
class Codec
{
  public:
    explicit Codec(const char* name = "windows-31j");
    bool isAvailable() const;
    std::optional<QByteArray> encode(QStringView text) const;
    QString decode(QByteArrayView bytes) const;

  private:
    std::optional<QByteArray> convert(QStringView text) const;
    QString convert(QByteArrayView bytes) const;
#ifdef Q_OS_WIN
    unsigned m_codePage;
#else
    QByteArray m_name;
#endif
};

} // namespace ShiftJis
