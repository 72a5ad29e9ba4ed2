#include "journal/replay.h"

#include "common/const.h"
#include "journal/journal.h"
#include "series/storedseries.h"
#include "settings/atomicfile.h"
#include "settings/fileio.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

QString at(qint64 line, const QString& reason)
{
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

enum class Type { Integer, Text, Time, Hash, Numbers };
struct Field
{
    QLatin1String name;
    Type type;
    bool optional = false;
};

// Every event the program writes, with exactly the fields it gives it.
const QHash<QString, QList<Field>>& kinds()
{
    static const QHash<QString, QList<Field>> known = [] {
        const QList<Field> common{{QLatin1String("seq"), Type::Integer},
                                  {QLatin1String("time"), Type::Time},
                                  {QLatin1String("event"), Type::Text},
                                  {QLatin1String("prev"), Type::Hash}};
        const auto with = [&](QList<Field> own) { return common + own; };
        const Field ordinal{QLatin1String("ordinal"), Type::Integer};
        const Field number{QLatin1String("number"), Type::Integer};
        const Field from{QLatin1String("from"), Type::Integer};
        const Field to{QLatin1String("to"), Type::Integer};
        return QHash<QString, QList<Field>>{
            {QStringLiteral("start"), with({{QLatin1String("version"), Type::Text},
                                            {QLatin1String("executable_sha256"), Type::Hash}})},
            {QStringLiteral("range"), with({from, to, {QLatin1String("stored"), Type::Text}})},
            {QStringLiteral("draw"), with({ordinal, number, from, to})},
            {QStringLiteral("reveal"), with({ordinal, number})},
            {QStringLiteral("void"),
             with({ordinal, number, {QLatin1String("reason"), Type::Text}})},
            {QStringLiteral("clear"), with({{QLatin1String("cleared"), Type::Integer}})},
            {QStringLiteral("adopt"), with({{QLatin1String("series"), Type::Numbers},
                                            {QLatin1String("was"), Type::Numbers, true}})},
            {QStringLiteral("warning"),
             with({{QLatin1String("message"), Type::Text}, {QLatin1String("title"), Type::Text}})},
            {QStringLiteral("recovered"), with({{QLatin1String("torn_line"), Type::Integer},
                                                {QLatin1String("torn_sha256"), Type::Hash, true}})},
            {QStringLiteral("end"), common},
        };
    }();
    return known;
}

bool isInteger(const QJsonValue& value, qint64 low, qint64 high)
{
    return value.isDouble() && value.toDouble() == double(value.toInteger()) &&
           value.toInteger() >= low && value.toInteger() <= high;
}

bool hasType(const QJsonValue& value, Type type)
{
    // Its validity as a date is checked where the time is compared.
    static const QRegularExpression time(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)$"));
    switch (type) {
    case Type::Integer:
        return isInteger(value, 0, std::numeric_limits<qint32>::max());
    case Type::Text:
        return value.isString();
    case Type::Time:
        return value.isString() && time.match(value.toString()).hasMatch();
    case Type::Hash: {
        const QString text = value.toString();
        return text.size() == 64 && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
                   return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
               });
    }
    case Type::Numbers: {
        const QJsonArray numbers = value.toArray();
        return value.isArray() && std::all_of(numbers.begin(), numbers.end(), [](const auto& n) {
                   return isInteger(n, std::numeric_limits<std::int16_t>::min(),
                                    std::numeric_limits<std::int16_t>::max());
               });
    }
    }
    return false;
}

QList<std::int16_t> numbersOf(const QJsonValue& array)
{
    QList<std::int16_t> numbers;
    for (const QJsonValue& number : array.toArray())
        numbers.append(std::int16_t(number.toInt()));
    return numbers;
}

int integer(const QJsonObject& event, const char* field)
{
    return event.value(QLatin1String(field)).toInt();
}

