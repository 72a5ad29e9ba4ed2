#include "journal/export.h"

#include "prizes/listfile.h"
#include "settings/atomicfile.h"
#include "settings/fileio.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <QRegularExpression>
#include <qt_windows.h>

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray Header =
    QByteArrayLiteral("\xEF\xBB\xBF") + QStringLiteral("回,番号,日時,景品,氏名\r\n").toUtf8();
// An export made before the prize and name columns is an export too.
const QByteArray HeaderWithoutLists =
    QByteArrayLiteral("\xEF\xBB\xBF") + QStringLiteral("回,番号,日時\r\n").toUtf8();

// Whether a file's first bytes (up to Header's size) are those of an export.
bool beginsAsExport(QByteArrayView begins)
{
    return begins == Header || begins.startsWith(HeaderWithoutLists);
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes
// doubled. One that a spreadsheet would take for a formula is kept as text.
QByteArray field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() && QByteArrayView("=+-@").contains(bytes.front()))
        bytes.prepend('\'');
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\r') || bytes.contains('\n'))
        bytes = '"' + bytes.replace("\"", "\"\"") + '"';
    return bytes;
}

using Export::Failure;

Failure refused(const QString& reason)
{
    return Failure{true, reason};
}

const QString RecordReason = QStringLiteral("抽選の記録ファイルには保存できません。");
const QString LinkReason = QStringLiteral("リンクには保存できません。");
const QString NotAFileReason = QStringLiteral("ファイルではありません。");
const QString ReadOnlyReason = QStringLiteral("読み取り専用のファイルには上書きできません。");
const QString NotAnExportReason =
    QStringLiteral("CSV形式で保存したファイル以外には上書きできません。");
const Failure NoFolder{false, QStringLiteral("フォルダがありません。")};
const Failure NotWritten{false, QStringLiteral("書き込めませんでした。")};

// A name of our own beside the export; created exclusively, so nothing already
// there, the user's own "result.csv.tmp" included, is ever opened or removed.
QString temporaryName(const QString& name)
{
    return name + QStringLiteral(".tmp.") +
           QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFULL, 16);
}

#ifdef Q_OS_WIN

constexpr NTSTATUS NameNotFound = NTSTATUS(0xC0000034L);
constexpr NTSTATUS NameCollision = NTSTATUS(0xC0000035L);

// A name Windows would take for something else than a file in the folder: a
// device (CON, AUX.csv, COM1), an alternate data stream (Rindell.ini::$DATA,
// which is the settings file itself), or characters no file name may hold.
QString invalidName(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    const bool drive = native.size() >= 2 && native[1] == u':' && native[0].isLetter();
    if (native.indexOf(u':', drive ? 2 : 0) >= 0)
        return QStringLiteral("ファイル名に「:」は使えません。");
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || std::any_of(name.cbegin(), name.cend(), [](QChar c) {
            return c < u' ' || QStringView(u"<>\"|?*").contains(c);
        }))
        return QStringLiteral("ファイル名に使えない文字があります。");
    // Windows ignores trailing dots and blanks, and an extension, on a device name.
    QString base = name.section(u'.', 0, 0);
    while (base.endsWith(u' '))
        base.chop(1);
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (device.match(base).hasMatch())
        return QStringLiteral("装置の名前には保存できません。");
    return {};
}

std::optional<std::tuple<DWORD, DWORD, DWORD>> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return std::tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
}

// The folder, held for the whole export without sharing deletion, so that it
// cannot be renamed, removed or replaced meanwhile; every file below is opened
// and renamed relative to this handle (NtCreateFile's RootDirectory), never by a
// path that a link swapped on the way could lead elsewhere.
class Folder
{
  public:
    explicit Folder(const QString& path)
        : m_handle(CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(),
                               FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr))
    {
    }
    ~Folder()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

    // A file in the folder, never through a link at its name.
    HANDLE open(const QString& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                ULONG options, NTSTATUS& status) const
    {
        std::wstring text = name.toStdWString();
        UNICODE_STRING unicode{USHORT(text.size() * sizeof(wchar_t)),
                               USHORT(text.size() * sizeof(wchar_t)), text.data()};
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, m_handle, nullptr);
        IO_STATUS_BLOCK io{};
        HANDLE handle = INVALID_HANDLE_VALUE;
        status = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                              FILE_ATTRIBUTE_NORMAL, share, disposition,
                              options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
                              nullptr, 0);
        return NT_SUCCESS(status) ? handle : INVALID_HANDLE_VALUE;
    }

    // Renames the open file `file` to `name` in this folder, over what is there.
    // Windows refuses while another program (a virus scanner, a spreadsheet) has
    // that file open; such readers come and go, so it is tried for a while.
    bool renameInto(HANDLE file, const QString& name) const
    {
        const std::wstring text = name.toStdWString();
        const ULONG nameBytes = ULONG(text.size() * sizeof(wchar_t));
        QByteArray buffer(qsizetype(sizeof(FILE_RENAME_INFORMATION) + nameBytes), '\0');
        auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = m_handle;
        rename->FileNameLength = nameBytes;
        std::memcpy(rename->FileName, text.data(), nameBytes);
        for (int attempt = 1;; ++attempt) {
            IO_STATUS_BLOCK io{};
            const NTSTATUS status = NtSetInformationFile(file, &io, rename, ULONG(buffer.size()),
                                                         FileRenameInformation);
            if (NT_SUCCESS(status))
                return true;
            if (attempt == 40)
                return false;
            Sleep(50);
        }
    }

  private:
    HANDLE m_handle;
};

