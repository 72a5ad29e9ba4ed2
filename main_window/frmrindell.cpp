#include "main_window/frmrindell.h"
#include "main_window/facebutton.h"
#include "main_window/reel.h"
#include "main_window/reels.h"

#include "audience_window/displayplace.h"
#include "audience_window/frmaudience.h"
#include "audience_window/placement.h"
#include "common/common.h"
#include "common/const.h"
#include "common/japanesefont.h"
#include "common/systemcolors.h"
#include "common/twips.h"
#include "condition_dialog/frmcondition.h"
#include "main_window/singleinstance.h"
#include "result_list/frmresultlist.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace Series;
using namespace Reels;

namespace {

constexpr int ClientWidth = 10575;
constexpr int ClientHeight = 6675;
constexpr int StopPoints = 24;
constexpr int StartPoints = 42;
constexpr int DigitPoints = 216;

const QColor DesignedDrawColor(255, 192, 192);
// Start-up repaints START and STOP in this shade, RGB 255, 191, 191, one step
// below the face they are created with; kept, since operators know the buttons by it.
const QColor LoadedDrawColor(255, 191, 191);

struct Placement
{
    int left, top, width, height;
};
constexpr Placement StopPlacement[3] = {
    {5880, 5160, 1695, 855}, // index 0, ones
    {3240, 5160, 1695, 855}, // index 1, tens
    {600, 5160, 1695, 855},  // index 2, hundreds
};
// What a screen reader says of controls whose visible text does not tell it.
constexpr const char* StopAccessibleNames[3] = {"一の位を止める", "十の位を止める",
                                                "百の位を止める"};

constexpr Placement EndPlacement{9000, 6000, 1335, 495};
constexpr Placement ClearResultPlacement{8400, 2520, 1935, 615};
constexpr Placement ConditionPlacement{8400, 1680, 1935, 615};
constexpr Placement ResultListPlacement{8400, 840, 1935, 615};
constexpr Placement StartPlacement{2040, 5160, 3975, 1335};
constexpr Placement OnesPlacement{5520, 720, 2445, 4200};
constexpr Placement TensPlacement{2880, 720, 2445, 4200};
constexpr Placement HundredsPlacement{240, 720, 2445, 4200};
constexpr Placement CountPlacement{4680, 120, 1815, 375};
constexpr Placement RangePlacement{1200, 120, 3015, 375};

void place(QWidget* control, const Placement& at)
{
    control->setGeometry(Twips::rect(at.left, at.top, at.width, at.height));
}

// The window system's frame around a shown top-level window.
QMargins frameMargins(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

// The screen the audience window opens on: the one it was left on (separate X
// screens may share a name, so its number comes first), or the one that holds
// its stored place; else, with two screens, the one the operator's is not on.
QScreen* audienceScreen(const DisplayPlace::Place& stored, QScreen* operatorScreen)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto holds = [&stored](const QScreen* candidate) {
        return stored.geometry &&
               candidate->availableGeometry().contains(stored.geometry->center());
    };
    QScreen* target = screens.value(stored.screenNumber);
    if (!target || target->name() != stored.screen) {
        const auto named = std::find_if(screens.cbegin(), screens.cend(), [&](QScreen* candidate) {
            return candidate->name() == stored.screen;
        });
        target = named != screens.cend() ? *named : nullptr;
    }
    if (stored.geometry && !(target && holds(target))) {
        if (const auto holding = std::find_if(screens.cbegin(), screens.cend(), holds);
            holding != screens.cend())
            target = *holding;
    }
    if (target)
        return target;
    return screens.size() >= 2 ? (screens[0] == operatorScreen ? screens[1] : screens[0])
                               : operatorScreen;
}

void setFaceColor(QPushButton* button, const QColor& color)
{
    Common::setPaletteColor(button, QPalette::Button, color);
}

} // namespace

frmRindell::frmRindell(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmRindell"));
    setWindowTitle(QStringLiteral("Rindell"));
    setFont(JapaneseFont::gothicForOwnTexts(Const::WindowFontPoints));
    resize(Twips::toPixels(ClientWidth), Twips::toPixels(ClientHeight));
    // Boxes stand over this window, also while the audience window is active.
    Common::setBoxOwner(this);
    createControls();
    // The condition dialog changes the range through the session.
    connect(&m_session, &DrawSession::rangeChanged, this, &frmRindell::EditRange);
    Form_Load();
    // The session ending (logout, shutdown; WM_QUERYENDSESSION on Windows) is
    // one more close that a running draw refuses.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &frmRindell::commitData);
}

