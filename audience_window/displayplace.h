#pragma once

#include <QRect>
#include <QString>

#include <optional>

// Where the audience window was left, kept in a file of its own beside the
// settings file (in the folder the settings path finally leads to, as the
// journal): the settings file holds the draw's sections only.
namespace DisplayPlace {

struct Place
{
    QString screen;        // the screen's name
    int screenNumber = -1; // its place among the screens, where several share the name
    bool fullScreen = false;
    std::optional<QRect> geometry; // the window's place when not full screen
};

// Rindell-display.ini beside the file that `settingsFile` finally leads to.
QString pathFor(const QString& settingsFile);

// The place kept in that file. While there is no such file, the [Display]
// section that an earlier version kept in the settings file, taken over as it
// is; it is never written again. Nothing is read from a file that is a link,
// not a regular file, over 64 KiB, or the settings file or the journal itself.
Place read(const QString& settingsFile);

// Writes the place file whole (a temporary file beside it, flushed and renamed
// over it). False, with nothing written, where the file is a link, not a regular
// file, or the settings file or the journal itself, or cannot be written.
bool write(const QString& settingsFile, const Place& place);

} // namespace DisplayPlace
