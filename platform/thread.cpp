#include "platform/thread.h"

#include <chrono>
#include <utility>

namespace platform {

Thread::Thread() = default;

Thread::Thread(std::function<void(Thread&)> body) : body_(std::move(body)) {}

Thread::~Thread() {
    TerminateAndWait();
    // Destroyed by its own body: nobody is left to join it.
    if (thread_.joinable()) thread_.detach();
}

void Thread::Execute() {
    if (body_) body_(*this);
}

void Thread::Run() {
    Execute();
    std::lock_guard lock(mutex_);
    finished_ = true;
}

void Thread::Resume() {
    std::lock_guard lock(mutex_);
    if (!started_) {
        if (terminated_) return;
        started_ = true;
        thread_ = std::thread([this] { Run(); });
    } else if (suspended_) {
        suspended_ = false;
        wake_.notify_all();
    } else if (!finished_) {
        resumePending_ = true;
    }
}

void Thread::Suspend() {
    std::unique_lock lock(mutex_);
    if (resumePending_) {
        resumePending_ = false;
        return;
    }
    suspended_ = true;
    wake_.wait(lock, [this] { return !suspended_ || terminated_; });
    suspended_ = false;
}

bool Thread::SleepFor(std::uint32_t ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return terminated_; });
}

void Thread::Terminate() {
    std::lock_guard lock(mutex_);
    terminated_ = true;
    wake_.notify_all();
}

void Thread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::TerminateAndWait() {
    Terminate();
    WaitFor();
}

bool Thread::Terminated() const {
    std::lock_guard lock(mutex_);
    return terminated_;
}

bool Thread::Suspended() const {
    std::lock_guard lock(mutex_);
    return !started_ || suspended_;
}

bool Thread::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

}  // namespace platform
