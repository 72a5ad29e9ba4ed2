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
    if (m_journal)
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
    // A file that cannot be used read as empty above and is never written over.
    report.settingsUsable = settings.isUsable();

    Replay::Result found;
    bool heldByAnother = false;
    m_journal = Journal::open(journalPath(), &found, &heldByAnother);
    if (!m_journal) {
        report.journal = heldByAnother ? JournalState::HeldByAnother : JournalState::Unavailable;
        return report;
    }
    m_journal->append(
        QStringLiteral("start"),
        {{QStringLiteral("version"), QStringLiteral(RINDELL_VERSION)},
         {QStringLiteral("executable_sha256"), QString::fromLatin1(Journal::programHash())}});
    if (!found.broken.isEmpty() && !found.wholeButTail)
        report.journal = JournalState::Broken;
    // An unusable settings file reads as empty: nothing to square the journal with.
    if (report.settingsUsable)
        reconcile(found, report);
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

void DrawSession::reconcile(const Replay::Result& found, StartReport& report)
{
    const QList<std::int16_t> stored = Results.mid(1);
    if (Replay::compareWithSettings(found.series, stored).isEmpty()) {
        // A draw recorded in both but never brought to rest before a stop: the
        // show goes on where it was, on the recorded number.
        if (found.revealPending)
            report.unrevealed = Draw{found.series.last().ordinal, found.series.last().number};
        return;
    }
    // A draw journaled just before a stop, whose settings line never landed, was
    // never shown: it is void.
    if (found.revealPending &&
        Replay::compareWithSettings(found.series.first(found.series.size() - 1), stored)
            .isEmpty()) {
        m_journal->append(QStringLiteral("void"),
                          {{QStringLiteral("ordinal"), found.series.last().ordinal},
                           {QStringLiteral("number"), found.series.last().number},
                           {QStringLiteral("reason"), QStringLiteral("not in the settings file")}});
        return;
    }
    // A clear that a stop cut short between its journal line and the settings
    // file: the operator confirmed it, so it is finished.
    if (found.series.isEmpty() && found.lastCleared &&
        Replay::compareWithSettings(*found.lastCleared, stored).isEmpty() &&
        Common::DeleteIniSection(Const::SectionResult, m_settingsFile)) {
        loadSeries(std::nullopt);
        return;
    }
    // Any other difference (a hand edit, draws from before the journal) is taken
    // over as it stands, and the journal records both series. A journal begun at
    // this start held nothing to differ from.
    m_journal->append(QStringLiteral("adopt"),
                      {{QStringLiteral("series"), jsonArray(stored)},
                       {QStringLiteral("was"), jsonArray(Replay::seriesNumbers(found.series))}});
    report.adopted = found.events > 0;
}

std::variant<DrawSession::Draw, DrawSession::Refusal> DrawSession::draw()
{
    if (!Series::isRangeValid(RangeFrom, RangeTo))
        return Refusal::NoRange;
    // A whole read of the file, not only what the Windows reading rules show:
    // every number recorded anywhere counts as drawn, and no recorded line is
    // ever written over.
    const auto entries = Common::readWholeIniSection(Const::SectionResult, m_settingsFile);
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
    const QJsonObject record{{QStringLiteral("ordinal"), double(ordinal)},
                             {QStringLiteral("number"), *drawn},
                             {QStringLiteral("from"), RangeFrom},
                             {QStringLiteral("to"), RangeTo}};
    if (!m_journal || !m_journal->append(QStringLiteral("draw"), record))
        return Refusal::NotSaved;
    // Added, never written over: a line that appeared since the read above stays.
    if (!Common::addIniString(Const::SectionResult, QString::number(ordinal),
                              QString::number(*drawn), m_settingsFile)) {
        m_journal->append(QStringLiteral("void"), {{QStringLiteral("ordinal"), double(ordinal)},
                                                   {QStringLiteral("number"), *drawn},
                                                   {QStringLiteral("reason"),
                                                    QStringLiteral("settings file not written")}});
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
    if (m_journal && drawCount() == draw.ordinal && Results.last() == draw.number)
        m_journal->append(QStringLiteral("reveal"),
                          {{QStringLiteral("ordinal"), double(draw.ordinal)},
                           {QStringLiteral("number"), draw.number}});
}

bool DrawSession::clear()
{
    // The journal says so first: a stop before the settings file is written
    // leaves a clear that the next start finishes, never a false record.
    const bool journaled =
        !m_journal || m_journal->append(QStringLiteral("clear"),
                                        {{QStringLiteral("cleared"), double(drawCount())}});
    const bool deleted =
        journaled && Common::DeleteIniSection(Const::SectionResult, m_settingsFile);
    if (!deleted) {
        // The series stands: the journal takes it back, or it would count the
        // next draw from an empty series.
        if (m_journal && journaled)
            m_journal->append(QStringLiteral("adopt"),
                              {{QStringLiteral("series"), jsonArray(Results.mid(1))},
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
    const int from = fromText.toInt();
    const int to = toText.toInt();
    RangeFrom = static_cast<std::int16_t>(from);
    RangeTo = static_cast<std::int16_t>(to);
    if (RangeTo >= 0)
        DrawnFlags.resize(RangeTo + 1, false);
    const QString stored = fromText + u',' + toText;
    const bool saved =
        Common::WriteIniString(Const::SectionCondition, Const::KeyRange, stored, m_settingsFile);
    if (saved && m_journal)
        m_journal->append(QStringLiteral("range"), {{QStringLiteral("from"), from},
                                                    {QStringLiteral("to"), to},
                                                    {QStringLiteral("stored"), stored}});
    Q_EMIT rangeChanged();
    return saved;
}

void DrawSession::noteWarning(const QString& message, const QString& title)
{
    if (m_journal)
        m_journal->append(QStringLiteral("warning"),
                          {{QStringLiteral("message"), message}, {QStringLiteral("title"), title}});
}
