#include "common/common.h"
#include "controls.h"
#include "files.h"
#include "filesizelimit.h"
#include "guisuite.h"
#include "inifixture.h"
#include "journal/journal.h"
#include "journal/replay.h"
#include "journalfixture.h"
#include "main_window/frmrindell.h"
#include "main_window/reel.h"
#include "main_window/reels.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "result_list/resultline.h"
#include "series/series.h"
#include "session/instancelock.h"
#include "settings/settings.h"
#include "stepper.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPainterPath>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSessionManager>
#include <QSet>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

const QByteArray Range1To3 = "[Condition]\r\nRange=1,3\r\n";
const QString SaveFailure =
    QStringLiteral("抽選結果を保存できませんでした。設定ファイルを確認して下さい。");
const QColor InfoTextColor(0, 0, 0);
const QColor Red(255, 0, 0);

QList<int> flagged(frmRindell& window)
{
    QList<int> numbers;
    for (int i = 0; i < window.session().drawnFlags().size(); ++i)
        if (window.session().drawnFlags()[i])
            numbers << i;
    return numbers;
}

QStringList listLines(QWidget* resultList)
{
    QStringList lines;
    auto* list = resultList->findChild<QListWidget*>(QStringLiteral("lstResult"));
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

// After a refused START: START shown with the focus, no STOP, nothing drawn.
bool isIdleWithNothingDrawn(frmRindell* window)
{
    return button(window, "cmdStart")->isVisible() && !stop(window, 0)->isVisible() &&
           !stop(window, 1)->isVisible() && !stop(window, 2)->isVisible() &&
           window->focusWidget() == button(window, "cmdStart") &&
           box(window, "txtCount")->text() == QStringLiteral("次 1回目") &&
           !window->session().drawnFlags().contains(true) && window->session().drawCount() == 0;
}

// Presses the STOP buttons in `order` (indices) while START's spinning loop runs,
// recording after each press which button holds the focus.
struct DrawRecord
{
    QList<QWidget*> focusAfterStop;
    QString reelsWhileSpinning;
    QString counterWhileSpinning;
    QByteArray fileWhileSpinning;
};

DrawRecord drawWithStops(frmRindell* window, QList<int> order = {2, 1, 0},
                         std::function<void()> whileSpinning = {})
{
    DrawRecord record;
    Stepper steps;
    steps.then([window, &record, whileSpinning] {
        record.counterWhileSpinning = box(window, "txtCount")->text();
        record.fileWhileSpinning = IniFixture::read();
        if (whileSpinning)
            whileSpinning();
    });
    for (const int index : order)
        steps.then([window, index, &record] {
            QTest::mouseClick(stop(window, index), Qt::LeftButton);
            record.focusAfterStop << QApplication::focusWidget();
        });
    QTest::mouseClick(button(window, "cmdStart"), Qt::LeftButton);
    return record;
}

// The process holds its single-instance lock, as the kernel's lock table shows:
// a probe that took the lock itself could turn a starting instance away.
#ifndef Q_OS_WIN
bool holdsLock(const QProcess& process)
{
    QFile table(QStringLiteral("/proc/locks"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pid = QByteArray::number(process.processId());
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4 && fields[1] == "FLOCK" && fields[4] == pid)
            return true;
    }
    return false;
}
#endif

} // namespace

class TestFrmRindell : public GuiSuite
{
    Q_OBJECT

  private Q_SLOTS:
    void reelDigit_data();
    void reelDigit();
    void frameInterval_data();
    void frameInterval();
    void advanceReel();
    void reelsBlitTheDigitsTheyPainted_data();
    void reelsBlitTheDigitsTheyPainted();

    void layoutAtCreation();
    void startupWithoutFile();
    void startupFromFile_data();
    void startupFromFile();
    void tabSkipsTextBoxesAndTypingChangesNothing();

    void firstDrawIsRecordedBeforeAnyStop();
    void wholeSeriesOnceEachThenRefused();
    void stopInEveryOrder_data();
    void stopInEveryOrder();
    void keyboardAlone();
    void enterOnNoButtonPressesHundreds();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void drawButtonsHaveAFlatFace();
    void refusedWithoutRange();

    void closeBoxWhileIdleAsksNothing();
    void endAnsweredNoKeepsWindow();
    void closeRefusedDuringDraw();
    void endDuringDrawIsRefusedAfterYes();
    void clearResultAnsweredNo();
    void clearResultDuringDraw();
    void writeFailuresAreReported();
    void failedWriteRevealsNothing();
    void unusableFileIsToldOnceAndKept();
    void numberIsFixedAtStartWhateverTheStops();
    void drawIsJournaledBeforeItIsShown();
    void startSquaresTheJournalWithTheSettingsFile_data();
    void startSquaresTheJournalWithTheSettingsFile();
    void unusableJournalIsToldAndStopsDraws();
    void restartReadsDrawsBack();
    void accessKeysPressTheirButtons();
    void sessionEndDuringDrawIsRefused();
    void reelsTurnWithTheDisplayAndWaitForABox();
    void sessionManagerEndDuringDrawIsCancelled();
    void windowDeletedDuringDrawEndsTheLoop();
    void doubleClickOnStartPressesNoStop();
    void secondInstanceEndsAtOnce();
    void anotherUserCannotSwitchOffTheLock();
    void twoPathsToOneFileAreOneInstance();
    void resultListWithoutResults();
    void resultListDuringADraw();
    void conditionDialogDuringADraw();
};

