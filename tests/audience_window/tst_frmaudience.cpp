// The audience window, driven through the real main window as an operator and a
// presenter remote would.
#include "audience_window/frmaudience.h"
#include "audience_window/placement.h"
#include "controls.h"
#include "guisuite.h"
#include "inifixture.h"
#include "main_window/frmrindell.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "settings/settings.h"
#include "stepper.h"

#include <QApplication>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include <memory>

class TestFrmAudience : public GuiSuite
{
    Q_OBJECT

  private Q_SLOTS:

    void f5OpensAndCloses();
    void mirrorsEveryDrawAndNeverRunsAhead();
    void pageDownDrawsAWholeSeries_data();
    void pageDownDrawsAWholeSeries();
    void besideTheMainWindow_data();
    void besideTheMainWindow();
    void noKeyActsUnderAMessageBox();
    void displaySectionIsKeptAndSurvivesClearing();
    void closingItDuringADrawIsAllowed();
};

void TestFrmAudience::f5OpensAndCloses()
{
    auto window = MainWindow::open();
    QVERIFY(!window->audience());
    QTest::keyClick(window.get(), Qt::Key_F5);
    QVERIFY(window->audience());
    QVERIFY(QTest::qWaitForWindowExposed(window->audience()));
    QCOMPARE(window->audience()->objectName(), QStringLiteral("frmAudience"));
    QCOMPARE(window->audience()->accessibleName(), QStringLiteral("抽選番号 000"));
    QTest::keyClick(window.get(), Qt::Key_F5);
    QTRY_VERIFY(!window->audience());
    QVERIFY(window->isVisible()); // closing it never closes the program
}

void TestFrmAudience::mirrorsEveryDrawAndNeverRunsAhead()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    // At every change of a main reel, and at every paint of the audience window,
    // both show the same digits.
    int changes = 0;
    QStringList differences;
    for (const char* name : {"txt100", "txt10", "txt1"})
        connect(box(window.get(), name), &QLineEdit::textChanged, this, [&] {
            ++changes;
            if (audience->digits() != MainWindow::reels(window.get()))
                differences << audience->digits() + u'/' + MainWindow::reels(window.get());
        });
    // The ordinal beside the reels is that of the number on them: none before the
    // first draw, the running one while they spin.
    QCOMPARE(audience->ordinalLine(), QString());
    for (int draw = 0; draw < 5; ++draw) {
        const QString ordinal = QString::number(draw + 1) + QStringLiteral("回目");
        QString ordinalWhileSpinning;
        Stepper steps;
        steps.then([&] {
            QTest::qWait(200);
            ordinalWhileSpinning = audience->ordinalLine();
        });
        for (const int index : {2, 1, 0})
            steps.then(
                [&, index] { QTest::mouseClick(stop(window.get(), index), Qt::LeftButton); });
        QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
        const QString drawn =
            QStringLiteral("%1").arg(window->drawnNumber(), 3, 10, QLatin1Char('0'));
        QCOMPARE(MainWindow::reels(window.get()), drawn);
        QCOMPARE(audience->accessibleName(), QStringLiteral("抽選番号 ") + drawn);
        QCOMPARE(ordinalWhileSpinning, ordinal);
        QCOMPARE(audience->ordinalLine(), ordinal);
    }
    QVERIFY(changes > 15);
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u' ')));
}

void TestFrmAudience::pageDownDrawsAWholeSeries_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("PageDown") << Qt::Key_PageDown;
    QTest::newRow("Return") << Qt::Key_Return;
    QTest::newRow("Enter") << Qt::Key_Enter;
}

void TestFrmAudience::pageDownDrawsAWholeSeries()
{
    // A presenter remote's PageDown, or Enter, at the audience window: START, then
    // the STOPs, three times, then the refusal of a fourth draw.
    QFETCH(Qt::Key, key);
    IniFixture::write("[Condition]\r\nRange=1,3\r\n");
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    Stepper steps;
    for (int press = 0; press < 13; ++press)
        steps.then([audience, key] { QTest::keyClick(audience, key); });
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 10000);
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(answerer.seen()[0].text,
             QStringLiteral("全て抽選されたので、これ以上抽選できません。"));
    QCOMPARE(window->session().drawCount(), qsizetype(3));
    QList<std::int16_t> drawn = window->session().results().mid(1);
    std::sort(drawn.begin(), drawn.end());
    QCOMPARE(drawn, (QList<std::int16_t>{1, 2, 3}));
    QVERIFY(button(window.get(), "cmdStart")->isVisible());
}

