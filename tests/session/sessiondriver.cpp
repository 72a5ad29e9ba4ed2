// Makes changes through a session on the Rindell.ini beside it, as the window
// does: each argument a change ("draw", "clear"), each refusal noted in the
// journal as the window's warning is. Prints what each change did. The tests run
// it under strace, failing the journal's writes and flushes.
#include "session/drawsession.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    DrawSession session;
    session.start();
    for (const QString& change : QCoreApplication::arguments().mid(1)) {
        const bool journalUsable = session.isJournalUsable();
        bool done = false;
        if (change == QLatin1String("draw")) {
            const auto drawn = session.draw();
            done = std::holds_alternative<DrawSession::Draw>(drawn);
            if (done)
                session.reveal(std::get<DrawSession::Draw>(drawn));
        } else if (change == QLatin1String("clear")) {
            done = journalUsable && session.clear();
        }
        const char* outcome = done ? "done" : journalUsable ? "refused" : "refused, journal";
        if (!done)
            session.noteWarning(QString::fromLatin1(outcome), QStringLiteral("Rindell"));
        std::printf("%s\n", outcome);
        std::fflush(stdout);
    }
    return 0;
}
