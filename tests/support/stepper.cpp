#include "stepper.h"

#include <QApplication>

Stepper::Stepper()
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &Stepper::tick);
    m_timer.start();
}

Stepper& Stepper::then(std::function<void()> step)
{
    m_steps.append(std::move(step));
    return *this;
}

void Stepper::tick()
{
    if (m_scheduled || m_steps.isEmpty() || QApplication::activeModalWidget())
        return;
    m_scheduled = true;
    // From its own turn of the event loop: a step may block (START runs the whole
    // draw, a button may open a modal window) while later steps run nested in it.
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        const std::function<void()> step = m_steps.takeFirst();
        step();
    });
}
