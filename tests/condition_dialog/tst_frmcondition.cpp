#include "condition_dialog/frmcondition.h"
#include "controls.h"
#include "guisuite.h"
#include "inifixture.h"
#include "modalanswerer.h"
#include "session/drawsession.h"
#include "settings/settings.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

#include <memory>

namespace {

const QString Narrowed =
    QStringLiteral("抽選範囲が狭くなったので、抽選結果をクリアします。よろしいですか？");
const QString Changed = QStringLiteral("抽選範囲が変更されました。抽選結果をクリアしますか？");
const QString DigitsOnly = QStringLiteral("抽選結果範囲(From)には、0～9の数字を入力して下さい。");
const QString ThreeDigits = QStringLiteral("抽選結果範囲(From)には、3桁以内で入力して下さい。");

QLineEdit* minBox(QWidget* d)
{
    return control<QLineEdit>(d, "txtRangeMin");
}
QLineEdit* maxBox(QWidget* d)
{
    return control<QLineEdit>(d, "txtRangeMax");
}
QPushButton* okButton(QWidget* d)
{
    return control<QPushButton>(d, "cmdOK");
}
QPushButton* cancelButton(QWidget* d)
{
    return control<QPushButton>(d, "cmdCancel");
}

void retype(QLineEdit* box, const QString& text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

QStringList texts(const ModalAnswerer& answerer)
{
    QStringList seen;
    for (const ModalAnswerer::Seen& box : answerer.seen())
        seen << box.text;
    return seen;
}

// The dialog over a started session, modeless so that the test drives it step
// by step.
struct Fixture
{
    DrawSession session;
    std::unique_ptr<frmCondition> owned;
    frmCondition* dialog = nullptr;
    std::unique_ptr<QSignalSpy> clearRequested;

    Fixture()
    {
        session.start();
        owned = std::make_unique<frmCondition>(session);
        dialog = owned.get();
        clearRequested = std::make_unique<QSignalSpy>(dialog, &frmCondition::clearRequested);
        dialog->show();
        if (!QTest::qWaitForWindowActive(dialog))
            qWarning("dialog did not become active");
    }
};

} // namespace

class TestFrmCondition : public GuiSuite
{
    Q_OBJECT

  private Q_SLOTS:

    void layout();
    void fillsBoxesFromTheRange_data();
    void fillsBoxesFromTheRange();
    void focusSelectsTheWholeText();
    void enterAndEscPressNothing();

    void accepted_data();
    void accepted();
    void narrowedAnsweredNoStoresNothing();
    void unchangedRangeWritesNothing();
    void missingOrReversedBounds_data();
    void missingOrReversedBounds();

    void leaveTrimsBlanks();
    void leaveCheckBlocksEveryWayOut_data();
    void leaveCheckBlocksEveryWayOut();
    void leaveCheckHoldsForRealMouseInput();
    void closingThroughTheFrameSkipsTheCheck();
    void failedWriteIsReported();
};

void TestFrmCondition::layout()
{
    Fixture f;
    QCOMPARE(f.dialog->objectName(), QStringLiteral("frmCondition"));
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("条件入力"));
    QCOMPARE(f.dialog->geometry(), QRect(184, 250, 303, 111));
    QCOMPARE(f.dialog->minimumSize(), f.dialog->maximumSize());
    const Qt::WindowFlags flags = f.dialog->windowFlags();
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(minBox(f.dialog)->geometry(), QRect(136, 16, 41, 24));
    QCOMPARE(maxBox(f.dialog)->geometry(), QRect(232, 17, 41, 24));
    QCOMPARE(okButton(f.dialog)->geometry(), QRect(24, 64, 105, 33));
    QCOMPARE(cancelButton(f.dialog)->text(), QStringLiteral("キャンセル"));
    QCOMPARE(control<QLabel>(f.dialog, "Label1")->text(), QStringLiteral("～"));
    QCOMPARE(control<QLabel>(f.dialog, "lblRange")->text(), QStringLiteral("抽選結果範囲"));
    QVERIFY(minBox(f.dialog)->alignment().testFlag(Qt::AlignRight));
    QVERIFY(!okButton(f.dialog)->isDefault() && !okButton(f.dialog)->autoDefault());
    QVERIFY(!cancelButton(f.dialog)->isDefault() && !cancelButton(f.dialog)->autoDefault());
    QCOMPARE(QApplication::focusWidget(), minBox(f.dialog));
    // Tab runs From, To, OK, Cancel and round again.
    for (QWidget* next :
         {static_cast<QWidget*>(maxBox(f.dialog)), static_cast<QWidget*>(okButton(f.dialog)),
          static_cast<QWidget*>(cancelButton(f.dialog)), static_cast<QWidget*>(minBox(f.dialog))}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestFrmCondition::fillsBoxesFromTheRange_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("no range") << QByteArray() << ""
                              << "";
    QTest::newRow("leading zeros dropped") << QByteArray("[Condition]\r\nRange=007,100\r\n") << "7"
                                           << "100";
    QTest::newRow("negative bound left empty") << QByteArray("[Condition]\r\nRange=-1,5\r\n") << ""
                                               << "5";
    QTest::newRow("hand-edited four digits shown in full")
        << QByteArray("[Condition]\r\nRange=1234,5000\r\n") << "1234"
        << "5000";
}

void TestFrmCondition::fillsBoxesFromTheRange()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, from);
    QFETCH(QString, to);
    if (!content.isEmpty())
        IniFixture::write(content);
    Fixture f;
    QCOMPARE(minBox(f.dialog)->text(), from);
    QCOMPARE(maxBox(f.dialog)->text(), to);
}

