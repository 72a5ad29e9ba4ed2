// The audience window, driven through the real main window as an operator and a
// presenter remote would.
#include "audience_window/frmaudience.h"
#include "audience_window/placement.h"
#include "controls.h"
#include "files.h"
#include "guisuite.h"
#include "inifixture.h"
#include "main_window/frmrindell.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "stepper.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include <memory>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

// The prize and name lists beside the settings file, removed again at the end.
class ListFiles
{
  public:
    ListFiles() { remove(); }
    ~ListFiles() { remove(); }
    ListFiles(const ListFiles&) = delete;
    ListFiles& operator=(const ListFiles&) = delete;
    static QString path(const char* name)
    {
        return QFileInfo(IniFixture::journalPath()).dir().filePath(QLatin1String(name));
    }
    static bool write(const char* name, const QByteArray& content)
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(content) == content.size();
    }

  private:
    static void remove()
    {
        for (const char* name : {"Rindell-prizes.csv", "Rindell-names.csv"})
            QFile::remove(path(name));
    }
};

QLabel* label(QWidget* window, const char* name)
{
    return window->findChild<QLabel*>(QLatin1String(name));
}

// What the hall sees of a label: its text, or nothing while it is hidden.
QString shown(QWidget* window, const char* name)
{
    QLabel* found = label(window, name);
    return found->isVisibleTo(window) ? found->text() : QString();
}

} // namespace

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
    void boxesStandOverTheMainWindow();
    void placeIsKeptInAFileOfItsOwn();
    void storedPlace_data();
    void storedPlace();
    void oddPlaceFileIsLeftAlone_data();
    void oddPlaceFileIsLeftAlone();
    void closingItDuringADrawIsAllowed();
    void prizeAndWinnerFollowTheDraw();
    void withoutListsItLooksAsBefore();
    void listsThatCannotBeReadAreToldOnce();
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

