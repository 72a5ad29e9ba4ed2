#include "application/application.h"
#include "common/common.h"
#include "common/const.h"
#include "common/modalframe.h"
#include "modalanswerer.h"

#include <QApplication>
#include <QColorSpace>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include <algorithm>
#include <memory>

using namespace Common;

namespace {

// Types `text` one character at a time, as a keyboard or input method would.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class TestCommon : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void collapseAmpersands_data();
    void collapseAmpersands();
    void removeSpaces_data();
    void removeSpaces();
    void isAllDigits_data();
    void isAllDigits();
    void checkNumberInput_data();
    void checkNumberInput();

    void warningBox();
    void longMessageBreaksBetweenClauses();
    void questionBox_data();
    void questionBox();
    void toolkitTextsAreJapanese();
    void windowIconIsTheArtwork();
    void minimisedModalComesBack();
    void handleFormCloseNeverRefuses();

    void textBoxByteLimit_data();
    void textBoxByteLimit();
    void comboBoxLimitFromTag_data();
    void comboBoxLimitFromTag();
    void leadingNumber_data();
    void leadingNumber();
    void backgroundColours();
    void selectText_data();
    void selectText();
    void selectTextIgnoresOtherControls();
};

void TestCommon::collapseAmpersands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pair") << "A&&B"
                          << "A&B";
    QTest::newRow("three") << "&&&"
                           << "&&";
    QTest::newRow("four") << "&&&&"
                          << "&&";
    QTest::newRow("access key kept") << "終了(&X)"
                                     << "終了(&X)";
    QTest::newRow("none") << "抽選結果範囲"
                          << "抽選結果範囲";
}

void TestCommon::collapseAmpersands()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CollapseAmpersands(text), expected);
}

void TestCommon::removeSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("spaces and ideographic spaces") << " ab cd\u3000ef "
                                                   << "abcdef";
    QTest::newRow("tab stays") << "a\tb c"
                               << "a\tbc";
    QTest::newRow("only blanks") << " \u3000 "
                                 << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommon::removeSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(RemoveSpaces(text), expected);
}

void TestCommon::isAllDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("zero") << "0" << true;
    QTest::newRow("leading zeros") << "007" << true;
    QTest::newRow("long") << QString(400, u'9') << true;
    QTest::newRow("minus") << "-1" << false;
    QTest::newRow("plus") << "+1" << false;
    QTest::newRow("point") << "1.5" << false;
    QTest::newRow("blank") << "1 2" << false;
    QTest::newRow("exponent") << "1e3" << false;
    QTest::newRow("full-width digits") << "\uFF11\uFF12" << false;
    QTest::newRow("letter") << "12a" << false;
}

void TestCommon::isAllDigits()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(IsAllDigits(text), expected);
}

void TestCommon::checkNumberInput_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    const QString digits = QStringLiteral("範囲(From)には、0～9の数字を入力して下さい。");
    const QString length = QStringLiteral("範囲(From)には、3桁以内で入力して下さい。");
    QTest::newRow("empty") << "" << true << "";
    QTest::newRow("exactly three") << "999" << true << "";
    QTest::newRow("zero") << "0" << true << "";
    QTest::newRow("three zeros") << "000" << true << "";
    QTest::newRow("four digits") << "1234" << false << length;
    QTest::newRow("full-width") << "\uFF11" << false << digits;
    QTest::newRow("minus") << "-1" << false << digits;
    QTest::newRow("point") << "1.0" << false << digits;
    QTest::newRow("embedded blank") << "1 2" << false << digits;
    QTest::newRow("exponent") << "1e2" << false << digits;
    QTest::newRow("four with a letter") << "12a4" << false << digits;
}

