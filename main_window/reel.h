#pragma once

#include <QCache>
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QStyle>

#include <memory>
#include <optional>

// A digit reel: a read-only line edit that keeps each face it shows (its text as
// the line edit paints it, frame and background included) and blits it at the
// next paint of the same face. Digits this large bypass the glyph cache and are
// filled from their outlines at every paint, sixty times a second while a reel
// turns.
class Reel : public QLineEdit
{
    Q_OBJECT

  public:
    // Everything the line edit's paint depends on while it shows no selection
    // and no cursor: a face is painted again when any of it changes.
    struct Look
    {
        QString text;
        QSize size;
        qreal scale = 1;  // device pixels per logical pixel
        int state = 0;    // of the style option: focus, active window, enabled
        QPalette palette; // by value: each reel's palette is its own copy, alike
        QFont font;
        const QStyle* style = nullptr;
        int alignment = 0;
        QMargins margins;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        bool operator==(const Look&) const = default;
    };
    // The faces of a window's reels, which look alike but for the focus: ten
    // digits for each reel, should each look its own way.
    using Faces = QCache<Look, QPixmap>;
    static constexpr int FacesKept = 30;

    // Made without its text, which it is given once it has its font: a line edit
    // made with its text lays it out at once in the application's font.
    Reel(std::shared_ptr<Faces> faces, QWidget* parent);

    // The face kept for what the reel shows now: null until it has been painted
    // once, and while the reel shows a selection.
    QPixmap face() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<Look> look() const;
    void keepFace();

    std::shared_ptr<Faces> m_faces;
    bool m_keepPending = false;
    bool m_painting = false; // the line edit's own paint, into a kept face
};

size_t qHash(const Reel::Look& look, size_t seed = 0);
