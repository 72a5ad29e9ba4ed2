#include "common/shiftjis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// "windows-31j" differs from strict Shift_JIS where Windows does (0x8160 is U+FF5E,
// NEC extensions); the file must read the same as it does on a Japanese system.
constexpr const char* CodePage = "windows-31j";

} // namespace

namespace ShiftJis {

// Opening the converter costs more than converting a line, and a settings file
// is parsed line by line: one converter each, reset before every use.
QByteArray encode(QStringView text)
{
    thread_local QStringEncoder encoder(CodePage);
    Q_ASSERT(encoder.isValid());
    encoder.resetState();
    return encoder.encode(text);
}

QString decode(QByteArrayView bytes)
{
    thread_local QStringDecoder decoder(CodePage);
    Q_ASSERT(decoder.isValid());
    decoder.resetState();
    return decoder.decode(bytes);
}

qsizetype byteLength(QStringView text)
{
    return encode(text).size();
}

} // namespace ShiftJis