std::optional<Failure> writeIn(const QString& folderPath, const QString& name,
                               const QByteArray& csv, const QStringList& records)
{
    if (const QString reason = invalidName(QDir(folderPath).filePath(name)); !reason.isEmpty())
        return refused(reason);
    const Folder folder(folderPath);
    if (!folder.isOpen())
        return NoFolder;
    NTSTATUS status = 0;
    // What stands at the name, looked at through the folder's handle.
    const HANDLE old =
        folder.open(name, FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0, status);
    if (old == INVALID_HANDLE_VALUE && status != NameNotFound)
        return NotWritten;
    if (old != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        const bool known = GetFileInformationByHandle(old, &info);
        const auto identity = identityOf(old);
        QByteArray begins(Header.size(), '\0');
        DWORD got = 0;
        const bool plain =
            known && GetFileType(old) == FILE_TYPE_DISK &&
            !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
        const bool read = plain && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                          ReadFile(old, begins.data(), DWORD(begins.size()), &got, nullptr);
        CloseHandle(old);
        if (!known)
            return NotWritten;
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return refused(LinkReason);
        if (!plain)
            return refused(NotAFileReason);
        for (const QString& record : records) {
            const HANDLE handle =
                CreateFileW(QDir::toNativeSeparators(record).toStdWString().c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (handle == INVALID_HANDLE_VALUE)
                continue;
            const bool same = identityOf(handle) == identity;
            CloseHandle(handle);
            if (same)
                return refused(RecordReason);
        }
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            return refused(ReadOnlyReason);
        if (!read || !beginsAsExport(QByteArrayView(begins).first(qsizetype(got))))
            return refused(NotAnExportReason);
    }

    QString temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryName(name);
        file = folder.open(temporary, GENERIC_WRITE | DELETE, 0, FILE_CREATE,
                           FILE_NON_DIRECTORY_FILE, status);
        if (file == INVALID_HANDLE_VALUE && status != NameCollision)
            break;
    }
    if (file == INVALID_HANDLE_VALUE)
        return NotWritten;
    bool done = true;
    for (qsizetype written = 0; done && written < csv.size();) {
        DWORD wrote = 0;
        done =
            WriteFile(file, csv.constData() + written,
                      DWORD(std::min<qsizetype>(csv.size() - written, 1 << 20)), &wrote, nullptr) &&
            wrote > 0;
        written += wrote;
    }
    done = done && FlushFileBuffers(file) && folder.renameInto(file, name);
    if (!done) {
        // Ours, through the handle that created it: nothing else is ever removed.
        FILE_DISPOSITION_INFO remove{TRUE};
        SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
    }
    CloseHandle(file);
    return done ? std::nullopt : std::optional<Failure>(NotWritten);
}

#else

// Whether the open file begins as an export does.
bool isExport(int fd)
{
    struct stat info;
    QByteArray begins(Header.size(), '\0');
    const bool plain = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    qsizetype got = 0;
    while (plain && got < begins.size()) {
        const ssize_t read = FileIo::retryOnInterrupt(
            [&] { return ::read(fd, begins.data() + got, size_t(begins.size() - got)); });
        if (read <= 0)
            break;
        got += read;
    }
    return plain && beginsAsExport(QByteArrayView(begins).first(got));
}

