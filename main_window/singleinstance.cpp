#include "main_window/singleinstance.h"

#include "journal/journal.h"

namespace SingleInstance {

bool anotherIsRunning()
{
    // A journal that cannot be opened at all is no other instance: the window
    // then starts and refuses every draw, since none can be recorded.
    static const bool another = Journal::isHeldByAnother(Journal::defaultPath());
    return another;
}

} // namespace SingleInstance
