#pragma once

#include "journal/journal.h"
#include "series/randomsource.h"
#include "session/rangedecision.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

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
        NoRange,   // the range is not set or not valid
        Exhausted, // every number of the range has been drawn
        NotSaved,  // the draw could not be recorded
    };
    enum class JournalState { Open, Unavailable, Broken, HeldByAnother };
    // What a start found that the operator must hear of.
    struct StartReport
    {
        bool settingsUsable = true;
        JournalState journal = JournalState::Open;
        // The settings file's series differed from the journal's and was taken over.
        bool adopted = false;
        // A draw recorded, but stopped before the audience saw it: the show goes on.
        std::optional<Draw> unrevealed;
    };

    // The session of the settings file `settingsFile` (empty: Rindell.ini beside
    // the program) and of its journal. Nothing is read before start().
    explicit DrawSession(const QString& settingsFile = QString(), QObject* parent = nullptr);
    // Notes the end of the run in the journal.
    ~DrawSession() override;

    // Reads the range and the series, then opens and locks the journal, notes the
    // start and squares the two files. Without the journal no draw is made; held
    // by another instance, the session holds nothing of it.
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
    // when it could not be stored (the session keeps it all the same).
    bool setRange(const QString& fromText, const QString& toText);
    // Every warning the operator is shown goes into the journal.
    void noteWarning(const QString& message, const QString& title);

  Q_SIGNALS:
    void rangeChanged();
    void resultsChanged();

  private:
    void loadSeries(const std::optional<QStringList>& entries);
    void reconcile(const Replay::Result& found, StartReport& report);

    QString m_settingsFile;
    std::unique_ptr<Journal> m_journal;
    RandomSource m_random;
    // The inclusive drawing range; -1 / -1 while nothing has been read.
    std::int16_t RangeFrom = -1;
    std::int16_t RangeTo = -1;
    QList<std::int16_t> Results{0};
    QList<bool> DrawnFlags;
};
