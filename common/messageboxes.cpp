#include "common/common.h"
#include "common/const.h"
#include "common/modalframe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

Common::WarningObserver& warningObserver()
{
    static Common::WarningObserver observer;
    return observer;
}

QPointer<QWidget>& operatorWindow()
{
    static QPointer<QWidget> window;
    return window;
}

// What a box stands over: the open dialog, else the operator's window, whichever
// window is active (never the audience's, on the projector).
QWidget* boxOwner()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* window = operatorWindow(); window && window->isVisible())
        return window;
    return QApplication::activeWindow();
}

// A box that only its buttons answer, when `buttonsOnly`: Esc and a close
// request from the window system do nothing.
class AnswerBox : public QMessageBox
{
  public:
    AnswerBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
              QWidget* owner, bool buttonsOnly)
        : QMessageBox(icon, title, text, buttons, owner), m_buttonsOnly(buttonsOnly)
    {
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (m_buttonsOnly && event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (m_buttonsOnly && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

  private:
    bool m_buttonsOnly;
};

// The message with line breaks after its sentences and clauses (。、), where
// Japanese may break, so that the box never wraps inside a word: each line as
// long as `limit` allows; a single clause wider than that stays whole.
QString brokenForWidth(const QString& message, const QFontMetrics& metrics, int limit)
{
    if (metrics.horizontalAdvance(message) <= limit)
        return message;
    QStringList lines;
    QString line;
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = start;
        while (end < message.size() && message[end] != u'。' && message[end] != u'、')
            ++end;
        const QString clause = message.mid(start, end + 1 - start);
        if (!line.isEmpty() && metrics.horizontalAdvance(line + clause) > limit) {
            lines << line;
            line.clear();
        }
        line += clause;
        start = end + 1;
    }
    lines << line;
    return lines.join(u'\n');
}

QMessageBox::StandardButton showBox(const QString& message, const QString& title,
                                    QMessageBox::Icon icon,
                                    QMessageBox::StandardButton defaultButton)
{
    QApplication::beep();

    const bool yesNo = icon == QMessageBox::Question;
    const QPointer<QWidget> owner = boxOwner();
    AnswerBox box(icon, title, message,
                  yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner, yesNo);
    // Where Qt would wrap the text (wider than half the screen, at most 500
    // pixels, beside the icon), it breaks it itself, between clauses.
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const int iconWidth = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    const int textLimit = std::min(screen->availableGeometry().width() / 2, 500) - iconWidth -
                          4 * box.style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    box.setText(brokenForWidth(message, box.fontMetrics(), textLimit));
    // Without Qt's Japanese translation the buttons would read Yes/No in English.
    if (QCoreApplication::translate("QPlatformTheme", "&Yes") == QLatin1String("&Yes")) {
        if (yesNo) {
            box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
            box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        } else {
            box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        }
    }
    box.setDefaultButton(defaultButton);
    Common::plainDialogButtons(&box);
    // No maximise box; keepModalOnScreen takes away the minimise box. A question
    // has no close box either: only はい and いいえ answer it.
    Qt::WindowFlags flags = (box.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                            ~Qt::WindowMaximizeButtonHint;
    if (yesNo)
        flags &= ~(Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
    box.setWindowFlags(flags);
    Common::keepModalOnScreen(&box);
    box.exec();
    // A window manager may leave no window active once the box is gone.
    if (owner && owner->isVisible())
        owner->activateWindow();
    // An OK box closed without its button (Esc, the frame) is answered all the same.
    return box.clickedButton() == box.button(QMessageBox::Yes) ? QMessageBox::Yes
           : yesNo                                             ? QMessageBox::No
                                                               : QMessageBox::Ok;
}

} // namespace

namespace Common {

void ShowWarning(const QString& message, const QString& title)
{
    if (const WarningObserver& observer = warningObserver())
        observer(message, title);
    showBox(message, title, QMessageBox::Warning, QMessageBox::Ok);
}

void observeWarnings(WarningObserver observer)
{
    warningObserver() = std::move(observer);
}

void setBoxOwner(QWidget* window)
{
    operatorWindow() = window;
}

QMessageBox::StandardButton askYesNo(const QString& message, const QString& title,
                                     QMessageBox::StandardButton defaultButton)
{
    return showBox(message, title, QMessageBox::Question, defaultButton);
}

std::int16_t AskQuestion(const QString& message, const QString& title, std::int32_t extraStyle)
{
    const bool secondIsDefault = (extraStyle & 0xF00) == Const::MB_DEFBUTTON2;
    return askYesNo(message, title, secondIsDefault ? QMessageBox::No : QMessageBox::Yes) ==
                   QMessageBox::Yes
               ? Const::IDYES
               : Const::IDNO;
}

} // namespace Common
