// Rindell measured from the inside (Linux, X11). Modes:
//   startup  start as the program does (application set-up, main window) to the
//            first paint; the settings file beside the program is the driver's
//   spin     a 3-second spin of the reels: CPU of this process and of the X server
//            (pid in RINDELL_BENCH_XPID), frames flushed to X; then three STOPs
//            pressed by synthetic X key events (xdotool), each timed to the window
//            repainted with its reel at rest
//   work     a draw's steps at draw 1 and 1000 of a 0..999 series: the choice in
//            memory, the whole read that guards the record, the journal line and
//            the durable write of the settings file
//   prepare N
//            the settings file and a journal that agree on N results, as an
//            operator's draws leave them: what a start-up run begins from
//   history N
//            a journal of at least N lines as years of use leave it, in one file
//            as a version without segments kept it: whole events of 500 draws,
//            each revealed, cleared at the event's end; lines not flushed one by
//            one, for speed
#include "application/application.h"
#include "journal/journal.h"
#include "main_window/frmrindell.h"
#include "probe.h"
#include "series/selection.h"
#include "series/series.h"
#include "series/storedseries.h"
#include "settings/settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

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
    if (values.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// CPU seconds (user + system) of this process.
double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds (user + system) of another process, from /proc.
double processCpuSeconds(const QByteArray& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
    if (pid.isEmpty() || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

int startup(QApplication& app)
{
    prepareApplication(); // as main() does
    frmRindell window;
    Probe::reportStartupAndQuit(&window);
    window.show();
    return app.exec();
}

// Counts an object's events of one type and reports the next one.
class EventCounter : public QObject
{
  public:
    EventCounter(QObject* target, QEvent::Type type) : QObject(target), m_type(type)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type) {
            ++count;
            if (onNext)
                std::exchange(onNext, {})();
        }
        return false;
    }
    int count = 0;
    std::function<void()> onNext;

  private:
    QEvent::Type m_type;
};

// Reports the end of a window's first repaint (its update request: the paint of
// every changed widget, then the flush to X) for which `ready` holds: the filter
// lets the window handle it, so that the time is taken after it.
class RepaintEnd : public QObject
{
  public:
    RepaintEnd(QObject* target, std::function<bool()> ready)
        : QObject(target), m_ready(std::move(ready))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::UpdateRequest || !onEnd || !m_ready())
            return false;
        watched->removeEventFilter(this);
        watched->event(event);
        std::exchange(onEnd, {})();
        return true;
    }
    std::function<void()> onEnd;

  private:
    std::function<bool()> m_ready;
};

