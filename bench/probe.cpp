#include "probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

class FirstPaint : public QObject
{
  public:
    FirstPaint(QObject* target, std::function<void()> done)
        : QObject(target), m_done(std::move(done))
    {
        target->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_done) {
            watched->removeEventFilter(this);
            // After this paint has been handled and flushed.
            QTimer::singleShot(0, watched, std::exchange(m_done, {}));
        }
        return false;
    }

  private:
    std::function<void()> m_done;
};

} // namespace

namespace Probe {

double msSinceLaunch()
{
    const qint64 launched = qgetenv("RINDELL_BENCH_T0").toLongLong();
    const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    return launched > 0 ? (now - launched) / 1e6 : -1;
}

namespace {

// The sum of the kB values of the lines of a /proc file that begin with one of `keys`.
long procKiB(const char* file, std::initializer_list<const char*> keys)
{
    QFile status(QString::fromLatin1(file));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    long total = 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        for (const char* key : keys)
            if (line.startsWith(key))
                total += line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    return total;
}

} // namespace

long peakResidentKiB()
{
    return procKiB("/proc/self/status", {"VmHWM:"});
}

long privateKiB()
{
    return procKiB("/proc/self/smaps_rollup", {"Private_Clean:", "Private_Dirty:"});
}

void onFirstPaint(QObject* widget, std::function<void()> done)
{
    new FirstPaint(widget, std::move(done));
}

void reportStartupAndQuit(QObject* window)
{
    onFirstPaint(window, [] {
        std::printf("startup_ms %.2f\n", msSinceLaunch());
        // Settled memory: a moment of idling after the first paint.
        QTimer::singleShot(300, [] {
            std::printf("peak_rss_kib %ld\n", peakResidentKiB());
            std::printf("private_kib %ld\n", privateKiB());
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    });
}

} // namespace Probe
