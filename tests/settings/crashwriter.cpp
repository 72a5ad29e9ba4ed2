// Records draws into the settings file named on the command line, as the program
// does, and reports each write once it has completed. Killed at random by tests.
#include "settings/settings.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString file = QCoreApplication::arguments().value(1);
    for (int ordinal = 1; ordinal <= 1000; ++ordinal) {
        if (!Common::WriteIniString(QStringLiteral("Result"), QString::number(ordinal),
                                    QString::number(ordinal * 7 % 1000), file))
            return 1;
        std::printf("%d\n", ordinal);
        std::fflush(stdout);
    }
    return 0;
}
