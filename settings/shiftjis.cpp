#include "settings/shiftjis.h"

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

} // namespace

namespace ShiftJis {

#ifdef Q_OS_WIN

// Windows converts code page 932 itself; Qt's own converter may lack it there.
// Any other name stands for a system without it (0: none; 0 is never CP_ACP here).
Codec::Codec(const char* name) : m_codePage(qstrcmp(name, "windows-31j") == 0 ? 932 : 0) {}

std::optional<QByteArray> Codec::convert(QStringView text) const
{
    // No best fit, which would store a look-alike (e for é) or "?": a character
    // without a code of its own fails the conversion.
    if (m_codePage == 0)
        return std::nullopt;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    BOOL defaulted = FALSE;
    const int size = WideCharToMultiByte(m_codePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()),
                                         nullptr, 0, nullptr, &defaulted);
    if (size <= 0 || defaulted)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    if (WideCharToMultiByte(m_codePage, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), bytes.data(),
                            size, nullptr, &defaulted) != size ||
        defaulted)
        return std::nullopt;
    return bytes;
}

QString Codec::convert(QByteArrayView bytes) const
{
    if (m_codePage == 0)
        return QString(bytes.size(), QChar::ReplacementCharacter);
    const int size =
        MultiByteToWideChar(m_codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    QString text(qMax(size, 0), Qt::Uninitialized);
    MultiByteToWideChar(m_codePage, 0, bytes.data(), int(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), size);
    return text;
}

#else

Codec::Codec(const char* name) : m_name(name) {}

// A converter of its own for each conversion: only text beyond ASCII needs one.
std::optional<QByteArray> Codec::convert(QStringView text) const
{
    QStringEncoder converter(m_name.constData());
    if (!converter.isValid())
        return std::nullopt;
    QByteArray bytes = converter.encode(text);
    if (converter.hasError())
        return std::nullopt;
    return bytes;
}

QString Codec::convert(QByteArrayView bytes) const
{
    QStringDecoder converter(m_name.constData());
    if (!converter.isValid())
        return QString(bytes.size(), QChar::ReplacementCharacter);
    return converter.decode(bytes);
}

#endif

bool Codec::isAvailable() const
{
    // 抽選 in code page 932, both ways.
    const QByteArray expected("\x92\x8A\x91\x49");
    const QString text = QStringLiteral("抽選");
    return convert(QStringView(text)) == expected && convert(QByteArrayView(expected)) == text;
}

std::optional<QByteArray> Codec::encode(QStringView text) const
{
    if (isAscii(text))
        return text.toLatin1();
    return convert(text);
}

QString Codec::decode(QByteArrayView bytes) const
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return convert(bytes);
}

bool isAvailable()
{
    return Codec().isAvailable();
}

std::optional<QByteArray> encode(QStringView text)
{
    return Codec().encode(text);
}

QString decode(QByteArrayView bytes)
{
    return Codec().decode(bytes);
}

qsizetype byteLength(QStringView text)
{
    const std::optional<QByteArray> bytes = encode(text);
    return bytes ? bytes->size() : text.size() * 2;
}

} // namespace ShiftJis
