#pragma once

#include <mutex>

namespace QVRProjects {

// The one model lock of the process. Board events are delivered inside it, and
// every thread that touches boards, the object tree or the window models holds
// it while doing so. Recursive: an event handler may raise further events.
std::recursive_mutex& EventLock();

using EventLockGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace QVRProjects
