#include "session/drawsession.h"

#include "common/const.h"
#include "journal/replay.h"
#include "series/selection.h"
#include "series/series.h"
#include "series/storedseries.h"
#include "settings/settings.h"

#include <QJsonArray>

namespace {

QJsonArray jsonArray(const QList<std::int16_t>& numbers)
{
    QJsonArray array;
    for (const std::int16_t number : numbers)
        array.append(number);
    return array;
}

} // namespace

DrawSession::DrawSession(const QString& settingsFile, QObject* parent)
    : QObject(parent),
      m_settingsFile(settingsFile.isEmpty() ? Common::GetIniFilePath() : settingsFile)
{
}

DrawSession::~DrawSession()
{
    // A stopped session writes no end: a draw it could not settle stays open for
    // the next start, which declares it void.
    if (m_journal && !m_stopped)
        m_journal->append(QStringLiteral("end"));
}

QString DrawSession::journalPath() const
{
    return Common::journalPathFor(m_settingsFile);
}

QString DrawSession::journalHead() const
{
    return m_journal ? m_journal->head() : QString();
}

DrawSession::StartReport DrawSession::start()
{
    StartReport report;
    // The lock first: nothing is read that another instance may be changing.
    InstanceLock::State lock = InstanceLock::State::Unavailable;
    m_lock = InstanceLock::take(m_settingsFile, &lock);
    if (lock == InstanceLock::State::HeldByAnother) {
        report.journal = JournalState::HeldByAnother;
        return report;
    }

    // One read answers all three questions.
    const Common::IniSnapshot settings(m_settingsFile);
    RangeFrom = -1;
    RangeTo = -1;
    const QString range = settings.ReadIniString(Const::SectionCondition, Const::KeyRange, {});
    if (const auto bounds = Series::parseRange(range)) {
        RangeFrom = bounds->first;
        RangeTo = bounds->second;
    }
    loadSeries(settings.ReadIniSection(Const::SectionResult));
    // A file that cannot be used read as empty above, and is never written in
    // this run, even once it can be read: nothing is changed that was not read.
    report.settingsUsable = settings.isUsable();
    if (report.settingsUsable)
        m_storedRange = range;

    Replay::Result found;
    if (m_lock)
        m_journal = Journal::open(journalPath(), &found);
    if (!m_journal) {
        report.journal = JournalState::Unavailable;
        return report;
    }
    record(QStringLiteral("start"),
           {{QStringLiteral("version"), QStringLiteral(RINDELL_VERSION)},
            {QStringLiteral("executable_sha256"), QString::fromLatin1(Journal::programHash())}});
    if (!found.broken.isEmpty() && !found.wholeButTail)
        report.journal = JournalState::Broken;
    // An unusable settings file reads as empty: nothing to square the journal with.
    if (!report.settingsUsable) {
        if (m_stopped)
            report.journal = JournalState::Unavailable;
        return report;
    }
    // A range the file holds that the journal does not (set by hand, or its line
    // lost with a failed write) is recorded as it stands.
    if (!m_stopped && Series::isRangeValid(RangeFrom, RangeTo) &&
        found.range != std::pair(int(RangeFrom), int(RangeTo)))
        record(QStringLiteral("range"), {{QStringLiteral("from"), RangeFrom},
                                         {QStringLiteral("to"), RangeTo},
                                         {QStringLiteral("stored"), range}});
    // A failed write above has squared the series with what the journal holds now.
    if (!m_stopped)
        report.adopted = squareSeries(found) || found.adoptionUntold;
    if (m_stopped)
        report.journal = JournalState::Unavailable;
    if (found.revealPending && Replay::compareWithSettings(found.series, Results.mid(1)).isEmpty())
        // A draw recorded in both but never brought to rest before a stop: the
        // show goes on where it was, on the recorded number.
        report.unrevealed = Draw{found.series.last().ordinal, found.series.last().number};
    return report;
}

