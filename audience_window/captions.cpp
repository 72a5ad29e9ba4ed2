#include "audience_window/captions.h"

#include "common/japanesefont.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace AudienceCaptions {

Places place(QSize size, const QString& rangeLine)
{
    // The line as frmAudience paints it: a twelfth of the height, its text two
    // thirds of that, a fortieth of the width from either side.
    const int infoHeight = std::max(16, size.height() / 12);
    QFont info = JapaneseFont::gothic(12);
    info.setPixelSize(infoHeight * 2 / 3);
    const QFontMetrics metrics(info);
    const int margin = size.width() / 40;
    // From the foot of the reels' area to the bottom edge: centred on the line.
    const int top = size.height() - size.height() / 30 - infoHeight;
    const int height = size.height() - top;
    const int left = margin + metrics.horizontalAdvance(rangeLine) + metrics.height();
    const int right = size.width() - margin -
                      metrics.horizontalAdvance(QStringLiteral("0000回目")) - metrics.height();
    // Prizes run longer than names.
    const int width = std::max(0, right - left);
    const int prizeWidth = width * 3 / 5;
    Places places;
    places.prize = QRect(left, top, prizeWidth, height);
    places.winner = QRect(left + prizeWidth, top, width - prizeWidth, height);
    places.largest = std::max(1, height * 7 / 10);
    places.smallest = std::max(1, info.pixelSize() * 3 / 4);
    return places;
}

void show(QLabel* label, const QString& what, const QString& text, const Places& places)
{
    // A line break in a cell is a space on the one line there is.
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    QFont font = label->font();
    font.setPixelSize(places.largest);
    const int natural = QFontMetrics(font).horizontalAdvance(line);
    if (natural > label->width())
        font.setPixelSize(
            std::max(places.smallest, int(qint64(places.largest) * label->width() / natural)));
    label->setFont(font);
    label->setText(QFontMetrics(font).elidedText(line, Qt::ElideRight, label->width()));
    label->setAccessibleName(text.isEmpty() ? QString() : what + u' ' + line);
    label->setVisible(!text.isEmpty());
}

} // namespace AudienceCaptions