void TestFrmAudience::boxesStandOverTheMainWindow()
{
    // PageDown at the active audience window with no range: the warning stands over
    // the operator's window, never over the projector's.
    IniFixture::write("");
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    audience->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), audience);
    QWidget* owner = nullptr;
    ModalAnswerer answerer;
    answerer.then([&](QWidget* box) {
        owner = box->parentWidget();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    QTest::keyClick(audience, Qt::Key_PageDown);
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(owner, static_cast<QWidget*>(window.get()));
}

void TestFrmAudience::placeIsKeptInAFileOfItsOwn()
{
    // F11 and closing keep the place in Rindell-display.ini; the settings file
    // holds the draw's sections only, through a clear too.
    IniFixture::writeRecorded("[Condition]\r\nRange=0,999\r\n[Result]\r\n1=5\r\n");
    QString screen;
    {
        auto window = MainWindow::open();
        window->toggleAudience();
        QVERIFY(QTest::qWaitForWindowExposed(window->audience()));
        QTest::keyClick(window->audience(), Qt::Key_F11);
        QTRY_VERIFY(window->audience()->isFullScreen());
        screen = window->audience()->screen()->name();
        QVERIFY(Files::read(IniFixture::displayPath()).contains("\r\nFullScreen=1\r\n"));
        ModalAnswerer answerer;
        answerer.press(QMessageBox::Yes);
        QTest::mouseClick(button(window.get(), "cmdClearResult"), Qt::LeftButton);
        QVERIFY(waitUntilAnswered(answerer));
    }
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=0,999\r\n"));
    const QByteArray kept = Files::read(IniFixture::displayPath());
    QVERIFY(kept.startsWith("[Display]\r\nScreen=" + screen.toUtf8() +
                            "\r\nScreenNumber=0\r\nFullScreen=1\r\n"));
    const std::optional<QRect> placed = AudiencePlacement::fromText(
        QString::fromUtf8(kept.mid(kept.indexOf("Geometry=") + 9).trimmed()));
    QVERIFY(placed);
    // The next run opens it where it was left, windowed: full screen on the one
    // screen there is would hide the operator's window. F11 is the operator's choice.
    auto window = MainWindow::open();
    window->toggleAudience();
    QVERIFY(QTest::qWaitForWindowExposed(window->audience()));
    QVERIFY(!window->audience()->isFullScreen());
    QCOMPARE(window->audience()->geometry(), *placed);
    QTest::keyClick(window->audience(), Qt::Key_F11);
    QTRY_VERIFY(window->audience()->isFullScreen());
    QTest::keyClick(window->audience(), Qt::Key_F11);
    QTRY_VERIFY(!window->audience()->isFullScreen());
    QVERIFY(Files::read(IniFixture::displayPath()).contains("\r\nFullScreen=0\r\n"));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=0,999\r\n"));
}

void TestFrmAudience::storedPlace_data()
{
    // The settings file, the place file (null: none), and where the window opens
    // (null: anywhere on the screen), or whether it fills the screen's available area.
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("placeFile");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<bool>("wholeArea");
    const QByteArray range = "[Condition]\r\nRange=0,999\r\n";
    const QByteArray earlier =
        range + "[Display]\r\nScreen=\r\nFullScreen=1\r\nGeometry=10,20,400,300\r\n";
    QTest::newRow("an earlier version's [Display], taken over, windowed")
        << earlier << QByteArray() << QRect(10, 20, 400, 300) << false;
    QTest::newRow("the place file before [Display]")
        << earlier << QByteArray("[Display]\r\nGeometry=30,40,400,300\r\n")
        << QRect(30, 40, 400, 300) << false;
    QTest::newRow("full screen on the operator's screen: windowed")
        << range << QByteArray("[Display]\r\nFullScreen=1\r\nGeometry=30,40,400,300\r\n")
        << QRect(30, 40, 400, 300) << false;
    QTest::newRow("a hostile place: clamped to the screen")
        << range << QByteArray("[Display]\r\nGeometry=-100000,-100000,200640,200512\r\n") << QRect()
        << true;
    QTest::newRow("partly off the screen: moved onto it")
        << range << QByteArray("[Display]\r\nGeometry=600,-50,400,300\r\n") << QRect() << false;
    QTest::newRow("beyond what a coordinate holds: not taken")
        << range << QByteArray("[Display]\r\nGeometry=2147483000,0,2000,100\r\n") << QRect()
        << false;
}

void TestFrmAudience::storedPlace()
{
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, placeFile);
    QFETCH(QRect, expected);
    QFETCH(bool, wholeArea);
    IniFixture::write(settings);
    if (!placeFile.isNull())
        QVERIFY(Files::write(IniFixture::displayPath(), placeFile));
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    QVERIFY(!audience->isFullScreen());
    const QRect area = audience->screen()->availableGeometry();
    QVERIFY2(area.contains(audience->frameGeometry()),
             qPrintable(AudiencePlacement::toText(audience->frameGeometry())));
    if (wholeArea)
        QCOMPARE(audience->frameGeometry(), area);
    else if (!expected.isNull())
        QCOMPARE(audience->geometry(), expected);
    const QRect shown = audience->normalGeometry();
    audience->close();
    QTRY_VERIFY(!window->audience());
    // Kept in its own file, where it was shown; the settings file as it was.
    QVERIFY(Files::read(IniFixture::displayPath())
                .contains("Geometry=" + AudiencePlacement::toText(shown).toUtf8() + "\r\n"));
    QCOMPARE(IniFixture::read(), settings);
}

void TestFrmAudience::oddPlaceFileIsLeftAlone_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("a link to the settings file") << QStringLiteral("link");
    QTest::newRow("a dangling link") << QStringLiteral("dangling");
    QTest::newRow("a FIFO") << QStringLiteral("fifo");
    QTest::newRow("a hard link to the settings file") << QStringLiteral("hard link");
    QTest::newRow("a folder") << QStringLiteral("folder");
}