void frmRindell::createControls()
{
    const auto makeButton = [this](const char* name, const QString& caption, const Placement& at,
                                   int points, bool face = false) {
        // START and STOP have a flat face in their own colour.
        QPushButton* button = face ? new FaceButton(caption, this) : new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        place(button, at);
        if (points > 0)
            button->setFont(JapaneseFont::gothicForOwnTexts(points));
        // As on Windows, Enter presses the focused button.
        button->setAutoDefault(true);
        return button;
    };
    const auto makeBox = [](QLineEdit* box, const char* name, const Placement& at, int points,
                            const QColor& back, const QColor& fore) {
        box->setObjectName(QLatin1String(name));
        place(box, at);
        if (points > 0)
            box->setFont(JapaneseFont::gothicForOwnTexts(points));
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::ClickFocus); // not a tab stop
        box->setAlignment(Qt::AlignCenter);
        Common::setPaletteColor(box, QPalette::Base, back);
        Common::setPaletteColor(box, QPalette::Text, fore);
        return box;
    };

    for (int index = 2; index >= 0; --index) {
        QPushButton* stop =
            makeButton("cmdStop", QStringLiteral("STOP"), StopPlacement[index], StopPoints, true);
        stop->setProperty("index", index);
        stop->setAccessibleName(QString::fromUtf8(StopAccessibleNames[index]));
        setFaceColor(stop, DesignedDrawColor);
        stop->hide();
        stop->installEventFilter(this);
        connect(stop, &QPushButton::clicked, this,
                [this, index] { cmdStop_Click(static_cast<std::int16_t>(index)); });
        cmdStop[index] = stop;
    }
    // The hundreds STOP is the window's default button: Enter on no button presses it.
    cmdStop[2]->setDefault(true);

    cmdEnd = makeButton("cmdEnd", QStringLiteral("終了(&X)"), EndPlacement, 0);
    cmdClearResult =
        makeButton("cmdClearResult", QStringLiteral("結果クリア(&C)"), ClearResultPlacement, 0);
    cmdCondition =
        makeButton("cmdCondition", QStringLiteral("条件入力(&J)"), ConditionPlacement, 0);
    cmdResultList =
        makeButton("cmdResultList", QStringLiteral("結果表示(&R)"), ResultListPlacement, 0);
    cmdStart = makeButton("cmdStart", QStringLiteral("START"), StartPlacement, StartPoints, true);
    setFaceColor(cmdStart, DesignedDrawColor);
    cmdStart->installEventFilter(this);

    const QColor digitBack = SystemColors::color(SystemColors::ActiveCaption);
    const QColor digitText = SystemColors::color(SystemColors::CaptionText);
    const QColor infoBack = SystemColors::color(SystemColors::InactiveCaptionText);
    const QColor infoText = SystemColors::color(SystemColors::InfoText);
    // The reels share the faces they keep: they have one size, font and colours.
    const auto faces = std::make_shared<Reel::Faces>(Reel::FacesKept);
    // A digit needs no shaping: a turn then lays its text out in a fraction of the
    // time, and the glyph stands where shaping would put it.
    QFont digits = JapaneseFont::gothicForOwnTexts(DigitPoints);
    digits.setStyleStrategy(QFont::StyleStrategy(digits.styleStrategy() | QFont::PreferNoShaping));
    // Each box is given its text once it has its font: a line edit made with its
    // text lays it out first in the application's font (for Japanese text, with a
    // fallback face that nothing shows), and again at every change of font.
    const auto reel = [&](const char* name, const Placement& at) {
        auto* made = new Reel(faces, this);
        made->setFont(digits);
        makeBox(made, name, at, 0, digitBack, digitText);
        made->setText(QStringLiteral("0"));
        return made;
    };
    txt1 = reel("txt1", OnesPlacement);
    txt10 = reel("txt10", TensPlacement);
    txt100 = reel("txt100", HundredsPlacement);
    m_reels = {txt1, txt10, txt100};
    const auto infoBox = [this](const QString& text) {
        auto* box = new QLineEdit(this);
        box->setText(text);
        return box;
    };
    txtCount = makeBox(infoBox(QStringLiteral("次 nnn回目")), "txtCount", CountPlacement, 0,
                       infoBack, infoText);
    txtRange = makeBox(infoBox(QStringLiteral("抽選範囲 : nnn ～ nnn")), "txtRange", RangePlacement,
                       0, infoBack, infoText);

    cmdStart->setAccessibleName(QStringLiteral("抽選開始"));
    txt100->setAccessibleName(QStringLiteral("百の位"));
    txt10->setAccessibleName(QStringLiteral("十の位"));
    txt1->setAccessibleName(QStringLiteral("一の位"));
    txtCount->setAccessibleName(QStringLiteral("抽選回数"));
    txtRange->setAccessibleName(QStringLiteral("抽選範囲"));

    setTabOrder(cmdStart, cmdStop[2]);
    setTabOrder(cmdStop[2], cmdStop[1]);
    setTabOrder(cmdStop[1], cmdStop[0]);
    setTabOrder(cmdStop[0], cmdResultList);
    setTabOrder(cmdResultList, cmdCondition);
    setTabOrder(cmdCondition, cmdClearResult);
    setTabOrder(cmdClearResult, cmdEnd);

    connect(cmdStart, &QPushButton::clicked, this, &frmRindell::cmdStart_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmRindell::cmdEnd_Click);
    connect(cmdClearResult, &QPushButton::clicked, this, &frmRindell::cmdClearResult_Click);
    connect(cmdCondition, &QPushButton::clicked, this, &frmRindell::cmdCondition_Click);
    connect(cmdResultList, &QPushButton::clicked, this, &frmRindell::cmdResultList_Click);
    // The audience window mirrors the reels and the two lines at every change,
    // so it never shows what this window does not.
    for (QLineEdit* mirrored : {txt100, txt10, txt1, txtRange, txtCount})
        connect(mirrored, &QLineEdit::textChanged, this, &frmRindell::updateAudience);
}

