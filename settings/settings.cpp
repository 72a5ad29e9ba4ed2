#include "settings/settings.h"

#include "common/const.h"
#include "settings/atomicfile.h"
#include "settings/inidocument.h"
#include "settings/shiftjis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const QString Nul(QChar(u'\0'));

// Text reaches the file as a NUL-terminated string, so it ends at its first NUL.
QString asCString(const QString& text)
{
    return Common::CutAtDelimiter(text, Nul);
}

QString resolve(const QString& file)
{
    return file.isEmpty() ? Common::GetIniFilePath() : asCString(file);
}

// What a fixed-size buffer of `size` bytes keeps of `bytes`, its terminating NUL included.
QByteArray fitted(QByteArray bytes, int size)
{
    bytes.truncate(size - 1);
    return bytes;
}

// UTF-16 is a text the Windows functions would read and write as UTF-16; adding
// Shift-JIS lines to it would corrupt it, so it counts as unusable.
bool isUtf16(const QByteArray& content)
{
    return content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF");
}

// The file's current content as a document; nothing when the file is unusable.
std::optional<IniDocument> load(const QString& path)
{
    std::optional<QByteArray> content = AtomicFile::read(path);
    // A settings file that is the journal (a link or a hard link to it) would be
    // renamed over the record at the first write.
    if (!content || isUtf16(*content) || AtomicFile::isSameFile(path, Common::journalPathFor(path)))
        return std::nullopt;
    return IniDocument(std::move(*content));
}

// A section as the platform delivers it: each line followed by a NUL, the list ended
// by a second NUL, cut to the buffer.
QByteArray sectionBuffer(const QList<QByteArray>& lines)
{
    QByteArray buffer;
    for (const QByteArray& line : lines) {
        buffer += line;
        buffer += '\0';
    }
    buffer = fitted(buffer, Const::IniSectionBufferSize - 1);
    buffer += '\0';
    return buffer;
}

// Cuts a key or value at a ";" comment, with the blanks in front of it.
QString withoutComment(const QString& text)
{
    const qsizetype semicolon = text.indexOf(u';');
    if (semicolon < 0)
        return text;
    QString cut = text.left(semicolon);
    while (cut.endsWith(u' '))
        cut.chop(1);
    return cut;
}

} // namespace

namespace Common {

QString GetIniFilePath()
{
    return JoinPath(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
                    Const::IniFileName);
}

QString JoinPath(const QString& folder, const QString& fileName)
{
    const QChar separator = QDir::separator();
    if (folder.endsWith(separator))
        return folder + fileName;
    return folder + separator + fileName;
}

QString CutAtDelimiter(const QString& text, const QString& delimiter)
{
    if (delimiter.isEmpty())
        return {};
    const qsizetype position = text.indexOf(delimiter);
    return position < 0 ? text : text.left(position);
}

QString ReadIniString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& file)
{
    return IniSnapshot(file).ReadIniString(section, key, defaultValue);
}

std::optional<QStringList> ReadIniSection(const QString& section, const QString& file)
{
    return IniSnapshot(file).ReadIniSection(section);
}

IniSnapshot::IniSnapshot(const QString& file) : m_document(load(resolve(file))) {}

QString IniSnapshot::ReadIniString(const QString& section, const QString& key,
                                   const QString& defaultValue) const
{
    std::optional<QByteArray> value;
    if (m_document)
        value = m_document->value(asCString(section), asCString(key));
    const QByteArray bytes =
        value ? *value : ShiftJis::encode(asCString(defaultValue)).value_or(QByteArray());
    return CutAtDelimiter(ShiftJis::decode(fitted(bytes, Const::IniValueBufferSize)), Nul);
}

std::optional<QStringList> IniSnapshot::ReadIniSection(const QString& section) const
{
    std::optional<QList<QByteArray>> lines;
    if (m_document)
        lines = m_document->sectionLines(asCString(section));
    const QString buffer = ShiftJis::decode(sectionBuffer(lines.value_or(QList<QByteArray>())));

    const QString data = CutAtDelimiter(buffer, Nul + Nul);
    if (data.isEmpty() || data == Nul)
        return std::nullopt;

    QStringList entries;
    for (const QString& line : data.split(Nul)) {
        const qsizetype equals = line.indexOf(u'=');
        QString key = equals < 0 ? line : line.left(equals);
        QString value = equals < 0 ? QString() : line.mid(equals + 1);
        if (key.contains(u';')) {
            key = withoutComment(key);
            value.clear();
        }
        entries << key << withoutComment(value);
    }
    return entries;
}

namespace {

bool write(const QString& section, const QString& key, const QString& value, const QString& file,
           bool replacing)
{
    const QString path = resolve(file);
    std::optional<IniDocument> document = load(path);
    if (!document)
        return false; // never overwrite what could not be read
    if (!replacing && document->value(asCString(section), asCString(key)))
        return false;
    return document->setValue(asCString(section), asCString(key), asCString(value)) &&
           AtomicFile::replace(path, document->bytes());
}

} // namespace

bool WriteIniString(const QString& section, const QString& key, const QString& value,
                    const QString& file)
{
    return write(section, key, value, file, true);
}

bool addIniString(const QString& section, const QString& key, const QString& value,
                  const QString& file)
{
    return write(section, key, value, file, false);
}

bool DeleteIniSection(const QString& section, const QString& file)
{
    const QString path = resolve(file);
    std::optional<IniDocument> document = load(path);
    if (!document)
        return false;
    if (!document->removeSection(asCString(section)))
        return true;
    return AtomicFile::replace(path, document->bytes());
}

QString journalPathFor(const QString& file)
{
    const QString path = resolve(file);
    const QFileInfo final(AtomicFile::finalPath(path).value_or(path));
    return final.dir().filePath(Const::JournalFileName);
}

std::optional<QList<std::pair<QString, QString>>> readWholeIniSection(const QString& section,
                                                                      const QString& file)
{
    return IniSnapshot(file).readWholeSection(section);
}

std::optional<QList<std::pair<QString, QString>>>
IniSnapshot::readWholeSection(const QString& section) const
{
    if (!m_document)
        return std::nullopt;
    QList<std::pair<QString, QString>> entries;
    for (const auto& [key, value] : m_document->allEntries(asCString(section)))
        entries.append({ShiftJis::decode(key), ShiftJis::decode(value)});
    return entries;
}

} // namespace Common
