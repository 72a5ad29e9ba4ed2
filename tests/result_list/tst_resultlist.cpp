#include "controls.h"
#include "files.h"
#include "filesizelimit.h"
#include "guisuite.h"
#include "inifixture.h"
#include "modalanswerer.h"
#include "result_list/fitting.h"
#include "result_list/frmresultlist.h"
#include "result_list/resultline.h"
#include "session/drawsession.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>

using Fitting::Box;
using Fitting::Layout;

namespace {

const Layout Designed{{120, 120, 2895, 5340}, {960, 5640, 1335, 495}};

double asIs(double /*width*/, double height)
{
    return height;
}

QStringList lines(QWidget* window)
{
    QStringList items;
    auto* list = window->findChild<QListWidget*>(QStringLiteral("lstResult"));
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// A started session whose series is `numbers`.
std::unique_ptr<DrawSession> sessionOf(const QList<int>& numbers)
{
    QByteArray content = "[Condition]\r\nRange=0,999\r\n[Result]\r\n";
    for (int i = 0; i < numbers.size(); ++i)
        content += QByteArray::number(i + 1) + '=' + QByteArray::number(numbers[i]) + "\r\n";
    IniFixture::write(content);
    auto session = std::make_unique<DrawSession>();
    session->start();
    return session;
}

} // namespace

class TestResultList : public GuiSuite
{
    Q_OBJECT

  private Q_SLOTS:

    void resultLine_data();
    void resultLine();

    void fitKeepsMarginsAndGap_data();
    void fitKeepsMarginsAndGap();
    void fitLowerBounds();
    void tooNarrowDependsOnTheSizeAlone();
    void earlierSizeGivesEarlierLayout();

    void windowLayoutAndLines();
    void listShowsWholeLinesOnly_data();
    void listShowsWholeLinesOnly();
    void resizingTheWindowFitsTheList();
    void escapeCloses();
    void enterClosesNothing();
    void endGoesToTheLastLine();
    void maximiseAndRestoreGivesTheEarlierLayout();
    void savesTheSeriesAsCsv();
};

void TestResultList::resultLine_data()
{
    QTest::addColumn<int>("draw");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("1, 7") << 1 << 7 << "  1回目：　007";
    QTest::newRow("9, 0") << 9 << 0 << "  9回目：　000";
    QTest::newRow("10, 45") << 10 << 45 << " 10回目：　045";
    QTest::newRow("12, 5") << 12 << 5 << " 12回目：　005";
    QTest::newRow("99, 123") << 99 << 123 << " 99回目：　123";
    QTest::newRow("100, 999") << 100 << 999 << "100回目：　999";
    QTest::newRow("1000 keeps three digits") << 1000 << 7 << "000回目：　007";
    QTest::newRow("four-digit value in full") << 3 << 1234 << "  3回目：　1234";
}

void TestResultList::resultLine()
{
    QFETCH(int, draw);
    QFETCH(int, value);
    QFETCH(QString, line);
    QCOMPARE(::resultLine(draw, std::int16_t(value)), line);
}

void TestResultList::fitKeepsMarginsAndGap_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::newRow("designed size") << 3150.0 << 6255.0;
    QTest::newRow("enlarged") << 9000.0 << 12000.0;
    QTest::newRow("wider only") << 6000.0 << 6255.0;
}

void TestResultList::fitKeepsMarginsAndGap()
{
    QFETCH(double, width);
    QFETCH(double, height);
    const Layout fitted = Fitting::fit(width, height, Designed, asIs);
    const double gap = 180;
    QCOMPARE(fitted.list.left, 120.0);
    QCOMPARE(fitted.list.top, 120.0);
    QCOMPARE(fitted.list.left + fitted.list.width + fitted.list.left, width); // equal side margins
    QCOMPARE(fitted.button.top - fitted.list.top - fitted.list.height, gap);
    QCOMPARE(height - fitted.button.top - fitted.button.height, gap);  // the same space below
    QCOMPARE(fitted.button.left + fitted.button.width / 2, width / 2); // centred under the list
    QCOMPARE(fitted.button.width, 1335.0);
    QCOMPARE(fitted.button.height, 495.0);
}

void TestResultList::fitLowerBounds()
{
    const Layout fitted = Fitting::fit(0, 0, Designed, asIs);
    QCOMPARE(fitted.list.height, 720.0);
    QCOMPARE(fitted.list.width, 2 * 120.0 + 1335.0); // the centred button's right edge
    QCOMPARE(fitted.button.top, 120.0 + 720.0 + 180.0);

    // A list that settles on whole lines: the button follows the settled height.
    const Layout settled =
        Fitting::fit(3150, 6255, Designed, [](double, double h) { return h - 100; });
    QCOMPARE(settled.list.height, 5280.0 - 100);
    QCOMPARE(settled.button.top, 120 + 5180.0 + 180);
}