void TestFrmRindell::layoutAtCreation()
{
    frmRindell window;
    QCOMPARE(window.objectName(), QStringLiteral("frmRindell"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Rindell"));
    QCOMPARE(window.size(), QSize(705, 445));
    QCOMPARE(button(&window, "cmdStart")->geometry(), QRect(136, 344, 265, 89));
    QCOMPARE(stop(&window, 2)->geometry(), QRect(40, 344, 113, 57));
    QCOMPARE(stop(&window, 0)->geometry(), QRect(392, 344, 113, 57));
    QCOMPARE(box(&window, "txt100")->geometry(), QRect(16, 48, 163, 280));
    QCOMPARE(button(&window, "cmdEnd")->geometry(), QRect(600, 400, 89, 33));
    QCOMPARE(box(&window, "txt1")->font().pointSize(), 216);
    QCOMPARE(button(&window, "cmdStart")->font().pointSize(), 42);
    QCOMPARE(stop(&window, 1)->font().pointSize(), 24);
    QCOMPARE(button(&window, "cmdEnd")->text(), QStringLiteral("終了(&X)"));
    QCOMPARE(button(&window, "cmdStart")->palette().color(QPalette::Button), QColor(255, 191, 191));
    QCOMPARE(stop(&window, 2)->palette().color(QPalette::Button), QColor(255, 191, 191));
    QVERIFY(stop(&window, 2)->isDefault());
    for (const char* name : {"txt100", "txt10", "txt1"})
        QCOMPARE(box(&window, name)->text(), QStringLiteral("0"));
    for (int index = 0; index < 3; ++index)
        QVERIFY(stop(&window, index)->isHidden());
    // Every control tells a screen reader what it is; the STOPs tell their digit.
    QSet<QString> names;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        auto* pushButton = qobject_cast<QPushButton*>(control);
        if (!pushButton && !qobject_cast<QLineEdit*>(control))
            continue;
        QString name = control->accessibleName();
        if (name.isEmpty() && pushButton)
            name = pushButton->text().remove(u'&'); // a button's own text is its name
        QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(control->objectName()));
        names << name;
    }
    QCOMPARE(stop(&window, 2)->text(), QStringLiteral("STOP"));
    // A fixed-pitch face with Japanese glyphs stands in for the Windows font.
    const QFontMetrics metrics(window.font());
    QVERIFY2(metrics.inFont(QChar(u'抽')), qPrintable(QFontInfo(window.font()).family()));
    QCOMPARE(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
    QCOMPARE(metrics.horizontalAdvance(u'抽'), 2 * metrics.horizontalAdvance(u'0'));
    // Every text the window writes is in that face: its fonts merge no fallback in.
    QStringList texts{Series::rangeLine(-1, -1), Series::rangeLine(0, 999),
                      Series::countLine(999, Series::CountNext),
                      Series::countLine(999, Series::CountCurrent)};
    for (const QPushButton* control : window.findChildren<QPushButton*>())
        texts << control->text();
    for (const QString& text : std::as_const(texts))
        for (const char32_t character : text.toUcs4())
            QVERIFY2(metrics.inFontUcs4(character), qPrintable(text));
    // The reels' zero has neither slash nor dot: "000" must not read as "ØØØ".
    QPainterPath zero;
    zero.addText(0, 0, box(&window, "txt1")->font(), QStringLiteral("0"));
    QVERIFY(!zero.contains(zero.boundingRect().center()));
}

void TestFrmRindell::startupWithoutFile()
{
    auto window = MainWindow::open();
    QCOMPARE(box(window.get(), "txtRange")->text(), QStringLiteral("抽選範囲 : 未設定"));
    QCOMPARE(box(window.get(), "txtRange")->palette().color(QPalette::Text), Red);
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 1回目"));
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
    QCOMPARE(QApplication::focusWidget(), button(window.get(), "cmdStart"));
    QVERIFY(!QFile::exists(IniFixture::path()));
}

void TestFrmRindell::startupFromFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("rangeLine");
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QList<int>>("flags");
    QTest::newRow("range and two draws")
        << QByteArray("[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n2=5\r\n")
        << "抽選範囲 : 001 ～ 100"
        << "次 3回目" << QList<int>{5, 37};
    QTest::newRow("gap in the ordinals")
        << QByteArray("[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n3=5\r\n")
        << "抽選範囲 : 001 ～ 100"
        << "次 4回目" << QList<int>{0, 5, 37}; // the missing draw shows as 0
    QTest::newRow("key 0 counts nothing but is flagged")
        << QByteArray("[Condition]\r\nRange=0,9\r\n[Result]\r\n0=4\r\n") << "抽選範囲 : 0 ～ 9"
        << "次 1回目" << QList<int>{4};
    QTest::newRow("number outside the range is counted, not flagged")
        << QByteArray("[Condition]\r\nRange=1,10\r\n[Result]\r\n1=500\r\n2=3\r\n")
        << "抽選範囲 : 01 ～ 10"
        << "次 3回目" << QList<int>{3};
    QTest::newRow("results without a range")
        << QByteArray("[Result]\r\n1=5\r\n") << "抽選範囲 : 未設定"
        << "次 2回目" << QList<int>{};
    QTest::newRow("malformed range")
        << QByteArray("[Condition]\r\nRange=abc\r\n") << "抽選範囲 : 未設定"
        << "次 1回目" << QList<int>{};
    QTest::newRow("one-piece range")
        << QByteArray("[Condition]\r\nRange=7\r\n") << "抽選範囲 : 未設定"
        << "次 1回目" << QList<int>{};
    QTest::newRow("range beyond 16 bits")
        << QByteArray("[Condition]\r\nRange=1,70000\r\n") << "抽選範囲 : 未設定"
        << "次 1回目" << QList<int>{};
    QTest::newRow("reversed range")
        << QByteArray("[Condition]\r\nRange=9,3\r\n") << "抽選範囲 : 未設定"
        << "次 1回目" << QList<int>{};
    QTest::newRow("malformed results skipped")
        << QByteArray("[Condition]\r\nRange=1,9\r\n[Result]\r\n;note\r\nx=1\r\n-1=2\r\n1=abc\r\n"
                      "2=3\r\n99999=1\r\n")
        << "抽選範囲 : 1 ～ 9"
        << "次 3回目" << QList<int>{0, 3};
    QTest::newRow("binary file") << QByteArray("\x00\x81\xFF[\x00]=\r\r\n\xFE", 10)
                                 << "抽選範囲 : 未設定"
                                 << "次 1回目" << QList<int>{};
}

void TestFrmRindell::startupFromFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, rangeLine);
    QFETCH(QString, counter);
    QFETCH(QList<int>, flags);
    IniFixture::writeRecorded(content);
    frmRindell window;
    QCOMPARE(box(&window, "txtRange")->text(), rangeLine);
    QCOMPARE(box(&window, "txtRange")->palette().color(QPalette::Text),
             rangeLine.endsWith(u"未設定") ? Red : InfoTextColor);
    QCOMPARE(box(&window, "txtCount")->text(), counter);
    QCOMPARE(flagged(window), flags);
    QCOMPARE(IniFixture::read(), content); // reading writes nothing
}

void TestFrmRindell::tabSkipsTextBoxesAndTypingChangesNothing()
{
    auto window = MainWindow::open();
    QCOMPARE(QApplication::focusWidget(), button(window.get(), "cmdStart"));
    const QList<const char*> order = {"cmdResultList", "cmdCondition", "cmdClearResult", "cmdEnd",
                                      "cmdStart"};
    for (const char* name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), button(window.get(), name));
    }
    QLineEdit* reel = box(window.get(), "txt10");
    QTest::mouseClick(reel, Qt::LeftButton);
    QTest::keyClicks(reel, QStringLiteral("58"));
    QCOMPARE(reel->text(), QStringLiteral("0"));
}

void TestFrmRindell::firstDrawIsRecordedBeforeAnyStop()
{
    IniFixture::write(Range1To3);
    auto window = MainWindow::open();
    const DrawRecord record = drawWithStops(window.get());
    const int drawn = window->drawnNumber();
    QVERIFY(drawn >= 1 && drawn <= 3);
    QCOMPARE(record.counterWhileSpinning, QStringLiteral("1回目"));
    QCOMPARE(record.fileWhileSpinning,
             Range1To3 + "[Result]\r\n1=" + QByteArray::number(drawn) + "\r\n");
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 2回目"));
    QCOMPARE(MainWindow::reels(window.get()), QStringLiteral("00") + QString::number(drawn));
}

void TestFrmRindell::wholeSeriesOnceEachThenRefused()
{
    IniFixture::write("[Condition]\r\nRange=5,9\r\n");
    auto window = MainWindow::open();
    QList<int> drawn;
    for (int i = 0; i < 5; ++i) {
        drawWithStops(window.get());
        drawn << window->drawnNumber();
        QCOMPARE(MainWindow::reels(window.get()),
                 QStringLiteral("00") + QString::number(drawn.last()));
    }
    std::sort(drawn.begin(), drawn.end());
    QCOMPARE(drawn, (QList<int>{5, 6, 7, 8, 9}));

    const QByteArray before = IniFixture::read();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text,
             QStringLiteral("全て抽選されたので、これ以上抽選できません。"));
    QCOMPARE(answerer.seen()[0].title, QStringLiteral("Rindell"));
    QVERIFY(stop(window.get(), 2)->isHidden());
    QCOMPARE(IniFixture::read(), before);
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 6回目"));
}