void TestCommon::checkNumberInput()
{
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    ModalAnswerer answerer;
    if (!accepted)
        answerer.press(QMessageBox::Ok);
    QCOMPARE(CheckNumberInput(value, 3, QStringLiteral("範囲(From)"), QStringLiteral("題")),
             accepted);
    QVERIFY(answerer.done());
    QCOMPARE(answerer.unexpected(), 0);
    if (accepted) {
        QVERIFY(answerer.seen().isEmpty());
    } else {
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].text, message);
        QCOMPARE(answerer.seen()[0].title, QStringLiteral("題"));
        QCOMPARE(answerer.seen()[0].icon, QMessageBox::Warning);
    }
}

void TestCommon::warningBox()
{
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    ShowWarning(QStringLiteral("結果はありません。"), QStringLiteral("Rindell"));
    QCOMPARE(answerer.seen().size(), 1);
    const ModalAnswerer::Seen& box = answerer.seen()[0];
    QCOMPARE(box.text, QStringLiteral("結果はありません。"));
    QCOMPARE(box.title, QStringLiteral("Rindell"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestCommon::longMessageBreaksBetweenClauses()
{
    // Too long for one line of the box: broken after its sentence, never inside a
    // word ("保存できませ" / "ん").
    const QString message =
        QStringLiteral("CSVファイルを保存できませんでした。CSV形式で保存したファイル以外には上書き"
                       "できません。");
    QString shown;
    bool wrapped = true;
    ModalAnswerer answerer;
    answerer.then([&](QWidget* box) {
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        shown = label->text();
        wrapped = label->wordWrap();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    ShowWarning(message, QStringLiteral("結果表示"));
    QVERIFY(waitUntilAnswered(answerer));
    QCOMPARE(shown, QStringLiteral("CSVファイルを保存できませんでした。\nCSV形式で保存したファイル"
                                   "以外には上書きできません。"));
    QVERIFY(!wrapped);
}

void TestCommon::questionBox_data()
{
    // The button pressed; NoButton stands for Enter, which presses the default.
    // Tried first: Esc, or the window system's close request; neither answers.
    QTest::addColumn<int>("extraStyle");
    QTest::addColumn<QMessageBox::StandardButton>("pressed");
    QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("triedFirst");
    QTest::newRow("Enter, Yes default")
        << 0 << QMessageBox::NoButton << QMessageBox::Yes << 6 << QString();
    QTest::newRow("Enter, No default")
        << 256 << QMessageBox::NoButton << QMessageBox::No << 7 << QString();
    QTest::newRow("Yes pressed, No default")
        << 256 << QMessageBox::Yes << QMessageBox::No << 6 << QString();
    QTest::newRow("No pressed, Yes default")
        << 0 << QMessageBox::No << QMessageBox::Yes << 7 << QString();
    QTest::newRow("Esc does nothing, then Yes")
        << 256 << QMessageBox::Yes << QMessageBox::No << 6 << QStringLiteral("Esc");
    QTest::newRow("closing does nothing, then Yes")
        << 256 << QMessageBox::Yes << QMessageBox::No << 6 << QStringLiteral("close");
}

void TestCommon::questionBox()
{
    QFETCH(int, extraStyle);
    QFETCH(QMessageBox::StandardButton, pressed);
    QFETCH(QMessageBox::StandardButton, defaultButton);
    QFETCH(int, code);
    QFETCH(QString, triedFirst);
    ModalAnswerer answerer;
    bool stayedOpen = false;
    bool closeBox = true;
    answerer.then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        closeBox = box->windowFlags().testFlag(Qt::WindowCloseButtonHint);
        if (triedFirst == QLatin1String("Esc"))
            QTest::keyClick(box, Qt::Key_Escape);
        else if (triedFirst == QLatin1String("close"))
            box->close();
        stayedOpen = box->isVisible();
        if (!stayedOpen)
            return; // answered already
        if (pressed == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Return);
        else
            box->button(pressed)->click();
    });
    QCOMPARE(AskQuestion(QStringLiteral("終了します。よろしいですか？"), QStringLiteral("T"),
                         extraStyle),
             std::int16_t(code));
    QVERIFY(stayedOpen);
    QVERIFY(!closeBox);
    QCOMPARE(answerer.seen().size(), 1);
    const ModalAnswerer::Seen& box = answerer.seen()[0];
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.defaultButton, defaultButton);
    QCOMPARE(box.title, QStringLiteral("T"));
}

void TestCommon::toolkitTextsAreJapanese()
{
    // Qt's own translation, where it is installed (the install script puts it
    // there), and the boxes' own texts where it is not.
    const auto texts = [] {
        ModalAnswerer answerer;
        answerer.press(QMessageBox::No).press(QMessageBox::Ok);
        AskQuestion(QStringLiteral("終了します。よろしいですか？"), QStringLiteral("T"), 0);
        ShowWarning(QStringLiteral("結果はありません。"), QStringLiteral("T"));
        QStringList seen;
        for (const ModalAnswerer::Seen& box : answerer.seen())
            seen << box.buttonTexts;
        std::sort(seen.begin(), seen.end());
        return seen;
    };
    const QStringList japanese{QStringLiteral("OK"), QStringLiteral("いいえ(&N)"),
                               QStringLiteral("はい(&Y)")};
    QTranslator* translator = installQtTranslation();
    QVERIFY2(translator, "qtbase_ja.qm is not installed");
    QCOMPARE(texts(), japanese);
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QVERIFY(menu->actions().first()->text().startsWith(QStringLiteral("元に戻す")));

    QCoreApplication::removeTranslator(translator);
    delete translator;
    QCOMPARE(texts(), japanese);
}

void TestCommon::windowIconIsTheArtwork()
{
    // The icon's raw pixels are made from the PNGs by hand: stale ones fail here.
    const QIcon icon = windowIcon();
    QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
    for (const QSize& size : icon.availableSizes()) {
        QImage artwork(QStringLiteral(":/artwork/rindell-%1.png").arg(size.width()));
        QVERIFY(!artwork.isNull());
        artwork.setColorSpace({}); // the PNG's tag, which a window icon does not use
        // As a pixmap holds them: premultiplied.
        QVERIFY2(icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
                     artwork.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 "run scripts/icon-pixels.py on the PNGs");
    }
}

void TestCommon::minimisedModalComesBack()
{
    QWidget owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QDialog modal(&owner);
    keepModalOnScreen(&modal);
    QVERIFY(!modal.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    modal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&modal));
    owner.showMinimized();
    modal.showMinimized(); // as a window manager minimises the whole group
    QTRY_VERIFY(!modal.isMinimized() && modal.isVisible());
    QVERIFY(!owner.isMinimized());
}

void TestCommon::handleFormCloseNeverRefuses()
{
    QWidget form;
    for (const bool before : {false, true}) {
        bool cancel = before;
        HandleFormClose(&form, cancel, 0);
        QCOMPARE(cancel, before);
    }
}

void TestCommon::textBoxByteLimit_data()
{
    QTest::addColumn<int>("designed");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("four ASCII") << 4 << "abcdef"
                                << "abcd";
    QTest::newRow("two full-width") << 4 << "抽選会"
                                    << "抽選";
    QTest::newRow("mixed") << 4 << "a抽選"
                           << "a抽";
    QTest::newRow("no limit") << 32767 << QString(300, u'抽') << QString(300, u'抽');
}

void TestCommon::textBoxByteLimit()
{
    QFETCH(int, designed);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QWidget form;
    auto* box = new QLineEdit(&form);
    box->setMaxLength(designed);
    SetupControls(&form);
    // The character limit is off; the byte limit holds.
    QCOMPARE(box->maxLength(), 32767);
    typeText(box, typed);
    QCOMPARE(box->text(), expected);
}

void TestCommon::comboBoxLimitFromTag_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("accepted");
    QTest::newRow("lower case") << "maxlength=6" << 6;
    QTest::newRow("after a semicolon") << "Name=X;MaxLength=6;Other=1" << 6;
    QTest::newRow("not at start, no semicolon") << "xMaxLength=6" << 10;
    QTest::newRow("nothing after it") << "MaxLength=" << 10;
    QTest::newRow("more settings after") << "MaxLength=2;Code=5" << 2;
    QTest::newRow("blanks inside the number") << "MaxLength= 1 2" << 10;
    QTest::newRow("no tag") << "" << 10;
}

