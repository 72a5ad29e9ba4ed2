#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QLabel;

// The prize and the winner's name on the audience window: large, below the reels,
// never over them. Between the reels and the range line where the window has the
// room; in a 16:9 window, where it has none, on that line between the range at its
// left and the ordinal at its right.
namespace AudienceCaptions {

// The window's parts as it paints them: three reels side by side, a tenth of a
// reel apart, above the line of the range and the ordinal.
struct Layout
{
    QRect area;  // what the reels may take
    QRect reels; // the three of them together
    int reelWidth = 0;
    int gap = 0;
    QRect line;         // the range at its left, the ordinal at its right
    int infoPixels = 0; // the line's text size
};
Layout layout(QSize size);

struct Band
{
    QRect rect;
    // The pixel size of the text: the largest the band takes, and the least a
    // long text is shrunk to before it is cut.
    int largest = 0;
    int smallest = 0;
    int widestName = 0;
};

// Where the two stand in a window of `size` whose range line reads `rangeLine`,
// and how wide the widest of `names` is at its largest size.
Band place(QSize size, const QString& rangeLine, const QList<QString>& names);

// Lays the prize and the name side by side in the band, at one size for both:
// the largest at which the prize and the widest name fit. It does not change
// while a draw runs (its prize stays), so the name appears at rest without moving
// anything. Each label is hidden while its text is empty; a screen reader reads
// "景品 <prize>" and "当選者 <name>".
void show(const Band& band, QLabel* lblPrize, const QString& prize, QLabel* lblWinner,
          const QString& winner);

} // namespace AudienceCaptions