void TestFrmRindell::stopInEveryOrder_data()
{
    QTest::addColumn<QList<int>>("order");
    QList<int> order = {0, 1, 2};
    do {
        QTest::newRow(
            qPrintable(QStringLiteral("%1%2%3").arg(order[0]).arg(order[1]).arg(order[2])))
            << order;
    } while (std::next_permutation(order.begin(), order.end()));
}

void TestFrmRindell::stopInEveryOrder()
{
    QFETCH(QList<int>, order);
    IniFixture::write("[Condition]\r\nRange=100,999\r\n");
    auto window = MainWindow::open();
    const DrawRecord record = drawWithStops(window.get(), order);
    const int drawn = window->drawnNumber();
    QCOMPARE(MainWindow::reels(window.get()), QString::number(drawn));

    // After each press the focus sits on the highest-indexed STOP still visible.
    QList<int> left = {0, 1, 2};
    for (int i = 0; i < 3; ++i) {
        left.removeOne(order[i]);
        QWidget* expected = left.isEmpty()
                                ? button(window.get(), "cmdStart")
                                : stop(window.get(), *std::max_element(left.begin(), left.end()));
        QCOMPARE(record.focusAfterStop[i], expected);
    }
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
    QCOMPARE(QApplication::focusWidget(), button(window.get(), "cmdStart"));
}

void TestFrmRindell::keyboardAlone()
{
    // Enter from START draws a number, then stops hundreds, tens, ones; Space works too.
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    QList<QWidget*> focus;
    Stepper steps;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter})
        steps.then([&focus, key] {
            focus << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), key);
        });
    QTest::keyClick(button(window.get(), "cmdStart"), Qt::Key_Return);
    QCOMPARE(focus, (QList<QWidget*>{stop(window.get(), 2), stop(window.get(), 1),
                                     stop(window.get(), 0)}));
    QCOMPARE(MainWindow::reels(window.get()),
             QStringLiteral("%1").arg(window->drawnNumber(), 3, 10, QLatin1Char('0')));
    QCOMPARE(QApplication::focusWidget(), button(window.get(), "cmdStart"));
    QCOMPARE(Common::ReadIniSection(QStringLiteral("Result"), QString())->size(), 2);
}

void TestFrmRindell::enterOnNoButtonPressesHundreds()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    bool hundredsStopped = false;
    drawWithStops(window.get(), {1, 0}, [&window, &hundredsStopped] {
        // The focus in a reel: Enter is taken by the window's default button.
        QTest::mouseClick(box(window.get(), "txt1"), Qt::LeftButton);
        QTest::keyClick(box(window.get(), "txt1"), Qt::Key_Return);
        hundredsStopped = stop(window.get(), 2)->isHidden();
    });
    QVERIFY(hundredsStopped);
    QCOMPARE(MainWindow::reels(window.get()),
             QStringLiteral("%1").arg(window->drawnNumber(), 3, 10, QLatin1Char('0')));
}

void TestFrmRindell::enterPressesTheFocusedButton_data()
{
    // A focused button of the main window takes Enter and opens a window or box,
    // where a button that is not the default takes the focus and Enter.
    QTest::addColumn<QString>("buttons"); // objectNames, or a message box's Yes / No
    QTest::addColumn<int>("drawsAfter");
    QTest::newRow("結果表示, 閉じる") << "cmdResultList cmdClose" << 2;
    QTest::newRow("条件入力, キャンセル") << "cmdCondition cmdCancel" << 2;
    QTest::newRow("結果クリア, はい") << "cmdClearResult Yes" << 0;
    QTest::newRow("終了, いいえ") << "cmdEnd No" << 2;
}

void TestFrmRindell::enterPressesTheFocusedButton()
{
    QFETCH(QString, buttons);
    QFETCH(int, drawsAfter);
    const QStringList names = buttons.split(u' ');
    IniFixture::writeRecorded("[Condition]\r\nRange=1,9\r\n[Result]\r\n1=5\r\n2=7\r\n");
    auto window = MainWindow::open();
    bool closedByEnter = false;
    ModalAnswerer answerer;
    answerer.then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QAbstractButton* target =
            box ? box->button(names[1] == u"Yes" ? QMessageBox::Yes : QMessageBox::No)
                : button(modal, qPrintable(names[1]));
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        closedByEnter = !modal->isVisible();
        if (!closedByEnter)
            target->click(); // the test goes on, to fail below
    });
    button(window.get(), qPrintable(names[0]))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(waitUntilAnswered(answerer));
    QVERIFY(closedByEnter);
    QCOMPARE(window->session().drawCount(), qsizetype(drawsAfter));
    QVERIFY(window->isVisible());
}

void TestFrmRindell::drawButtonsHaveAFlatFace()
{
    // Sampled from what START paints: most of it is exactly RGB 255, 191, 191,
    // with the focus, without, and pressed, and each of the three looks its own.
    auto window = MainWindow::open();
    QPushButton* start = button(window.get(), "cmdStart");
    QList<QImage> looks;
    for (const auto& change : std::initializer_list<std::function<void()>>{
             [] {}, [&] { button(window.get(), "cmdEnd")->setFocus(); },
             [&] { start->setDown(true); }}) {
        change();
        const QImage look = start->grab().toImage();
        qsizetype shade = 0;
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x)
                shade += look.pixel(x, y) == qRgb(255, 191, 191);
        QVERIFY(shade > look.width() * look.height() * 6 / 10);
        QVERIFY(!looks.contains(look));
        looks << look;
    }
}

void TestFrmRindell::refusedWithoutRange()
{
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text,
             QStringLiteral("抽選範囲が未設定または異常です。条件設定を行って下さい。"));
    QCOMPARE(answerer.seen()[0].icon, QMessageBox::Warning);
    QCOMPARE(window->focusWidget(), button(window.get(), "cmdCondition"));
    QVERIFY(stop(window.get(), 2)->isHidden());
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
    QVERIFY(!QFile::exists(IniFixture::path()));
}

void TestFrmRindell::closeBoxWhileIdleAsksNothing()
{
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QTest::qWait(50);
    QCOMPARE(answerer.seen().size(), 0);
}

void TestFrmRindell::endAnsweredNoKeepsWindow()
{
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::No).press(QMessageBox::Yes);
    QTest::mouseClick(button(window.get(), "cmdEnd"), Qt::LeftButton);
    QVERIFY(window->isVisible());
    QCOMPARE(window->focusWidget(), button(window.get(), "cmdStart"));
    QTest::mouseClick(button(window.get(), "cmdEnd"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen()[0].text, QStringLiteral("終了します。よろしいですか？"));
    QCOMPARE(answerer.seen()[0].defaultButton, QMessageBox::Yes);
}

