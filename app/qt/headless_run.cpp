#include "app/qt/headless_run.h"

#include <signal.h>

#include <atomic>
#include <chrono>

#include "app/main_window.h"
#include "app/qt/headless_ui.h"
#include "app/qt/memo_follower.h"
#include "boards/event_lock.h"
#include "platform/dispatcher.h"

namespace app::qt {

namespace {

std::atomic<bool> closeSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnCloseSignal(int) { closeSignalled = true; }

// Debug page lines and the connection label, as they change.
class ConsoleEcho {
public:
    explicit ConsoleEcho(std::ostream& out) : out_(out) {}

    void Update(const WindowState& state) {
        if (auto change = memo_.Take(state.memo))
            for (const auto& line : change->lines) out_ << line << '\n';
        if (state.connectLabel != label_) {
            label_ = state.connectLabel;
            out_ << "[" << label_ << "]\n";
        }
        out_.flush();
    }

private:
    std::ostream& out_;
    MemoFollower memo_;
    std::string label_;
};

}  // namespace

void InstallCloseSignals() {
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void RunHeadless(MainWindow& window, HeadlessUserInterface& ui, platform::MainThreadDispatcher& dispatcher,
                 std::ostream& out) {
    using Clock = std::chrono::steady_clock;
    ConsoleEcho echo(out);
    auto echoAndInterval = [&] {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        echo.Update(window.State());
        return window.State().timerRunning ? std::chrono::milliseconds(window.State().timerIntervalMs)
                                           : std::chrono::milliseconds::max();
    };
    auto nextTick = Clock::now() + echoAndInterval();
    while (!ui.QuitRequested()) {
        const auto now = Clock::now();
        const auto wait = nextTick > now ? std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - now)
                                         : std::chrono::milliseconds(0);
        dispatcher.RunUntil([&] { return ui.QuitRequested() || closeSignalled || Clock::now() >= nextTick; },
                            std::min(wait, std::chrono::milliseconds(1000)));
        if (closeSignalled.exchange(false)) {
            ui.SetClosingBySignal(true);
            window.FormClose();
            ui.SetClosingBySignal(false);
        }
        if (Clock::now() >= nextTick) {
            window.Timer1Timer();
            const auto next = echoAndInterval();
            if (next == std::chrono::milliseconds::max())
                nextTick = Clock::time_point::max();
            else
                nextTick = std::max(nextTick + next, Clock::now());
        } else {
            echoAndInterval();  // echo what arrived from the server or the ports
        }
    }
    // The last lines of the closing path.
    echoAndInterval();
}

}  // namespace app::qt
