#include "main_window/reel.h"

#include <QPainter>
#include <QStyleOptionFrame>

Reel::Reel(std::shared_ptr<Faces> faces, QWidget* parent)
    : QLineEdit(parent), m_faces(std::move(faces))
{
    // It paints every pixel itself: the window need not paint its background
    // beneath a face that covers it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QPixmap Reel::face() const
{
    const std::optional<Look> now = look();
    const QPixmap* kept = now ? m_faces->object(*now) : nullptr;
    return kept ? *kept : QPixmap();
}

std::optional<Reel::Look> Reel::look() const
{
    // A selection (a double-click selects the digit) is painted as it stands, and
    // so is an editable box's cursor.
    if (!isReadOnly() || hasSelectedText() || text().isEmpty() || echoMode() != Normal)
        return std::nullopt;
    QStyleOptionFrame option;
    initStyleOption(&option);
    return Look{text(), size(),  devicePixelRatio(), int(option.state), palette(),
                font(), style(), int(alignment()),   textMargins(),     layoutDirection()};
}

void Reel::paintEvent(QPaintEvent* event)
{
    if (const std::optional<Look> now = m_painting ? std::nullopt : look()) {
        if (const QPixmap* kept = m_faces->object(*now)) {
            QPainter(this).drawPixmap(0, 0, *kept);
            return;
        }
        // Kept after this paint: a widget cannot be rendered inside its own paint.
        if (!m_keepPending) {
            m_keepPending = true;
            QMetaObject::invokeMethod(this, &Reel::keepFace, Qt::QueuedConnection);
        }
    }
    // The line edit's own paint over the window's background, as the window
    // paints it beneath a widget that is not opaque.
    QPainter(this).fillRect(rect(), palette().window());
    QLineEdit::paintEvent(event);
}

void Reel::keepFace()
{
    m_keepPending = false;
    const std::optional<Look> now = look();
    if (!now || m_faces->contains(*now))
        return;
    // A reel stands on the window's plain background: a blit of its face shows
    // the pixels that the line edit's paint over that background would.
    auto face = std::make_unique<QPixmap>(size() * now->scale);
    face->setDevicePixelRatio(now->scale);
    m_painting = true;
    render(face.get());
    m_painting = false;
    m_faces->insert(*now, face.release());
}

size_t qHash(const Reel::Look& look, size_t seed)
{
    // Not the palette, which has no hash; equal looks still compare it.
    return qHashMulti(seed, look.text, look.size.width(), look.size.height(), look.state);
}
