#include "application/application.h"
#include "command_line/commandline.h"
#include "main_window/frmrindell.h"
#include "settings/shiftjis.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The command-line options need no display: decided before any GUI is set up.
    if (isCommand(arguments)) {
        QCoreApplication app(argc, argv);
        // Windows hands argv over in the ANSI code page, which may lack a file
        // name's characters; Qt takes them from the UTF-16 command line.
        return runCommandLine(QCoreApplication::arguments().mid(1), stdout, stderr);
    }

    QApplication app(argc, argv);
    prepareApplication();
    if (!ShiftJis::isAvailable()) {
        // Without it every Japanese text in the settings file would be lost.
        QMessageBox::critical(
            nullptr, QStringLiteral("Rindell"),
            QStringLiteral(
                "Shift-JIS (コードページ 932) の文字変換が使えないため、起動できません。"));
        return 1;
    }
    frmRindell window;
    if (!window.isLoaded())
        return 0; // another instance runs: end without a window
    window.show();
    if (arguments.contains(QLatin1String("--audience")))
        window.openAudienceWhenPlaced();
    return app.exec();
}