void TestFrmCondition::focusSelectsTheWholeText()
{
    IniFixture::write("[Condition]\r\nRange=12,345\r\n");
    Fixture f;
    QTRY_COMPARE(minBox(f.dialog)->selectedText(), QStringLiteral("12"));
    QTest::keyClick(minBox(f.dialog), Qt::Key_Tab);
    QTRY_COMPARE(maxBox(f.dialog)->selectedText(), QStringLiteral("345"));
}

void TestFrmCondition::enterAndEscPressNothing()
{
    IniFixture::write("[Condition]\r\nRange=1,9\r\n");
    Fixture f;
    ModalAnswerer answerer;
    QTest::keyClick(minBox(f.dialog), Qt::Key_Return);
    QTest::keyClick(maxBox(f.dialog), Qt::Key_Enter);
    QTest::keyClick(minBox(f.dialog), Qt::Key_Escape);
    QTest::qWait(30);
    QVERIFY(f.dialog->isVisible());
    QCOMPARE(answerer.seen().size(), 0);
    // Enter on a focused button presses it.
    okButton(f.dialog)->setFocus();
    QTest::keyClick(okButton(f.dialog), Qt::Key_Return);
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(f.dialog->result(), int(QDialog::Accepted));
}

void TestFrmCondition::accepted_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("answer"); // to the one question asked
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("5..5 with no range yet") << ""
                                            << "5"
                                            << "5"
                                            << "yes" << Narrowed << "5,5" << true;
    QTest::newRow("000 is zero") << ""
                                 << "000"
                                 << "5"
                                 << "yes" << Narrowed << "000,5" << true;
    QTest::newRow("widened, keep results") << "7,100"
                                           << "1"
                                           << "200"
                                           << "no" << Changed << "1,200" << false;
    QTest::newRow("widened, clear results") << "7,100"
                                            << "1"
                                            << "200"
                                            << "yes" << Changed << "1,200" << true;
    QTest::newRow("narrowed at the bottom, widened at the top")
        << "1,100"
        << "5"
        << "200"
        << "yes" << Narrowed << "5,200" << true;
    QTest::newRow("narrowed at the top") << "1,100"
                                         << "1"
                                         << "50"
                                         << "yes" << Narrowed << "1,50" << true;
}

void TestFrmCondition::accepted()
{
    QFETCH(QString, stored);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(QString, range);
    QFETCH(bool, cleared);
    QByteArray content = "[Result]\r\n1=7\r\n";
    if (!stored.isEmpty())
        content.prepend("[Condition]\r\nRange=" + stored.toLatin1() + "\r\n");
    IniFixture::write(content);
    Fixture f;
    ModalAnswerer answerer;
    answerer.press(answer == QLatin1String("yes") ? QMessageBox::Yes : QMessageBox::No);
    retype(minBox(f.dialog), from);
    retype(maxBox(f.dialog), to);
    QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);

    QCOMPARE(texts(answerer), QStringList{question});
    QCOMPARE(answerer.seen()[0].defaultButton, QMessageBox::No);
    QCOMPARE(answerer.seen()[0].title, QStringLiteral("条件入力"));
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(Common::ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}, {}),
             range);
    QCOMPARE(f.clearRequested->size(), cleared ? 1 : 0);
    QCOMPARE(f.session.rangeFrom(), from.toShort());
    QCOMPARE(f.session.rangeTo(), to.toShort());
}