void frmRindell::Form_Load()
{
    if (SingleInstance::anotherIsRunning())
        return; // unloaded: no set-up, no reading, no message

    Common::SetupControls(this);
    const DrawSession::StartReport found = m_session.start();
    if (found.journal == DrawSession::JournalState::HeldByAnother)
        return; // another instance took the lock since the check: it runs
    EditRange();
    EditCount(CountNext);
    setFaceColor(cmdStart, LoadedDrawColor);
    for (QPushButton* stop : cmdStop)
        setFaceColor(stop, LoadedDrawColor);
    m_loaded = true;
    Common::observeWarnings([session = &m_session](const QString& message, const QString& title) {
        session->noteWarning(message, title);
    });

    if (!found.settingsUsable)
        Common::ShowWarning(
            QStringLiteral("設定ファイルを読み込めません。設定ファイルを確認して下さい。"),
            windowTitle());
    if (found.journal == DrawSession::JournalState::Unavailable)
        Common::ShowWarning(QString::fromUtf16(Const::JournalUnusable), windowTitle());
    // The adoption's warning right after its line: a stop between the two is
    // told again at the next start.
    if (found.adopted)
        Common::ShowWarning(
            QStringLiteral(
                "設定ファイルの抽選結果が抽選記録と異なります。設定ファイルを確認して下さい。"),
            windowTitle());
    if (found.journal == DrawSession::JournalState::Broken)
        Common::ShowWarning(
            QStringLiteral("抽選記録ファイルが壊れています。抽選記録ファイルを確認して下さい。"),
            windowTitle());
    if (found.unrevealed) {
        // The show goes on where a stop left it, on the recorded number.
        DrawnNumber = found.unrevealed->number;
        m_drawOrdinal = found.unrevealed->ordinal;
        enterDrawState();
        QTimer::singleShot(0, this, &frmRindell::spinReels);
    }
}

frmRindell::~frmRindell()
{
    delete m_audience.data();
    if (m_loaded)
        Common::observeWarnings({});
}

void frmRindell::EditRange()
{
    txtRange->setText(rangeLine(m_session.rangeFrom(), m_session.rangeTo()));
    Common::setPaletteColor(txtRange, QPalette::Text,
                            isRangeValid(m_session.rangeFrom(), m_session.rangeTo())
                                ? SystemColors::color(SystemColors::InfoText)
                                : QColor(255, 0, 0));
    repaint();
}

void frmRindell::EditCount(enmCountMode mode)
{
    txtCount->setText(countLine(std::int32_t(m_session.drawCount()), mode));
    repaint();
}

