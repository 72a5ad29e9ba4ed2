#include "result_list/frmresultlist.h"

#include "common/common.h"
#include "common/const.h"
#include "common/japanesefont.h"
#include "common/modalframe.h"
#include "common/twips.h"
#include "journal/export.h"
#include "result_list/fitting.h"
#include "result_list/resultline.h"
#include "session/drawsession.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ClientWidth = 3150;
constexpr int ClientHeight = 6255;
// The window's client area always opens at this place on the screen.
constexpr int ScreenLeft = 2775;
constexpr int ScreenTop = 3765;

Fitting::Box twipsOf(const QRect& rect)
{
    return {double(Twips::fromPixels(rect.x())), double(Twips::fromPixels(rect.y())),
            double(Twips::fromPixels(rect.width())), double(Twips::fromPixels(rect.height()))};
}

QRect pixelsOf(const Fitting::Box& box)
{
    return QRect(Twips::toPixels(box.left), Twips::toPixels(box.top), Twips::toPixels(box.width),
                 Twips::toPixels(box.height));
}

} // namespace

frmResultList::frmResultList(const DrawSession& session, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_session(session)
{
    setObjectName(QStringLiteral("frmResultList"));
    setWindowTitle(QStringLiteral("結果表示"));
    setFont(JapaneseFont::gothic(Const::WindowFontPoints));
    setGeometry(Twips::rect(ScreenLeft, ScreenTop, ClientWidth, ClientHeight));

    lstResult = new QListWidget(this);
    lstResult->setObjectName(QStringLiteral("lstResult"));
    lstResult->setGeometry(Twips::rect(120, 120, 2895, 5340));
    lstResult->setUniformItemSizes(true);
    lstResult->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResult->installEventFilter(this);
    lstResult->setAccessibleName(QStringLiteral("抽選結果一覧"));
    // Export, without a control of its own: the layout stays as designed.
    auto* save = new QAction(QStringLiteral("CSV形式で保存(&S)..."), this);
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WindowShortcut);
    connect(save, &QAction::triggered, this, &frmResultList::saveCsv);
    addAction(save);
    lstResult->addAction(save);
    lstResult->setContextMenuPolicy(Qt::ActionsContextMenu);

    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(Twips::rect(960, 5640, 1335, 495));
    // The cancel button only: QDialog closes on Esc; Enter presses it only when it
    // holds the focus (keyPressEvent), never from the list.
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(lstResult, cmdClose);
    Common::keepModalOnScreen(this);
    Form_Load();
}

void frmResultList::Form_Load()
{
    Common::SetupControls(this);
    // What the operator announces at the end: the journal's head.
    if (const QString head = m_session.journalHead(); !head.isEmpty())
        lstResult->setToolTip(QStringLiteral("head ") + head);
    const QList<std::int16_t>& results = m_session.results();
    for (int i = 1; i < results.size(); ++i)
        lstResult->addItem(resultLine(i, results[i]));
    // No current line: taking the focus would otherwise make the first line
    // current, painted as if it were selected.
    lstResult->setCurrentIndex(QModelIndex());
    lstResult->setFocus();
}

void frmResultList::saveCsv()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString proposed = QDir(folder).filePath(Export::defaultFileName(QDateTime::currentDateTime()));
    QString path;
    while (path.isEmpty()) {
        QFileDialog dialog(this, QStringLiteral("CSV形式で保存"), proposed,
                           QStringLiteral("CSV (*.csv)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        // Over a file that is there, the program's own plain question, not the dialog's.
        dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
        Common::plainDialogButtons(&dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        const QFileInfo chosen(dialog.selectedFiles().first());
        if ((!chosen.exists() && !chosen.isSymLink()) ||
            Common::askYesNo(chosen.fileName() +
                                 QStringLiteral(" は既にあります。上書きしますか？"),
                             windowTitle(), QMessageBox::No) == QMessageBox::Yes)
            path = chosen.filePath();
        else
            proposed = chosen.filePath(); // No: back to the dialog, at that file
    }
    const QString ini = m_session.settingsFile();
    const QString log = m_session.journalPath();
    const std::optional<QByteArray> csv = Export::csvOfFiles(ini, log);
    if (!csv) {
        Common::ShowWarning(QStringLiteral("CSVファイルを保存できませんでした。抽選記録ファイルを"
                                           "確認して下さい。"),
                            windowTitle());
        return;
    }
    if (const auto failed = Export::write(path, *csv, {ini, log}))
        Common::ShowWarning(QStringLiteral("CSVファイルを保存できませんでした。") + failed->reason,
                            windowTitle());
}

int frmResultList::wholeRowsHeight(int requested) const
{
    const bool filled = lstResult->count() > 0;
    const Fitting::ListMetrics metrics{
        2 * lstResult->frameWidth(),
        filled ? lstResult->sizeHintForRow(0) : lstResult->fontMetrics().height(),
        lstResult->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lstResult),
        lstResult->count(),
        filled ? lstResult->sizeHintForColumn(0) : 0,
    };
    return Fitting::wholeLinesHeight(requested, lstResult->width(), metrics);
}

void frmResultList::keyPressEvent(QKeyEvent* event)
{
    if (!Common::pressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

bool frmResultList::eventFilter(QObject* watched, QEvent* event)
{
    // End before any line is current goes to the last line, not the first.
    if (watched == lstResult && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_End &&
        !lstResult->currentIndex().isValid() && lstResult->count() > 0) {
        lstResult->setCurrentRow(lstResult->count() - 1);
        return true;
    }
    // Like a Windows list box, the list shows whole lines only: whatever height it
    // is given, it settles on whole rows plus its frame.
    if (watched == lstResult && event->type() == QEvent::Resize) {
        const int settled = wholeRowsHeight(lstResult->height());
        if (settled != lstResult->height())
            lstResult->resize(lstResult->width(), settled);
    }
    return QDialog::eventFilter(watched, event);
}

void frmResultList::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmResultList::Form_Resize()
{
    const Fitting::Layout fitted = Fitting::fit(
        Twips::fromPixels(width()), Twips::fromPixels(height()),
        {twipsOf(lstResult->geometry()), twipsOf(cmdClose->geometry())},
        [this](double width, double height) {
            // Settled here rather than by the list's own resize event, which Qt
            // delivers later while the window is being shown.
            lstResult->resize(Twips::toPixels(width), lstResult->height());
            lstResult->resize(lstResult->width(), wholeRowsHeight(Twips::toPixels(height)));
            return double(Twips::fromPixels(lstResult->height()));
        });
    lstResult->setGeometry(pixelsOf(fitted.list));
    cmdClose->setGeometry(pixelsOf(fitted.button));
}
