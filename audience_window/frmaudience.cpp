#include "audience_window/frmaudience.h"

#include "audience_window/captions.h"
#include "common/japanesefont.h"
#include "common/systemcolors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

namespace {

// A face whose zero has no slash or dot, legible from the back of a hall.
QFont digitFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Segoe UI")});
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

} // namespace

frmAudience::frmAudience(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmAudience"));
    setWindowTitle(QStringLiteral("Rindell - 抽選"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
    // Below the reels, shown only where a list names something.
    for (QLabel** label : {&lblPrize, &lblWinner}) {
        *label = new QLabel(this);
        (*label)->setAlignment(Qt::AlignCenter);
        (*label)->hide();
    }
    lblPrize->setObjectName(QStringLiteral("lblPrize"));
    lblWinner->setObjectName(QStringLiteral("lblWinner"));
    connect(&m_lists, &Prizes::PrizeLists::changed, this, [this] { showCaptions(true); });
    resize(960, 540);
    showReels(m_digits, false);
}

void frmAudience::showReels(const QString& digits, bool spinning)
{
    m_digits = digits;
    m_spinning = spinning;
    // What a screen reader says of the display: the number, once it is at rest.
    setAccessibleName(spinning ? QStringLiteral("抽選中") : QStringLiteral("抽選番号 ") + digits);
    update();
    showCaptions(false);
}

void frmAudience::showInfo(const QString& rangeLine, const QString& ordinalLine)
{
    const bool moved = rangeLine != m_range;
    m_range = rangeLine;
    m_ordinal = ordinalLine;
    update();
    if (moved)
        showCaptions(true);
}

void frmAudience::followLists(const QString& folder)
{
    m_lists.follow(folder);
    showCaptions(true);
}

void frmAudience::showDraw(std::int32_t ordinal, bool onReels)
{
    m_drawOrdinal = ordinal;
    m_drawOnReels = onReels;
    showCaptions(false);
}

void frmAudience::showCaptions(bool placed)
{
    // The name only once the last STOP has brought the reels to rest on the
    // number: before that it would tell the hall the number.
    const QString prize = m_lists.prize(m_drawOrdinal);
    const QString winner =
        m_drawOnReels && !m_spinning ? m_lists.name(m_digits.toInt()) : QString();
    if (placed)
        m_band = AudienceCaptions::place(size(), m_range, m_lists.names());
    else if (prize == m_prize && winner == m_winner)
        return;
    m_prize = prize;
    m_winner = winner;
    AudienceCaptions::show(m_band, lblPrize, m_prize, lblWinner, m_winner);
}

void frmAudience::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QColor reelBack = SystemColors::color(SystemColors::ActiveCaption);
    const QColor reelText = SystemColors::color(SystemColors::CaptionText);
    painter.fillRect(rect(), palette().window());

    const AudienceCaptions::Layout parts = AudienceCaptions::layout(size());
    painter.setFont(digitFont(parts.reels.height() * 4 / 5));
    for (int i = 0; i < 3; ++i) {
        const QRect reel(parts.reels.left() + i * (parts.reelWidth + parts.gap), parts.reels.top(),
                         parts.reelWidth, parts.reels.height());
        painter.fillRect(reel, reelBack);
        painter.setPen(reelText);
        painter.drawText(reel, Qt::AlignCenter, m_digits.mid(i, 1));
    }

    QFont info = JapaneseFont::gothic(12);
    info.setPixelSize(parts.infoPixels);
    painter.setFont(info);
    painter.setPen(palette().windowText().color());
    const QRect& line = parts.line;
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, m_range);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, m_ordinal);
}

void frmAudience::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    showCaptions(true);
}

void frmAudience::closeEvent(QCloseEvent* event)
{
    Q_EMIT displayChanged();
    QWidget::closeEvent(event); // closing it never closes the program, during a draw too
}

void frmAudience::keyPressEvent(QKeyEvent* event)
{
    // No key acts while a dialog or a message box is open.
    if (QApplication::activeModalWidget()) {
        event->ignore();
        return;
    }
    if (event->key() == Qt::Key_F11) {
        if (isFullScreen())
            showNormal();
        else
            showFullScreen();
        Q_EMIT displayChanged();
        return;
    }
    // Enter too: an operator at this window presses it as at the main window.
    if (event->key() == Qt::Key_PageDown || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        Q_EMIT presenterPressed();
        return;
    }
    QWidget::keyPressEvent(event);
}