// Everything relative to the folder's descriptor (fstatat, openat, renameat): a
// link on the folder's path that is swapped meanwhile cannot move the export,
// its checks or its temporary file elsewhere.
std::optional<Failure> writeAt(int folder, const QByteArray& name, const QByteArray& csv,
                               const QStringList& records)
{
    struct stat old;
    const bool exists = ::fstatat(folder, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return NotWritten;
    if (exists) {
        if (S_ISLNK(old.st_mode))
            return refused(LinkReason);
        if (!S_ISREG(old.st_mode))
            return refused(NotAFileReason);
        for (const QString& record : records) {
            struct stat info;
            if (::stat(QFile::encodeName(record).constData(), &info) == 0 &&
                info.st_dev == old.st_dev && info.st_ino == old.st_ino)
                return refused(RecordReason);
        }
        // Nobody may write it: read-only even for a user the permissions let through.
        if (!(old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ||
            ::faccessat(folder, name.constData(), W_OK, 0) != 0)
            return refused(ReadOnlyReason);
        const int fd = FileIo::retryOnInterrupt([&] {
            return ::openat(folder, name.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        });
        const bool anExport = fd >= 0 && isExport(fd);
        if (fd >= 0)
            ::close(fd);
        if (!anExport)
            return refused(NotAnExportReason);
    }

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = QFile::encodeName(temporaryName(QFile::decodeName(name)));
        fd = FileIo::retryOnInterrupt([&] {
            return ::openat(folder, temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                            0666);
        });
        if (fd < 0 && errno != EEXIST)
            break;
    }
    struct stat mine;
    if (fd < 0 || ::fstat(fd, &mine) != 0) {
        if (fd >= 0) {
            ::close(fd);
            ::unlinkat(folder, temporary.constData(), 0);
        }
        return NotWritten;
    }
    if (exists)
        ::fchmod(fd, old.st_mode & 07777); // the replacement keeps the export's permissions
    bool done = FileIo::writeAll(fd, csv) && FileIo::flushToDisk(fd);
    done = ::close(fd) == 0 && done;
    done = done && ::renameat(folder, temporary.constData(), folder, name.constData()) == 0;
    if (!done) {
        // Removed only while the name still holds the very file created above.
        struct stat now;
        if (::fstatat(folder, temporary.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == mine.st_dev && now.st_ino == mine.st_ino)
            ::unlinkat(folder, temporary.constData(), 0);
        return NotWritten;
    }
    FileIo::flushToDisk(folder); // the rename is durable once the folder is
    return std::nullopt;
}

std::optional<Failure> writeIn(const QString& folderPath, const QString& name,
                               const QByteArray& csv, const QStringList& records)
{
    const int folder = FileIo::retryOnInterrupt([&] {
        return ::open(QFile::encodeName(folderPath).constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    });
    if (folder < 0)
        return NoFolder;
    std::optional<Failure> failed = writeAt(folder, QFile::encodeName(name), csv, records);
    ::close(folder);
    return failed;
}

#endif

} // namespace

namespace Export {

QByteArray csvOf(const QList<std::int16_t>& series, const QList<Replay::Draw>& journal,
                 const QString& head, const QHash<std::int32_t, QString>& prizes,
                 const QHash<std::int32_t, QString>& names)
{
    QByteArray csv = Header;
    for (qsizetype i = 0; i < series.size(); ++i) {
        // The time only where the journal holds this very draw.
        QString time;
        if (i < journal.size() && journal[i].ordinal == i + 1 && journal[i].number == series[i])
            time = journal[i].time;
        csv += field(QString::number(i + 1)) + ',' +
               field(QStringLiteral("%1").arg(series[i], 3, 10, QLatin1Char('0'))) + ',' +
               field(time) + ',' + field(prizes.value(std::int32_t(i + 1))) + ',' +
               field(names.value(series[i])) + "\r\n";
    }
    csv += "# head " + head.toLatin1() + "\r\n";
    return csv;
}

std::optional<QByteArray> csvOfFiles(const QString& iniPath, const QString& journalPath)
{
    const std::optional<Replay::Result> journal = Replay::readFile(journalPath);
    if (!journal || !journal->broken.isEmpty())
        return std::nullopt;
    // Exactly the series the head commits to: a settings file that says otherwise
    // (a hand edit while Rindell was closed) is refused, as --verify refuses it.
    if (!Replay::compareWithSettings(journal->series, Replay::settingsSeries(iniPath)).isEmpty())
        return std::nullopt;
    const QDir folder = QFileInfo(journalPath).dir();
    return csvOf(
        Replay::seriesNumbers(journal->series), journal->series, journal->head,
        Prizes::readList(folder.filePath(Prizes::PrizesFileName), Prizes::Key::Ordinal).texts,
        Prizes::readList(folder.filePath(Prizes::NamesFileName), Prizes::Key::Number).texts);
}

std::optional<Failure> write(const QString& path, const QByteArray& csv, const QStringList& records)
{
    for (const QString& record : records) {
        if (AtomicFile::isSameFile(path, record))
            return refused(RecordReason);
    }
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        return refused(NotAFileReason);
    return writeIn(info.absolutePath(), info.fileName(), csv, records);
}

QString defaultFileName(const QDateTime& now)
{
    return QStringLiteral("Rindell-%1.csv").arg(now.toString(QStringLiteral("yyyyMMdd-HHmm")));
}

} // namespace Export