void frmRindell::ClearResult()
{
    if (!m_session.isJournalUsable())
        Common::ShowWarning(QString::fromUtf16(Const::JournalUnusable), windowTitle());
    else if (!m_session.clear())
        Common::ShowWarning(
            QStringLiteral("抽選結果をクリアできませんでした。設定ファイルを確認して下さい。"),
            windowTitle());
    EditCount(CountNext);
}

std::int16_t frmRindell::GetActiveStop() const
{
    for (std::int16_t index = 2; index >= 0; --index) {
        if (cmdStop[index]->isVisibleTo(this))
            return index;
    }
    return -1;
}

void frmRindell::FocusDrawButton()
{
    // After a dialog or box has closed, a window manager may leave no window
    // active; Enter and the access keys must reach this one at once.
    if (!isActiveWindow())
        activateWindow();
    if (cmdStart->isVisibleTo(this))
        cmdStart->setFocus();
    else if (const std::int16_t active = GetActiveStop(); active >= 0)
        cmdStop[active]->setFocus();
}

void frmRindell::Form_QueryUnload(bool& cancel)
{
    const std::int16_t active = GetActiveStop();
    if (active < 0)
        return;
    Common::ShowWarning(Common::CollapseAmpersands(cmdStop[active]->text()) +
                            QStringLiteral(" ボタンを押してから終了して下さい。"),
                        windowTitle());
    cmdStop[active]->setFocus();
    cancel = true;
}

void frmRindell::commitData(QSessionManager& manager)
{
    if (GetActiveStop() < 0)
        return;
    if (manager.allowsInteraction()) {
        bool cancel = false;
        Form_QueryUnload(cancel);
        manager.release();
    }
    manager.cancel();
}

void frmRindell::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_audience)
        m_audience->close();
}

void frmRindell::pressDrawButton()
{
    if (QApplication::activeModalWidget())
        return;
    if (cmdStart->isVisibleTo(this))
        cmdStart->click();
    else if (const std::int16_t active = GetActiveStop(); active >= 0)
        cmdStop[active]->click();
}

void frmRindell::toggleAudience()
{
    if (m_audience) {
        m_audience->close();
        return;
    }
    m_audience = new frmAudience;
    m_audience->setAttribute(Qt::WA_DeleteOnClose);
    m_audience->setAttribute(Qt::WA_QuitOnClose, false); // it never keeps the program alive
    // The keyboard stays with the draw buttons.
    m_audience->setAttribute(Qt::WA_ShowWithoutActivating);
    connect(m_audience, &frmAudience::presenterPressed, this, &frmRindell::pressDrawButton);
    connect(m_audience, &frmAudience::displayChanged, this, &frmRindell::saveAudienceDisplay);
    m_audience->followLists(QFileInfo(m_session.journalPath()).absolutePath());
    updateAudience();

    const DisplayPlace::Place stored = DisplayPlace::read(m_session.settingsFile());
    QScreen* target = audienceScreen(stored, screen());
    const bool besideOperator = target == screen();
    // Separate X screens share coordinates: the window is made on its screen.
    m_audience->setScreen(target);
    const QRect area = target->availableGeometry();
    const QMargins decoration = frameMargins(this);
    if (stored.geometry && area.contains(stored.geometry->center())) {
        // Where the operator left it, all of it on the screen.
        m_audience->setGeometry(
            AudiencePlacement::within(stored.geometry->marginsAdded(decoration), area)
                .marginsRemoved(decoration));
    } else if (!besideOperator) {
        QRect frame(QPoint(0, 0), m_audience->size().grownBy(decoration));
        frame.moveCenter(area.center());
        m_audience->setGeometry(AudiencePlacement::within(frame, area).marginsRemoved(decoration));
    } else {
        // Beside the operator's window, framed as it is.
        const QRect beside =
            AudiencePlacement::beside(area, frameGeometry(), m_audience->size().grownBy(decoration),
                                      m_audience->minimumSize().grownBy(decoration));
        m_audience->setGeometry(beside.marginsRemoved(decoration));
    }
    // Full screen again only on a screen of its own: on the operator's it would
    // hide the draw buttons; there F11 is the operator's own choice. Shown so, not
    // by showFullScreen(), which would take the focus.
    if (stored.fullScreen && !besideOperator)
        m_audience->setWindowState(m_audience->windowState() | Qt::WindowFullScreen);
    m_audience->show();
    // Over the operator's window it would hide the draw buttons: it stands behind.
    if (besideOperator && m_audience->frameGeometry().intersects(frameGeometry())) {
        m_audience->lower();
        raise();
    }
    // What the prize and name lists could not give, told at each opening.
    const QString title = windowTitle();
    for (const QString& warning : m_audience->listWarnings())
        Common::ShowWarning(warning, title);
}