void TestFrmRindell::closeRefusedDuringDraw()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    bool stayedOpen = false;
    QWidget* focus = nullptr;
    drawWithStops(window.get(), {2, 0, 1}, [&] {
        QTest::mouseClick(stop(window.get(), 2), Qt::LeftButton);
        window->close();
        stayedOpen = window->isVisible();
        focus = window->focusWidget();
    });
    QVERIFY(stayedOpen);
    QCOMPARE(focus, stop(window.get(), 1));
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, QStringLiteral("STOP ボタンを押してから終了して下さい。"));
    QVERIFY(window->close()); // idle again: closes without a question
}

void TestFrmRindell::endDuringDrawIsRefusedAfterYes()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Yes).press(QMessageBox::Ok);
    drawWithStops(window.get(), {2, 1, 0},
                  [&] { QTest::mouseClick(button(window.get(), "cmdEnd"), Qt::LeftButton); });
    QVERIFY(window->isVisible());
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen()[1].text, QStringLiteral("STOP ボタンを押してから終了して下さい。"));
}

void TestFrmRindell::clearResultAnsweredNo()
{
    const QByteArray content = "[Condition]\r\nRange=1,10\r\n[Result]\r\n1=4\r\n";
    IniFixture::writeRecorded(content);
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.pressEnter();
    QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, QStringLiteral("抽選結果をクリアします。よろしいですか？"));
    QCOMPARE(answerer.seen()[0].defaultButton, QMessageBox::No);
    QCOMPARE(IniFixture::read(), content);
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 2回目"));
    QCOMPARE(window->focusWidget(), button(window.get(), "cmdStart"));
}

void TestFrmRindell::clearResultDuringDraw()
{
    IniFixture::writeRecorded("[Condition]\r\nRange=0,999\r\n[Result]\r\n1=4\r\n");
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Yes);
    QString counterAfterClear;
    QWidget* focusAfterClear = nullptr;
    drawWithStops(window.get(), {2, 1, 0}, [&] {
        QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
        counterAfterClear = box(window.get(), "txtCount")->text();
        focusAfterClear = window->focusWidget();
    });
    QCOMPARE(counterAfterClear, QStringLiteral("次 1回目"));
    QCOMPARE(focusAfterClear, stop(window.get(), 2));
    QCOMPARE(MainWindow::reels(window.get()),
             QStringLiteral("%1").arg(window->drawnNumber(), 3, 10, QLatin1Char('0')));
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 1回目"));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=0,999\r\n"));
    QVERIFY(flagged(*window).isEmpty());
}

void TestFrmRindell::writeFailuresAreReported()
{
    IniFixture::write(Range1To3);
    auto window = MainWindow::open();
    IniFixture::blockWithFolder(); // stops root too
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok).press(QMessageBox::Yes).press(QMessageBox::Ok);
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, SaveFailure);
    QCOMPARE(answerer.seen()[0].title, QStringLiteral("Rindell"));
    QVERIFY(isIdleWithNothingDrawn(window.get()));

    // A draw once the file is back, then a clear that fails: the series stands
    // in the window and in the journal, and the next draw continues it.
    QDir(IniFixture::path()).removeRecursively();
    QVERIFY(Files::write(IniFixture::path(), Range1To3));
    drawWithStops(window.get());
    IniFixture::blockWithFolder();
    QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 3);
    QCOMPARE(answerer.seen()[2].text,
             QStringLiteral("抽選結果をクリアできませんでした。設定ファイルを確認して下さい。"));
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 2回目"));
    QDir(IniFixture::path()).removeRecursively();
    QVERIFY(Files::write(IniFixture::path(),
                         Range1To3 + "[Result]\r\n1=" + QByteArray::number(window->drawnNumber()) +
                             "\r\n"));
    drawWithStops(window.get());
    QCOMPARE(window->session().drawCount(), qsizetype(2));
    window.reset();
    const auto [line, status] = Replay::verify(IniFixture::journalPath());
    QVERIFY2(status == 0, qPrintable(line));
}

void TestFrmRindell::failedWriteRevealsNothing()
{
    // A full disk at START: the draw is called off before anything shows it. The
    // journal's write failed, so nothing changes until a restart; after it the
    // next draw, once the disk has room, takes the same ordinal.
#ifdef Q_OS_WIN
    QSKIP(NO_FILE_SIZE_LIMIT);
#else
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok).press(QMessageBox::Ok);
    {
        const FileSizeLimit full(16);
        QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    }
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen()[0].text, SaveFailure);
    QCOMPARE(answerer.seen()[1].text,
             QStringLiteral("抽選記録ファイルを開けません。抽選記録ファイルを確認して下さい。"));
    QVERIFY(isIdleWithNothingDrawn(window.get()));
    QCOMPARE(MainWindow::reels(window.get()), QStringLiteral("000"));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=0,999\r\n"));

    window.reset(); // a restart
    window = MainWindow::open();
    drawWithStops(window.get());
    QCOMPARE(IniFixture::read(), "[Condition]\r\nRange=0,999\r\n[Result]\r\n1=" +
                                     QByteArray::number(window->drawnNumber()) + "\r\n");
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 2回目"));
#endif
}

void TestFrmRindell::unusableFileIsToldOnceAndKept()
{
    // A UTF-16 file (Notepad's "Unicode"): said once at start-up, never written.
    QByteArray content("\xFF\xFE");
    for (const char c : QByteArray("[Condition]\r\nRange=1,9\r\n"))
        content += QByteArray{c, '\0'};
    IniFixture::write(content);
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok).press(QMessageBox::Ok);
    auto window = MainWindow::open();
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text,
             QStringLiteral("設定ファイルを読み込めません。設定ファイルを確認して下さい。"));
    QCOMPARE(box(window.get(), "txtRange")->text(), QStringLiteral("抽選範囲 : 未設定"));
    // As the condition dialog sets it: in memory, since the file takes nothing.
    QVERIFY(!window->session().setRange(QStringLiteral("1"), QStringLiteral("9")));
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen()[1].text, SaveFailure);
    QVERIFY(isIdleWithNothingDrawn(window.get()));
    QCOMPARE(IniFixture::read(), content);
}

void TestFrmRindell::drawIsJournaledBeforeItIsShown()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    QByteArray journalWhileSpinning;
    drawWithStops(window.get(), {2, 1, 0},
                  [&] { journalWhileSpinning = Files::read(IniFixture::journalPath()); });
    const QList<QByteArray> lines = journalWhileSpinning.trimmed().split('\n');
    const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
    QCOMPARE(last.value(QLatin1String("event")).toString(), QStringLiteral("draw"));
    QCOMPARE(last.value(QLatin1String("number")).toInt(), int(window->drawnNumber()));
    QCOMPARE(last.value(QLatin1String("ordinal")).toInt(), 1);

    // A journal that cannot take the line: the draw is refused, the settings file
    // keeps what it had, nothing is shown.
#ifdef Q_OS_WIN
    QSKIP(NO_FILE_SIZE_LIMIT);
#else
    const QByteArray before = IniFixture::read();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    {
        const FileSizeLimit full(QFileInfo(IniFixture::journalPath()).size());
        QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    }
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, SaveFailure);
    QCOMPARE(IniFixture::read(), before);
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
    QCOMPARE(window->session().drawCount(), qsizetype(1));
    window.reset();
    QCOMPARE(Replay::verify(IniFixture::journalPath()).second, 0);
