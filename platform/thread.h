#pragma once
// A thread that is created suspended and runs Execute() once resumed. It can
// suspend itself and be resumed from outside; it ends only on request
// (Terminate sets a flag and wakes it) and is joined with WaitFor. Nothing
// is ever killed.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class Thread {
public:
    // Suspended; the body runs from the first Resume on. Derived classes
    // override Execute instead of passing a body.
    Thread();
    explicit Thread(std::function<void(Thread&)> body);
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Terminates and joins. A derived class whose Execute uses its own
    // members must call TerminateAndWait() in its own destructor.
    virtual ~Thread();

    // Starts the thread the first time; afterwards wakes it from Suspend.
    // A Resume that comes while the thread is running makes its next
    // Suspend return at once, so no wake-up is lost.
    void Resume();
    // Asks the thread to end: sets Terminated and wakes Suspend and SleepFor.
    void Terminate();
    // Joins the thread (returns at once when it never started).
    void WaitFor();
    void TerminateAndWait();

    bool Terminated() const;
    // True before the first Resume and while the thread waits in Suspend.
    bool Suspended() const;
    // True once Execute has returned.
    bool Finished() const;

    // For the thread itself: waits until Resume or Terminate.
    void Suspend();
    // For the thread itself: sleeps, but wakes early on Terminate.
    // Returns false when woken by Terminate.
    bool SleepFor(std::uint32_t ms);

protected:
    virtual void Execute();

private:
    void Run();

    std::function<void(Thread&)> body_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    bool started_ = false;
    bool suspended_ = false;
    bool resumePending_ = false;
    bool terminated_ = false;
    bool finished_ = false;
};

}  // namespace platform