void frmRindell::openAudienceWhenPlaced()
{
    m_audienceOnPaint = true;
    installEventFilter(this);
}

void frmRindell::saveAudienceDisplay()
{
    if (!m_audience)
        return;
    QScreen* shownOn = m_audience->screen();
    DisplayPlace::write(m_session.settingsFile(),
                        {shownOn ? shownOn->name() : QString(),
                         int(QGuiApplication::screens().indexOf(shownOn)),
                         m_audience->isFullScreen(), m_audience->normalGeometry()});
}

void frmRindell::updateAudience()
{
    // The ordinal of the draw whose number the reels show: the running draw, or
    // the last one while it stays in the series; none before the first.
    if (GetActiveStop() >= 0)
        m_reelsOrdinal = m_session.drawCount();
    else if (m_reelsOrdinal > m_session.drawCount() ||
             m_session.results().value(m_reelsOrdinal) != DrawnNumber)
        m_reelsOrdinal = 0;
    if (!m_audience)
        return;
    m_audience->showReels(txt100->text() + txt10->text() + txt1->text(), GetActiveStop() >= 0);
    m_audience->showInfo(txtRange->text(),
                         m_reelsOrdinal > 0 ? countLine(std::int32_t(m_reelsOrdinal), CountCurrent)
                                            : QString());
    // Its prize; before any draw is on the reels, the next draw's.
    m_audience->showDraw(
        std::int32_t(m_reelsOrdinal > 0 ? m_reelsOrdinal : m_session.drawCount() + 1),
        m_reelsOrdinal > 0);
}

void frmRindell::keyPressEvent(QKeyEvent* event)
{
    // The audience window and the presenter remote; no key acts under a modal box.
    if ((event->key() == Qt::Key_F5 || event->key() == Qt::Key_PageDown) &&
        !QApplication::activeModalWidget()) {
        if (event->key() == Qt::Key_F5)
            toggleAudience();
        else
            pressDrawButton();
        return;
    }
    // Enter that no button took presses the default button while it is shown.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        cmdStop[2]->isVisibleTo(this)) {
        cmdStop[2]->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmRindell::changeEvent(QEvent* event)
{
    // Restored while a modal window was minimised with it: the modal comes back too.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != this && modal->isMinimized()) {
            modal->showNormal();
            modal->activateWindow();
        }
    }
    QWidget::changeEvent(event);
}

bool frmRindell::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == this && type == QEvent::Paint && m_audienceOnPaint) {
        m_audienceOnPaint = false;
        QTimer::singleShot(0, this, &frmRindell::toggleAudience);
    } else if (watched == cmdStart && type == QEvent::MouseButtonPress) {
        m_startPressed.start();
    } else if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
               std::find(cmdStop.cbegin(), cmdStop.cend(), watched) != cmdStop.cend() &&
               m_startPressed.isValid() &&
               m_startPressed.elapsed() <
                   QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
        // The press already moved the focus to this STOP: back to the rule's STOP.
        FocusDrawButton();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmRindell::cmdEnd_Click()
{
    if (Common::askYesNo(QStringLiteral("終了します。よろしいですか？"), windowTitle(),
                         QMessageBox::Yes) == QMessageBox::No) {
        FocusDrawButton();
        return;
    }
    close();
}

void frmRindell::cmdClearResult_Click()
{
    if (Common::askYesNo(QStringLiteral("抽選結果をクリアします。よろしいですか？"), windowTitle(),
                         QMessageBox::No) == QMessageBox::No) {
        FocusDrawButton();
        return;
    }
    ClearResult();
    FocusDrawButton();
}

void frmRindell::cmdCondition_Click()
{
    const QPointer<frmRindell> self(this);
    QPointer<frmCondition> dialog = new frmCondition(m_session, this);
    connect(dialog, &frmCondition::clearRequested, this, &frmRindell::ClearResult);
    dialog->exec();
    delete dialog.data();
    if (self)
        FocusDrawButton();
}

