#pragma once

class QIcon;
class QTranslator;

// Names, version, style, icon and Qt's Japanese texts, before the first window.
void prepareApplication();

// The program's own icon, in the sizes a window's frame and task bar use.
QIcon windowIcon();

// Installs Qt's own Japanese texts (Yes/No/OK, a text box's context menu): from
// the translations folder beside the program, where the install puts them, else
// from Qt's own folder. The translator belongs to the application; nothing when
// neither folder has it (the message boxes then name their buttons themselves).
QTranslator* installQtTranslation();