void TestResultList::tooNarrowDependsOnTheSizeAlone()
{
    // Maximised, then restored to a narrow size: the same layout as when the
    // narrow size came first, the button inside the list's width.
    const Layout direct = Fitting::fit(100, 6255, Designed, asIs);
    const Layout maximised = Fitting::fit(28800, 16000, Designed, asIs);
    Layout restored = Fitting::fit(100, 6255, maximised, asIs);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(restored.list.width, direct.list.width);
        QCOMPARE(restored.button.left, direct.button.left);
        restored = Fitting::fit(100, 6255, restored, asIs);
    }
    QCOMPARE(direct.list.width, 2 * 120.0 + 1335.0);
    QVERIFY(direct.button.left + direct.button.width <= direct.list.left + direct.list.width);
}

void TestResultList::earlierSizeGivesEarlierLayout()
{
    const Layout first = Fitting::fit(4000, 7000, Designed, asIs);
    const Layout other = Fitting::fit(5000, 9000, first, asIs);
    const Layout back = Fitting::fit(4000, 7000, other, asIs);
    QCOMPARE(back.list.width, first.list.width);
    QCOMPARE(back.list.height, first.list.height);
    QCOMPARE(back.button.left, first.button.left);
    QCOMPARE(back.button.top, first.button.top);
}

void TestResultList::windowLayoutAndLines()
{
    const auto session = sessionOf({7, 45, 123});
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.objectName(), QStringLiteral("frmResultList"));
    QCOMPARE(window.windowTitle(), QStringLiteral("結果表示"));
    QCOMPARE(window.geometry().topLeft(), QPoint(185, 251));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(lines(&window), (QStringList{"  1回目：　007", "  2回目：　045", "  3回目：　123"}));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    QCOMPARE(QApplication::focusWidget(), list);
    QVERIFY(list->selectedItems().isEmpty());
    // Nothing marks the first line: at its end it is painted as the second.
    const QImage painted = list->viewport()->grab().toImage();
    const int row = list->sizeHintForRow(0);
    const int x = painted.width() - 3;
    QCOMPARE(painted.pixel(x, row / 2), painted.pixel(x, row + row / 2));
    const QFontMetrics metrics(list->font());
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("  1")),
             metrics.horizontalAdvance(QStringLiteral("100")));
    QCOMPARE(button(&window, "cmdClose")->text(), QStringLiteral("閉じる"));
}

void TestResultList::listShowsWholeLinesOnly_data()
{
    QTest::addColumn<int>("draws");
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<bool>("linesWiderThanList");
    QTest::newRow("first width") << 2 << 210 << false;
    // At its least width the list scrolls sideways: the bar stands below whole lines.
    QTest::newRow("narrow, more lines than fit") << 60 << 60 << true;
}

void TestResultList::listShowsWholeLinesOnly()
{
    QFETCH(int, draws);
    QFETCH(int, windowWidth);
    QFETCH(bool, linesWiderThanList);
    QList<int> numbers;
    for (int i = 1; i <= draws; ++i)
        numbers << i;
    const auto session = sessionOf(numbers);
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(windowWidth, 400);
    QTRY_COMPARE(window.width(), windowWidth);
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    QTRY_COMPARE(list->horizontalScrollBar()->isVisible(), linesWiderThanList);
    const int row = list->sizeHintForRow(0);
    QCOMPARE(list->viewport()->height() % row, 0);
    const int asked = list->height() + row / 2;
    list->resize(list->width(), asked);
    QCOMPARE(list->viewport()->height() % row, 0);
    QVERIFY(list->height() < asked);
}

void TestResultList::resizingTheWindowFitsTheList()
{
    const auto session = sessionOf({1});
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    auto* close = button(&window, "cmdClose");
    for (const QSize size : {QSize(400, 600), QSize(700, 300), QSize(600, 500)}) {
        window.resize(size);
        QTRY_COMPARE(window.size(), size);
        QCOMPARE(list->x() + list->width() + list->x(), size.width());
        QCOMPARE(close->y() - list->y() - list->height(), 12); // the 180-twip gap
        QVERIFY(close->y() + close->height() + 12 <= size.height());
        QVERIFY(qAbs(close->x() * 2 + close->width() - size.width()) <= 1); // centred, to a pixel
    }
    window.resize(50, 50);
    QTRY_COMPARE(window.size(), QSize(50, 50));
    QVERIFY(list->height() >= 720 / 15 - list->sizeHintForRow(0));
    QVERIFY(list->width() >= close->width());
}

void TestResultList::escapeCloses()
{
    const auto session = sessionOf({5});
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.findChild<QListWidget*>(QStringLiteral("lstResult")), Qt::Key_Escape);
    QVERIFY(!window.isVisible());
}