// Reads a descriptor to its end in pieces, never the whole file at once.
template <typename Sink> bool stream(int fd, Sink sink)
{
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
#ifdef Q_OS_WIN
        const int got = ::_read(fd, buffer.data(), unsigned(buffer.size()));
#else
        const ssize_t got = FileIo::retryOnInterrupt(
            [&] { return ::read(fd, buffer.data(), size_t(buffer.size())); });
#endif
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        sink(QByteArrayView(buffer.constData(), qsizetype(got)));
    }
}

} // namespace

namespace Replay {

Reader::Reader(QByteArray wantedHead)
    : m_wantedHead(std::move(wantedHead)), m_previous(Journal::zeroHash())
{
}

void Reader::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        // Empty lines within torn bytes each add their separator: taken in one go.
        if (m_result.tornLine != 0 && m_pending.isEmpty() && !m_overlong && bytes.front() == '\n') {
            qsizetype empty = 1;
            while (empty < bytes.size() && bytes[empty] == '\n')
                ++empty;
            m_torn.addData(bytes.first(empty));
            m_line += empty;
            bytes = bytes.sliced(empty);
            continue;
        }
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        if (m_overlong) {
            m_torn.addData(piece);
        } else if (m_pending.size() + piece.size() > MaxLine) {
            // No line the program writes is this long: torn bytes, hashed as they come.
            tear(m_line + 1, m_pending);
            m_tornOverlong = true;
            m_torn.addData(piece);
            m_pending.clear();
            m_overlong = true;
        } else {
            m_pending += piece;
        }
        if (end < 0)
            return;
        if (m_overlong) {
            ++m_line;
            m_overlong = false;
        } else {
            line(m_pending);
        }
        m_pending.clear();
        bytes = bytes.sliced(end + 1);
    }
}

Result Reader::finish()
{
    if (!m_pending.isEmpty() || m_overlong) {
        m_result.endsWithoutLineEnd = true;
        if (m_overlong)
            ++m_line;
        else
            line(m_pending);
        m_pending.clear();
    }
    if (m_result.tornLine != 0) {
        m_result.tornSha256 = m_torn.result().toHex();
        m_result.wholeButTail = m_result.broken.isEmpty();
        breakAt(m_result.tornLine, QStringLiteral("the last line is incomplete"));
    }
    m_result.revealPending = !m_revealed && !m_result.series.isEmpty();
    m_result.lastTime = m_lastTime;
    return m_result;
}

void Reader::breakAt(qint64 line, const QString& reason)
{
    if (m_result.broken.isEmpty())
        m_result.broken = at(line, reason);
}

void Reader::note(const QString& text)
{
    if (m_result.notes.size() < Result::MaxNotes)
        m_result.notes.append(text);
}

void Reader::line(QByteArrayView bytes)
{
    ++m_line;
    // The program's lines begin with their brace: anything else is not parsed.
    if (bytes.startsWith('{')) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray(), &error);
        if (error.error == QJsonParseError::NoError && document.isObject()) {
            event(document.object(), bytes);
            return;
        }
    }
    // Part of a line a kill cut short, or anything else that is no event: it
    // stands until a recovery that covers its bytes follows.
    tear(m_line, bytes);
}

void Reader::tear(qint64 line, QByteArrayView bytes)
{
    if (m_result.tornLine == 0) {
        m_result.tornLine = line;
        m_tornOverlong = false;
        m_torn.reset();
    } else {
        m_torn.addData("\n");
    }
    m_torn.addData(bytes);
}