void DrawSession::loadSeries(const std::optional<QStringList>& entries)
{
    const Series::StoredSeries stored = Series::readSeries(entries);
    Results = stored.results;
    DrawnFlags.clear();
    if (RangeTo >= 0)
        DrawnFlags = QList<bool>(RangeTo + 1, false);
    Series::flagNumbers(stored.stored, DrawnFlags);
    // A missing ordinal shows as 0 in the series, so 0 counts as drawn too.
    Series::flagNumbers(Results.mid(1), DrawnFlags);
}

bool DrawSession::squareSeries(const Replay::Result& found)
{
    const QList<std::int16_t> stored = Results.mid(1);
    if (Replay::compareWithSettings(found.series, stored).isEmpty())
        return false;
    // A draw journaled whose settings line never landed (a stop, or a failed
    // write the operator was told of) was never shown: it is void.
    if (found.revealPending &&
        Replay::compareWithSettings(found.series.first(found.series.size() - 1), stored)
            .isEmpty()) {
        record(QStringLiteral("void"),
               {{QStringLiteral("ordinal"), found.series.last().ordinal},
                {QStringLiteral("number"), found.series.last().number},
                {QStringLiteral("reason"), QStringLiteral("not in the settings file")}});
        return false;
    }
    // Any other difference is taken over as it stands, and the journal records
    // both series: a hand edit, draws from before the journal or from before a
    // journal that went missing, and a clear the settings file never took (a stop
    // cut it short, or the operator was told it failed): the series stands until
    // the operator clears it again.
    record(QStringLiteral("adopt"),
           {{QStringLiteral("series"), jsonArray(stored)},
            {QStringLiteral("was"), jsonArray(Replay::seriesNumbers(found.series))}});
    return true;
}

bool DrawSession::record(const QString& event, const QJsonObject& fields)
{
    if (!m_journal)
        return false;
    if (m_journal->append(event, fields))
        return true;
    if (!m_stopped) {
        // The line may or may not have reached the disk. Squared here as the next
        // start would square it, with the series as the operator was told it
        // stands; that start squares it again if this fails too.
        m_stopped = true;
        if (const std::optional<Replay::Result> found = m_journal->reread())
            squareSeries(*found);
    }
    return false;
}

bool DrawSession::isJournalUsable()
{
    if (m_journal && !m_stopped && !m_journal->isStillNamed())
        m_stopped = true; // renamed, removed or linked away while the program ran
    return m_journal && !m_stopped;
}

bool DrawSession::isAsLeft(const Common::IniSnapshot& settings) const
{
    return m_storedRange && settings.isUsable() &&
           settings.ReadIniString(Const::SectionCondition, Const::KeyRange, {}) == *m_storedRange &&
           Series::readSeries(settings.ReadIniSection(Const::SectionResult)).results == Results;
}

