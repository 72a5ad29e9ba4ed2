#pragma once

#include <QDialog>
#include <QPointer>

class DrawSession;
class QLabel;
class QLineEdit;
class QPushButton;

// The condition dialog, where the operator enters the drawing range. It sets the
// session's range and asks for a clear; it knows no window.
class frmCondition : public QDialog
{
    Q_OBJECT

  public:
    explicit frmCondition(DrawSession& session, QWidget* parent = nullptr);

  Q_SIGNALS:
    // The operator agreed to clear the results; emitted after the range changed.
    void clearRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void Form_Load();
    // Trims the box and checks it; false keeps the operator in the box.
    bool leaveCheck(QLineEdit* box);
    // True when the box still holding the focus fails its check (the focus stays there).
    bool pendingLeaveCheckFails();
    void boxFocusLost(QLineEdit* box, QFocusEvent* event);
    void cmdOK_Click();
    void cmdCancel_Click();
    QString itemName() const;

    DrawSession& m_session;
    QLineEdit* txtRangeMax = nullptr;
    QLineEdit* txtRangeMin = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOK = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblRange = nullptr;

    // The range box that holds the focus and has not passed its leave check yet.
    QPointer<QLineEdit> m_boxToCheck;
    // The control whose mouse press moved the focus out of a box that failed its
    // check: that press is swallowed, so nothing is clicked.
    QPointer<QWidget> m_refusedTarget;
    bool m_checking = false;
};