void TestFrmCondition::narrowedAnsweredNoStoresNothing()
{
    for (const QByteArray& content :
         {QByteArray("[Condition]\r\nRange=1,100\r\n[Result]\r\n1=7\r\n"), QByteArray()}) {
        if (!content.isEmpty())
            IniFixture::write(content);
        {
            Fixture f;
            ModalAnswerer answerer;
            answerer.pressEnter(); // No is the default
            retype(minBox(f.dialog), QStringLiteral("2"));
            retype(maxBox(f.dialog), QStringLiteral("50"));
            QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);
            QCOMPARE(texts(answerer), QStringList{Narrowed});
            QVERIFY(f.dialog->isVisible());
            QCOMPARE(minBox(f.dialog)->text(), QStringLiteral("2"));
            QCOMPARE(IniFixture::read(), content);
        }
        // Once the window has let its journal go: Windows removes no open file.
        IniFixture::remove();
    }
}

void TestFrmCondition::unchangedRangeWritesNothing()
{
    const QByteArray content = "[Condition]\r\nRange=7,100\r\n[Result]\r\n1=9\r\n";
    IniFixture::write(content);
    Fixture f;
    ModalAnswerer answerer;
    retype(minBox(f.dialog), QStringLiteral("007"));
    QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(answerer.seen().size(), 0);
    QCOMPARE(IniFixture::read(), content);
}

void TestFrmCondition::missingOrReversedBounds_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("both empty") << ""
                                << ""
                                << "抽選結果範囲(From)を入力して下さい。"
                                << "min";
    QTest::newRow("To empty") << "3"
                              << ""
                              << "抽選結果範囲(To)を入力して下さい。"
                              << "max";
    QTest::newRow("From > To") << "10"
                               << "5"
                               << "抽選結果範囲は、(From)≦(To)で入力して下さい。"
                               << "min";
}

void TestFrmCondition::missingOrReversedBounds()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Fixture f;
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    retype(minBox(f.dialog), from);
    retype(maxBox(f.dialog), to);
    QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);
    QCOMPARE(texts(answerer), QStringList{message});
    QVERIFY(f.dialog->isVisible());
    QCOMPARE(f.dialog->focusWidget(),
             focus == QLatin1String("min") ? minBox(f.dialog) : maxBox(f.dialog));
    QVERIFY(!QFile::exists(IniFixture::path()));
}

void TestFrmCondition::leaveTrimsBlanks()
{
    Fixture f;
    QTest::keyClicks(minBox(f.dialog), QStringLiteral(" 12 "));
    QTest::keyClick(minBox(f.dialog), Qt::Key_Tab);
    QCOMPARE(minBox(f.dialog)->text(), QStringLiteral("12"));
    QCOMPARE(QApplication::focusWidget(), maxBox(f.dialog));
    // An input method types the ideographic space.
    maxBox(f.dialog)->setText(QStringLiteral("\u30003\u3000"));
    QTest::keyClick(maxBox(f.dialog), Qt::Key_Tab);
    QCOMPARE(maxBox(f.dialog)->text(), QStringLiteral("3"));
    // Leaving a box empty is allowed.
    minBox(f.dialog)->setFocus();
    minBox(f.dialog)->clear();
    QTest::keyClick(minBox(f.dialog), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), maxBox(f.dialog));
}

void TestFrmCondition::leaveCheckBlocksEveryWayOut_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("message");
    for (const QString way : {"OK", "Cancel", "Tab", "Backtab", "other box"}) {
        QTest::newRow(qPrintable("1234, " + way)) << "1234" << way << ThreeDigits;
        QTest::newRow(qPrintable("12a, " + way)) << " 12a " << way << DigitsOnly;
    }
}

