#pragma once

#include "audience_window/frmaudience.h"
#include "series/series.h"
#include "session/drawsession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>

class QLineEdit;
class QSessionManager;
class QPushButton;

// The main window: the digit reels, START and STOP. It owns the session of the
// series it shows, and hands it to the dialogs it opens.
class frmRindell : public QWidget
{
    Q_OBJECT

  public:
    using enmCountMode = Series::CountMode;

    explicit frmRindell(QWidget* parent = nullptr);
    ~frmRindell() override;

    // False when another instance was running: the window unloaded itself at load.
    bool isLoaded() const { return m_loaded; }

    // Empties the series (in the journal, the settings file and memory) and shows
    // the counter; a failure is told.
    void ClearResult();
    // Shows the range line.
    void EditRange();
    void EditCount(enmCountMode mode);

    DrawSession& session() { return m_session; }

    // F5: opens the audience window, or closes it.
    void toggleAudience();
    // --audience: opens it once the window system has placed this window (at its
    // first paint), so that it can stand beside it.
    void openAudienceWhenPlaced();
    frmAudience* audience() const { return m_audience; }
    std::int16_t drawnNumber() const { return DrawnNumber; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void Form_Load();
    void Form_QueryUnload(bool& cancel);
    void commitData(QSessionManager& manager);
    std::int16_t GetActiveStop() const;
    void FocusDrawButton();
    // PageDown (a presenter remote): presses START when idle, else the active STOP.
    void pressDrawButton();
    void updateAudience();
    void saveAudienceDisplay();

    // STOPs shown, START hidden, the counter on the running draw.
    void enterDrawState();
    // Turns the reels until the last STOP: a local event loop.
    void spinReels();

    void cmdStart_Click();
    void cmdStop_Click(std::int16_t index);
    void cmdEnd_Click();
    void cmdClearResult_Click();
    void cmdCondition_Click();
    void cmdResultList_Click();

    QLineEdit* txtRange = nullptr;
    QLineEdit* txtCount = nullptr;
    QLineEdit* txt100 = nullptr;
    QLineEdit* txt10 = nullptr;
    QLineEdit* txt1 = nullptr;
    // The reels by STOP index: txt1 (ones), txt10 (tens), txt100 (hundreds).
    std::array<QLineEdit*, 3> m_reels{};
    QPushButton* cmdStart = nullptr;
    std::array<QPushButton*, 3> cmdStop{};
    QPushButton* cmdResultList = nullptr;
    QPushButton* cmdCondition = nullptr;
    QPushButton* cmdClearResult = nullptr;
    QPushButton* cmdEnd = nullptr;

    DrawSession m_session;
    std::int16_t DrawnNumber = 0;
    qsizetype m_drawOrdinal = 0; // of the running draw
    QPointer<frmAudience> m_audience;
    bool m_audienceOnPaint = false;
    // The ordinal of the draw on the reels, for the audience; 0 for none.
    qsizetype m_reelsOrdinal = 0;
    bool m_loaded = false;
    // Since the last mouse press on START: a STOP appears under the pointer, and
    // the second click of a double-click must not press it.
    QElapsedTimer m_startPressed;
    // The local event loop of a running draw, which the last STOP ends.
    QPointer<QEventLoop> m_spinning;
};
