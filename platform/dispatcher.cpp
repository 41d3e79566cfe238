#include "platform/dispatcher.h"

#include <algorithm>

#include <utility>

namespace platform {

MainThreadDispatcher::MainThreadDispatcher() : mainThread_(std::this_thread::get_id()) {}

void MainThreadDispatcher::BindToCurrentThread()
{
    std::lock_guard lock(mutex_);
    mainThread_ = std::this_thread::get_id();
}

bool MainThreadDispatcher::IsMainThread() const
{
    std::lock_guard lock(mutex_);
    return mainThread_ == std::this_thread::get_id();
}

bool MainThreadDispatcher::Sync(Task task, const void* tag)
{
    if (IsMainThread()) {
        task();
        return true;
    }
    return Wait(Queue(std::move(task), tag));
}

MainThreadDispatcher::Ticket MainThreadDispatcher::Queue(Task task, const void* tag)
{
    auto waiter = std::make_shared<Waiter>();
    Enqueue(Item{std::move(task), tag, waiter});
    return waiter;
}

bool MainThreadDispatcher::Wait(const Ticket& ticket)
{
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return ticket->finished || ticket->cancelled; });
    // Taken out under the lock, so that only this thread ever holds the exception again.
    if (std::exception_ptr error = std::move(ticket->error)) {
        lock.unlock();
        std::rethrow_exception(error);
    }
    return ticket->finished;
}

void MainThreadDispatcher::Post(Task task, const void* tag)
{
    Enqueue(Item{std::move(task), tag, nullptr});
}

void MainThreadDispatcher::Enqueue(Item item)
{
    std::function<void()> wakeup;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(item));
        wakeup = wakeup_;
    }
    queued_.notify_all();
    if (wakeup)
        wakeup();
}

void MainThreadDispatcher::Cancel(const void* tag)
{
    std::deque<Item> dropped;  // destroyed outside the lock: tasks may own things
    {
        std::lock_guard lock(mutex_);
        for (auto it = queue_.begin(); it != queue_.end();) {
            if (it->tag == tag) {
                if (it->waiter)
                    it->waiter->cancelled = true;
                dropped.push_back(std::move(*it));
                it = queue_.erase(it);
            } else {
                ++it;
            }
        }
    }
    finished_.notify_all();
}

bool MainThreadDispatcher::RunOne()
{
    Item item;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty())
            return false;
        item = std::move(queue_.front());
        queue_.pop_front();
    }
    if (!item.waiter) {
        item.task();
        return true;
    }
    std::exception_ptr error;
    try {
        item.task();
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        item.waiter->finished = true;
        item.waiter->error = std::move(error);
    }
    finished_.notify_all();
    return true;
}

std::size_t MainThreadDispatcher::ProcessPending()
{
    std::size_t budget;
    {
        std::lock_guard lock(mutex_);
        budget = queue_.size();
    }
    // Only what was queued before the call: a task that queues more cannot starve the caller.
    std::size_t ran = 0;
    while (ran < budget && RunOne())
        ++ran;
    return ran;
}

void MainThreadDispatcher::SetWakeup(std::function<void()> wakeup)
{
    std::lock_guard lock(mutex_);
    wakeup_ = std::move(wakeup);
}

void MainThreadDispatcher::Run()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [&] { return quit_ || !queue_.empty(); });
            if (quit_) {
                quit_ = false;
                return;
            }
        }
        ProcessPending();
    }
}

bool MainThreadDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        ProcessPending();
        if (done())
            return true;
        std::unique_lock lock(mutex_);
        if (queue_.empty()) {
            // Short slices: the condition may change on other threads without a task.
            const auto slice = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(20));
            queued_.wait_until(lock, slice, [&] { return !queue_.empty(); });
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            ProcessPending();
            return done();
        }
    }
}

void MainThreadDispatcher::Quit()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    queued_.notify_all();
}

MainThreadDispatcher& MainDispatcher()
{
    static MainThreadDispatcher dispatcher;
    return dispatcher;
}

}  // namespace platform