void TestFrmAudience::oddPlaceFileIsLeftAlone()
{
    // Never read from nor written through: the settings file and whatever stands
    // there stay as they were, and the window opens all the same.
    QFETCH(QString, planted);
    const QByteArray settings = "[Condition]\r\nRange=0,999\r\n";
    IniFixture::write(settings);
    const QString path = IniFixture::displayPath();
    const QString elsewhere = path + QStringLiteral(".elsewhere");
    if (planted == QLatin1String("hard link")) {
        QVERIFY(Files::hardLink(IniFixture::path(), path));
    } else if (planted == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else {
#ifdef Q_OS_WIN
        QSKIP(Files::NoLinksOnWindows);
#else
        if (planted == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(planted == QLatin1String("link") ? IniFixture::path() : elsewhere,
                                path));
#endif
    }
    const QFileInfo before(path);
    {
        // A settings file with a second name is not read at start, and says so.
        ModalAnswerer answerer;
        if (planted == QLatin1String("hard link"))
            answerer.press(QMessageBox::Ok);
        auto window = MainWindow::open();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.unexpected(), 0);
        window->toggleAudience();
        QVERIFY(QTest::qWaitForWindowExposed(window->audience()));
        QTest::keyClick(window->audience(), Qt::Key_F11);
        QTRY_VERIFY(window->audience()->isFullScreen());
        window->audience()->close();
        QTRY_VERIFY(!window->audience());
    }
    QCOMPARE(IniFixture::read(), settings);
    const QFileInfo after(path);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isDir(), before.isDir());
    QCOMPARE(after.isFile(), before.isFile());
    QVERIFY(!QFile::exists(elsewhere));
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

void TestFrmAudience::prizeAndWinnerFollowTheDraw()
{
    ListFiles lists;
    QVERIFY(ListFiles::write("Rindell-prizes.csv",
                             QStringLiteral("回,景品\r\n1,特賞 温泉旅行\r\n2,二等\r\n").toUtf8()));
    QVERIFY(
        ListFiles::write("Rindell-names.csv",
                         QStringLiteral("番号,氏名\r\n1,山田\r\n2,佐藤\r\n3,鈴木\r\n").toUtf8()));
    const QStringList names{QString(), QStringLiteral("山田"), QStringLiteral("佐藤"),
                            QStringLiteral("鈴木")};
    IniFixture::write("[Condition]\r\nRange=1,3\r\n");
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    // Before the first draw: draw 1's prize, no name (the reels' 000 is no draw).
    QCOMPARE(shown(audience, "lblPrize"), QStringLiteral("特賞 温泉旅行"));
    QCOMPARE(label(audience, "lblPrize")->accessibleName(), QStringLiteral("景品 特賞 温泉旅行"));
    QCOMPARE(shown(audience, "lblWinner"), QString());
    // At no paint of the window may a name stand while a STOP is still to press.
    QStringList early;
    struct PaintWatch : QObject
    {
        std::function<void()> seen;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                seen();
            return false;
        }
    } watch;
    watch.seen = [&] {
        const bool stopShown = stop(window.get(), 0)->isVisible() ||
                               stop(window.get(), 1)->isVisible() ||
                               stop(window.get(), 2)->isVisible();
        if (stopShown && !shown(audience, "lblWinner").isEmpty())
            early << audience->digits() + u'/' + shown(audience, "lblWinner");
    };
    audience->installEventFilter(&watch);
    label(audience, "lblWinner")->installEventFilter(&watch);
    const QStringList prizes{QStringLiteral("特賞 温泉旅行"), QStringLiteral("二等"), QString()};
    for (int draw = 0; draw < 3; ++draw) {
        QStringList whileSpinning;
        Stepper steps;
        // No wait inside a step: later steps would run nested in it.
        const auto look = [&] {
            whileSpinning << shown(audience, "lblPrize") + u'/' + shown(audience, "lblWinner");
        };
        steps.then(look);
        for (const int index : {2, 1, 0})
            steps.then([&, index] {
                QTest::mouseClick(stop(window.get(), index), Qt::LeftButton);
                if (index > 0)
                    look();
            });
        QTest::mouseClick(button(window.get(), "cmdStart"), Qt::LeftButton);
        // Cleared at START, the running draw's prize while the reels turn, and no
        // name until the last STOP.
        const QString spinning = prizes[draw] + u'/';
        QCOMPARE(whileSpinning, QStringList({spinning, spinning, spinning}));
        QCOMPARE(shown(audience, "lblPrize"), prizes[draw]);
        QCOMPARE(shown(audience, "lblWinner"), names[window->drawnNumber()]);
        QCOMPARE(label(audience, "lblWinner")->accessibleName(),
                 QStringLiteral("当選者 ") + names[window->drawnNumber()]);
    }
    QVERIFY2(early.isEmpty(), qPrintable(early.join(u' ')));
    // A correction on disk reaches the hall.
    QVERIFY(ListFiles::write("Rindell-names.csv",
                             QStringLiteral("1,山田 一郎\n2,佐藤 二郎\n3,鈴木 三郎\n").toUtf8()));
    QTRY_VERIFY(shown(audience, "lblWinner").endsWith(QStringLiteral("郎")));
    audience->removeEventFilter(&watch);
    label(audience, "lblWinner")->removeEventFilter(&watch);
}

