#include "guisuite.h"

#include "inifixture.h"
#include "seriesstate.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QTest>

void GuiSuite::initTestCase()
{
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
}

void GuiSuite::init()
{
    IniFixture::remove();
    SeriesState::Reset();
}

void GuiSuite::cleanup()
{
    IniFixture::remove();
    QVERIFY2(SeriesState::NoWindowLeft(), "a test left a window open");
}