void TestFrmCondition::leaveCheckBlocksEveryWayOut()
{
    QFETCH(QString, entry);
    QFETCH(QString, way);
    QFETCH(QString, message);
    IniFixture::write("[Condition]\r\nRange=1,9\r\n");
    Fixture f;
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    QLineEdit* box = minBox(f.dialog);
    retype(box, entry);
    if (way == QLatin1String("OK"))
        QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);
    else if (way == QLatin1String("Cancel"))
        QTest::mouseClick(cancelButton(f.dialog), Qt::LeftButton);
    else if (way == QLatin1String("Tab"))
        QTest::keyClick(box, Qt::Key_Tab);
    else if (way == QLatin1String("Backtab"))
        QTest::keyClick(box, Qt::Key_Backtab);
    else
        QTest::mouseClick(maxBox(f.dialog), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(texts(answerer), QStringList{message});
    QTRY_COMPARE(QApplication::focusWidget(), box);
    QCOMPARE(box->text(), entry.trimmed()); // trimmed, whatever the outcome
    QVERIFY(f.dialog->isVisible());         // neither OK nor Cancel was pressed
    QCOMPARE(maxBox(f.dialog)->text(), QStringLiteral("9"));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=1,9\r\n"));

    // Mended, the entry lets the operator go.
    retype(box, QStringLiteral("2"));
    QTest::mouseClick(cancelButton(f.dialog), Qt::LeftButton);
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(answerer.seen().size(), 1);
}

void TestFrmCondition::leaveCheckHoldsForRealMouseInput()
{
    // Through the window, as the window system delivers a click.
    Fixture f;
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    retype(minBox(f.dialog), QStringLiteral("12a"));
    QWindow* window = f.dialog->windowHandle();
    const QPoint ok = okButton(f.dialog)->geometry().center();
    QTest::mousePress(window, Qt::LeftButton, {}, ok);
    QVERIFY(waitUntilAnswered(answerer));
    QTest::mouseRelease(window, Qt::LeftButton, {}, ok);
    QTest::qWait(20);
    QVERIFY(f.dialog->isVisible());
    QVERIFY(!okButton(f.dialog)->isDown());
    QCOMPARE(texts(answerer), QStringList{DigitsOnly});
    QTRY_COMPARE(QApplication::focusWidget(), minBox(f.dialog));
}

void TestFrmCondition::closingThroughTheFrameSkipsTheCheck()
{
    const QByteArray content = "[Condition]\r\nRange=1,9\r\n";
    IniFixture::write(content);
    Fixture f;
    ModalAnswerer answerer;
    retype(minBox(f.dialog), QStringLiteral("12a"));
    QVERIFY(f.dialog->close());
    QTest::qWait(30);
    QCOMPARE(answerer.seen().size(), 0);
    QCOMPARE(IniFixture::read(), content);
    QCOMPARE(f.session.rangeFrom(), std::int16_t(1));
}

void TestFrmCondition::failedWriteIsReported()
{
    {
        Fixture f;
        IniFixture::blockWithFolder();
        ModalAnswerer answerer;
        answerer.press(QMessageBox::Yes).press(QMessageBox::Ok);
        const QSignalSpy rangeChanged(&f.session, &DrawSession::rangeChanged);
        retype(minBox(f.dialog), QStringLiteral("1"));
        retype(maxBox(f.dialog), QStringLiteral("50"));
        QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);
        QCOMPARE(texts(answerer),
                 (QStringList{Narrowed, QStringLiteral("抽選範囲を保存できませんでした。"
                                                       "設定ファイルを確認して下さい。")}));
        QCOMPARE(answerer.seen()[1].title, QStringLiteral("条件入力"));
        // The new range holds in memory all the same, and the clear is still asked for.
        QCOMPARE(f.session.rangeTo(), std::int16_t(50));
        QCOMPARE(rangeChanged.size(), 1);
        QCOMPARE(f.clearRequested->size(), 1);
    }

    // Without its journal nothing is asked or stored: the journal's warning, and
    // the dialog stays.
    IniFixture::remove();
    QVERIFY(QDir().mkpath(IniFixture::journalPath()));
    Fixture f;
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    retype(minBox(f.dialog), QStringLiteral("1"));
    retype(maxBox(f.dialog), QStringLiteral("50"));
    QTest::mouseClick(okButton(f.dialog), Qt::LeftButton);
    QDir(IniFixture::journalPath()).removeRecursively();
    QCOMPARE(texts(answerer),
             QStringList{QStringLiteral(
                 "抽選記録ファイルを開けません。抽選記録ファイルを確認して下さい。")});
    QVERIFY(f.dialog->isVisible());
    QCOMPARE(f.session.rangeTo(), std::int16_t(-1));
    QVERIFY(!QFile::exists(IniFixture::path()));
    f.dialog->close();
}

QTEST_MAIN(TestFrmCondition)
#include "tst_frmcondition.moc"