void TestFrmAudience::withoutListsItLooksAsBefore()
{
    ListFiles lists;
    IniFixture::write("[Condition]\r\nRange=1,100\r\n");
    auto window = MainWindow::open();
    window->toggleAudience();
    frmAudience* audience = window->audience();
    QVERIFY(QTest::qWaitForWindowExposed(audience));
    // The window as it paints itself alone, without any label over it.
    const auto alone = [audience] {
        QPixmap pixmap(audience->size());
        audience->render(&pixmap, {}, {}, QWidget::DrawWindowBackground);
        return pixmap.toImage();
    };
    QCOMPARE(audience->grab().toImage(), alone());
    // A prize listed is seen; so this comparison can tell.
    QVERIFY(ListFiles::write("Rindell-prizes.csv", QStringLiteral("1,特賞\r\n").toUtf8()));
    QTRY_COMPARE(shown(audience, "lblPrize"), QStringLiteral("特賞"));
    QVERIFY(audience->grab().toImage() != alone());
    // Big enough for the back of a hall: larger than the range line.
    QVERIFY(label(audience, "lblPrize")->font().pixelSize() > audience->height() / 18);
}

void TestFrmAudience::listsThatCannotBeReadAreToldOnce()
{
    ListFiles lists;
    QVERIFY(ListFiles::write("Rindell-prizes.csv", "1,a\r\n2,\"b\r\n"));
    QVERIFY(ListFiles::write("Rindell-names.csv",
                             "\xEF\xBB\xBF" + QByteArray("1,a\r\n1,b\r\n1000,c\r\n")));
    auto window = MainWindow::open();
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok).press(QMessageBox::Ok);
    QTest::keyClick(window.get(), Qt::Key_F5);
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen()[0].text,
             QStringLiteral("Rindell-prizes.csv の 2 行目を読み込めません。"
                            "Rindell-prizes.csv を確認して下さい。"));
    QCOMPARE(answerer.seen()[1].text, QStringLiteral("Rindell-names.csv の 2 行目を読み込めません。"
                                                     "Rindell-names.csv を確認して下さい。"));
    QCOMPARE(answerer.seen()[0].title, window->windowTitle());
    // The rows that could be read count; a change read later says nothing more.
    QCOMPARE(shown(window->audience(), "lblPrize"), QStringLiteral("a"));
    QVERIFY(ListFiles::write("Rindell-prizes.csv", "1,x\r\n1,y\r\n"));
    QTRY_COMPARE(shown(window->audience(), "lblPrize"), QStringLiteral("x"));
    QCOMPARE(answerer.unexpected(), 0);
    // A FIFO at a list's name is never waited on; it is told at the next opening.
    QTest::keyClick(window.get(), Qt::Key_F5);
    QTRY_VERIFY(!window->audience());
#ifndef Q_OS_WIN
    QVERIFY(QFile::remove(ListFiles::path("Rindell-names.csv")));
    QCOMPARE(::mkfifo(QFile::encodeName(ListFiles::path("Rindell-names.csv")).constData(), 0600),
             0);
#endif
    answerer.press(QMessageBox::Ok).press(QMessageBox::Ok);
    QTest::keyClick(window.get(), Qt::Key_F5);
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(answerer.seen().size(), 4);
    QCOMPARE(answerer.seen()[2].text,
             QStringLiteral("Rindell-prizes.csv の 2 行目を読み込めません。"
                            "Rindell-prizes.csv を確認して下さい。"));
#ifndef Q_OS_WIN
    QCOMPARE(
        answerer.seen()[3].text,
        QStringLiteral("Rindell-names.csv を読み込めません。Rindell-names.csv を確認して下さい。"));
#endif
    QCOMPARE(shown(window->audience(), "lblPrize"), QStringLiteral("x"));
}

QTEST_MAIN(TestFrmAudience)
#include "tst_frmaudience.moc"
