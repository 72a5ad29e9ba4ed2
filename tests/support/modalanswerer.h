#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

// Answers the modal windows that the code under test opens, in the order they
// appear, by pressing their buttons as an operator would, and records every
// message box it saw.
class ModalAnswerer : public QObject
{
    Q_OBJECT

  public:
    struct Seen
    {
        QString title;
        QString text; // the message, without the line breaks the box puts between clauses
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QStringList buttonTexts; // in the box's order
    };
    using Action = std::function<void(QWidget* modal)>;

    ModalAnswerer();
    ~ModalAnswerer() override;

    // The next message box is answered by pressing `button`.
    ModalAnswerer& press(QMessageBox::StandardButton button);
    // The next message box is answered by pressing Enter, which takes its default button.
    ModalAnswerer& pressEnter();
    // The next modal window (a dialog of the program) is handed to `action`.
    ModalAnswerer& then(Action action);

    const QList<Seen>& seen() const { return m_seen; }
    // True once every queued answer has been used.
    bool done() const { return m_queue.isEmpty(); }
    // Boxes that appeared with nothing queued; they were answered by pressing OK,
    // or No where there is no OK, and other modal windows were closed.
    int unexpected() const { return m_unexpected; }

  private:
    void poll();

    QTimer m_timer;
    QList<Action> m_queue;
    QList<Seen> m_seen;
    QPointer<QWidget> m_handled;
    int m_unexpected = 0;
};

// Waits until `done()` or the timeout; true when done.
bool waitUntilAnswered(const ModalAnswerer& answerer, int timeoutMs = 5000);
