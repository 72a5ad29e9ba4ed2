#pragma once

#include <QRect>
#include <QSize>
#include <QString>

class QLabel;

// The prize and the winner's name on the audience window: large, centred on the
// line below the reels, between the range at its left and the ordinal at its
// right, never over the reels.
namespace AudienceCaptions {

struct Places
{
    QRect prize;
    QRect winner;
    // The pixel size of their text: the largest the band takes, and the least a
    // long text is shrunk to before it is cut.
    int largest = 0;
    int smallest = 0;
};

// Their places in a window of `size` whose range line reads `rangeLine`.
Places place(QSize size, const QString& rangeLine);

// Shows `text` on one line, at the largest size up to `places.largest` at which it
// fits the label's width, shrunk no further than `places.smallest` and cut there;
// hidden when empty. A screen reader reads "<what> <text>".
void show(QLabel* label, const QString& what, const QString& text, const Places& places);

} // namespace AudienceCaptions
