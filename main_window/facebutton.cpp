#include "main_window/facebutton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <qdrawutil.h>

FaceButton::FaceButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void FaceButton::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QPalette& colours = palette();
    const bool pressed = option.state & (QStyle::State_Sunken | QStyle::State_On);
    const bool focused = hasFocus();

    painter.fillRect(rect(), colours.button());
    QRect edge = rect();
    if (focused) {
        painter.setPen(colours.color(QPalette::Shadow));
        painter.drawRect(edge.adjusted(0, 0, -1, -1));
        edge.adjust(1, 1, -1, -1);
    }
    if (pressed) {
        painter.setPen(colours.color(QPalette::Dark));
        painter.drawRect(edge.adjusted(0, 0, -1, -1));
    } else {
        qDrawWinButton(&painter, edge, colours, false, nullptr);
    }

    // The label by the style, without its own shift or panel: pressed moves it
    // one pixel, the same in every style.
    QStyleOptionButton label = option;
    label.state &= ~(QStyle::State_Sunken | QStyle::State_On | QStyle::State_HasFocus);
    label.rect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (pressed)
        label.rect.translate(1, 1);
    painter.drawControl(QStyle::CE_PushButtonLabel, label);

    if (focused) {
        painter.setPen(QPen(colours.color(QPalette::ButtonText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}
