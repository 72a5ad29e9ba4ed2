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

QMessageBox::StandardButton showBox(const QString& message, const QString& title,
                                    QMessageBox::Icon icon,
                                    QMessageBox::StandardButton defaultButton)
{
    QApplication::beep();

    const bool yesNo = icon == QMessageBox::Question;
    const QPointer<QWidget> owner = QApplication::activeWindow();
    QMessageBox box(icon, title, message,
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
    box.setDefaultButton(defaultButton);
    Common::plainDialogButtons(&box);
    // No maximise box; keepModalOnScreen takes away the minimise box.
    box.setWindowFlags((box.windowFlags() | Qt::CustomizeWindowHint) &
                       ~Qt::WindowMaximizeButtonHint);
    Common::keepModalOnScreen(&box);
    box.exec();
    // A window manager may leave no window active once the box is gone.
    if (owner && owner->isVisible())
        owner->activateWindow();
    // Closed without a button (Esc, the frame): as No, or as OK.
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
