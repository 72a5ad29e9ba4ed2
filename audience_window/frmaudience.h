#pragma once

#include "audience_window/captions.h"
#include "prizes/prizelists.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class QLabel;

// The audience window: the three reels only, as large as the window allows, and
// small lines for the range and the draw count, for a projector or a second
// screen. It shows what it is told, exactly when it is told: the main window
// mirrors its reels into it. F11 toggles full screen; PageDown (a presenter
// remote) and Enter ask for the draw button's press.
class frmAudience : public QWidget
{
    Q_OBJECT

  public:
    explicit frmAudience(QWidget* parent = nullptr);

    // The reels' digits, hundreds first ("037"), and whether a draw is running.
    void showReels(const QString& digits, bool spinning);
    // The range line, and the ordinal of the draw on the reels ("13回目"; empty
    // when they show none).
    void showInfo(const QString& rangeLine, const QString& ordinalLine);
    const QString& digits() const { return m_digits; }
    const QString& ordinalLine() const { return m_ordinal; }
    // The prize and name lists of `folder` (where the journal lives), read at once
    // and again whenever they change.
    void followLists(const QString& folder);
    // The draw whose prize the hall sees (the one on the reels, or the next one
    // while they show none), and whether the reels show that draw's number: its
    // holder is named only once they rest.
    void showDraw(std::int32_t ordinal, bool onReels);
    // A warning for each list that could not be read whole.
    QStringList listWarnings() const { return m_lists.warnings(); }

  Q_SIGNALS:
    // PageDown or Enter: press START when idle, else the active STOP.
    void presenterPressed();
    // Full screen switched, or the window closing: its place is worth keeping.
    void displayChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showCaptions(bool placed);

    QString m_digits = QStringLiteral("000");
    QString m_range;
    QString m_ordinal;
    bool m_spinning = false;
    QLabel* lblPrize;
    QLabel* lblWinner;
    Prizes::PrizeLists m_lists;
    std::int32_t m_drawOrdinal = 0;
    bool m_drawOnReels = false;
    QString m_prize;
    QString m_winner;
    AudienceCaptions::Band m_band;
};
