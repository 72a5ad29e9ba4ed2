#include "condition_dialog/frmcondition.h"

#include "common/common.h"
#include "common/const.h"
#include "common/japanesefont.h"
#include "common/modalframe.h"
#include "common/twips.h"
#include "session/drawsession.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int ClientWidth = 4545;
constexpr int ClientHeight = 1665;
// The dialog's client area always opens at this place on the screen.
constexpr int ScreenLeft = 2760;
constexpr int ScreenTop = 3750;

bool isBlank(QChar c)
{
    return c == u' ' || c == QChar(0x3000); // an IME types the ideographic space
}

QString trimmedBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

frmCondition::frmCondition(DrawSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_session(session)
{
    setObjectName(QStringLiteral("frmCondition"));
    setWindowTitle(QStringLiteral("条件入力"));
    setFont(JapaneseFont::gothic(Const::WindowFontPoints));
    setGeometry(Twips::rect(ScreenLeft, ScreenTop, ClientWidth, ClientHeight));
    setFixedSize(Twips::toPixels(ClientWidth), Twips::toPixels(ClientHeight));
    createControls();
    Common::keepModalOnScreen(this);
    Form_Load();
}

void frmCondition::createControls()
{
    const auto makeBox = [this](const char* name, const QRect& at) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(at);
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->installEventFilter(this);
        return box;
    };
    const auto makeButton = [this](const char* name, const QString& caption, const QRect& at) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(at);
        // Neither is a default button: Enter in a box presses nothing.
        button->setAutoDefault(false);
        button->setDefault(false);
        button->installEventFilter(this);
        return button;
    };
    const auto makeLabel = [this](const char* name, const QString& caption, const QRect& at,
                                  Qt::Alignment alignment) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(name));
        label->setGeometry(at);
        label->setAlignment(alignment);
        return label;
    };

    txtRangeMax = makeBox("txtRangeMax", Twips::rect(3480, 255, 615, 360));
    txtRangeMin = makeBox("txtRangeMin", Twips::rect(2040, 240, 615, 360));
    cmdCancel =
        makeButton("cmdCancel", QStringLiteral("キャンセル"), Twips::rect(2520, 960, 1575, 495));
    cmdOK = makeButton("cmdOK", QStringLiteral("OK"), Twips::rect(360, 960, 1575, 495));
    Label1 = makeLabel("Label1", QStringLiteral("～"), Twips::rect(2880, 360, 495, 255),
                       Qt::AlignHCenter | Qt::AlignTop);
    lblRange = makeLabel("lblRange", QStringLiteral("抽選結果範囲"),
                         Twips::rect(240, 360, 1575, 255), Qt::AlignLeft | Qt::AlignTop);

    txtRangeMin->setAccessibleName(lblRange->text() + QStringLiteral("(From)"));
    txtRangeMax->setAccessibleName(lblRange->text() + QStringLiteral("(To)"));

    setTabOrder(txtRangeMin, txtRangeMax);
    setTabOrder(txtRangeMax, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, &frmCondition::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCondition::cmdCancel_Click);
}

void frmCondition::Form_Load()
{
    Common::SetupControls(this);
    if (m_session.rangeFrom() >= 0)
        txtRangeMin->setText(QString::number(m_session.rangeFrom()));
    if (m_session.rangeTo() >= 0)
        txtRangeMax->setText(QString::number(m_session.rangeTo()));
    txtRangeMin->setFocus();
}

QString frmCondition::itemName() const
{
    return Common::RemoveSpaces(Common::CollapseAmpersands(lblRange->text()));
}

bool frmCondition::leaveCheck(QLineEdit* box)
{
    const QString text = trimmedBlanks(box->text());
    box->setText(text);
    const QString item =
        itemName() + (box == txtRangeMin ? QStringLiteral("(From)") : QStringLiteral("(To)"));
    return Common::CheckNumberInput(text, Const::RangeDigits, item, windowTitle());
}