int spin(QApplication& app)
{
    prepareApplication();
    frmRindell window;
    window.show();
    auto* start = window.findChild<QPushButton*>(QStringLiteral("cmdStart"));
    QList<QPushButton*> stops = window.findChildren<QPushButton*>(QStringLiteral("cmdStop"));
    std::sort(stops.begin(), stops.end(), [](QPushButton* a, QPushButton* b) {
        return a->property("index").toInt() > b->property("index").toInt();
    });
    // Every flush of the window to X follows the window's update request.
    auto* flushes = new EventCounter(&window, QEvent::UpdateRequest);
    const QByteArray xServer = qgetenv("RINDELL_BENCH_XPID");
    const QString windowId = QString::number(window.winId());
    QElapsedTimer clock;
    double ownBefore = 0;
    double xBefore = 0;
    QList<double> keyToPaint;
    QList<double> inputToPaint;

    // Presses the focused STOP with a synthetic X key event and times its reel,
    // every timestamp on one monotonic clock.
    QElapsedTimer stopClock;
    stopClock.start();
    std::function<void(int)> pressStop = [&](int which) {
        if (which == 3) {
            std::printf("stop_key_to_paint_ms %.3f\n", median(keyToPaint));
            std::printf("stop_input_to_paint_ms %.3f\n", median(inputToPaint));
            std::fflush(stdout);
            QTimer::singleShot(100, &app, &QCoreApplication::quit);
            return;
        }
        const qint64 launched = stopClock.nsecsElapsed();
        auto arrived = std::make_shared<qint64>(-1);
        // Whichever widget the key reaches first: the application sees it before them.
        auto* pressed = new EventCounter(qApp, QEvent::KeyPress);
        pressed->onNext = [arrived, &stopClock] { *arrived = stopClock.nsecsElapsed(); };
        // The window's first repaint after the STOP was handled (the STOP hidden, its
        // reel at rest): not the reel's own paint, which never comes when the reel
        // already showed the digit it stops on.
        QPushButton* pressedStop = stops[which];
        auto* painted = new RepaintEnd(&window, [pressedStop] { return pressedStop->isHidden(); });
        painted->onEnd = [=, &stopClock, &keyToPaint, &inputToPaint, &pressStop] {
            const qint64 end = stopClock.nsecsElapsed();
            inputToPaint << (end - launched) / 1e6;
            if (*arrived >= 0)
                keyToPaint << (end - *arrived) / 1e6;
            else
                std::printf("error: STOP %d painted with no key event received\n", which);
            QTimer::singleShot(200, [=, &pressStop] {
                delete pressed;
                delete painted;
                pressStop(which + 1);
            });
        };
        // Through XTEST, as from a keyboard, to the focused window.
        QProcess::startDetached(QStringLiteral("xdotool"),
                                {QStringLiteral("key"), QStringLiteral("Return")});
    };

    QTimer::singleShot(500, [&] {
        // The X input focus, as a window manager would give it.
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId});
        QTimer::singleShot(0, [&] {
            // The reels are turning: measure 3 seconds of it.
            flushes->count = 0;
            ownBefore = ownCpuSeconds();
            xBefore = processCpuSeconds(xServer);
            clock.start();
            QTimer::singleShot(3000, [&] {
                const double seconds = clock.nsecsElapsed() / 1e9;
                std::printf("spin_cpu_percent %.2f\n",
                            100 * (ownCpuSeconds() - ownBefore) / seconds);
                if (xBefore >= 0)
                    std::printf("spin_x_cpu_percent %.2f\n",
                                100 * (processCpuSeconds(xServer) - xBefore) / seconds);
                std::printf("spin_frames_per_s %.1f\n", flushes->count / seconds);
                std::printf("refresh_hz %.1f\n", window.screen()->refreshRate());
                std::fflush(stdout);
                pressStop(0);
            });
        });
        start->click(); // returns after the last STOP; the figures end the program
    });
    return app.exec();
}

QJsonObject drawFields(int ordinal, int number)
{
    return {{QStringLiteral("ordinal"), ordinal},
            {QStringLiteral("number"), number},
            {QStringLiteral("from"), 0},
            {QStringLiteral("to"), 999}};
}

// A run's first events as the program writes them, over the whole range.
bool beginRun(Journal& journal)
{
    return journal.append(QStringLiteral("start"),
                          {{QStringLiteral("version"), QStringLiteral("1.00")},
                           {QStringLiteral("executable_sha256"), QString(64, u'0')}}) &&
           journal.append(QStringLiteral("range"),
                          {{QStringLiteral("from"), 0},
                           {QStringLiteral("to"), 999},
                           {QStringLiteral("stored"), QStringLiteral("0,999")}});
}

int prepare(int draws)
{
    writeFile(Common::GetIniFilePath(), seriesFile(draws));
    QFile::remove(Journal::defaultPath());
    const std::unique_ptr<Journal> journal = Journal::open(Journal::defaultPath());
    // Events as the program writes them, so that a start finds a whole journal.
    bool written = journal && beginRun(*journal);
    for (int i = 1; written && i <= draws; ++i) {
        const int number = (i * 7) % 1000;
        written = journal->append(QStringLiteral("draw"), drawFields(i, number)) &&
                  journal->append(QStringLiteral("reveal"), {{QStringLiteral("ordinal"), i},
                                                             {QStringLiteral("number"), number}});
    }
    return written && journal->append(QStringLiteral("end")) ? 0 : 1;
}