#endif
}

void TestFrmRindell::startSquaresTheJournalWithTheSettingsFile_data()
{
    QTest::addColumn<QString>("journal");    // before the start
    QTest::addColumn<QByteArray>("tail");    // bytes after it
    QTest::addColumn<QByteArray>("results"); // the settings file's
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("added"); // the events the start writes
    QTest::addColumn<QString>("told");      // the warning, if any
    const QString differs = QStringLiteral(
        "設定ファイルの抽選結果が抽選記録と異なります。設定ファイルを確認して下さい。");
    QTest::newRow("a draw whose settings line never landed")
        << "start range=0,999 draw=5 reveal draw=6" << QByteArray() << QByteArray("1=5\r\n")
        << "次 2回目" << QStringList{"start", "void"} << QString();
    QTest::newRow("a hand edit") << "start range=0,999 draw=5 reveal draw=78 reveal end"
                                 << QByteArray() << QByteArray("1=5\r\n2=77\r\n") << "次 3回目"
                                 << QStringList{"start", "adopt", "warning"} << differs;
    // The settings file's series as it stands, repeats and missing keys (0) too.
    QTest::newRow("a hand edit repeating a number, a key missing")
        << "start range=0,999 draw=5 reveal end" << QByteArray()
        << QByteArray("1=5\r\n2=5\r\n4=7\r\n") << "次 5回目"
        << QStringList{"start", "adopt", "warning"} << differs;
    QTest::newRow("a revealed draw removed by hand")
        << "start range=0,999 draw=5 reveal draw=6 reveal" << QByteArray() << QByteArray("1=5\r\n")
        << "次 2回目" << QStringList{"start", "adopt", "warning"} << differs;
    // Cut short by a stop, or told failed when its line's flush failed: the
    // series stands, as the settings file holds it.
    QTest::newRow("a clear the settings file never took")
        << "start range=0,999 draw=5 reveal clear" << QByteArray() << QByteArray("1=5\r\n")
        << "次 2回目" << QStringList{"start", "adopt", "warning"} << differs;
    QTest::newRow("a clear cut short in its own line")
        << "start range=0,999 draw=5 reveal"
        << QByteArray("{\"cleared\":1,\"event\":\"clear\",\"pre") << QByteArray("1=5\r\n")
        << "次 2回目" << QStringList{"recovered", "start"} << QString();
    QTest::newRow("a broken chain")
        << "start range=0,999 draw=5 reveal" << QByteArray("{\"event\":\"end\"}\n")
        << QByteArray("1=5\r\n") << "次 2回目" << QStringList{"start", "warning"}
        << QStringLiteral("抽選記録ファイルが壊れています。"
                          "抽選記録ファイルを確認して下さい。");
    // A journal removed, moved away, or begun by a program that had none.
    QTest::newRow("draws from before the journal")
        << "" << QByteArray() << QByteArray("1=5\r\n") << "次 2回目"
        << QStringList{"start", "range", "adopt", "warning"} << differs;
    QTest::newRow("a range changed by hand")
        << "start range=1,999 draw=5 reveal end" << QByteArray() << QByteArray("1=5\r\n")
        << "次 2回目" << QStringList{"start", "range"} << QString();
}

void TestFrmRindell::startSquaresTheJournalWithTheSettingsFile()
{
    // Whatever order a stop left the two files in, the next start squares them
    // truthfully: no void for a draw the audience saw, no silent adoption, no
    // fragment taken for an event.
    QFETCH(QString, journal);
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, results);
    QFETCH(QString, count);
    QFETCH(QStringList, added);
    QFETCH(QString, told);
    IniFixture::write("[Condition]\r\nRange=0,999\r\n[Result]\r\n" + results);
    const QByteArray before = JournalFixture::write(IniFixture::journalPath(), journal) + tail;
    QVERIFY(Files::write(IniFixture::journalPath(), before));
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    auto window = MainWindow::open();
    QCOMPARE(box(window.get(), "txtCount")->text(), count);
    QCOMPARE(answerer.seen().size(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty())
        QCOMPARE(answerer.seen()[0].text, told);
    QCOMPARE(JournalFixture::events(Files::read(IniFixture::journalPath()))
                 .mid(JournalFixture::events(before).size()),
             added);
    window.reset();
    const auto [line, status] = Replay::verify(IniFixture::journalPath());
    QCOMPARE(status, told.startsWith(QStringLiteral("抽選記録")) ? 1 : 0);
    QCOMPARE(line.contains(QLatin1String("taken over")), added.contains(QStringLiteral("adopt")));
}

void TestFrmRindell::unusableJournalIsToldAndStopsDraws()
{
    // No change without the journal, each refused with its warning: START, and
    // 結果クリア after its question.
    const QByteArray content = "[Condition]\r\nRange=0,999\r\n[Result]\r\n1=5\r\n";
    IniFixture::write(content);
    QVERIFY(QDir().mkpath(IniFixture::journalPath()));
    const QString journalText =
        QStringLiteral("抽選記録ファイルを開けません。抽選記録ファイルを確認して下さい。");
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok)
        .press(QMessageBox::Ok)
        .press(QMessageBox::Yes)
        .press(QMessageBox::Ok);
    auto window = MainWindow::open();
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
    QDir(IniFixture::journalPath()).removeRecursively();
    QCOMPARE(answerer.seen().size(), 4);
    QCOMPARE(answerer.seen()[0].text, journalText);
    QCOMPARE(answerer.seen()[1].text, journalText);
    QCOMPARE(answerer.seen()[3].text, journalText);
    QVERIFY(stop(window.get(), 2)->isHidden());
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 2回目"));
    QCOMPARE(IniFixture::read(), content);
}

void TestFrmRindell::numberIsFixedAtStartWhateverTheStops()
{
    // Whatever the order and the moments of the STOP presses, the reels come to
    // rest on the number that was on disk before the first of them.
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    const QList<QList<int>> orders{{2, 1, 0}, {0, 1, 2}, {1, 0, 2},
                                   {0, 2, 1}, {2, 0, 1}, {1, 2, 0}};
    int ordinal = 0;
    for (const QList<int>& order : orders) {
        ++ordinal;
        QByteArray before;
        Stepper steps;
        steps.then([&] { before = IniFixture::read(); });
        for (const int index : order)
            steps.then([&, index] {
                QTest::qWait(QRandomGenerator::global()->bounded(0, 40));
                QTest::mouseClick(stop(window.get(), index), Qt::LeftButton);
            });
        QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
        const int drawn = window->drawnNumber();
        QVERIFY(before.endsWith(QByteArray::number(ordinal) + '=' + QByteArray::number(drawn) +
                                "\r\n"));
        QCOMPARE(MainWindow::reels(window.get()),
                 QStringLiteral("%1").arg(drawn, 3, 10, QLatin1Char('0')));
    }
}

