#include "audience_window/captions.h"

#include "common/japanesefont.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>
#include <tuple>

namespace {

// A line break in a cell is a space on the one line there is.
QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return text.replace(u'\n', u' ').replace(u'\r', u' ');
}

} // namespace

namespace AudienceCaptions {

Layout layout(QSize size)
{
    // The line a twelfth of the height, its text two thirds of that, a fortieth of
    // the width from either side.
    const int w = size.width();
    const int h = size.height();
    const int infoHeight = std::max(16, h / 12);
    Layout parts;
    parts.area = QRect(QPoint(), size).adjusted(w / 40, h / 30, -w / 40, -(h / 30 + infoHeight));
    parts.gap = parts.area.width() / 31;
    parts.reelWidth =
        std::min((parts.area.width() - 2 * parts.gap) / 3, parts.area.height() * 2 / 3);
    const int reelHeight = std::min(parts.area.height(), parts.reelWidth * 3 / 2);
    parts.reels =
        QRect(parts.area.left() + (parts.area.width() - 3 * parts.reelWidth - 2 * parts.gap) / 2,
              parts.area.top() + (parts.area.height() - reelHeight) / 2,
              3 * parts.reelWidth + 2 * parts.gap, reelHeight);
    parts.line = QRect(parts.area.left(), h - infoHeight - h / 60, parts.area.width(), infoHeight);
    parts.infoPixels = infoHeight * 2 / 3;
    return parts;
}

Band place(QSize size, const QString& rangeLine, const QList<QString>& names)
{
    const Layout parts = layout(size);
    const QRect& area = parts.area;
    const int h = size.height();
    const int infoHeight = parts.line.height();
    QFont info = JapaneseFont::gothic(12);
    info.setPixelSize(parts.infoPixels);
    const QFontMetrics metrics(info);
    const int reelsFoot = parts.reels.bottom() + 1 + h / 60;
    const int lineTop = parts.line.top();
    QRect band;
    if (lineTop - reelsFoot >= infoHeight) {
        // Room between the reels and the line (a window taller than 16:9): all of it.
        band = QRect(area.left(), reelsFoot, area.width(), lineTop - reelsFoot);
    } else {
        // On the line, between the range and the ordinal, from the foot of the
        // reels' area to the bottom edge: centred on the line.
        const int left = area.left() + metrics.horizontalAdvance(rangeLine) + metrics.height();
        const int right =
            area.right() - metrics.horizontalAdvance(QStringLiteral("0000回目")) - metrics.height();
        band = QRect(left, area.bottom() + 1, std::max(0, right - left), h - area.bottom() - 1);
    }
    Band placed{band, std::max(1, std::min(band.height() * 7 / 10, infoHeight * 2)),
                std::max(1, info.pixelSize() * 3 / 4)};
    QFont largest = JapaneseFont::gothic(12);
    largest.setPixelSize(placed.largest);
    const QFontMetrics largestMetrics(largest);
    for (const QString& name : names)
        placed.widestName =
            std::max(placed.widestName, largestMetrics.horizontalAdvance(oneLine(name)));
    return placed;
}

void show(const Band& band, QLabel* lblPrize, const QString& prize, QLabel* lblWinner,
          const QString& winner)
{
    QFont font = JapaneseFont::gothic(12);
    font.setPixelSize(band.largest);
    const QFontMetrics largest(font);
    const int prizeWidth = largest.horizontalAdvance(oneLine(prize));
    const int nameWidth = band.widestName;
    const int space = prizeWidth > 0 && nameWidth > 0 ? largest.height() : 0;
    const int natural = prizeWidth + space + nameWidth;
    if (natural > band.rect.width())
        font.setPixelSize(
            std::max(band.smallest, int(qint64(band.largest) * band.rect.width() / natural)));
    // Each its share of the band, the space between split evenly.
    const int prizePart =
        natural > 0 ? int(qint64(band.rect.width()) * (prizeWidth + space / 2) / natural) : 0;
    QRect prizeRect = band.rect;
    prizeRect.setWidth(prizePart);
    QRect winnerRect = band.rect;
    winnerRect.setLeft(band.rect.left() + prizePart);
    const QFontMetrics metrics(font);
    for (const auto& [label, what, text, rect] :
         {std::tuple(lblPrize, QStringLiteral("景品"), oneLine(prize), prizeRect),
          std::tuple(lblWinner, QStringLiteral("当選者"), oneLine(winner), winnerRect)}) {
        label->setGeometry(rect);
        label->setFont(font);
        label->setText(metrics.elidedText(text, Qt::ElideRight, rect.width()));
        label->setAccessibleName(text.isEmpty() ? QString() : what + u' ' + text);
        label->setVisible(!text.isEmpty());
    }
}

} // namespace AudienceCaptions
