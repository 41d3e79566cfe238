#include "boards/event_lock.h"

namespace QVRProjects {

std::recursive_mutex& EventLock() {
    // Lives as long as the process, so a late event or a timer tick during
    // shutdown never meets a destroyed lock.
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace QVRProjects