void TestFrmRindell::restartReadsDrawsBack()
{
    IniFixture::write("[Condition]\r\nRange=10,20\r\n");
    QList<int> drawn;
    {
        auto window = MainWindow::open();
        drawWithStops(window.get());
        drawn << window->drawnNumber();
        drawWithStops(window.get());
        drawn << window->drawnNumber();
    }
    auto window = MainWindow::open();
    QCOMPARE(box(window.get(), "txtCount")->text(), QStringLiteral("次 3回目"));
    QCOMPARE(box(window.get(), "txtRange")->text(), QStringLiteral("抽選範囲 : 10 ～ 20"));
    std::sort(drawn.begin(), drawn.end());
    QCOMPARE(flagged(*window), drawn);
    QCOMPARE(window->session().drawCount(), qsizetype(2));
}

void TestFrmRindell::accessKeysPressTheirButtons()
{
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok)
        .press(QMessageBox::No)
        .press(QMessageBox::No)
        .then([](QWidget* dialog) { dialog->close(); });
    // An access key presses its button with a short animation: wait for each box.
    // Offscreen, no window manager gives the window back its activation after a
    // box, and an access key acts only in the active window: the test does it.
    const auto press = [&](Qt::Key key) {
        window->activateWindow();
        const bool active = QTest::qWaitForWindowActive(window.get());
        QTest::keyClick(window.get(), key, Qt::AltModifier);
        return active;
    };
    QVERIFY(press(Qt::Key_R));
    QTRY_COMPARE(answerer.seen().size(), 1);
    QVERIFY(press(Qt::Key_C));
    QTRY_COMPARE(answerer.seen().size(), 2);
    QVERIFY(press(Qt::Key_X));
    QTRY_COMPARE(answerer.seen().size(), 3);
    QVERIFY(press(Qt::Key_J));
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(answerer.seen().size(), 3);
    QCOMPARE(answerer.seen()[0].text, QStringLiteral("結果はありません。"));
    QCOMPARE(answerer.seen()[1].text, QStringLiteral("抽選結果をクリアします。よろしいですか？"));
    QCOMPARE(answerer.seen()[2].text, QStringLiteral("終了します。よろしいですか？"));
    QCOMPARE(answerer.unexpected(), 0);
    QVERIFY(window->isVisible());
}

void TestFrmRindell::sessionEndDuringDrawIsRefused()
{
    // The session ending closes every window; a draw refuses it like the close box.
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    bool stayedOpen = false;
    drawWithStops(window.get(), {2, 1, 0}, [&] {
        QApplication::closeAllWindows();
        stayedOpen = window->isVisible();
    });
    QVERIFY(stayedOpen);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, QStringLiteral("STOP ボタンを押してから終了して下さい。"));
}

void TestFrmRindell::reelsTurnWithTheDisplayAndWaitForABox()
{
    // Timers only, no step that waits inside another: the reels turn from the
    // display's timer, which a wait nested in a timer's slot would hold back.
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    QLineEdit* ones = box(window.get(), "txt1");
    int turns = 0;
    connect(ones, &QLineEdit::textChanged, window.get(), [&turns] { ++turns; });
    QElapsedTimer clock;
    double turnsPerSecond = 0;
    QString shownWhenTheBoxOpened;
    QString shownBeforeItClosed;
    ModalAnswerer answerer;
    answerer.then([&](QWidget* modal) {
        shownWhenTheBoxOpened = ones->text();
        QTimer::singleShot(300, modal, [&, modal] {
            shownBeforeItClosed = ones->text();
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
            QTimer::singleShot(0, window.get(), [&] {
                for (const int index : {2, 1, 0})
                    QTest::mouseClick(stop(window.get(), index), Qt::LeftButton);
            });
        });
    });
    QTimer::singleShot(1000, window.get(), [&] {
        turnsPerSecond = turns * 1000.0 / double(clock.elapsed());
        Common::ShowWarning(QStringLiteral("x"), QString());
    });
    clock.start();
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QVERIFY2(turnsPerSecond >= 30, qPrintable(QString::number(turnsPerSecond)));
    QVERIFY(turnsPerSecond <= 1000.0 / Reels::frameInterval(window->screen()->refreshRate()) + 5);
    QCOMPARE(answerer.seen().size(), 1);
    QVERIFY(!shownWhenTheBoxOpened.isEmpty());
    QCOMPARE(shownBeforeItClosed, shownWhenTheBoxOpened);
    QCOMPARE(MainWindow::reels(window.get()),
             QStringLiteral("%1").arg(window->drawnNumber(), 3, 10, QLatin1Char('0')));
}

void TestFrmRindell::sessionManagerEndDuringDrawIsCancelled()
{
    // What the session manager asks at logout or shutdown, during a draw: the
    // window stays, the draw goes on to its end, and where the manager lets the
    // program ask, the operator is told why.
    auto* manager = qApp->findChild<QSessionManager*>();
    QVERIFY(manager);
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    bool stayedOpen = false;
    const bool interaction = manager->allowsInteraction();
    drawWithStops(window.get(), {2, 1, 0}, [&] {
        Q_EMIT qApp->commitDataRequest(*manager);
        stayedOpen = window->isVisible() && stop(window.get(), 2)->isVisible();
    });
    QVERIFY(stayedOpen);
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
    QCOMPARE(answerer.seen().size(), interaction ? 1 : 0);
    // Idle, the session may end.
    Q_EMIT qApp->commitDataRequest(*manager);
    QCOMPARE(answerer.seen().size(), interaction ? 1 : 0);
}

void TestFrmRindell::windowDeletedDuringDrawEndsTheLoop()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto* window = new frmRindell;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QPointer<frmRindell> guard(window);
    Stepper steps;
    steps.then([window] { delete window; });
    QTimer::singleShot(0, button(window, "cmdStart"), &QPushButton::click);
    QTRY_VERIFY(guard.isNull());
    QTRY_VERIFY(steps.done());
    // The draw was recorded before the reels started.
    QCOMPARE(Common::ReadIniSection(QStringLiteral("Result"), QString())->size(), 2);
}

