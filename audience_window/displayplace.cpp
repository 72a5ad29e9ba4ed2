#include "audience_window/displayplace.h"

#include "audience_window/placement.h"
#include "settings/atomicfile.h"
#include "settings/inidocument.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>

namespace DisplayPlace {

namespace {

const QString FileName = QStringLiteral("Rindell-display.ini");
const QString Section = QStringLiteral("Display");
const QString KeyScreen = QStringLiteral("Screen");
const QString KeyScreenNumber = QStringLiteral("ScreenNumber");
const QString KeyFullScreen = QStringLiteral("FullScreen");
const QString KeyGeometry = QStringLiteral("Geometry");
// Far above the three lines it holds.
constexpr qint64 MaxSize = 64 * 1024;

// Whether the place file may be read and written: nothing there yet, or a
// regular file of its own (no link, neither of the two records).
bool usable(const QString& path, const QString& settingsFile)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return false;
    if (!info.exists())
        return true;
    return info.isFile() && !AtomicFile::isSameFile(path, settingsFile) &&
           !AtomicFile::isSameFile(path, Common::journalPathFor(settingsFile));
}

QString text(const std::optional<QByteArray>& value)
{
    return value ? QString::fromUtf8(*value) : QString();
}

} // namespace

QString pathFor(const QString& settingsFile)
{
    return QFileInfo(Common::journalPathFor(settingsFile)).dir().filePath(FileName);
}

Place read(const QString& settingsFile)
{
    const QString path = pathFor(settingsFile);
    const QString settings = settingsFile.isEmpty() ? Common::GetIniFilePath() : settingsFile;
    Place place;
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        if (!usable(path, settings))
            return place;
        const std::optional<QByteArray> content = AtomicFile::read(path, MaxSize);
        if (!content)
            return place;
        const IniDocument document(*content);
        place.screen = text(document.value(Section, KeyScreen));
        bool ok = false;
        if (const int number = text(document.value(Section, KeyScreenNumber)).toInt(&ok); ok)
            place.screenNumber = number;
        place.fullScreen = text(document.value(Section, KeyFullScreen)) == QLatin1String("1");
        place.geometry = AudiencePlacement::fromText(text(document.value(Section, KeyGeometry)));
        return place;
    }
    // Taken over from the settings file, where an earlier version kept it.
    const Common::IniSnapshot old(settings);
    place.screen = old.ReadIniString(Section, KeyScreen, QString());
    place.fullScreen = old.ReadIniString(Section, KeyFullScreen, QString()) == QLatin1String("1");
    place.geometry =
        AudiencePlacement::fromText(old.ReadIniString(Section, KeyGeometry, QString()));
    return place;
}

bool write(const QString& settingsFile, const Place& place)
{
    const QString path = pathFor(settingsFile);
    const QString settings = settingsFile.isEmpty() ? Common::GetIniFilePath() : settingsFile;
    if (!usable(path, settings))
        return false;
    QByteArray content = "[" + Section.toUtf8() + "]\r\n";
    const QString screen = QString(place.screen).remove(u'\r').remove(u'\n');
    content += KeyScreen.toUtf8() + '=' + screen.toUtf8() + "\r\n";
    content += KeyScreenNumber.toUtf8() + '=' + QByteArray::number(place.screenNumber) + "\r\n";
    content += KeyFullScreen.toUtf8() + '=' + (place.fullScreen ? "1" : "0") + "\r\n";
    if (place.geometry)
        content += KeyGeometry.toUtf8() + '=' +
                   AudiencePlacement::toText(*place.geometry).toUtf8() + "\r\n";
    return AtomicFile::replaceNamed(path, content);
}

} // namespace DisplayPlace
