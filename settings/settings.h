#pragma once

#include <QString>
#include <QStringList>

#include <optional>

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

} // namespace Common
