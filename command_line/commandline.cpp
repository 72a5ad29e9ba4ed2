#include "command_line/commandline.h"

#include "command_line/sampling.h"
#include "common/const.h"
#include "journal/export.h"
#include "journal/journal.h"
#include "journal/replay.h"
#include "series/randomsource.h"
#include "settings/settings.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const Usage = "usage: rindell --sample-draws COUNT --range FROM,TO | "
                          "--sample-series COUNT --range FROM,TO | --sample-raw BYTES | "
                          "--verify [FILE] [--head HEX] | --export FILE\n";

int usageError(std::FILE* err, const char* what)
{
    std::fprintf(err, "rindell: %s; %s", what, Usage);
    return 2;
}

// A whole number >= 1, decimal digits only.
std::optional<qint64> positive(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,15}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const qint64 value = text.toLongLong();
    return value >= 1 ? std::optional<qint64>(value) : std::nullopt;
}

// "FROM,TO" within 0..999 with FROM <= TO, as the condition dialog accepts it.
std::optional<std::pair<std::int16_t, std::int16_t>> range(const QString& text)
{
    static const QRegularExpression bounds(QStringLiteral("^([0-9]{1,3}),([0-9]{1,3})$"));
    const QRegularExpressionMatch match = bounds.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const auto from = std::int16_t(match.captured(1).toInt());
    const auto to = std::int16_t(match.captured(2).toInt());
    if (from > to)
        return std::nullopt;
    return std::pair(from, to);
}

// Buffered output; false once a write has failed (a closed pipe, a full disk).
class Output
{
  public:
    explicit Output(std::FILE* file) : m_file(file) {}
    bool write(const char* data, size_t size)
    {
        return m_ok && (m_ok = std::fwrite(data, 1, size, m_file) == size);
    }
    bool line(const QByteArray& text) { return write(text.constData(), size_t(text.size())); }
    bool finish() { return m_ok && std::fflush(m_file) == 0; }

  private:
    std::FILE* m_file;
    bool m_ok = true;
};

int sampleRaw(qint64 bytes, Output& out)
{
    RandomSource random;
    std::uint32_t words[4096];
    while (bytes > 0) {
        for (std::uint32_t& word : words)
            word = random.next();
        const auto chunk = size_t(std::min<qint64>(bytes, qint64(sizeof words)));
        if (!out.write(reinterpret_cast<const char*>(words), chunk))
            return 1;
        bytes -= qint64(chunk);
    }
    return out.finish() ? 0 : 1;
}

int sampleDraws(qint64 count, std::int16_t from, std::int16_t to, bool series, Output& out)
{
    RandomSource random;
    for (qint64 i = 0; i < count; ++i) {
        QByteArray text;
        if (series) {
            for (const std::int16_t number : Sampling::wholeSeries(from, to, random))
                text += QByteArray::number(number) + ' ';
            text.chop(1);
        } else {
            text = QByteArray::number(Sampling::firstDraw(from, to, random));
        }
        if (!out.line(text + '\n'))
            return 1;
    }
    return out.finish() ? 0 : 1;
}

} // namespace

bool isCommand(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    return command.startsWith(QLatin1String("--sample-")) || command == QLatin1String("--verify") ||
           command == QLatin1String("--export");
}

int runCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err)
{
#ifdef Q_OS_WIN
    // Bytes as written: text mode would make every 0x0A of --sample-raw CR LF, and
    // lines end in LF on every system, as the tools that read them expect.
    ::_setmode(::_fileno(out), _O_BINARY);
    ::_setmode(::_fileno(err), _O_BINARY);
#endif
    const QString command = arguments.value(0);
    if (command == QLatin1String("--verify")) {
        QStringList rest = arguments.mid(1);
        QByteArray head;
        if (const qsizetype at = rest.indexOf(QLatin1String("--head")); at >= 0) {
            static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
            if (at + 1 >= rest.size() || !hex.match(rest[at + 1]).hasMatch())
                return usageError(err, "--head takes the 64 hex digits of a head");
            head = rest[at + 1].toLatin1().toLower();
            rest.remove(at, 2);
        }
        if (rest.size() > 1 || (rest.size() == 1 && rest[0].isEmpty()))
            return usageError(err, "--verify takes at most one journal file");
        // Without FILE the program's own journal, with the settings file that leads
        // to it; a journal named is compared only with a settings file known to be its.
        const QString ini = Common::GetIniFilePath();
        const QString journal = rest.isEmpty() ? Journal::defaultPath() : rest[0];
        const auto [lines, status] = Replay::verify(
            journal, head, rest.isEmpty() ? ini : Replay::settingsFileOf(journal, ini));
        std::fprintf(out, "%s\n", lines.toUtf8().constData());
        return status;
    }
    if (command == QLatin1String("--export")) {
        if (arguments.size() != 2 || arguments[1].isEmpty())
            return usageError(err, "--export takes one file name");
        const QString ini = Common::GetIniFilePath();
        const QString journal = Journal::defaultPath();
        const std::optional<QByteArray> csv = Export::csvOfFiles(ini, journal);
        if (!csv) {
            std::fprintf(err,
                         "rindell: %s: the journal is missing, unreadable or broken, or the "
                         "settings file differs from it; nothing was written\n",
                         journal.toLocal8Bit().constData());
            return 1;
        }
        if (const auto failed = Export::write(arguments[1], *csv, {ini, journal})) {
            std::fprintf(err, "rindell: %s: %s\n", arguments[1].toLocal8Bit().constData(),
                         failed->reason.toUtf8().constData());
            return failed->refused ? 2 : 1;
        }
        return 0;
    }

    Output output(out);
    if (command == QLatin1String("--sample-raw")) {
        const std::optional<qint64> bytes = positive(arguments.value(1));
        if (arguments.size() != 2 || !bytes)
            return usageError(err, "--sample-raw takes a number of bytes >= 1");
        return sampleRaw(*bytes, output);
    }
    const bool series = command == QLatin1String("--sample-series");
    if (!series && command != QLatin1String("--sample-draws"))
        return usageError(err, "unknown option");
    const std::optional<qint64> count = positive(arguments.value(1));
    if (!count)
        return usageError(err, "COUNT must be a whole number >= 1");
    if (arguments.size() != 4 || arguments[2] != QLatin1String("--range"))
        return usageError(err, "--range FROM,TO is missing");
    const auto bounds = range(arguments[3]);
    if (!bounds)
        return usageError(err, "FROM,TO must lie within 0..999 with FROM <= TO");
    return sampleDraws(*count, bounds->first, bounds->second, series, output);
}