void frmRindell::cmdResultList_Click()
{
    const QPointer<frmRindell> self(this);
    if (m_session.drawCount() > 0) {
        QPointer<frmResultList> dialog = new frmResultList(m_session, this);
        dialog->exec();
        delete dialog.data();
    } else {
        Common::ShowWarning(QStringLiteral("結果はありません。"), windowTitle());
    }
    if (self)
        FocusDrawButton();
}

void frmRindell::cmdStart_Click()
{
    const std::variant<DrawSession::Draw, DrawSession::Refusal> outcome = m_session.draw();
    if (const auto* refusal = std::get_if<DrawSession::Refusal>(&outcome)) {
        const QPointer<frmRindell> self(this);
        switch (*refusal) {
        case DrawSession::Refusal::NoRange:
            Common::ShowWarning(
                QStringLiteral("抽選範囲が未設定または異常です。条件設定を行って下さい。"),
                windowTitle());
            if (self)
                cmdCondition->setFocus();
            return;
        case DrawSession::Refusal::Exhausted:
            Common::ShowWarning(QStringLiteral("全て抽選されたので、これ以上抽選できません。"),
                                windowTitle());
            return;
        case DrawSession::Refusal::NotSaved:
            Common::ShowWarning(
                QStringLiteral("抽選結果を保存できませんでした。設定ファイルを確認して下さい。"),
                windowTitle());
            if (self)
                FocusDrawButton();
            return;
        case DrawSession::Refusal::NotJournaled:
            Common::ShowWarning(QString::fromUtf16(Const::JournalUnusable), windowTitle());
            if (self)
                FocusDrawButton();
            return;
        }
    }
    const DrawSession::Draw draw = std::get<DrawSession::Draw>(outcome);
    DrawnNumber = draw.number;
    m_drawOrdinal = draw.ordinal;
    enterDrawState();
    spinReels();
}

void frmRindell::enterDrawState()
{
    for (QPushButton* stop : cmdStop)
        stop->setVisible(true);
    cmdStop[2]->setFocus();
    cmdStart->setVisible(false);
    EditCount(CountCurrent);
    updateAudience();
}

void frmRindell::spinReels()
{
    const QPointer<frmRindell> self(this);
    // The reels turn once per frame of the display, in a local event loop: START
    // returns only after the last STOP, and every other handler, STOP included,
    // runs nested in it and is seen only through which STOPs are still visible.
    QEventLoop spinning;
    m_spinning = &spinning;
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    frames.setInterval(frameInterval(screen() ? screen()->refreshRate() : 60.0));
    int phase = 1;
    const auto turn = [&] {
        if (!self || GetActiveStop() == -1) {
            spinning.quit();
            return;
        }
        // While a dialog or a message box is open the draw waits, as the reels do.
        if (QApplication::activeModalWidget())
            return;
        // Only the turning reels change, and only they are painted again.
        if (cmdStop[0]->isVisibleTo(this))
            txt1->setText(advanceReel(txt1->text()));
        if (phase % 2 == 0 && cmdStop[1]->isVisibleTo(this))
            txt10->setText(advanceReel(txt10->text()));
        if (phase % 3 == 0 && cmdStop[2]->isVisibleTo(this))
            txt100->setText(advanceReel(txt100->text()));
        phase = phase % 3 + 1;
    };
    connect(&frames, &QTimer::timeout, &spinning, turn);
    connect(this, &QObject::destroyed, &spinning, &QEventLoop::quit);
    turn(); // the first turn at once
    frames.start();
    if (GetActiveStop() != -1)
        spinning.exec();
    if (!self)
        return;
    m_spinning = nullptr;
    if (GetActiveStop() != -1)
        return; // the application is quitting in the middle of the draw
    EditCount(CountNext);
    repaint();
}

void frmRindell::cmdStop_Click(std::int16_t index)
{
    m_reels[index]->setText(QString::number(reelDigit(DrawnNumber, index)));
    cmdEnd->setFocus();
    cmdStop[index]->hide();
    if (const std::int16_t active = GetActiveStop(); active == -1) {
        // The audience has seen the number.
        m_session.reveal({m_drawOrdinal, DrawnNumber});
        cmdStart->setVisible(true);
        cmdStart->setFocus();
        if (m_spinning)
            m_spinning->quit();
    } else {
        cmdStop[active]->setFocus();
    }
    updateAudience();
    repaint();
}
