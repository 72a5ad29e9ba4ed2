#include "audience_window/placement.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>

namespace AudiencePlacement {

QRect beside(const QRect& screen, const QRect& mainFrame, QSize preferred, QSize minimum)
{
    const QRect main = mainFrame.intersected(screen);
    const std::array<QRect, 4> sides = {
        QRect(QPoint(main.right() + 1, screen.top()), screen.bottomRight()),
        QRect(screen.topLeft(), QPoint(main.left() - 1, screen.bottom())),
        QRect(QPoint(screen.left(), main.bottom() + 1), screen.bottomRight()),
        QRect(screen.topLeft(), QPoint(screen.right(), main.top() - 1)),
    };
    std::optional<QRect> best;
    for (const QRect& side : sides) {
        if (side.width() <= 0 || side.height() <= 0)
            continue;
        const QSize size = preferred.scaled(preferred.boundedTo(side.size()), Qt::KeepAspectRatio);
        if (size.width() < minimum.width() || size.height() < minimum.height())
            continue;
        if (best && best->width() * best->height() >= size.width() * size.height())
            continue;
        // Level with the main window where the side allows, else as near as it can.
        const int left = std::clamp(main.left(), side.left(), side.right() + 1 - size.width());
        const int top = std::clamp(main.top(), side.top(), side.bottom() + 1 - size.height());
        best = QRect(QPoint(left, top), size);
    }
    if (best)
        return *best;
    const QSize size = preferred.boundedTo(screen.size());
    QRect centred(QPoint(0, 0), size);
    centred.moveCenter(screen.center());
    return centred;
}

QRect within(const QRect& frame, const QRect& area)
{
    const QSize size = frame.size().boundedTo(area.size());
    const int left = std::clamp(frame.left(), area.left(), area.right() + 1 - size.width());
    const int top = std::clamp(frame.top(), area.top(), area.bottom() + 1 - size.height());
    return QRect(QPoint(left, top), size);
}

QString toText(const QRect& geometry)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(geometry.x())
        .arg(geometry.y())
        .arg(geometry.width())
        .arg(geometry.height());
}

std::optional<QRect> fromText(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> values{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0 ||
        qint64(values[0]) + values[2] > std::numeric_limits<int>::max() ||
        qint64(values[1]) + values[3] > std::numeric_limits<int>::max())
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

} // namespace AudiencePlacement
