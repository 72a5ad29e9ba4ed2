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

// `frame` moved and, where it is larger, shrunk into `area` (a screen's
// available area): a stored place never stands off the screen or outgrows it.
QRect within(const QRect& frame, const QRect& area);

// "x,y,width,height" as kept in the place file, and back; nothing for text that
// is not four whole numbers with a positive size, or whose far edge lies beyond
// what a coordinate can hold.
QString toText(const QRect& geometry);
std::optional<QRect> fromText(const QString& text);

} // namespace AudiencePlacement
