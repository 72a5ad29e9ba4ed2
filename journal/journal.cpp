#include "journal/journal.h"

#include "settings/fileio.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

Journal* currentJournal = nullptr;

#ifdef Q_OS_WIN
int openJournal(const QString& path, bool create)
{
    const int flags =
        _O_RDWR | _O_APPEND | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT | _O_EXCL : 0);
    return ::_wopen(reinterpret_cast<const wchar_t*>(path.utf16()), flags, _S_IREAD | _S_IWRITE);
}
bool isRegularWithin(int fd, qint64 maxSize)
{
    struct _stat64 info;
    return ::_fstat64(fd, &info) == 0 && (info.st_mode & _S_IFREG) && info.st_size <= maxSize;
}
void closeJournal(int fd)
{
    ::_close(fd);
}
#else
int openJournal(const QString& path, bool create)
{
    const int flags =
        O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    const QByteArray name = QFile::encodeName(path);
    return FileIo::retryOnInterrupt([&] { return ::open(name.constData(), flags, 0644); });
}
bool isRegularWithin(int fd, qint64 maxSize)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxSize;
}
void closeJournal(int fd)
{
    ::close(fd);
}
#endif

QString now()
{
    const QDateTime local = QDateTime::currentDateTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

QString Journal::defaultPath()
{
    return QFileInfo(Common::GetIniFilePath()).dir().filePath(QStringLiteral("Rindell.log"));
}

QByteArray Journal::hash(QByteArrayView line)
{
    return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
}

QByteArray Journal::programHash()
{
    QFile program(QCoreApplication::applicationFilePath());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (program.open(QIODevice::ReadOnly))
        hash.addData(&program);
    return hash.result().toHex();
}

QByteArray Journal::zeroHash()
{
    return QByteArray(64, '0');
}

std::unique_ptr<Journal> Journal::open(const QString& path, QByteArray* content)
{
    bool created = false;
    int fd = openJournal(path, false);
    if (fd < 0 && !QFileInfo(path).isSymLink() && !QFileInfo::exists(path)) {
        fd = openJournal(path, true);
        created = fd >= 0;
    }
    if (fd < 0)
        return nullptr;
    if (!isRegularWithin(fd, MaxSize)) {
        closeJournal(fd);
        return nullptr;
    }

    // Where the chain goes on: the last whole line, and a torn one behind it. Read
    // through the descriptor that will be written, never again by name.
    const std::optional<QByteArray> read = created ? QByteArray() : FileIo::readAll(fd, MaxSize);
    if (!read) {
        closeJournal(fd);
        return nullptr;
    }
    if (content)
        *content = *read;
    // Only the tail matters here: a journal of many years is not split into lines.
    const QByteArrayView bytes(*read);
    const qsizetype ended = bytes.lastIndexOf('\n') + 1; // bytes in ended lines
    QByteArray torn = bytes.sliced(ended).toByteArray(); // empty when the file ends with a line end
    qint64 lines = bytes.count('\n');
    QByteArrayView last; // the last whole line
    if (ended > 0) {
        const QByteArrayView before = bytes.first(ended - 1);
        last = before.sliced(before.lastIndexOf('\n') + 1);
    }
    bool lineEndMissing = false;
    if (!torn.isEmpty() && QJsonDocument::fromJson(torn).isObject()) {
        // Whole but for its line end: it counts as written, and gets its end.
        last = bytes.sliced(ended);
        torn.clear();
        ++lines;
        lineEndMissing = true;
    }
    qint64 seq = 0;
    QByteArray head = zeroHash();
    if (lines > 0) {
        head = hash(last);
        const QJsonObject object = QJsonDocument::fromJson(last.toByteArray()).object();
        seq = object.contains(QLatin1String("seq"))
                  ? qint64(object.value(QLatin1String("seq")).toDouble())
                  : lines;
    }
    if (lineEndMissing && !FileIo::writeAll(fd, QByteArrayLiteral("\n"))) {
        closeJournal(fd);
        return nullptr;
    }
    std::unique_ptr<Journal> journal(new Journal(path, fd, seq, head, lines));
    // A kill cut the last line short: it is ended, never removed.
    journal->m_torn = !torn.isEmpty();
    if (journal->m_torn && !journal->recover())
        return nullptr;
    return journal;
}

Journal::Journal(QString path, int fd, qint64 seq, QByteArray head, qint64 lines)
    : m_path(std::move(path)), m_fd(fd), m_seq(seq), m_head(std::move(head)), m_lines(lines)
{
}

bool Journal::recover()
{
    if (!FileIo::writeAll(m_fd, QByteArrayLiteral("\n")))
        return false;
    ++m_lines;
    m_torn = false;
    return write(QStringLiteral("recovered"), {{QStringLiteral("torn_line"), double(m_lines)}});
}

Journal::~Journal()
{
    if (currentJournal == this)
        currentJournal = nullptr;
    closeJournal(m_fd);
}

bool Journal::append(const QString& event, QJsonObject fields)
{
    if (m_torn && !recover())
        return false;
    return write(event, std::move(fields));
}

bool Journal::write(const QString& event, QJsonObject fields)
{
    fields.insert(QStringLiteral("seq"), double(m_seq + 1));
    fields.insert(QStringLiteral("time"), now());
    fields.insert(QStringLiteral("event"), event);
    fields.insert(QStringLiteral("prev"), QString::fromLatin1(m_head));
    const QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    if (!FileIo::writeAll(m_fd, line + '\n')) {
        m_torn = true; // part of the line may have landed
        return false;
    }
    ++m_lines;
    ++m_seq;
    m_head = hash(line);
    return FileIo::flushToDisk(m_fd); // the line is in the file, but not durable unless this holds
}

Journal* Journal::current()
{
    return currentJournal;
}

void Journal::setCurrent(Journal* journal)
{
    currentJournal = journal;
}
