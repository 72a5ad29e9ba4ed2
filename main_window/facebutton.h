#pragma once

#include <QPushButton>

// A push button in graphical style: a flat face in its palette's Button colour,
// whatever the application style (Fusion's gradient would pale it), with a raised
// edge, a sunken one while pressed, and a dark outline and dotted rectangle
// while it holds the focus.
class FaceButton : public QPushButton
{
    Q_OBJECT

  public:
    explicit FaceButton(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
