// Draws one number after another through the real main window (START, then the
// three STOPs), printing "ordinal number" once each draw is on disk, that is once
// its reels spin. Killed at random by the crash-safety test.
#include "main_window/frmrindell.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    frmRindell window;
    if (!window.isLoaded())
        return 3;
    window.show();
    auto* start = window.findChild<QPushButton*>(QStringLiteral("cmdStart"));
    auto* counter = window.findChild<QLineEdit*>(QStringLiteral("txtCount"));
    const QList<QPushButton*> stops = window.findChildren<QPushButton*>(QStringLiteral("cmdStop"));

    int reported = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (start->isVisible()) {
            // START runs the whole draw: from its own turn, so this timer keeps firing in it.
            QTimer::singleShot(0, start, &QPushButton::click);
            return;
        }
        const int ordinal = int(window.session().drawCount());
        if (ordinal > reported && !counter->text().startsWith(u'次')) {
            std::printf("%d %d\n", ordinal, int(window.drawnNumber()));
            std::fflush(stdout);
            reported = ordinal;
        }
        for (QPushButton* stop : stops)
            if (stop->isVisible()) {
                stop->click();
                break;
            }
    });
    driver.start(1);
    QObject::connect(start, &QPushButton::clicked, &app, [&] {
        if (window.session().drawCount() >= 1000)
            app.quit();
    });
    return app.exec();
}