void TestFrmRindell::secondInstanceEndsAtOnce()
{
    {
        // Another instance that took the lock after this one's check: this one
        // unloads itself, as if the check had found it.
        const auto taken = InstanceLock::take(IniFixture::path());
        QVERIFY(taken);
        frmRindell window;
        QVERIFY(!window.isLoaded());
    }

    const QString program = Files::builtProgram();
    QVERIFY(QFile::exists(program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto start = [&](QProcess& process) {
        process.setProcessEnvironment(environment);
        process.start(program, {});
        return process.waitForStarted();
    };
    const QString programIni = QFileInfo(program).absolutePath() + QStringLiteral("/Rindell.ini");
    QFile::remove(programIni);
#ifdef Q_OS_WIN
    // Any probe of the journal's share mode could itself turn a starting instance
    // away: its start line, written once it holds the journal, tells instead.
    const auto starts = [&] {
        return Files::read(Common::journalPathFor(programIni)).count("\"event\":\"start\"");
    };
    qsizetype startsBefore = starts();
    const auto holdsJournal = [&](const QProcess&) { return starts() > startsBefore; };
#else
    const auto holdsJournal = [](const QProcess& process) { return holdsLock(process); };
#endif

    // Two starts at the same moment: exactly one keeps a window, the one that holds
    // the journal (once it does, it stays).
    QProcess first;
    QProcess second;
    QVERIFY(start(first));
    QVERIFY(start(second));
    QTRY_VERIFY_WITH_TIMEOUT(
        first.state() == QProcess::NotRunning || second.state() == QProcess::NotRunning, 10000);
    QProcess& running = first.state() == QProcess::Running ? first : second;
    QProcess& ended = first.state() == QProcess::Running ? second : first;
    QTRY_VERIFY_WITH_TIMEOUT(holdsJournal(running) || running.state() != QProcess::Running, 30000);
    QCOMPARE(int(first.state() == QProcess::Running) + int(second.state() == QProcess::Running), 1);
    QCOMPARE(ended.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ended.exitCode(), 0);
    QVERIFY(!QFile::exists(programIni)); // neither touched the settings file

    // A killed instance does not block the next start.
    running.kill();
    QVERIFY(running.waitForFinished());
#ifdef Q_OS_WIN
    startsBefore = starts();
#endif
    QProcess third;
    QVERIFY(start(third));
    QTRY_VERIFY_WITH_TIMEOUT(holdsJournal(third), 30000);
    QCOMPARE(third.state(), QProcess::Running);
    third.kill();
    QVERIFY(third.waitForFinished());
}

void TestFrmRindell::doubleClickOnStartPressesNoStop()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    QStyleHints* hints = QGuiApplication::styleHints();
    hints->setMouseDoubleClickInterval(400);
    bool tensStillSpinning = false;
    QWidget* focusAfterDoubleClick = nullptr;
    bool keyStoppedHundreds = false;
    Stepper steps;
    steps.then([&] {
        // The second click of the double-click lands on STOP(1), where START was.
        QTest::mousePress(stop(window.get(), 1), Qt::LeftButton);
        QTest::mouseRelease(stop(window.get(), 1), Qt::LeftButton);
        QTest::mouseDClick(stop(window.get(), 1), Qt::LeftButton);
        tensStillSpinning = stop(window.get(), 1)->isVisible();
        focusAfterDoubleClick = window->focusWidget();
        // The keyboard is never ignored.
        QTest::keyClick(stop(window.get(), 2), Qt::Key_Space);
        keyStoppedHundreds = !stop(window.get(), 2)->isVisible();
    });
    steps.then([&] {
        // Past the interval a click stops its reel again. (No further step: the
        // wait would run it.)
        QTest::qWait(hints->mouseDoubleClickInterval() + 50);
        QTest::mouseClick(stop(window.get(), 1), Qt::LeftButton);
        QTest::mouseClick(stop(window.get(), 0), Qt::LeftButton);
    });
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    hints->setMouseDoubleClickInterval(0);
    QVERIFY(tensStillSpinning);
    QCOMPARE(focusAfterDoubleClick, stop(window.get(), 2));
    QVERIFY(keyStoppedHundreds);
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
    QCOMPARE(MainWindow::reels(window.get()),
             QStringLiteral("%1").arg(window->drawnNumber(), 3, 10, QLatin1Char('0')));
}

#ifndef Q_OS_WIN // for the cases of links and runtime folders, POSIX's alone
namespace {

QProcessEnvironment offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

void stop(QProcess& process)
{
    process.kill();
    process.waitForFinished();
}

} // namespace
#endif

void TestFrmRindell::anotherUserCannotSwitchOffTheLock()
{
    // Without XDG_RUNTIME_DIR, Qt's fallback runtime folder is one that another
    // user can make first; the lock must not depend on it.
#ifdef Q_OS_WIN
    QSKIP("no XDG runtime folder on Windows");
#else
    if (::geteuid() != 0)
        QSKIP("only root can make a folder of another user's");
    QTemporaryDir folder;
    QTemporaryDir temporary;
    const QString program = folder.filePath(QStringLiteral("rindell"));
    QVERIFY(QFile::copy(Files::builtProgram(), program));
    const QString planted = temporary.filePath(QStringLiteral("runtime-root"));
    QVERIFY(QDir().mkpath(planted));
    QVERIFY(::chown(QFile::encodeName(planted).constData(), 65534, 65534) == 0);
    QProcessEnvironment environment = offscreen();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("TMPDIR"), temporary.path());
    QProcess first;
    QProcess second;
    first.setProcessEnvironment(environment);
    second.setProcessEnvironment(environment);
    first.start(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(holdsLock(first), 30000);
    second.start(program, {});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    stop(first);
#endif
}

void TestFrmRindell::twoPathsToOneFileAreOneInstance()
{
    // Two program folders whose Rindell.ini lead to one file: one instance only,
    // or the two would write over each other's draws.
#ifdef Q_OS_WIN
    QSKIP(Files::NoLinksOnWindows);
#else
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("shared.ini"));
    QFile(shared).open(QIODevice::WriteOnly);
    const QString built = Files::builtProgram();
    QStringList programs;
    for (const QString& folder : {QStringLiteral("a"), QStringLiteral("b")}) {
        QVERIFY(QDir(root.path()).mkpath(folder));
        const QString program = root.filePath(folder + QStringLiteral("/rindell"));
        QVERIFY(QFile::copy(built, program));
        QVERIFY(QFile::link(shared, root.filePath(folder + QStringLiteral("/Rindell.ini"))));
        programs << program;
    }
    // One journal, beside the file the links lead to, and with it one lock.
    QCOMPARE(Common::journalPathFor(root.filePath(QStringLiteral("a/Rindell.ini"))),
             root.filePath(QStringLiteral("Rindell.log")));

    // Each step waits for what it expects, not for a fixed time: a loaded machine
    // or a sanitizer build starts slowly.
    QProcess first;
    QProcess second;
    first.setProcessEnvironment(offscreen());
    second.setProcessEnvironment(offscreen());
    first.start(programs[0], {});
    QTRY_VERIFY_WITH_TIMEOUT(holdsLock(first), 30000);
    second.start(programs[1], {});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    stop(first); // the kill releases the lock at once
    second.start(programs[1], {});
    QTRY_VERIFY_WITH_TIMEOUT(holdsLock(second), 30000);
    QCOMPARE(second.state(), QProcess::Running);
    stop(second);
#endif
}

void TestFrmRindell::resultListWithoutResults()
{
    frmRindell main;
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    QTest::mouseClick(button(&main, "cmdResultList"), Qt::LeftButton);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, QStringLiteral("結果はありません。"));
    QCOMPARE(answerer.seen()[0].title, QStringLiteral("Rindell"));
    QCOMPARE(main.focusWidget(), button(&main, "cmdStart"));
}

void TestFrmRindell::resultListDuringADraw()
{
    IniFixture::writeRecorded("[Condition]\r\nRange=0,999\r\n[Result]\r\n1=12\r\n2=5\r\n");
    frmRindell main;
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QStringList listed;
    ModalAnswerer answerer;
    answerer.then([&listed](QWidget* dialog) {
        listed = listLines(dialog);
        QTest::mouseClick(button(dialog, "cmdClose"), Qt::LeftButton);
    });
    QWidget* focusAfter = nullptr;
    Stepper steps;
    steps.then([&] {
        QTest::mouseClick(button(&main, "cmdResultList"), Qt::LeftButton);
        focusAfter = main.focusWidget();
    });
    for (QPushButton* stop : main.findChildren<QPushButton*>(QStringLiteral("cmdStop")))
        steps.then([stop] { QTest::mouseClick(stop, Qt::LeftButton); });
    QTest::mouseClick(button(&main, "cmdStart"), Qt::LeftButton);
    const QStringList expected = {"  1回目：　012", "  2回目：　005",
                                  resultLine(3, main.drawnNumber())};
    QCOMPARE(listed, expected);
    QCOMPARE(focusAfter->property("index").toInt(), 2);
}

