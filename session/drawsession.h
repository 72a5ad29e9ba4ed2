#pragma once

#include "journal/journal.h"
#include "series/randomsource.h"
#include "session/instancelock.h"
#include "session/rangedecision.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

namespace Common {
class IniSnapshot;
}

// One drawing series and every rule that changes it: the range, the draws, the
// record of both in the settings file and the journal. The windows show it and
// ask it; it decides. A number reaches the caller only once it is durable in
// both files.
class DrawSession : public QObject
{
    Q_OBJECT

  public:
    struct Draw
    {
        qsizetype ordinal = 0;
        std::int16_t number = 0;
        friend bool operator==(const Draw&, const Draw&) = default;
    };
    // Why a draw was refused; nothing changed.
    enum class Refusal {
        NoRange,      // the range is not set or not valid
        Exhausted,    // every number of the range has been drawn
        NotSaved,     // the draw could not be recorded, or the settings file is not as left
        NotJournaled, // the journal takes no change (see isJournalUsable)
    };
    enum class JournalState { Open, Unavailable, Broken, HeldByAnother };
    // What a start found that the operator must hear of.
    struct StartReport
    {
        bool settingsUsable = true;
        JournalState journal = JournalState::Open;
        // The settings file's series differed from the journal's and was taken
        // over, now or by a start whose warning a stop cut short.
        bool adopted = false;
        // A draw recorded, but stopped before the audience saw it: the show goes on.
        std::optional<Draw> unrevealed;
    };

    // The session of the settings file `settingsFile` (empty: Rindell.ini beside
    // the program) and of its journal. Nothing is read before start().
    explicit DrawSession(const QString& settingsFile = QString(), QObject* parent = nullptr);
    // Notes the end of the run in the journal.
    ~DrawSession() override;

    // Takes the instance lock, reads the range and the series, opens the journal,
    // notes the start and squares the two files. Held by another instance, the
    // session holds nothing; without the journal it makes no change.
    StartReport start();

    std::int16_t rangeFrom() const { return RangeFrom; }
    std::int16_t rangeTo() const { return RangeTo; }
    // Element 0 is a placeholder; elements 1.. are the drawn numbers in draw order.
    const QList<std::int16_t>& results() const { return Results; }
    qsizetype drawCount() const { return Results.size() - 1; }
    // Indexed by the number itself, 0..RangeTo; empty until RangeTo has been >= 0.
    const QList<bool>& drawnFlags() const { return DrawnFlags; }
    const QString& settingsFile() const { return m_settingsFile; }
    QString journalPath() const;
    // The hash of the journal's last line, what an operator announces; empty
    // without a journal.
    QString journalHead() const;

    // Whether the journal takes changes (a draw, a clear, a range): it was opened,
    // Rindell.log still names it, and no write of it has failed in this run. A
    // write that failed may or may not have reached the disk: the session then
    // squares what it may have left and changes nothing more until a restart.
    bool isJournalUsable();

    // Every change below finds the settings file as the session last left it
    // (its range text and its series), or is refused: a file that could not be
    // read at start, or that another program removed or rewrote, is never written.

    // START: chooses a number of the range not yet drawn, uniformly, and records
    // it in the journal and then in the settings file.
    std::variant<Draw, Refusal> draw();
    // The last STOP: the audience has seen the draw.
    void reveal(const Draw& draw);
    // Empties the series, in the journal first; false when the settings file kept
    // it, and then so does the session.
    bool clear();
    // What OK in the condition dialog decides for the two boxes' texts.
    RangeDecision::Outcome decideRange(const QString& fromText, const QString& toText) const;
    // Takes the range of the two boxes' texts and stores it as they read; false
    // when it could not be stored (the session keeps it all the same, unless the
    // journal refused it).
    bool setRange(const QString& fromText, const QString& toText);
    // Every warning the operator is shown goes into the journal.
    void noteWarning(const QString& message, const QString& title);

  Q_SIGNALS:
    void rangeChanged();
    void resultsChanged();

  private:
    void loadSeries(const std::optional<QStringList>& entries);
    // Squares the journal's series with the session's (the settings file's); true
    // when the operator must hear of it.
    bool squareSeries(const Replay::Result& found);
    // Appends an event; a failure stops every change and squares what it left.
    bool record(const QString& event, const QJsonObject& fields = {});
    // The settings file, read once, holds the range text and the series the
    // session last left there.
    bool isAsLeft(const Common::IniSnapshot& settings) const;

    QString m_settingsFile;
    std::unique_ptr<InstanceLock> m_lock;
    std::unique_ptr<Journal> m_journal;
    bool m_stopped = false; // a write of the journal failed, or it is no longer named
    // What the settings file held at start, as far as the session changed it since;
    // nothing when it could not be read.
    std::optional<QString> m_storedRange;
    RandomSource m_random;
    // The inclusive drawing range; -1 / -1 while nothing has been read.
    std::int16_t RangeFrom = -1;
    std::int16_t RangeTo = -1;
    QList<std::int16_t> Results{0};
    QList<bool> DrawnFlags;
};
