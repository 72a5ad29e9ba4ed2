#include "common/modalframe.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class Restorer : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* modal = qobject_cast<QWidget*>(watched);
        if (modal && event->type() == QEvent::WindowStateChange && modal->isMinimized()) {
            // After the window system has finished minimising, not inside it.
            QTimer::singleShot(0, modal, [modal] {
                QWidget* owner = modal->parentWidget() ? modal->parentWidget()->window() : nullptr;
                if (owner && owner->isMinimized())
                    owner->showNormal();
                modal->showNormal();
                modal->raise();
                modal->activateWindow();
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

namespace Common {

void keepModalOnScreen(QWidget* modal)
{
    modal->setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    modal->installEventFilter(new Restorer(modal));
}

} // namespace Common
