#pragma once

#include <QString>
#include <QWidget>

// The audience window: the three reels only, as large as the window allows, and
// small lines for the range and the draw count, for a projector or a second
// screen. It shows what it is told, exactly when it is told: the main window
// mirrors its reels into it. F11 toggles full screen; PageDown (a presenter
// remote) asks for the draw button's press.
class frmAudience : public QWidget
{
    Q_OBJECT

  public:
    explicit frmAudience(QWidget* parent = nullptr);

    // The reels' digits, hundreds first ("037"), and whether a draw is running.
    void showReels(const QString& digits, bool spinning);
    void showInfo(const QString& rangeLine, const QString& countLine);
    const QString& digits() const { return m_digits; }

  Q_SIGNALS:
    // PageDown: press START when idle, else the active STOP.
    void presenterPressed();
    // Full screen switched, or the window closing: its place is worth keeping.
    void displayChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QString m_digits = QStringLiteral("000");
    QString m_range;
    QString m_count;
    bool m_spinning = false;
};