void TestCommon::comboBoxLimitFromTag()
{
    QFETCH(QString, tag);
    QFETCH(int, accepted);
    QWidget form;
    auto* combo = new QComboBox(&form);
    combo->setEditable(true);
    combo->setProperty("Tag", tag);
    SetupControls(&form);
    typeText(combo->lineEdit(), QStringLiteral("0123456789"));
    QCOMPARE(combo->lineEdit()->text().size(), accepted);
}

void TestCommon::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("number then text") << "20;Code=5" << 20.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks skipped") << " 1 \t2\n3" << 123.0;
    QTest::newRow("sign") << "-3x" << -3.0;
    QTest::newRow("decimal") << "2.5.1" << 2.5;
    QTest::newRow("no number") << "abc" << 0.0;
}

void TestCommon::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(Common::leadingNumber(text), expected);
}

void TestCommon::backgroundColours()
{
    QWidget form;
    const QColor formColor(10, 120, 30);
    const auto make = [&form](auto* widget, const QColor& color) {
        QPalette palette = widget->palette();
        palette.setColor(widget->backgroundRole(), color);
        widget->setPalette(palette);
        return widget;
    };
    const QColor own(200, 0, 200);
    auto* greyFrame = make(new QGroupBox(&form), QColor(192, 192, 192));
    auto* frame = make(new QGroupBox(&form), own);
    auto* insideFrame = make(new QPushButton(frame), own);
    auto* button = make(new QPushButton(&form), own);
    auto* label = make(new QLabel(&form), own);
    auto* list = make(new QListWidget(&form), own);
    auto* box = make(new QLineEdit(&form), own);

    SetupControls(&form, formColor);
    const auto colorOf = [](QWidget* w) { return w->palette().color(w->backgroundRole()); };
    QCOMPARE(colorOf(&form), formColor);
    QCOMPARE(colorOf(greyFrame), QColor(192, 192, 192));
    QCOMPARE(colorOf(frame), formColor);
    QCOMPARE(colorOf(insideFrame), formColor);
    QCOMPARE(colorOf(button), formColor);
    QCOMPARE(colorOf(label), own);
    QCOMPARE(colorOf(list), own);
    QCOMPARE(colorOf(box), own);
}

void TestCommon::selectText_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("selected");
    QTest::newRow("whole") << 0 << -1 << "abc";
    QTest::newRow("middle") << 1 << 1 << "b";
    QTest::newRow("to the end") << 1 << -1 << "bc";
}

void TestCommon::selectText()
{
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, selected);
    QLineEdit box(QStringLiteral("abc"));
    SelectText(&box, std::int16_t(start), std::int16_t(length));
    QCOMPARE(box.selectedText(), selected);

    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("abc"));
    SelectText(&combo, std::int16_t(start), std::int16_t(length));
    QCOMPARE(combo.lineEdit()->selectedText(), selected);
}

void TestCommon::selectTextIgnoresOtherControls()
{
    QComboBox list;
    list.addItem(QStringLiteral("abc"));
    SelectText(&list, 0, -1);
    QCOMPARE(list.lineEdit(), nullptr);
    QLabel label(QStringLiteral("abc"));
    label.setTextInteractionFlags(Qt::TextSelectableByMouse);
    SelectText(&label, 0, -1);
    QVERIFY(!label.hasSelectedText());
}

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
