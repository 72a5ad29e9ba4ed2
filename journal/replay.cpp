#include "journal/replay.h"

#include "common/const.h"
#include "journal/journal.h"
#include "series/storedseries.h"
#include "settings/atomicfile.h"
#include "settings/fileio.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVarLengthArray>

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

// A field's value, as far as the checks need it.
struct Value
{
    enum class Kind { Missing, Integer, Fraction, Text, Array, Other };
    Kind kind = Kind::Missing;
    qint64 integer = 0;     // an Integer: any whole number
    QByteArrayView text;    // a Text, in UTF-8
    QList<qint64> items;    // an Array's whole numbers (0 for any other item)
    bool wholeItems = true; // whether every item of the Array is a whole number

    // As QJsonValue::toInt(): 0 unless a whole number within int.
    int toInt() const
    {
        return kind == Kind::Integer && integer >= std::numeric_limits<int>::min() &&
                       integer <= std::numeric_limits<int>::max()
                   ? int(integer)
                   : 0;
    }
    QByteArrayView textOrEmpty() const { return kind == Kind::Text ? text : QByteArrayView(); }
};

} // namespace

namespace Replay {

struct Reader::Event
{
    QVarLengthArray<std::pair<QByteArrayView, Value>, 12> fields;
    QList<QByteArray> storage; // texts that are no view of the line

    const Value& operator[](QByteArrayView key) const
    {
        static const Value missing;
        for (const auto& [name, value] : fields) {
            if (name == key)
                return value;
        }
        return missing;
    }
    bool contains(QByteArrayView key) const { return (*this)[key].kind != Value::Kind::Missing; }
    int integer(QByteArrayView key) const { return (*this)[key].toInt(); }
};

} // namespace Replay

