#include "journal/replay.h"

#include "common/const.h"
#include "journal/journal.h"
#include "main_window/storedseries.h"
#include "settings/atomicfile.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString at(qsizetype line, const QString& reason)
{
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

// The events that change the series.
void apply(const QJsonObject& event, QList<Replay::Draw>& series)
{
    const QString kind = event.value(QLatin1String("event")).toString();
    if (kind == QLatin1String("draw")) {
        series.append({event.value(QLatin1String("ordinal")).toInt(),
                       std::int16_t(event.value(QLatin1String("number")).toInt()),
                       event.value(QLatin1String("time")).toString()});
    } else if (kind == QLatin1String("void")) {
        if (!series.isEmpty() &&
            series.last().ordinal == event.value(QLatin1String("ordinal")).toInt())
            series.removeLast();
    } else if (kind == QLatin1String("clear")) {
        series.clear();
    } else if (kind == QLatin1String("adopt")) {
        series.clear();
        int ordinal = 0;
        for (const QJsonValue& number : event.value(QLatin1String("series")).toArray())
            series.append({++ordinal, std::int16_t(number.toInt()), QString()});
    }
}

} // namespace

namespace Replay {

Result Read(const QByteArray& content)
{
    Result result;
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line end of the last line
    QByteArray previous = Journal::zeroHash();
    qint64 expectedSeq = 1;
    qsizetype tornAt = 0; // a torn line waiting for its recovery
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype number = i + 1;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(lines[i], &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            if (tornAt != 0) {
                result.broken = at(number, QStringLiteral("not a JSON object"));
                return result;
            }
            tornAt = number;
            continue;
        }
        const QJsonObject event = document.object();
        const QString kind = event.value(QLatin1String("event")).toString();
        if (tornAt != 0 && (kind != QLatin1String("recovered") ||
                            event.value(QLatin1String("torn_line")).toInteger() != tornAt)) {
            result.broken = at(tornAt, QStringLiteral("not a JSON object"));
            return result;
        }
        if (event.value(QLatin1String("seq")).toInteger(-1) != expectedSeq) {
            result.broken = at(number, QStringLiteral("seq %1 where %2 was expected")
                                           .arg(event.value(QLatin1String("seq")).toInteger(-1))
                                           .arg(expectedSeq));
            return result;
        }
        if (event.value(QLatin1String("prev")).toString().toLatin1() != previous) {
            result.broken = at(number, QStringLiteral("prev is not the SHA-256 of line %1")
                                           .arg(tornAt != 0 ? tornAt - 1 : number - 1));
            return result;
        }
        if (tornAt != 0)
            result.recoveredTorn.append(int(tornAt));
        tornAt = 0;
        apply(event, result.series);
        previous = Journal::hash(lines[i]);
        ++expectedSeq;
        ++result.events;
    }
    if (tornAt != 0) {
        result.broken = at(tornAt, QStringLiteral("the last line is incomplete"));
        return result;
    }
    result.head = QString::fromLatin1(previous);
    return result;
}

QList<Draw> CurrentSeries(const QByteArray& content)
{
    // Lines are compact JSON with sorted keys: an event's kind can be spotted
    // without parsing the line.
    const auto is = [](QByteArrayView line, const char* kind) {
        return line.contains(QByteArray("\"event\":\"") + kind + '"');
    };
    QList<QJsonObject> events;
    qsizetype end = content.size();
    while (end > 0) {
        const qsizetype start = content.lastIndexOf('\n', end - 1) + 1;
        const QByteArrayView line = QByteArrayView(content).sliced(start, end - start);
        end = start - 1;
        if (is(line, "draw") || is(line, "void") || is(line, "clear") || is(line, "adopt")) {
            events.prepend(QJsonDocument::fromJson(line.toByteArray()).object());
            if (is(line, "clear") || is(line, "adopt"))
                break;
        }
    }
    QList<Draw> series;
    for (const QJsonObject& event : events)
        apply(event, series);
    return series;
}

QList<std::int16_t> SettingsSeries(const QString& iniPath)
{
    return Series::ReadSeries(Common::ReadIniSection(Const::SectionResult, iniPath)).results.mid(1);
}

QString CompareWithSettings(const QList<Draw>& journal, const QList<std::int16_t>& settings)
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

std::optional<Result> ReadFile(const QString& journalPath)
{
    if (!QFileInfo::exists(journalPath))
        return std::nullopt;
    const std::optional<QByteArray> content = AtomicFile::read(journalPath, Journal::MaxSize);
    if (!content)
        return std::nullopt;
    return Read(*content);
}

std::pair<QString, int> Verify(const QString& journalPath)
{
    const std::optional<Result> read = ReadFile(journalPath);
    if (!read)
        return {QStringLiteral("BROKEN: %1 cannot be read").arg(journalPath), 1};
    const Result& result = *read;
    if (!result.broken.isEmpty())
        return {QStringLiteral("BROKEN: ") + result.broken, 1};
    const QString ini = QFileInfo(journalPath).dir().filePath(Const::IniFileName);
    const QString differs = CompareWithSettings(result.series, SettingsSeries(ini));
    if (!differs.isEmpty())
        return {QStringLiteral("BROKEN: ") + differs, 1};
    QString line = QStringLiteral("OK: %1 events, %2 draws in the current series, head %3")
                       .arg(result.events)
                       .arg(result.series.size())
                       .arg(result.head);
    for (const int torn : result.recoveredTorn)
        line += QStringLiteral(" (line %1 was cut short by a stop and recovered)").arg(torn);
    return {line, 0};
}

} // namespace Replay
