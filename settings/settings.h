#pragma once

#include <QString>
#include <QStringList>

#include "settings/inidocument.h"

#include <optional>
#include <utility>

// Every read and write of the settings file Rindell.ini goes through these.
// An empty `file` argument selects Rindell.ini beside the executable.
namespace Common {

QString GetIniFilePath();
QString JoinPath(const QString& folder, const QString& fileName);
QString CutAtDelimiter(const QString& text, const QString& delimiter);
QString ReadIniString(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& file);
// Nothing for a missing or empty section; otherwise key, value, key, value, ...
std::optional<QStringList> ReadIniSection(const QString& section, const QString& file);
bool WriteIniString(const QString& section, const QString& key, const QString& value,
                    const QString& file);
bool DeleteIniSection(const QString& section, const QString& file);

// Beyond the Windows functions: what keeps the record whole whatever the file holds.

// The draw journal that goes with a settings file: Rindell.log beside the file
// that its links finally lead to, so that every path to one settings file
// shares one journal, and with it one lock.
QString journalPathFor(const QString& file);

// Every key and value of every section of that name, read whole: no buffer or
// NUL cuts a line or hides the lines behind it. Nothing when the file is unusable.
std::optional<QList<std::pair<QString, QString>>> readWholeIniSection(const QString& section,
                                                                      const QString& file);
// As WriteIniString, but never over a line that is there: false, with nothing
// written, when the key is already in the file. What records a draw.
bool addIniString(const QString& section, const QString& key, const QString& value,
                  const QString& file);

// One read of a settings file, answering as the procedures above would at that
// moment: for a start-up, which asks the file several things.
class IniSnapshot
{
  public:
    explicit IniSnapshot(const QString& file);

    QString ReadIniString(const QString& section, const QString& key,
                          const QString& defaultValue) const;
    std::optional<QStringList> ReadIniSection(const QString& section) const;
    // As readWholeIniSection.
    std::optional<QList<std::pair<QString, QString>>>
    readWholeSection(const QString& section) const;
    // False when the file exists but cannot be used: not a regular file, too large,
    // unreadable, a second name of it (a hard link), a link loop or a dangling
    // link, UTF-16 text, or the journal itself. Such a file is read as empty and
    // never written.
    bool isUsable() const { return m_document.has_value(); }

  private:
    std::optional<IniDocument> m_document;
};

} // namespace Common