namespace {

using Event = Replay::Reader::Event;

enum class Type { Integer, Text, Time, Hash, Numbers };
struct Field
{
    QByteArrayView name;
    Type type;
    bool optional = false;
};
struct Kind
{
    QByteArrayView name;
    QList<Field> fields;
};

// Every event the program writes, with exactly the fields it gives it.
const QList<Kind>& kinds()
{
    static const QList<Kind> known = [] {
        const QList<Field> common{{"seq", Type::Integer},
                                  {"time", Type::Time},
                                  {"event", Type::Text},
                                  {"prev", Type::Hash}};
        const auto with = [&](QList<Field> own) { return common + own; };
        const Field ordinal{"ordinal", Type::Integer};
        const Field number{"number", Type::Integer};
        const Field from{"from", Type::Integer};
        const Field to{"to", Type::Integer};
        return QList<Kind>{
            {"start", with({{"version", Type::Text}, {"executable_sha256", Type::Hash}})},
            {"range", with({from, to, {"stored", Type::Text}})},
            {"draw", with({ordinal, number, from, to})},
            {"reveal", with({ordinal, number})},
            {"void", with({ordinal, number, {"reason", Type::Text}})},
            {"clear", with({{"cleared", Type::Integer}})},
            {"adopt", with({{"series", Type::Numbers}, {"was", Type::Numbers, true}})},
            {"warning", with({{"message", Type::Text}, {"title", Type::Text}})},
            {"recovered", with({{"torn_line", Type::Integer}, {"torn_sha256", Type::Hash, true}})},
            {"segment", with({{"series", Type::Numbers},
                              {"unrevealed", Type::Integer},
                              {"untold", Type::Integer},
                              {"from", Type::Integer, true},
                              {"to", Type::Integer, true}})},
            {"end", common},
        };
    }();
    return known;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "2026-12-07T19:05:01.250+09:00" or "...Z", as the program writes a time.
bool isTimeText(QByteArrayView text)
{
    static constexpr char Pattern[] = "dddd-dd-ddTdd:dd:dd.ddd";
    constexpr qsizetype Length = sizeof Pattern - 1;
    if (text.size() != Length + 1 && text.size() != Length + 6)
        return false;
    for (qsizetype i = 0; i < Length; ++i) {
        if (Pattern[i] == 'd' ? !isDigit(text[i]) : text[i] != Pattern[i])
            return false;
    }
    if (text.size() == Length + 1)
        return text[Length] == 'Z';
    return (text[Length] == '+' || text[Length] == '-') && isDigit(text[Length + 1]) &&
           isDigit(text[Length + 2]) && text[Length + 3] == ':' && isDigit(text[Length + 4]) &&
           isDigit(text[Length + 5]);
}

// The instant (ms since the epoch) of a time text that isTimeText accepts;
// nothing when it names no valid time. Plain dates and times are read here; any
// other (an hour 24, a second 60, a year 0, a large offset) as Qt reads it.
std::optional<qint64> instantOf(QByteArrayView text)
{
    const auto number = [&](qsizetype from, qsizetype digits) {
        int value = 0;
        for (qsizetype i = from; i < from + digits; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    const bool utc = text.size() == 24;
    const int offsetHours = utc ? 0 : number(24, 2), offsetMinutes = utc ? 0 : number(27, 2);
    if (year >= 1 && QDate::isValid(year, month, day) && hour < 24 && minute < 60 && second < 60 &&
        offsetHours < 14 && offsetMinutes < 60) {
        const qint64 offset =
            (utc || text[23] == '+' ? 1 : -1) * (qint64(offsetHours) * 60 + offsetMinutes) * 60000;
        return (QDate(year, month, day).toJulianDay() - QDate(1970, 1, 1).toJulianDay()) *
                   86400000 +
               ((hour * 60 + minute) * 60 + second) * 1000 + number(20, 3) - offset;
    }
    const QDateTime time =
        QDateTime::fromString(QString::fromLatin1(text.data(), text.size()), Qt::ISODateWithMs);
    return time.isValid() ? std::optional<qint64>(time.toMSecsSinceEpoch()) : std::nullopt;
}

bool hasType(const Value& value, Type type)
{
    // Its validity as a date is checked where the time is compared.
    switch (type) {
    case Type::Integer:
        return value.kind == Value::Kind::Integer && value.integer >= 0 &&
               value.integer <= std::numeric_limits<qint32>::max();
    case Type::Text:
        return value.kind == Value::Kind::Text;
    case Type::Time:
        return value.kind == Value::Kind::Text && isTimeText(value.text);
    case Type::Hash:
        return value.kind == Value::Kind::Text && value.text.size() == 64 &&
               std::all_of(value.text.begin(), value.text.end(),
                           [](char c) { return isDigit(c) || (c >= 'a' && c <= 'f'); });
    case Type::Numbers:
        return value.kind == Value::Kind::Array && value.wholeItems &&
               std::all_of(value.items.cbegin(), value.items.cend(), [](qint64 n) {
                   return n >= std::numeric_limits<std::int16_t>::min() &&
                          n <= std::numeric_limits<std::int16_t>::max();
               });
    }
    return false;
}

QList<std::int16_t> numbersOf(const Value& array)
{
    QList<std::int16_t> numbers;
    for (const qint64 number : array.items)
        numbers.append(std::int16_t(number >= std::numeric_limits<int>::min() &&
                                            number <= std::numeric_limits<int>::max()
                                        ? int(number)
                                        : 0));
    return numbers;
}

// A whole number as the program writes one: "0", or digits without a leading
// zero after an optional minus, few enough to be exact in a double.
bool readInteger(QByteArrayView line, qsizetype& at, qint64& value)
{
    const bool negative = at < line.size() && line[at] == '-';
    qsizetype i = at + (negative ? 1 : 0);
    const qsizetype first = i;
    value = 0;
    while (i < line.size() && isDigit(line[i]) && i - first < 16)
        value = value * 10 + (line[i++] - '0');
    const qsizetype digits = i - first;
    if (digits == 0 || digits > 15 || (line[first] == '0' && (digits > 1 || negative)))
        return false;
    if (negative)
        value = -value;
    at = i;
    return true;
}

// A text without escapes, of the printable ASCII that the program writes as it
// is ('/' and '\\' left to the full parse).
bool readText(QByteArrayView line, qsizetype& at, QByteArrayView& text)
{
    if (at >= line.size() || line[at] != '"')
        return false;
    const qsizetype first = ++at;
    while (at < line.size() && line[at] != '"') {
        const char c = line[at++];
        if (c < ' ' || c > '~' || c == '\\' || c == '/')
            return false;
    }
    if (at >= line.size())
        return false;
    text = line.sliced(first, at - first);
    ++at;
    return true;
}

// The line read as the program spells its lines: compact JSON, keys in
// ascending order each once, values that are whole numbers, plain texts or
// arrays of whole numbers. False for anything else, which the full JSON parse
// and the comparison with Qt's own spelling then judge.
bool readSpelled(QByteArrayView line, Event& event)
{
    if (line.size() < 2 || line.front() != '{' || line.back() != '}')
        return false;
    qsizetype at = 1;
    QByteArrayView previous;
    while (at < line.size() - 1) {
        if (at > 1 && line[at++] != ',')
            return false;
        QByteArrayView key;
        if (!readText(line, at, key) || (!previous.isNull() && !(previous < key)) ||
            at >= line.size() || line[at++] != ':')
            return false;
        previous = key;
        Value value;
        if (at < line.size() && line[at] == '"') {
            value.kind = Value::Kind::Text;
            if (!readText(line, at, value.text))
                return false;
        } else if (at < line.size() && line[at] == '[') {
            value.kind = Value::Kind::Array;
            ++at;
            while (at < line.size() && line[at] != ']') {
                if (!value.items.isEmpty() && line[at++] != ',')
                    return false;
                qint64 item = 0;
                if (!readInteger(line, at, item))
                    return false;
                value.items.append(item);
            }
            if (at >= line.size())
                return false;
            ++at;
        } else {
            value.kind = Value::Kind::Integer;
            if (!readInteger(line, at, value.integer))
                return false;
        }
        event.fields.append({key, std::move(value)});
    }
    return at == line.size() - 1;
}

Value valueOf(const QJsonValue& json, QList<QByteArray>& storage)
{
    Value value;
    const auto whole = [](const QJsonValue& number) {
        return number.isDouble() && number.toDouble() == double(number.toInteger());
    };
    if (whole(json)) {
        value.kind = Value::Kind::Integer;
        value.integer = json.toInteger();
    } else if (json.isDouble()) {
        value.kind = Value::Kind::Fraction;
    } else if (json.isString()) {
        value.kind = Value::Kind::Text;
        storage.append(json.toString().toUtf8());
        value.text = storage.last();
    } else if (json.isArray()) {
        value.kind = Value::Kind::Array;
        for (const QJsonValue& item : json.toArray()) {
            value.wholeItems = value.wholeItems && whole(item);
            value.items.append(whole(item) ? item.toInteger() : 0);
        }
    } else {
        value.kind = Value::Kind::Other;
    }
    return value;
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

// The most draws a series can hold in the settings file: a broken journal's
// draws beyond it are not kept, so memory stays bounded.
constexpr qsizetype MaxSeries = std::numeric_limits<std::int16_t>::max();

} // namespace

namespace Replay {

Reader::Reader(QByteArray wantedHead, bool fromOpening)
    : m_wantedHead(std::move(wantedHead)), m_fromOpening(fromOpening),
      m_previous(Journal::zeroHash())
{
}

void Reader::beginFile(const QString& name)
{
    if (m_files++ > 0)
        endFile();
    // A closed segment ends whole: its torn bytes would have been recovered
    // before it was closed.
    if (m_result.tornLine != 0 || m_result.endsWithoutLineEnd)
        breakAt(std::max<qint64>(m_result.tornLine, m_line),
                QStringLiteral("the segment ends with an incomplete line"));
    m_result.tornLine = 0;
    m_result.endsWithoutLineEnd = false;
    m_file = name;
    m_line = 0;
}

void Reader::endFile()
{
    if (!m_pending.isEmpty() || m_overlong) {
        m_result.endsWithoutLineEnd = true;
        if (m_overlong)
            ++m_line;
        else
            line(m_pending);
        m_pending.clear();
        m_overlong = false;
    }
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
        } else if (end >= 0 && m_pending.isEmpty()) {
            // A whole line within the piece: read where it lies, never copied.
            line(piece);
            bytes = bytes.sliced(end + 1);
            continue;
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
    endFile();
    if (m_result.tornLine != 0) {
        m_result.tornSha256 = m_torn.result().toHex();
        m_result.wholeButTail = m_result.broken.isEmpty();
        breakAt(m_result.tornLine, QStringLiteral("the last line is incomplete"));
    }
    m_result.revealPending = !m_revealed && !m_result.series.isEmpty();
    if (m_result.events > 0)
        m_result.head = QString::fromLatin1(m_previous);
    if (m_lastTime)
        m_result.lastTime =
            QDateTime::fromString(QString::fromLatin1(m_lastTimeText), Qt::ISODateWithMs);
    return m_result;
}

void Reader::breakAt(qint64 line, const QString& reason)
{
    if (m_result.broken.isEmpty())
        m_result.broken = (m_file.isEmpty() ? QString() : m_file + u' ') + at(line, reason);
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
        Event fields;
        if (readSpelled(bytes, fields)) {
            event(fields, bytes, true);
            return;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray(), &error);
        if (error.error == QJsonParseError::NoError && document.isObject()) {
            const QJsonObject object = document.object();
            Event parsed;
            for (auto it = object.begin(); it != object.end(); ++it) {
                Value value = valueOf(it.value(), parsed.storage);
                parsed.storage.append(it.key().toUtf8());
                parsed.fields.append({parsed.storage.last(), std::move(value)});
            }
            // The program writes compact JSON with sorted keys: any other
            // spelling (a repeated key, 3.7e1 for 37, added blanks) is not its line.
            event(parsed, bytes, QJsonDocument(object).toJson(QJsonDocument::Compact) == bytes);
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

void Reader::event(const Event& event, QByteArrayView bytes, bool spelled)
{
    const QByteArrayView kind = event["event"].textOrEmpty();
    if (m_result.tornLine != 0) {
        const Value& sha = event["torn_sha256"];
        // A journal from before the recovery carried the hash names one line only,
        // and no longer than a line the program writes.
        const bool covers = sha.kind == Value::Kind::Missing
                                ? m_result.tornLine == m_line - 1 && !m_tornOverlong
                                : sha.textOrEmpty() == m_torn.result().toHex();
        const Value& tornLine = event["torn_line"];
        if (kind != "recovered" || tornLine.kind != Value::Kind::Integer ||
            tornLine.integer != m_result.tornLine || !covers) {
            breakAt(m_result.tornLine, QStringLiteral("not a JSON object"));
        } else {
            ++m_result.recoveries;
            note(QStringLiteral("line %1 was cut short by a stop and recovered")
                     .arg(m_result.tornLine));
        }
        m_result.tornLine = 0;
    } else if (kind == "recovered") {
        breakAt(m_line, QStringLiteral("a recovered event with nothing to recover"));
    }
    // A segment opens with its segment line, and only there is one.
    const bool opening = m_line == 1 && m_files > 1;
    if (kind == "segment" && m_line == 1 && m_result.events == 0) {
        if (m_fromOpening)
            seed(event);
        else
            breakAt(m_line, QStringLiteral("the segment before this one is missing"));
    } else if (kind == "segment" && !opening) {
        breakAt(m_line, QStringLiteral("a segment line that opens no segment"));
    } else if (opening && kind != "segment") {
        breakAt(m_line, QStringLiteral("a segment that does not open with its segment line"));
    } else if (opening && event["prev"].textOrEmpty() != m_previous) {
        breakAt(m_line, QStringLiteral("the segment does not continue the one before (one is "
                                       "missing or changed)"));
    }
    if (m_result.broken.isEmpty()) {
        const QString reason = check(event, spelled);
        if (!reason.isEmpty())
            breakAt(m_line, reason);
    }
    apply(event);
    m_lineHash.addData(bytes);
    m_previous = m_lineHash.result().toHex();
    const Value& seq = event["seq"];
    m_result.seq = seq.kind == Value::Kind::Integer ? seq.integer : m_result.seq + 1;
    ++m_result.events;
    if (!m_wantedHead.isEmpty() && m_previous == m_wantedHead && m_result.headLine == 0) {
        m_result.headLine = m_line;
        m_result.headFile = m_file;
        m_result.seriesAtHead = m_result.series;
    }
}

QString Reader::check(const Event& event, bool spelled)
{
    if (!spelled)
        return QStringLiteral("not as the program writes it");
    const Value& seqValue = event["seq"];
    const qint64 seq = seqValue.kind == Value::Kind::Integer ? seqValue.integer : -1;
    if (seq != m_result.seq + 1)
        return QStringLiteral("seq %1 where %2 was expected").arg(seq).arg(m_result.seq + 1);
    if (event["prev"].textOrEmpty() != m_previous)
        return QStringLiteral("prev is not the SHA-256 of the line before");

    const QByteArrayView kindText = event["event"].textOrEmpty();
    const auto known = std::find_if(kinds().cbegin(), kinds().cend(),
                                    [&](const Kind& kind) { return kind.name == kindText; });
    const QString kind = QString::fromUtf8(kindText);
    if (known == kinds().cend())
        return QStringLiteral("unknown event \"%1\"").arg(kind);
    qsizetype present = 0;
    for (const Field& field : known->fields) {
        const Value& value = event[field.name];
        if (value.kind == Value::Kind::Missing && field.optional)
            continue;
        if (!hasType(value, field.type))
            return QStringLiteral("%1 of a %2 event is missing or not of its type")
                .arg(QString::fromLatin1(field.name), kind);
        ++present;
    }
    if (present != event.fields.size())
        return QStringLiteral("a %1 event with fields the program never writes").arg(kind);

    // Every event but a recovery (of bytes a stop left anywhere) and a segment
    // line (written at a start, before its start line) belongs to a run.
    const bool starts = kindText == "start";
    const bool segment = kindText == "segment";
    if (!starts && !segment && kindText != "recovered" && !m_inRun)
        return m_started ? QStringLiteral("%1 after the end of a run").arg(kind)
                         : QStringLiteral("the journal does not begin with a start");
    m_started = m_started || starts;
    m_inRun = (m_inRun || starts) && kindText != "end" && !segment;
    const QByteArrayView timeText = event["time"].text;
    const std::optional<qint64> time = instantOf(timeText);
    if (!time)
        return QStringLiteral("time of a %1 event is missing or not of its type").arg(kind);
    if (!starts && m_lastTime && *time < *m_lastTime)
        return QStringLiteral("time earlier than the line before");
    m_lastTime = time;
    m_lastTimeText.resize(timeText.size());
    std::copy(timeText.begin(), timeText.end(), m_lastTimeText.begin());

    const bool inRange = [&] {
        if (!event.contains("from"))
            return true;
        const int from = event.integer("from");
        const int to = event.integer("to");
        return from <= to && to <= 999 &&
               (!event.contains("number") ||
                (from <= event.integer("number") && event.integer("number") <= to));
    }();
    if (!inRange)
        return QStringLiteral("a %1 outside 0..999 or its range").arg(kind);
    const QList<Draw>& series = m_result.series;
    if (kindText == "draw") {
        if (event.integer("ordinal") != series.size() + 1)
            return QStringLiteral("draw %1 where %2 was next")
                .arg(event.integer("ordinal"))
                .arg(series.size() + 1);
        const int number = event.integer("number");
        if (std::any_of(series.cbegin(), series.cend(),
                        [&](const Draw& draw) { return draw.number == number; }))
            return QStringLiteral("%1 drawn again in its series").arg(number);
    } else if (kindText == "void" || kindText == "reveal") {
        if (series.isEmpty() || event.integer("ordinal") != series.last().ordinal ||
            event.integer("number") != series.last().number)
            return QStringLiteral("a %1 of no draw of the series").arg(kind);
        if (m_revealed)
            return QStringLiteral("a %1 of a draw already revealed").arg(kind);
    } else if (kindText == "adopt") {
        if (event.contains("was") && numbersOf(event["was"]) != seriesNumbers(series))
            return QStringLiteral("an adoption of a series the journal does not hold");
        // No check of the numbers beyond their 16 bits: the settings file's series
        // is taken over as it stands, and a hand edit may repeat a number or hold
        // one outside the range (a missing key reads as 0).
    } else if (segment) {
        const Value& unrevealed = event["unrevealed"];
        const Value& untold = event["untold"];
        const bool ranged = event.contains("from");
        const bool sameRange =
            ranged == m_result.range.has_value() &&
            (!ranged || *m_result.range == std::pair(event.integer("from"), event.integer("to")));
        if (unrevealed.integer > 1 || untold.integer > 1 ||
            event.contains("from") != event.contains("to"))
            return QStringLiteral("a segment line the program never writes");
        if (numbersOf(event["series"]) != seriesNumbers(series) ||
            (unrevealed.integer == 1) != (!m_revealed && !series.isEmpty()) ||
            (untold.integer == 1) != m_result.adoptionUntold || !sameRange)
            return QStringLiteral("a segment line whose state is not the journal's before it");
    } else if (kindText == "clear" && event.integer("cleared") != series.size()) {
        return QStringLiteral("a clear of %1 draws where the series holds %2")
            .arg(event.integer("cleared"))
            .arg(series.size());
    } else if (kindText == "range" && Series::parseRange(QString::fromUtf8(event["stored"].text)) !=
                                          std::pair(std::int16_t(event.integer("from")),
                                                    std::int16_t(event.integer("to")))) {
        return QStringLiteral("a range whose stored text says another range");
    }
    return {};
}

void Reader::seed(const Event& event)
{
    const Value& seq = event["seq"];
    m_result.seq = seq.kind == Value::Kind::Integer ? seq.integer - 1 : 0;
    m_previous = event["prev"].textOrEmpty().toByteArray();
    m_started = true;
    const QList<std::int16_t> numbers = numbersOf(event["series"]);
    for (const std::int16_t number : numbers.first(std::min(MaxSeries, numbers.size())))
        m_result.series.append({int(m_result.series.size() + 1), number, QString()});
    m_revealed = event["unrevealed"].integer != 1;
    m_result.adoptionUntold = event["untold"].integer == 1;
    if (event.contains("from") && event.contains("to"))
        m_result.range = std::pair(event.integer("from"), event.integer("to"));
}

void Reader::apply(const Event& event)
{
    const QByteArrayView kind = event["event"].textOrEmpty();
    QList<Draw>& series = m_result.series;
    if (kind == "draw") {
        if (series.size() < MaxSeries)
            series.append({event.integer("ordinal"), std::int16_t(event.integer("number")),
                           QString::fromUtf8(event["time"].textOrEmpty())});
        m_revealed = false;
        m_result.lastCleared.reset();
    } else if (kind == "void") {
        if (!series.isEmpty() && series.last().ordinal == event.integer("ordinal"))
            series.removeLast();
        m_revealed = true;
        m_result.lastCleared.reset();
    } else if (kind == "reveal" || kind == "end") {
        m_revealed = true;
    } else if (kind == "clear") {
        m_result.lastCleared = series;
        series.clear();
        m_revealed = true;
    } else if (kind == "range") {
        m_result.range = std::pair(event.integer("from"), event.integer("to"));
    } else if (kind == "warning") {
        m_result.adoptionUntold = false;
    } else if (kind == "adopt") {
        m_result.adoptionUntold = true;
        const QList<std::int16_t> adopted =
            numbersOf(event["series"]).first(std::min(MaxSeries, event["series"].items.size()));
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
    Reader reader(wantedHead, true);
    if (!stream(fd, [&](QByteArrayView bytes) { reader.feed(bytes); }))
        return std::nullopt;
    return reader.finish();
}

std::optional<Result> readFile(const QString& journalPath, const QByteArray& wantedHead)
{
    const QStringList closed = closedSegments(journalPath);
    const QString folder = QFileInfo(journalPath).path();
    Reader reader(wantedHead);
    for (const QString& name : closed + QStringList{journalPath}) {
        const QString path = name == journalPath ? name : QDir(folder).filePath(name);
        const int fd = AtomicFile::openForReading(path);
        if (fd < 0)
            return std::nullopt;
        if (!closed.isEmpty())
            reader.beginFile(QFileInfo(path).fileName());
        const bool read = stream(fd, [&](QByteArrayView bytes) { reader.feed(bytes); });
        AtomicFile::closeDescriptor(fd);
        if (!read)
            return std::nullopt;
    }
    return reader.finish();
}

QStringList closedSegments(const QString& journalPath)
{
    const QFileInfo journal(journalPath);
    if (journal.fileName() != Const::JournalFileName)
        return {};
    // "Rindell-", ten digits, ".log", checked by hand: a name filter or a pattern
    // compiles a regular expression at every start.
    const auto isClosedSegment = [](QStringView name) {
        constexpr QStringView prefix = u"Rindell-", suffix = u".log";
        constexpr qsizetype digits = 10;
        if (name.size() != prefix.size() + digits + suffix.size() || !name.startsWith(prefix) ||
            !name.endsWith(suffix))
            return false;
        const QStringView number = name.sliced(prefix.size(), digits);
        return std::all_of(number.begin(), number.end(),
                           [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    QStringList names = journal.dir().entryList(
        QDir::Files | QDir::NoSymLinks | QDir::Hidden | QDir::System, QDir::Name);
    names.removeIf([&](const QString& name) { return !isClosedSegment(name); });
    return names;
}

QString closedSegmentName(qint64 lastSeq)
{
    return QStringLiteral("Rindell-%1.log").arg(lastSeq, 10, 10, QLatin1Char('0'));
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
        QString lines =
            QStringLiteral("OK: head %1 is line %2 of a whole chain of %3 events; "
                           "%4 draws in the series at that line")
                .arg(QLatin1String(wantedHead))
                .arg(result.headFile.isEmpty()
                         ? QString::number(result.headLine)
                         : QStringLiteral("%1 of %2").arg(result.headLine).arg(result.headFile))
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