std::variant<DrawSession::Draw, DrawSession::Refusal> DrawSession::draw()
{
    if (!Series::isRangeValid(RangeFrom, RangeTo))
        return Refusal::NoRange;
    if (!isJournalUsable())
        return Refusal::NotJournaled;
    const Common::IniSnapshot settings(m_settingsFile);
    if (!isAsLeft(settings))
        return Refusal::NotSaved;
    // A whole read of the file, not only what the Windows reading rules show:
    // every number recorded anywhere counts as drawn, and no recorded line is
    // ever written over.
    const auto entries = settings.readWholeSection(Const::SectionResult);
    if (!entries)
        return Refusal::NotSaved;
    const Series::RecordedSeries recorded = Series::readRecorded(*entries);
    QList<bool> flags = DrawnFlags;
    Series::flagNumbers(recorded.numbers, flags);
    // Counting the unflagged numbers keeps a hand-edited series (repeated keys,
    // key 0) from ever yielding a number twice.
    const std::optional<std::int16_t> drawn =
        Series::drawUndrawn(flags, RangeFrom, RangeTo, m_random);
    if (drawCount() >= RangeTo - RangeFrom + 1 || !drawn)
        return Refusal::Exhausted;
    const qsizetype ordinal = Results.size();
    if (Series::isOrdinalTaken(recorded, ordinal))
        return Refusal::NotSaved;

    // In the journal and then in the settings file: a number that is not durable
    // in both is never returned, and the next draw takes the same ordinal. A
    // journaled draw whose settings line failed is declared void in the journal.
    const QJsonObject line{{QStringLiteral("ordinal"), double(ordinal)},
                           {QStringLiteral("number"), *drawn},
                           {QStringLiteral("from"), RangeFrom},
                           {QStringLiteral("to"), RangeTo}};
    if (!record(QStringLiteral("draw"), line))
        return Refusal::NotSaved;
    // Added, never written over: a line that appeared since the read above stays.
    if (!Common::addIniString(Const::SectionResult, QString::number(ordinal),
                              QString::number(*drawn), m_settingsFile)) {
        record(QStringLiteral("void"),
               {{QStringLiteral("ordinal"), double(ordinal)},
                {QStringLiteral("number"), *drawn},
                {QStringLiteral("reason"), QStringLiteral("settings file not written")}});
        return Refusal::NotSaved;
    }
    Results.append(*drawn);
    DrawnFlags[*drawn] = true;
    Q_EMIT resultsChanged();
    return Draw{ordinal, *drawn};
}

void DrawSession::reveal(const Draw& draw)
{
    // Unless the series was cleared while the reels turned.
    if (drawCount() == draw.ordinal && Results.last() == draw.number)
        record(QStringLiteral("reveal"), {{QStringLiteral("ordinal"), double(draw.ordinal)},
                                          {QStringLiteral("number"), draw.number}});
}

bool DrawSession::clear()
{
    if (!isJournalUsable() || !isAsLeft(Common::IniSnapshot(m_settingsFile)))
        return false;
    // The journal says so first: a stop before the settings file is written
    // leaves a clear that the next start takes back, never a false record.
    if (!record(QStringLiteral("clear"), {{QStringLiteral("cleared"), double(drawCount())}}))
        return false;
    if (!Common::DeleteIniSection(Const::SectionResult, m_settingsFile)) {
        // The series stands: the journal takes it back, or it would count the
        // next draw from an empty series.
        record(QStringLiteral("adopt"), {{QStringLiteral("series"), jsonArray(Results.mid(1))},
                                         {QStringLiteral("was"), QJsonArray()}});
        return false;
    }
    Results = {0};
    if (RangeTo >= 0)
        DrawnFlags = QList<bool>(RangeTo + 1, false);
    Q_EMIT resultsChanged();
    return true;
}

RangeDecision::Outcome DrawSession::decideRange(const QString& fromText,
                                                const QString& toText) const
{
    return RangeDecision::decide(fromText, toText, RangeFrom, RangeTo);
}

bool DrawSession::setRange(const QString& fromText, const QString& toText)
{
    if (!isJournalUsable())
        return false;
    const int from = fromText.toInt();
    const int to = toText.toInt();
    RangeFrom = static_cast<std::int16_t>(from);
    RangeTo = static_cast<std::int16_t>(to);
    if (RangeTo >= 0)
        DrawnFlags.resize(RangeTo + 1, false);
    const QString stored = fromText + u',' + toText;
    const bool saved =
        isAsLeft(Common::IniSnapshot(m_settingsFile)) &&
        Common::WriteIniString(Const::SectionCondition, Const::KeyRange, stored, m_settingsFile);
    if (saved) {
        m_storedRange = stored;
        record(QStringLiteral("range"), {{QStringLiteral("from"), from},
                                         {QStringLiteral("to"), to},
                                         {QStringLiteral("stored"), stored}});
    }
    Q_EMIT rangeChanged();
    return saved;
}

void DrawSession::noteWarning(const QString& message, const QString& title)
{
    record(QStringLiteral("warning"),
           {{QStringLiteral("message"), message}, {QStringLiteral("title"), title}});
}
