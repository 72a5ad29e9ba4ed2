#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>

ModalAnswerer::ModalAnswerer()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

ModalAnswerer::~ModalAnswerer() = default;

ModalAnswerer& ModalAnswerer::press(QMessageBox::StandardButton button)
{
    return then([button](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->button(button)->click();
    });
}

ModalAnswerer& ModalAnswerer::pressEnter()
{
    return then([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
}

ModalAnswerer& ModalAnswerer::then(Action action)
{
    m_queue.append(std::move(action));
    return *this;
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_handled || !modal->isVisible())
        return;
    m_handled = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        if (box->defaultButton())
            defaultButton = box->standardButton(box->defaultButton());
        QStringList texts;
        for (QAbstractButton* button : box->buttons())
            texts << button->text();
        m_seen.append({box->windowTitle(), QString(box->text()).remove(u'\n'), box->icon(),
                       box->standardButtons(), defaultButton, texts});
    }
    Action action = m_queue.isEmpty() ? Action() : m_queue.takeFirst();
    if (!action) {
        ++m_unexpected;
        action = [](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->button(box->standardButtons().testFlag(QMessageBox::Ok) ? QMessageBox::Ok
                                                                             : QMessageBox::No)
                    ->click();
            else
                w->close();
        };
    }
    // From its own turn of the event loop: an action that opens another modal
    // window must not block this timer. Afterwards the window under the box is
    // activated again, as a window manager does (the offscreen platform does not).
    QPointer<QWidget> under = modal->parentWidget() ? modal->parentWidget()->window() : nullptr;
    QTimer::singleShot(0, modal, [modal, action, under] {
        action(modal);
        QTimer::singleShot(0, [under] {
            QWidget* modalNow = QApplication::activeModalWidget();
            if (under && under->isVisible() && (!modalNow || modalNow == under))
                under->activateWindow();
        });
    });
}

bool waitUntilAnswered(const ModalAnswerer& answerer, int timeoutMs)
{
    return QTest::qWaitFor([&answerer] { return answerer.done(); }, timeoutMs);
}
