#pragma once

#include <QObject>

// The base of the window suites: every test starts with no settings file and
// ends with no window left open. Qt Test
// runs these slots of the base class for every suite derived from it.
class GuiSuite : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    // Tests press STOP the moment START has ended; the guard against the second
    // click of a double-click on START has a test of its own.
    void initTestCase();
    void init();
    void cleanup();
};
