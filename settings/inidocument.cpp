#include "settings/inidocument.h"

#include "settings/shiftjis.h"

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");
const QByteArray Crlf("\r\n");

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

// Without the blanks around it; for the file's bytes and for decoded names alike.
template <typename View> View trimmed(View text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool sameName(QStringView a, QStringView b)
{
    return trimmed(a).compare(trimmed(b), Qt::CaseInsensitive) == 0;
}

QByteArrayView unquoted(QByteArrayView value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

} // namespace

IniDocument::IniDocument(QByteArray content) : m_bytes(std::move(content))
{
    parse();
}

void IniDocument::parse()
{
    m_lines.clear();
    qsizetype pos = m_bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    const qsizetype size = m_bytes.size();
    while (pos < size) {
        Line line{pos, pos, pos, Kind::Blank, {}, {}};
        while (line.end < size && m_bytes[line.end] != '\r' && m_bytes[line.end] != '\n')
            ++line.end;
        line.next = line.end;
        if (line.next < size && m_bytes[line.next] == '\r')
            ++line.next;
        if (line.next < size && m_bytes[line.next] == '\n')
            ++line.next;

        // Classified on the decoded text: a Shift-JIS trail byte can look like "[" or "]".
        const QByteArrayView raw = trimmed(text(line));
        if (raw.isEmpty()) {
            line.kind = Kind::Blank;
        } else if (raw.front() == ';') {
            line.kind = Kind::Comment;
        } else if (raw.front() == '[') {
            const QString header = ShiftJis::decode(raw.sliced(1));
            const qsizetype close = header.indexOf(u']');
            line.kind = Kind::Header;
            line.name = trimmed(close < 0 ? QStringView(header) : QStringView(header).left(close))
                            .toString();
        } else {
            const qsizetype equals = raw.indexOf('=');
            line.kind = Kind::Entry;
            line.key = trimmed(equals < 0 ? raw : raw.first(equals)).toByteArray();
            line.name = ShiftJis::decode(line.key);
        }
        m_lines.append(line);
        pos = line.next;
    }
}

QByteArrayView IniDocument::text(const Line& line) const
{
    return QByteArrayView(m_bytes).sliced(line.begin, line.end - line.begin);
}

qsizetype IniDocument::findSection(QStringView section, qsizetype from) const
{
    for (qsizetype i = from; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Header && sameName(m_lines[i].name, section))
            return i;
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Kind::Header)
        ++i;
    return i;
}

std::optional<QByteArray> IniDocument::value(QStringView section, QStringView key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    for (qsizetype i = header + 1, end = sectionEnd(header); i < end; ++i) {
        const Line& line = m_lines[i];
        if (line.kind != Kind::Entry || !sameName(line.name, key))
            continue;
        const QByteArrayView whole = text(line);
        const qsizetype equals = whole.indexOf('=');
        if (equals < 0)
            return QByteArray();
        return unquoted(trimmed(whole.sliced(equals + 1))).toByteArray();
    }
    return std::nullopt;
}

std::optional<QList<QByteArray>> IniDocument::sectionLines(QStringView section) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    QList<QByteArray> lines;
    for (qsizetype i = header + 1, end = sectionEnd(header); i < end; ++i) {
        const Line& line = m_lines[i];
        if (line.kind != Kind::Blank)
            lines.append(trimmed(text(line)).toByteArray());
    }
    return lines;
}

QList<std::pair<QByteArray, QByteArray>> IniDocument::allEntries(QStringView section) const
{
    QList<std::pair<QByteArray, QByteArray>> entries;
    for (qsizetype header = findSection(section); header >= 0;
         header = findSection(section, header + 1)) {
        for (qsizetype i = header + 1, end = sectionEnd(header); i < end; ++i) {
            const Line& line = m_lines[i];
            if (line.kind != Kind::Entry)
                continue;
            const QByteArrayView whole = text(line);
            const qsizetype equals = whole.indexOf('=');
            entries.append(
                {line.key, equals < 0 ? QByteArray() : whole.sliced(equals + 1).toByteArray()});
        }
    }
    return entries;
}

void IniDocument::splice(qsizetype at, qsizetype length, const QByteArray& with)
{
    m_bytes.replace(at, length, with);
    parse();
}

bool IniDocument::setValue(QStringView section, QStringView key, QStringView value)
{
    const std::optional<QByteArray> encodedSection = ShiftJis::encode(trimmed(section));
    const std::optional<QByteArray> encodedKey = ShiftJis::encode(trimmed(key));
    const std::optional<QByteArray> encodedValue = ShiftJis::encode(value);
    if (!encodedSection || !encodedKey || !encodedValue)
        return false;

    const qsizetype header = findSection(section);
    if (header < 0) {
        QByteArray added;
        if (!m_lines.isEmpty() && m_lines.back().next == m_lines.back().end)
            added += Crlf; // an unterminated last line first gets its line break
        added += '[' + *encodedSection + ']' + Crlf;
        added += *encodedKey + '=' + *encodedValue + Crlf;
        splice(m_bytes.size(), 0, added);
        return true;
    }

    qsizetype lastEntry = header;
    for (qsizetype i = header + 1, end = sectionEnd(header); i < end; ++i) {
        const Line& line = m_lines[i];
        if (line.kind != Kind::Entry)
            continue;
        if (sameName(line.name, key)) {
            // Keep the key as the file spells it; Windows ends a rewritten last line.
            QByteArray rewritten = line.key + '=' + *encodedValue;
            if (line.next == line.end)
                rewritten += Crlf;
            splice(line.begin, line.end - line.begin, rewritten);
            return true;
        }
        lastEntry = i;
    }

    const Line& after = m_lines[lastEntry];
    QByteArray added = *encodedKey + '=' + *encodedValue + Crlf;
    if (after.next == after.end)
        added.prepend(Crlf);
    splice(after.next, 0, added);
    return true;
}

bool IniDocument::removeSection(QStringView section)
{
    // Every matching section goes: deleting only the first would let a second
    // one with the same name take its place on the next read.
    QByteArray kept;
    kept.reserve(m_bytes.size());
    qsizetype copiedTo = 0;
    bool removed = false;
    for (qsizetype header = findSection(section); header >= 0;
         header = findSection(section, header + 1)) {
        const qsizetype end = sectionEnd(header);
        const qsizetype from = m_lines[header].begin;
        kept += QByteArrayView(m_bytes).sliced(copiedTo, from - copiedTo);
        copiedTo = end < m_lines.size() ? m_lines[end].begin : m_bytes.size();
        removed = true;
    }
    if (!removed)
        return false;
    kept += QByteArrayView(m_bytes).sliced(copiedTo);
    m_bytes = std::move(kept);
    parse();
    return true;
}
