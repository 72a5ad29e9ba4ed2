#pragma once

#include <QDialog>

class DrawSession;
class QListWidget;
class QPushButton;

// Lists every draw of the series in draw order.
class frmResultList : public QDialog
{
    Q_OBJECT

  public:
    explicit frmResultList(const DrawSession& session, QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Form_Load();
    void Form_Resize();
    // Ctrl+S and the list's context menu: the series as a CSV file, where the
    // operator chooses.
    void saveCsv();
    // The list's height for `requested` pixels at its width: whole rows plus the
    // frame and any horizontal scroll bar.
    int wholeRowsHeight(int requested) const;

    const DrawSession& m_session;
    QListWidget* lstResult = nullptr;
    QPushButton* cmdClose = nullptr;
};