void TestFrmAudience::besideTheMainWindow_data()
{
    // A 1280×1024 screen, the audience window at most 960×540 and at least 320×200.
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("top left: below, the largest side")
        << QRect(0, 0, 700, 450) << QRect(0, 450, 960, 540);
    QTest::newRow("tall, left: right of it") << QRect(0, 0, 700, 1000) << QRect(700, 0, 580, 326);
    QTest::newRow("centred: above it, the larger of above and below")
        << QRect(290, 290, 700, 450) << QRect(290, 0, 515, 290);
    QTest::newRow("no side has room: centred, to stand behind")
        << QRect(100, 100, 1080, 824) << QRect(160, 242, 960, 540);
}

void TestFrmAudience::besideTheMainWindow()
{
    QFETCH(QRect, main);
    QFETCH(QRect, expected);
    QCOMPARE(
        AudiencePlacement::beside(QRect(0, 0, 1280, 1024), main, QSize(960, 540), QSize(320, 200)),
        expected);
}

void TestFrmAudience::noKeyActsUnderAMessageBox()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    bool stillIdle = false;
    ModalAnswerer answerer;
    answerer.then([&](QWidget* box) {
        for (QWidget* target :
             {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(audience)}) {
            QTest::keyClick(target, Qt::Key_PageDown);
            QTest::keyClick(target, Qt::Key_F5);
            QTest::keyClick(target, Qt::Key_F11);
        }
        stillIdle = button(window.get(), "cmdStart")->isVisible() && window->audience() &&
                    !audience->isFullScreen();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
    QVERIFY(waitUntilAnswered(answerer));
    QVERIFY(stillIdle);
    QCOMPARE(window->session().drawCount(), qsizetype(0));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=0,999\r\n"));
}

void TestFrmAudience::displaySectionIsKeptAndSurvivesClearing()
{
    IniFixture::writeRecorded("[Condition]\r\nRange=0,999\r\n[Result]\r\n1=5\r\n");
    {
        auto window = MainWindow::open();
        window->toggleAudience();
        QVERIFY(QTest::qWaitForWindowExposed(window->audience()));
        QTest::keyClick(window->audience(), Qt::Key_F11);
        QTRY_VERIFY(window->audience()->isFullScreen());
        const QString screen = window->audience()->screen()->name();
        QCOMPARE(
            Common::ReadIniString(QStringLiteral("Display"), QStringLiteral("FullScreen"), {}, {}),
            QStringLiteral("1"));
        QCOMPARE(Common::ReadIniString(QStringLiteral("Display"), QStringLiteral("Screen"), {}, {}),
                 screen);
        ModalAnswerer answerer;
        answerer.press(QMessageBox::Yes);
        QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
        QVERIFY(waitUntilAnswered(answerer));
        QVERIFY(!Common::ReadIniSection(QStringLiteral("Result"), {}));
    }
    QCOMPARE(Common::ReadIniString(QStringLiteral("Display"), QStringLiteral("FullScreen"), {}, {}),
             QStringLiteral("1"));
    const std::optional<QRect> placed = AudiencePlacement::fromText(
        Common::ReadIniString(QStringLiteral("Display"), QStringLiteral("Geometry"), {}, {}));
    QVERIFY(placed);
    // The next run opens it as it was left.
    auto window = MainWindow::open();
    window->toggleAudience();
    QTRY_VERIFY(window->audience()->isFullScreen());
    QCOMPARE(window->audience()->normalGeometry(), *placed);
    QTest::keyClick(window->audience(), Qt::Key_F11);
    QTRY_VERIFY(!window->audience()->isFullScreen());
    QCOMPARE(Common::ReadIniString(QStringLiteral("Display"), QStringLiteral("FullScreen"), {}, {}),
             QStringLiteral("0"));
}

void TestFrmAudience::closingItDuringADrawIsAllowed()
{
    IniFixture::write("[Condition]\r\nRange=0,999\r\n");
    auto window = MainWindow::open();
    window->toggleAudience();
    QVERIFY(QTest::qWaitForWindowExposed(window->audience()));
    bool closedWhileSpinning = false;
    Stepper steps;
    steps.then([&] {
        window->audience()->close();
        closedWhileSpinning = !window->audience() || !window->audience()->isVisible();
    });
    for (const int index : {2, 1, 0})
        steps.then([&, index] { QTest::mouseClick(stop(window.get(), index), Qt::LeftButton); });
    QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
    QVERIFY(closedWhileSpinning);
    QVERIFY(window->isVisible());
    QCOMPARE(window->session().drawCount(), qsizetype(1));
}

QTEST_MAIN(TestFrmAudience)
#include "tst_frmaudience.moc"
