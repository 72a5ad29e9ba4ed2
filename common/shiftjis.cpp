#include "common/shiftjis.h"

#include <algorithm>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

#ifdef Q_OS_WIN

// Windows converts code page 932 itself; Qt's own converter may lack it there.
// Zero stands for a system without it (tests only).
UINT codePage = 932;

std::optional<QByteArray> convert(QStringView text)
{
    // No best fit, which would store a look-alike (e for é) or "?": a character
    // without a code of its own fails the conversion. (0 would be CP_ACP.)
    if (codePage == 0)
        return std::nullopt;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    BOOL defaulted = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()),
                                         nullptr, 0, nullptr, &defaulted);
    if (size <= 0 || defaulted)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), bytes.data(),
                            size, nullptr, &defaulted) != size ||
        defaulted)
        return std::nullopt;
    return bytes;
}

QString convert(QByteArrayView bytes)
{
    if (codePage == 0)
        return QString(bytes.size(), QChar::ReplacementCharacter);
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    QString text(qMax(size, 0), Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), size);
    return text;
}

#else

// "windows-31j" differs from strict Shift_JIS where Windows does (0x8160 is U+FF5E,
// NEC extensions); the file must read the same as it does on a Japanese system.
QByteArray codecName = "windows-31j";

// Opening the converter costs more than converting a line and most files are
// pure ASCII: one converter each, opened on first need, reset before every use.
QStringEncoder& encoder()
{
    static QStringEncoder instance(codecName.constData());
    return instance;
}

QStringDecoder& decoder()
{
    static QStringDecoder instance(codecName.constData());
    return instance;
}

std::optional<QByteArray> convert(QStringView text)
{
    QStringEncoder& converter = encoder();
    if (!converter.isValid())
        return std::nullopt;
    converter.resetState();
    QByteArray bytes = converter.encode(text);
    if (converter.hasError())
        return std::nullopt;
    return bytes;
}

QString convert(QByteArrayView bytes)
{
    QStringDecoder& converter = decoder();
    if (!converter.isValid())
        return QString(bytes.size(), QChar::ReplacementCharacter);
    converter.resetState();
    return converter.decode(bytes);
}

#endif

} // namespace

namespace ShiftJis {

bool isAvailable()
{
    // 抽選 in code page 932, both ways.
    const QByteArray expected("\x92\x8A\x91\x49");
    const QString text = QStringLiteral("抽選");
    return convert(QStringView(text)) == expected && convert(QByteArrayView(expected)) == text;
}

std::optional<QByteArray> encode(QStringView text)
{
    if (isAscii(text))
        return text.toLatin1();
    return convert(text);
}

QString decode(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return convert(bytes);
}

qsizetype byteLength(QStringView text)
{
    const std::optional<QByteArray> bytes = encode(text);
    return bytes ? bytes->size() : text.size() * 2;
}

void useCodecNameForTesting(const char* name)
{
#ifdef Q_OS_WIN
    codePage = qstrcmp(name, "windows-31j") == 0 ? 932 : 0;
#else
    codecName = name;
    encoder() = QStringEncoder(name);
    decoder() = QStringDecoder(name);
#endif
}

} // namespace ShiftJis