void TestResultList::enterClosesNothing()
{
    const auto session = sessionOf({5, 7});
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    for (QWidget* target : {static_cast<QWidget*>(list), static_cast<QWidget*>(&window)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    QVERIFY(window.isVisible());
    QVERIFY(!button(&window, "cmdClose")->isDefault());
}

void TestResultList::endGoesToTheLastLine()
{
    const auto session = sessionOf({5, 7, 9});
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->currentRow(), 2);
    QCOMPARE(list->selectedItems().value(0), list->item(2));
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->currentRow(), 0);
}

void TestResultList::maximiseAndRestoreGivesTheEarlierLayout()
{
    const auto session = sessionOf({1, 2});
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    auto* close = button(&window, "cmdClose");
    window.resize(210, 300);
    QTRY_COMPARE(window.size(), QSize(210, 300));
    const QRect listBefore = list->geometry();
    const QRect closeBefore = close->geometry();
    window.resize(1900, 1000); // as maximised
    QTRY_COMPARE(window.size(), QSize(1900, 1000));
    window.resize(210, 300);
    QTRY_COMPARE(window.size(), QSize(210, 300));
    QCOMPARE(list->geometry(), listBefore);
    QCOMPARE(close->geometry(), closeBefore);
    QVERIFY(list->x() + list->width() <= window.width());
}

void TestResultList::savesTheSeriesAsCsv()
{
    // Through the real window: the session's journal, Ctrl+S, the save dialog
    // answered as an operator would, and a failed save said in a warning.
    const auto session = sessionOf({12, 5});
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("results.csv"));
    // The dialog proposes a file named after the moment, or the one just refused.
    const auto answerSaveAs = [](const QString& path,
                                 const QString& proposed = QStringLiteral("Rindell-")) {
        return [path, proposed](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            QVERIFY(dialog->selectedFiles().value(0).contains(proposed));
            // Typed into the file name box, as an operator does.
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            QMetaObject::invokeMethod(dialog, "accept");
        };
    };
    frmResultList window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstResult"));
    QCOMPARE(list->toolTip(), QStringLiteral("head ") + session->journalHead());
    QCOMPARE(list->actions().value(0)->text(), QStringLiteral("CSV形式で保存(&S)..."));
    {
        ModalAnswerer answerer;
        answerer.then(answerSaveAs(target));
        QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(waitUntilAnswered(answerer));
        QCOMPARE(answerer.unexpected(), 0);
    }
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray csv = saved.readAll();
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    QVERIFY(csv.contains("\r\n1,012,"));
    QVERIFY(csv.contains("\r\n2,005,"));
    QVERIFY(csv.endsWith("# head " + session->journalHead().toLatin1() + "\r\n"));
    // Onto it again: the program's own plain question, whose No goes back to the
    // dialog and whose Yes writes.
    {
        saved.close();
        const QDateTime old(QDate(2020, 1, 1), QTime(0, 0));
        {
            QFile touched(target);
            QVERIFY(touched.open(QIODevice::ReadWrite));
            QVERIFY(touched.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QList<QIcon> icons;
        const auto plain = [&icons](QMessageBox::StandardButton answer) {
            return [&icons, answer](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                for (QAbstractButton* button : box->buttons())
                    icons << button->icon();
                box->button(answer)->click();
            };
        };
        ModalAnswerer answerer;
        answerer.then(answerSaveAs(target))
            .then(plain(QMessageBox::No))
            .then(answerSaveAs(target, target))
            .then(plain(QMessageBox::Yes));
        list->actions().value(0)->trigger();
        QVERIFY(waitUntilAnswered(answerer));
        QCOMPARE(answerer.unexpected(), 0);
        QCOMPARE(answerer.seen().size(), 2);
        for (const ModalAnswerer::Seen& box : answerer.seen()) {
            QCOMPARE(box.text, QStringLiteral("results.csv は既にあります。上書きしますか？"));
            QCOMPARE(box.title, QStringLiteral("結果表示"));
            QCOMPARE(box.icon, QMessageBox::Question);
            QCOMPARE(box.defaultButton, QMessageBox::No);
        }
        QCOMPARE(icons.size(), 4);
        for (const QIcon& icon : icons)
            QVERIFY(icon.isNull());
        QVERIFY(QFileInfo(target).lastModified() > old);
        QVERIFY(Files::read(target).startsWith("\xEF\xBB\xBF"));
    }

#ifdef Q_OS_WIN
    QSKIP(NO_FILE_SIZE_LIMIT);
#else
    const QString failing = folder.filePath(QStringLiteral("full.csv"));
    ModalAnswerer answerer;
    answerer.then(answerSaveAs(failing)).press(QMessageBox::Ok);
    {
        const FileSizeLimit full(16);
        list->actions().value(0)->trigger();
    }
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(answerer.seen().size(), 1);
    QVERIFY(
        answerer.seen()[0].text.startsWith(QStringLiteral("CSVファイルを保存できませんでした。")));
    QVERIFY(!QFile::exists(failing));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("results.csv")});
#endif
}

QTEST_MAIN(TestResultList)
#include "tst_resultlist.moc"
