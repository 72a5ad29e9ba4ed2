#include "main_window/singleinstance.h"

#include "session/instancelock.h"
#include "settings/settings.h"

namespace SingleInstance {

bool anotherIsRunning()
{
    // A lock that cannot be taken at all is no other instance: the window then
    // starts and refuses every change, since none can be recorded.
    static const bool another = InstanceLock::isHeldByAnother(Common::GetIniFilePath());
    return another;
}

} // namespace SingleInstance
