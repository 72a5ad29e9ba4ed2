#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// Where the audience window opens when it shares a screen with the main window:
// never over the operator's controls.
namespace AudiencePlacement {

// The window's frame on the largest free side of `screen` (its available area)
// beside the main window's `mainFrame`, at the window's preferred proportions;
// where no side has room for `minimum`, `preferred` centred on the screen, where
// the main window will stand in front of it.
QRect beside(const QRect& screen, const QRect& mainFrame, QSize preferred, QSize minimum);

// "x,y,width,height" as kept in the settings file, and back; nothing for text
// that is not four whole numbers with a positive size.
QString toText(const QRect& geometry);
std::optional<QRect> fromText(const QString& text);

} // namespace AudiencePlacement
