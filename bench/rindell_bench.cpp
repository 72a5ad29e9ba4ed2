// Rindell measured from the inside. Modes:
//   startup  start as the program does (Fusion, icon, main window) to the first paint
//   draw     START to durable on disk, reel repaints per second, STOP to reel at rest
//   write    one draw's write at draw 1 and at draw 1000 of a 0..999 series
#include "main_window/application.h"
#include "main_window/frmrindell.h"
#include "probe.h"
#include "settings/settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

QByteArray seriesFile(int draws)
{
    QByteArray content = "[Condition]\r\nRange=0,999\r\n";
    if (draws > 0)
        content += "[Result]\r\n";
    for (int i = 1; i <= draws; ++i)
        content += QByteArray::number(i) + '=' + QByteArray::number((i * 7) % 1000) + "\r\n";
    return content;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int startup(QApplication& app)
{
    PrepareApplication(); // as main() does
    frmRindell window;
    Probe::reportStartupAndQuit(&window);
    window.show();
    return app.exec();
}

// Counts the paints of one reel.
class PaintCounter : public QObject
{
  public:
    explicit PaintCounter(QObject* target) : QObject(target) { target->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
            if (onPaint)
                std::exchange(onPaint, {})();
        }
        return false;
    }
    int count = 0;
    std::function<void()> onPaint;
};

int draw(QApplication& app)
{
    writeFile(Common::GetIniFilePath(), seriesFile(0));
    PrepareApplication();
    frmRindell window;
    window.show();
    auto* start = window.findChild<QPushButton*>(QStringLiteral("cmdStart"));
    auto* ones = window.findChild<QLineEdit*>(QStringLiteral("txt1"));
    QList<QPushButton*> stops = window.findChildren<QPushButton*>(QStringLiteral("cmdStop"));
    std::sort(stops.begin(), stops.end(), [](QPushButton* a, QPushButton* b) {
        return a->property("index").toInt() < b->property("index").toInt();
    });
    auto* counter = new PaintCounter(ones);
    QElapsedTimer clock;

    QTimer::singleShot(500, [&] {
        // First turn of the spinning loop: the draw is on disk by then.
        QTimer::singleShot(0, [&] {
            const bool durable =
                Common::ReadIniSection(QStringLiteral("Result"), QString()).has_value();
            std::printf("start_to_durable_ms %.3f\n", clock.nsecsElapsed() / 1e6);
            if (!durable)
                std::printf("error: draw not on disk\n");
            counter->count = 0;
            clock.restart();
            QTimer::singleShot(2000, [&] {
                std::printf("reel_repaints_per_s %.0f\n",
                            counter->count / (clock.nsecsElapsed() / 1e9));
                counter->onPaint = [&] {
                    std::printf("stop_to_rest_ms %.3f\n", clock.nsecsElapsed() / 1e6);
                };
                clock.restart();
                stops[0]->click();
                stops[1]->click();
                stops[2]->click();
            });
        });
        clock.start();
        start->click();
        std::fflush(stdout);
        app.quit();
    });
    return app.exec();
}

int writes()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Rindell.ini"));
    for (const int draw : {1, 1000}) {
        QList<double> times;
        for (int run = 0; run < 21; ++run) {
            writeFile(path, seriesFile(draw - 1));
            QElapsedTimer clock;
            clock.start();
            Common::WriteIniString(QStringLiteral("Result"), QString::number(draw),
                                   QStringLiteral("123"), path);
            times << clock.nsecsElapsed() / 1e6;
        }
        std::printf("write_ms_at_draw_%d %.3f\n", draw, median(times));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString mode = QCoreApplication::arguments().value(1);
    if (mode == QLatin1String("startup"))
        return startup(app);
    if (mode == QLatin1String("draw"))
        return draw(app);
    if (mode == QLatin1String("write"))
        return writes();
    std::fprintf(stderr, "usage: rindell_bench startup|draw|write\n");
    return 2;
}