int history(qint64 lines)
{
    writeFile(Common::GetIniFilePath(), seriesFile(0));
    QFile::remove(Journal::defaultPath());
    const std::unique_ptr<Journal> journal = Journal::open(Journal::defaultPath());
    if (!journal)
        return 1;
    journal->setFlushing(false);
    bool written = beginRun(*journal);
    constexpr int Draws = 500;
    for (qint64 line = 2; written && line < lines; line += 2 * Draws + 3) {
        for (int i = 1; written && i <= Draws; ++i) {
            const int number = (i * 7) % 1000;
            written =
                journal->append(QStringLiteral("draw"), drawFields(i, number)) &&
                journal->append(QStringLiteral("reveal"), {{QStringLiteral("ordinal"), i},
                                                           {QStringLiteral("number"), number}});
        }
        written = written &&
                  journal->append(QStringLiteral("clear"), {{QStringLiteral("cleared"), Draws}}) &&
                  journal->append(QStringLiteral("end")) &&
                  journal->append(QStringLiteral("start"),
                                  {{QStringLiteral("version"), QStringLiteral("1.00")},
                                   {QStringLiteral("executable_sha256"), QString(64, u'0')}});
    }
    return written && journal->append(QStringLiteral("end")) ? 0 : 1;
}

int work()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Rindell.ini"));
    const std::unique_ptr<Journal> journal =
        Journal::open(folder.filePath(QStringLiteral("Rindell.log")));
    RandomSource random;
    for (const int draw : {1, 1000}) {
        QList<double> choice, guard, line, write;
        for (int run = 0; run < 21; ++run) {
            writeFile(path, seriesFile(draw - 1));
            QList<bool> flags(1000, false);
            for (int i = 1; i < draw; ++i)
                flags[(i * 7) % 1000] = true;
            QElapsedTimer clock;
            clock.start();
            const auto entries = Common::readWholeIniSection(QStringLiteral("Result"), path);
            const Series::RecordedSeries recorded = Series::readRecorded(*entries);
            guard << clock.nsecsElapsed() / 1e6;
            clock.restart();
            Series::flagNumbers(recorded.numbers, flags);
            const auto number = Series::drawUndrawn(flags, 0, 999, random);
            const bool taken = Series::isOrdinalTaken(recorded, draw);
            choice << clock.nsecsElapsed() / 1e6;
            clock.restart();
            if (!number || !journal->append(QStringLiteral("draw"), drawFields(draw, *number)))
                std::printf("error: journal line %d failed\n", draw);
            line << clock.nsecsElapsed() / 1e6;
            clock.restart();
            if (!number || taken ||
                !Common::WriteIniString(QStringLiteral("Result"), QString::number(draw),
                                        QString::number(*number), path))
                std::printf("error: draw %d failed\n", draw);
            write << clock.nsecsElapsed() / 1e6;
        }
        std::printf("choice_ms_at_draw_%d %.4f\n", draw, median(choice));
        std::printf("guard_read_ms_at_draw_%d %.4f\n", draw, median(guard));
        std::printf("journal_line_ms_at_draw_%d %.3f\n", draw, median(line));
        std::printf("durable_write_ms_at_draw_%d %.3f\n", draw, median(write));
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
    if (mode == QLatin1String("spin"))
        return spin(app);
    if (mode == QLatin1String("work"))
        return work();
    bool counted = false;
    const int draws = QCoreApplication::arguments().value(2).toInt(&counted);
    if (mode == QLatin1String("prepare") && counted && draws >= 0 && draws <= 1000)
        return prepare(draws);
    if (mode == QLatin1String("history") && counted && draws > 0)
        return history(draws);
    std::fprintf(stderr, "usage: rindell_bench startup|spin|work|prepare N|history N\n");
    return 2;
}
