#include "common/common.h"
#include "common/const.h"
#include "common/modalframe.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

Common::WarningObserver& warningObserver()
{
    static Common::WarningObserver observer;
    return observer;
}

std::int32_t showBox(const QString& message, const QString& title, std::int32_t style)
{
    QApplication::beep();

    const bool question = (style & 0xF0) == Const::MB_ICONQUESTION;
    const bool yesNo = (style & 0x0F) == Const::MB_YESNO;
    const QPointer<QWidget> owner = QApplication::activeWindow();
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::Warning, title, message,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    // Without Qt's Japanese translation the buttons would read Yes/No in English.
    if (QCoreApplication::translate("QPlatformTheme", "&Yes") == QLatin1String("&Yes")) {
        if (yesNo) {
            box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
            box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        } else {
            box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        }
    }
    if (yesNo) {
        const bool secondIsDefault = (style & 0xF00) == Const::MB_DEFBUTTON2;
        box.setDefaultButton(secondIsDefault ? QMessageBox::No : QMessageBox::Yes);
    }
    Common::PlainDialogButtons(&box);
    // No maximise box; KeepModalOnScreen takes away the minimise box.
    box.setWindowFlags((box.windowFlags() | Qt::CustomizeWindowHint) &
                       ~Qt::WindowMaximizeButtonHint);
    Common::KeepModalOnScreen(&box);
    box.exec();
    // A window manager may leave no window active once the box is gone.
    if (owner && owner->isVisible())
        owner->activateWindow();
    return box.clickedButton() == box.button(QMessageBox::Yes) ? Const::IDYES : Const::IDNO;
}

} // namespace

namespace Common {

void ShowWarning(const QString& message, const QString& title)
{
    if (const WarningObserver& observer = warningObserver())
        observer(message, title);
    showBox(message, title, Const::MB_OK | Const::MB_ICONEXCLAMATION);
}

void ObserveWarnings(WarningObserver observer)
{
    warningObserver() = std::move(observer);
}

std::int16_t AskQuestion(const QString& message, const QString& title, std::int32_t extraStyle)
{
    const std::int32_t style = extraStyle + (Const::MB_YESNO | Const::MB_ICONQUESTION);
    return static_cast<std::int16_t>(showBox(message, title, style));
}

} // namespace Common
