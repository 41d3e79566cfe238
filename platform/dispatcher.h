#pragma once
// Hands work from any thread to the main thread over one FIFO queue.
// The Qt event loop or the plain loop below drains it.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class MainThreadDispatcher {
    struct Waiter {
        bool finished = false;
        bool cancelled = false;
        std::exception_ptr error;
    };

public:
    using Task = std::function<void()>;
    // A queued task that its sender waits for.
    using Ticket = std::shared_ptr<Waiter>;

    // The constructing thread is the main thread until BindToCurrentThread.
    MainThreadDispatcher();
    MainThreadDispatcher(const MainThreadDispatcher&) = delete;
    MainThreadDispatcher& operator=(const MainThreadDispatcher&) = delete;

    void BindToCurrentThread();
    bool IsMainThread() const;

    // Runs the task on the main thread while the caller waits; on the main thread
    // it runs at once. False when Cancel(tag) dropped it before it ran. An
    // exception of the task is rethrown in the caller.
    bool Sync(Task task, const void* tag = nullptr);
    // Sync in two steps, for callers that queue under a lock of their own and wait after releasing it.
    // Not for the main thread: it would wait for itself.
    Ticket Queue(Task task, const void* tag = nullptr);
    bool Wait(const Ticket& ticket);
    // Queues the task and returns.
    void Post(Task task, const void* tag = nullptr);
    // Drops every queued task of the tag; their Sync callers return false.
    // Owners call it before they go away, so that no task outlives its receiver.
    void Cancel(const void* tag);

    // Main thread: runs the tasks queued so far, in order. Returns how many ran.
    std::size_t ProcessPending();
    // Called from any thread whenever a task is queued (Qt schedules ProcessPending).
    void SetWakeup(std::function<void()> wakeup);

    // The plain loop of programs without Qt: runs tasks until Quit.
    void Run();
    // Runs tasks until the condition holds (checked after each wake) or the time is up.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void Quit();

private:
    struct Item {
        Task task;
        const void* tag;
        std::shared_ptr<Waiter> waiter;  // set for Sync
    };

    void Enqueue(Item item);
    bool RunOne();

    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<Item> queue_;
    std::thread::id mainThread_;
    std::function<void()> wakeup_;
    bool quit_ = false;
};

// The process's dispatcher; the program binds it to its main thread at start.
MainThreadDispatcher& MainDispatcher();

}  // namespace platform