void Reader::event(const QJsonObject& event, QByteArrayView bytes)
{
    const QString kind = event.value(QLatin1String("event")).toString();
    if (m_result.tornLine != 0) {
        const QJsonValue sha = event.value(QLatin1String("torn_sha256"));
        // A journal from before the recovery carried the hash names one line only,
        // and no longer than a line the program writes.
        const bool covers = sha.isUndefined()
                                ? m_result.tornLine == m_line - 1 && !m_tornOverlong
                                : sha.toString().toLatin1() == m_torn.result().toHex();
        if (kind != QLatin1String("recovered") ||
            event.value(QLatin1String("torn_line")).toInteger() != m_result.tornLine || !covers)
            breakAt(m_result.tornLine, QStringLiteral("not a JSON object"));
        else {
            ++m_result.recoveries;
            note(QStringLiteral("line %1 was cut short by a stop and recovered")
                     .arg(m_result.tornLine));
        }
        m_result.tornLine = 0;
    } else if (kind == QLatin1String("recovered")) {
        breakAt(m_line, QStringLiteral("a recovered event with nothing to recover"));
    }
    if (m_result.broken.isEmpty()) {
        const QString reason = check(event, bytes);
        if (!reason.isEmpty())
            breakAt(m_line, reason);
    }
    apply(event);
    m_lineHash.addData(bytes);
    m_previous = m_lineHash.result().toHex();
    m_result.head = QString::fromLatin1(m_previous);
    m_result.seq = event.value(QLatin1String("seq")).toInteger(m_result.seq + 1);
    ++m_result.events;
    if (!m_wantedHead.isEmpty() && m_previous == m_wantedHead && m_result.headLine == 0) {
        m_result.headLine = m_line;
        m_result.seriesAtHead = m_result.series;
    }
}

