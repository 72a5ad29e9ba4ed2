#include "guisuite.h"

#include "inifixture.h"

#include <QApplication>
#include <QStyleHints>
#include <QTest>
#include <QWidget>

#include <algorithm>

namespace {

// Whether a window a test opened is still shown: each test closes its own.
bool noWindowLeft()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::none_of(windows.cbegin(), windows.cend(), [](QWidget* window) {
        return window->isVisible() && window->windowType() != Qt::Popup &&
               window->windowType() != Qt::ToolTip;
    });
}

} // namespace

void GuiSuite::initTestCase()
{
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
}

void GuiSuite::init()
{
    IniFixture::remove();
}

void GuiSuite::cleanup()
{
    IniFixture::remove();
    QVERIFY2(noWindowLeft(), "a test left a window open");
}