void TestFrmRindell::conditionDialogDuringADraw()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    frmRindell main;
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QPushButton* start = button(&main, "cmdStart");
    const QList<QPushButton*> stops = {stop(&main, 2), stop(&main, 1), stop(&main, 0)};

    ModalAnswerer answerer;
    QString openedWith;
    answerer.then([&openedWith](QWidget* dialog) {
        openedWith = box(dialog, "txtRangeMin")->text() + u',' + box(dialog, "txtRangeMax")->text();
        QTest::mouseClick(button(dialog, "cmdCancel"), Qt::LeftButton);
    });
    QWidget* focusAfter = nullptr;
    Stepper steps;
    steps.then([&] {
        QTest::mouseClick(button(&main, "cmdCondition"), Qt::LeftButton);
        focusAfter = main.focusWidget();
    });
    for (QPushButton* reelStop : stops)
        steps.then([reelStop] { QTest::mouseClick(reelStop, Qt::LeftButton); });
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(openedWith, QStringLiteral("0,999"));
    QCOMPARE(focusAfter, stop(&main, 2));
    QVERIFY(start->isVisible());

    // A new range, and the clear agreed to, reach the window at once.
    answerer
        .then([](QWidget* dialog) {
            box(dialog, "txtRangeMin")->setText(QStringLiteral("1"));
            box(dialog, "txtRangeMax")->setText(QStringLiteral("50"));
            QTest::mouseClick(button(dialog, "cmdOK"), Qt::LeftButton);
        })
        .press(QMessageBox::Yes);
    QTest::mouseClick(button(&main, "cmdCondition"), Qt::LeftButton);
    QCOMPARE(box(&main, "txtRange")->text(), QStringLiteral("抽選範囲 : 01 ～ 50"));
    QCOMPARE(box(&main, "txtCount")->text(), QStringLiteral("次 1回目"));
    QCOMPARE(main.session().drawCount(), qsizetype(0));
}

void TestFrmRindell::reelDigit_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("hundreds");
    QTest::addColumn<int>("tens");
    QTest::addColumn<int>("ones");
    QTest::newRow("7") << 7 << 0 << 0 << 7;
    QTest::newRow("45") << 45 << 0 << 4 << 5;
    QTest::newRow("123") << 123 << 1 << 2 << 3;
    QTest::newRow("1234 shows its last three") << 1234 << 2 << 3 << 4;
}

void TestFrmRindell::reelDigit()
{
    QFETCH(int, number);
    QFETCH(int, hundreds);
    QFETCH(int, tens);
    QFETCH(int, ones);
    QCOMPARE(Reels::reelDigit(std::int16_t(number), 2), hundreds);
    QCOMPARE(Reels::reelDigit(std::int16_t(number), 1), tens);
    QCOMPARE(Reels::reelDigit(std::int16_t(number), 0), ones);
}

void TestFrmRindell::frameInterval_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("interval");
    QTest::newRow("60 Hz") << 60.0 << 17;
    QTest::newRow("59.94 Hz") << 59.94 << 17;
    QTest::newRow("144 Hz") << 144.0 << 7;
    QTest::newRow("unknown (0)") << 0.0 << 17;
    QTest::newRow("nonsense") << 1e9 << 17;
    QTest::newRow("fast as can be") << 1000.0 << 1;
}

void TestFrmRindell::frameInterval()
{
    QFETCH(double, rate);
    QFETCH(int, interval);
    QCOMPARE(Reels::frameInterval(rate), interval);
}

void TestFrmRindell::advanceReel()
{
    QCOMPARE(Reels::advanceReel(QStringLiteral("0")), QStringLiteral("1"));
    QCOMPARE(Reels::advanceReel(QStringLiteral("8")), QStringLiteral("9"));
    QCOMPARE(Reels::advanceReel(QStringLiteral("9")), QStringLiteral("0"));
}

QTEST_MAIN(TestFrmRindell)
#include "tst_frmrindell.moc"

void TestFrmRindell::reelsBlitTheDigitsTheyPainted_data()
{
    QTest::addColumn<QString>("digit");
    QTest::addColumn<QString>("change");
    for (int digit = 0; digit < 10; ++digit)
        QTest::addRow("%d", digit) << QString::number(digit) << QString();
    QTest::newRow("7 with the focus") << QStringLiteral("7") << QStringLiteral("focus");
    QTest::newRow("7 selected") << QStringLiteral("7") << QStringLiteral("selection");
    QTest::newRow("7 in other colours") << QStringLiteral("7") << QStringLiteral("colours");
    QTest::newRow("7 in another font") << QStringLiteral("7") << QStringLiteral("font");
}

void TestFrmRindell::reelsBlitTheDigitsTheyPainted()
{
    QFETCH(QString, digit);
    QFETCH(QString, change);
    auto window = MainWindow::open();
    // The test runs again at QT_SCALE_FACTOR 2 and 1.5.
    const QString factor = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    QCOMPARE(window->devicePixelRatio(), factor.toDouble());
    auto* reel = qobject_cast<Reel*>(box(window.get(), "txt10"));
    QVERIFY(reel);
    reel->setText(digit);
    // A face is kept after the reel's first paint of it, and painted again when
    // its look changes.
    const auto painted = [reel] {
        reel->repaint();
        QTRY_VERIFY(!reel->face().isNull());
    };
    painted();
    QFont font = reel->font();
    font.setPointSize(200);
    if (change == u"focus") {
        reel->setFocus();
        QCOMPARE(QApplication::focusWidget(), reel);
    } else if (change == u"selection") {
        reel->selectAll(); // as a double-click does
    } else if (change == u"colours") {
        Common::setPaletteColor(reel, QPalette::Base, Qt::white);
        Common::setPaletteColor(reel, QPalette::Text, Red);
    } else if (change == u"font") {
        reel->setFont(font);
    }
    if (change == u"selection") {
        QCoreApplication::processEvents();
        QVERIFY(reel->face().isNull()); // a selection is painted as it stands
    } else if (!change.isEmpty()) {
        QVERIFY(reel->face().isNull());
        painted();
    }
    // What the window shows, painted into its backing store.
    const auto shown = [&window](QWidget* box) {
        box->repaint();
        return window->screen()
            ->grabWindow(window->winId(), box->x(), box->y(), box->width(), box->height())
            .toImage();
    };
    const QImage blitted = shown(reel);

    // Qt's own line edit, set as the reel is, in its place.
    auto* plain = new QLineEdit(digit, window.get());
    // Shaped, as Qt lays out a line edit's text by default.
    QFont shaped = reel->font();
    shaped.setStyleStrategy(QFont::PreferDefault);
    plain->setFont(shaped);
    plain->setPalette(reel->palette());
    plain->setAlignment(reel->alignment());
    plain->setReadOnly(true);
    plain->setGeometry(reel->geometry());
    reel->hide();
    plain->show();
    if (change == u"focus")
        plain->setFocus();
    else if (change == u"selection")
        plain->selectAll();
    QCOMPARE(shown(plain), blitted);
}