QString Reader::check(const QJsonObject& event, QByteArrayView bytes)
{
    // The program writes compact JSON with sorted keys: any other spelling
    // (a repeated key, 3.7e1 for 37, added blanks) is not its line.
    if (QJsonDocument(event).toJson(QJsonDocument::Compact) != bytes)
        return QStringLiteral("not as the program writes it");
    const qint64 seq = event.value(QLatin1String("seq")).toInteger(-1);
    if (seq != m_result.seq + 1)
        return QStringLiteral("seq %1 where %2 was expected").arg(seq).arg(m_result.seq + 1);
    if (event.value(QLatin1String("prev")).toString().toLatin1() != m_previous)
        return QStringLiteral("prev is not the SHA-256 of the line before");

    const QString kind = event.value(QLatin1String("event")).toString();
    const auto known = kinds().constFind(kind);
    if (known == kinds().constEnd())
        return QStringLiteral("unknown event \"%1\"").arg(kind);
    qsizetype present = 0;
    for (const Field& field : *known) {
        const QJsonValue value = event.value(field.name);
        if (value.isUndefined() && field.optional)
            continue;
        if (!hasType(value, field.type))
            return QStringLiteral("%1 of a %2 event is missing or not of its type")
                .arg(field.name, kind);
        ++present;
    }
    if (present != event.size())
        return QStringLiteral("a %1 event with fields the program never writes").arg(kind);

    // Every event but a recovery (of bytes a stop left anywhere) belongs to a run.
    const bool starts = kind == QLatin1String("start");
    if (!starts && kind != QLatin1String("recovered") && !m_inRun)
        return m_started ? QStringLiteral("%1 after the end of a run").arg(kind)
                         : QStringLiteral("the journal does not begin with a start");
    m_started = m_started || starts;
    m_inRun = (m_inRun || starts) && kind != QLatin1String("end");
    const QDateTime time =
        QDateTime::fromString(event.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    if (!time.isValid())
        return QStringLiteral("time of a %1 event is missing or not of its type").arg(kind);
    if (!starts && time < m_lastTime)
        return QStringLiteral("time earlier than the line before");
    m_lastTime = time;

    const bool inRange = [&] {
        if (!event.contains(QLatin1String("from")))
            return true;
        const int from = integer(event, "from");
        const int to = integer(event, "to");
        return from <= to && to <= 999 &&
               (!event.contains(QLatin1String("number")) ||
                (from <= integer(event, "number") && integer(event, "number") <= to));
    }();
    if (!inRange)
        return QStringLiteral("a %1 outside 0..999 or its range").arg(kind);
    const QList<Draw>& series = m_result.series;
    if (kind == QLatin1String("draw")) {
        if (integer(event, "ordinal") != series.size() + 1)
            return QStringLiteral("draw %1 where %2 was next")
                .arg(integer(event, "ordinal"))
                .arg(series.size() + 1);
        const int number = integer(event, "number");
        if (std::any_of(series.cbegin(), series.cend(),
                        [&](const Draw& draw) { return draw.number == number; }))
            return QStringLiteral("%1 drawn again in its series").arg(integer(event, "number"));
    } else if (kind == QLatin1String("void") || kind == QLatin1String("reveal")) {
        if (series.isEmpty() || integer(event, "ordinal") != series.last().ordinal ||
            integer(event, "number") != series.last().number)
            return QStringLiteral("a %1 of no draw of the series").arg(kind);
        if (m_revealed)
            return QStringLiteral("a %1 of a draw already revealed").arg(kind);
    } else if (kind == QLatin1String("adopt")) {
        if (event.contains(QLatin1String("was")) &&
            numbersOf(event.value(QLatin1String("was"))) != seriesNumbers(series))
            return QStringLiteral("an adoption of a series the journal does not hold");
        // A series holds each number of 0..999 once at most.
        QList<bool> seen(1000, false);
        for (const std::int16_t number : numbersOf(event.value(QLatin1String("series")))) {
            if (number < 0 || number > 999 || std::exchange(seen[number], true))
                return QStringLiteral("an adoption of %1, which no series can hold there")
                    .arg(number);
        }
    } else if (kind == QLatin1String("clear") && integer(event, "cleared") != series.size()) {
        return QStringLiteral("a clear of %1 draws where the series holds %2")
            .arg(integer(event, "cleared"))
            .arg(series.size());
    } else if (kind == QLatin1String("range") &&
               Series::parseRange(event.value(QLatin1String("stored")).toString()) !=
                   std::pair(std::int16_t(integer(event, "from")),
                             std::int16_t(integer(event, "to")))) {
        return QStringLiteral("a range whose stored text says another range");
    }
    return {};
}

void Reader::apply(const QJsonObject& event)
{
    const QString kind = event.value(QLatin1String("event")).toString();
    QList<Draw>& series = m_result.series;
    if (kind == QLatin1String("draw")) {
        series.append({integer(event, "ordinal"), std::int16_t(integer(event, "number")),
                       event.value(QLatin1String("time")).toString()});
        m_revealed = false;
        m_result.lastCleared.reset();
    } else if (kind == QLatin1String("void")) {
        if (!series.isEmpty() && series.last().ordinal == integer(event, "ordinal"))
            series.removeLast();
        m_revealed = true;
        m_result.lastCleared.reset();
    } else if (kind == QLatin1String("reveal") || kind == QLatin1String("end")) {
        m_revealed = true;
    } else if (kind == QLatin1String("clear")) {
        m_result.lastCleared = series;
        series.clear();
        m_revealed = true;
    } else if (kind == QLatin1String("adopt")) {
        const QList<std::int16_t> adopted = numbersOf(event.value(QLatin1String("series")));
        ++m_result.adoptions;
        if (m_result.notes.size() < Result::MaxNotes) {
            const QString changed = compareWithSettings(series, adopted);
            note(QStringLiteral("line %1: the settings file's series was taken over (%2)")
                     .arg(m_line)
                     .arg(changed.isEmpty() ? QStringLiteral("no change") : changed));
        }
        series.clear();
        for (const std::int16_t number : adopted)
            series.append({int(series.size() + 1), number, QString()});
        m_revealed = true;
        m_result.lastCleared.reset();
    }
}

Result readBytes(const QByteArray& content)
{
    Reader reader;
    reader.feed(content);
    return reader.finish();
}

std::optional<Result> readDescriptor(int fd, const QByteArray& wantedHead)
{
    Reader reader(wantedHead);
    if (!stream(fd, [&](QByteArrayView bytes) { reader.feed(bytes); }))
        return std::nullopt;
    return reader.finish();
}

std::optional<Result> readFile(const QString& journalPath, const QByteArray& wantedHead)
{
    const int fd = AtomicFile::openForReading(journalPath);
    if (fd < 0)
        return std::nullopt;
    std::optional<Result> result = readDescriptor(fd, wantedHead);
    AtomicFile::closeDescriptor(fd);
    return result;
}

QList<std::int16_t> seriesNumbers(const QList<Draw>& series)
{
    QList<std::int16_t> numbers;
    for (const Draw& draw : series)
        numbers.append(draw.number);
    return numbers;
}

QList<std::int16_t> settingsSeries(const QString& iniPath)
{
    return Series::readSeries(Common::ReadIniSection(Const::SectionResult, iniPath)).results.mid(1);
}

QString compareWithSettings(const QList<Draw>& journal, const QList<std::int16_t>& settings)
{
    for (qsizetype i = 0; i < std::max(journal.size(), settings.size()); ++i) {
        if (i >= journal.size())
            return QStringLiteral("draw %1 (%2) is in the settings file, not in the journal")
                .arg(i + 1)
                .arg(settings[i]);
        if (i >= settings.size())
            return QStringLiteral("draw %1 (%2) is in the journal, not in the settings file")
                .arg(i + 1)
                .arg(journal[i].number);
        if (journal[i].number != settings[i] || journal[i].ordinal != i + 1)
            return QStringLiteral("draw %1 is %2 in the journal, %3 in the settings file")
                .arg(i + 1)
                .arg(journal[i].number)
                .arg(settings[i]);
    }
    return {};
}

QString settingsFileOf(const QString& journalPath, const QString& programIni)
{
    if (AtomicFile::isSameFile(Common::journalPathFor(programIni), journalPath))
        return programIni;
    // A namesake that is a link may belong to another journal; one that is a
    // file of its own here is the one a Rindell in this folder keeps.
    const QString beside = QFileInfo(journalPath).dir().filePath(Const::IniFileName);
    const QFileInfo info(beside);
    if (info.isFile() && !info.isSymLink() &&
        AtomicFile::isSameFile(Common::journalPathFor(beside), journalPath))
        return beside;
    return {};
}

std::pair<QString, int> verify(const QString& journalPath, const QByteArray& wantedHead,
                               const QString& settingsPath)
{
    const std::optional<Result> read = readFile(journalPath, wantedHead);
    if (!read)
        return {QStringLiteral("BROKEN: %1 cannot be read").arg(journalPath), 1};
    const Result& result = *read;
    if (!result.broken.isEmpty())
        return {QStringLiteral("BROKEN: ") + result.broken, 1};
    QString notes;
    for (const QString& note : result.notes)
        notes += QStringLiteral("; ") + note;
    const qint64 more = result.recoveries + result.adoptions - result.notes.size();
    if (more > 0)
        notes += QStringLiteral("; %1 more (%2 recoveries and %3 adoptions in all)")
                     .arg(more)
                     .arg(result.recoveries)
                     .arg(result.adoptions);

    if (!wantedHead.isEmpty()) {
        if (result.headLine == 0)
            return {QStringLiteral("NOT FOUND: head %1 is no line of this journal")
                        .arg(QLatin1String(wantedHead)),
                    1};
        QString lines = QStringLiteral("OK: head %1 is line %2 of a whole chain of %3 events; "
                                       "%4 draws in the series at that line")
                            .arg(QLatin1String(wantedHead))
                            .arg(result.headLine)
                            .arg(result.events)
                            .arg(result.seriesAtHead.size());
        for (const Draw& draw : result.seriesAtHead)
            lines += QStringLiteral("\n%1,%2,%3")
                         .arg(draw.ordinal)
                         .arg(draw.number, 3, 10, QLatin1Char('0'))
                         .arg(draw.time);
        return {lines, 0};
    }

    if (!settingsPath.isEmpty()) {
        const QString differs = compareWithSettings(result.series, settingsSeries(settingsPath));
        if (!differs.isEmpty())
            return {QStringLiteral("BROKEN: %1 (%2)").arg(differs, settingsPath), 1};
    }
    return {QStringLiteral("OK: %1 events, %2 draws in the current series, head %3")
                    .arg(result.events)
                    .arg(result.series.size())
                    .arg(result.head) +
                notes +
                (settingsPath.isEmpty()
                     ? QStringLiteral("; compared with no settings file")
                     : QStringLiteral("; compared with the settings file %1").arg(settingsPath)),
            0};
}

} // namespace Replay
