#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Runs queued steps one at a time from the event loop, also nested inside the
// main window's spinning loop, and waits while a modal window is open (a
// ModalAnswerer answers those).
class Stepper : public QObject
{
    Q_OBJECT

  public:
    Stepper();

    Stepper& then(std::function<void()> step);
    bool done() const { return m_steps.isEmpty(); }

  private:
    void tick();

    QTimer m_timer;
    QList<std::function<void()>> m_steps;
    bool m_scheduled = false;
};
