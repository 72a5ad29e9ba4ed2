#pragma once

#include <QColor>

// The Windows system colours that the layout refers to by index.
namespace SystemColors {

enum Index {
    ActiveCaption = 2,        // COLOR_ACTIVECAPTION
    CaptionText = 9,          // COLOR_CAPTIONTEXT
    InactiveCaptionText = 19, // COLOR_INACTIVECAPTIONTEXT
    InfoText = 23,            // COLOR_INFOTEXT
};

// The user's colour on Windows; elsewhere a fixed palette that keeps the pairs
// readable: light text on the caption colour, dark text on the pale info colour.
QColor color(Index index);

} // namespace SystemColors