void frmCondition::boxFocusLost(QLineEdit* box, QFocusEvent* event)
{
    // Only a move inside the dialog leaves the box: a message box or another
    // window taking the activation does not, nor does closing through the frame.
    QWidget* target = QApplication::focusWidget();
    const bool insideDialog = target && target != box && target->window() == this;
    if (m_checking || box != m_boxToCheck || !insideDialog ||
        event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;

    m_checking = true;
    const bool passed = leaveCheck(box);
    m_checking = false;
    if (passed) {
        m_boxToCheck = nullptr;
        return;
    }
    // Qt cannot veto a focus change: take the focus back and swallow the press
    // that moved it, which the target receives right after this event.
    box->setFocus(Qt::OtherFocusReason);
    if (event->reason() == Qt::MouseFocusReason) {
        m_refusedTarget = target;
        QTimer::singleShot(0, this, [this] { m_refusedTarget = nullptr; });
    }
}

bool frmCondition::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        if (box && (box == txtRangeMin || box == txtRangeMax)) {
            m_boxToCheck = box;
            // After the line edit has placed its own cursor.
            QTimer::singleShot(0, box, [box] { Common::SelectText(box, 0, -1); });
        }
        break;
    case QEvent::FocusOut:
        if (box && (box == txtRangeMin || box == txtRangeMax))
            boxFocusLost(box, static_cast<QFocusEvent*>(event));
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        if (watched == m_refusedTarget) {
            if (event->type() == QEvent::MouseButtonRelease)
                m_refusedTarget = nullptr;
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void frmCondition::keyPressEvent(QKeyEvent* event)
{
    if (Common::pressFocusedButton(this, event))
        return;
    if (event->key() == Qt::Key_Escape)
        return; // キャンセル is an ordinary button: no key answers for it
    QDialog::keyPressEvent(event);
}

void frmCondition::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    Common::HandleFormClose(this, cancel, 0);
    if (cancel)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool frmCondition::pendingLeaveCheckFails()
{
    // A press that reached a button without the focus leaving the box (an
    // inactive window) still meets the leave check.
    if (!m_boxToCheck || leaveCheck(m_boxToCheck))
        return false;
    m_boxToCheck->setFocus();
    return true;
}

void frmCondition::cmdCancel_Click()
{
    if (!pendingLeaveCheckFails())
        reject();
}

void frmCondition::cmdOK_Click()
{
    if (pendingLeaveCheckFails())
        return;
    const QString title = windowTitle();
    const QString item = itemName();
    const RangeDecision::Outcome outcome =
        m_session.decideRange(txtRangeMin->text(), txtRangeMax->text());
    switch (outcome) {
    case RangeDecision::Outcome::MissingFrom:
        Common::ShowWarning(item + QStringLiteral("(From)を入力して下さい。"), title);
        txtRangeMin->setFocus();
        return;
    case RangeDecision::Outcome::MissingTo:
        Common::ShowWarning(item + QStringLiteral("(To)を入力して下さい。"), title);
        txtRangeMax->setFocus();
        return;
    case RangeDecision::Outcome::Reversed:
        Common::ShowWarning(item + QStringLiteral("は、(From)≦(To)で入力して下さい。"), title);
        txtRangeMin->setFocus();
        return;
    case RangeDecision::Outcome::Narrowed:
    case RangeDecision::Outcome::Changed:
    case RangeDecision::Outcome::Unchanged:
        break;
    }
    // Nothing is asked or stored that the journal could not record.
    if (outcome != RangeDecision::Outcome::Unchanged && !m_session.isJournalUsable()) {
        Common::ShowWarning(QString::fromUtf16(Const::JournalUnusable), title);
        return;
    }
    // Asked before anything is stored; No leaves the dialog open.
    if (outcome == RangeDecision::Outcome::Narrowed &&
        Common::askYesNo(
            QStringLiteral("抽選範囲が狭くなったので、抽選結果をクリアします。よろしいですか？"),
            title, QMessageBox::No) == QMessageBox::No)
        return;

    if (outcome != RangeDecision::Outcome::Unchanged) {
        if (!m_session.setRange(txtRangeMin->text(), txtRangeMax->text()))
            Common::ShowWarning(
                QStringLiteral("抽選範囲を保存できませんでした。設定ファイルを確認して下さい。"),
                title);
        if (outcome == RangeDecision::Outcome::Narrowed ||
            Common::askYesNo(QStringLiteral("抽選範囲が変更されました。抽選結果をクリアしますか？"),
                             title, QMessageBox::No) == QMessageBox::Yes)
            Q_EMIT clearRequested();
    }
    accept();
}
