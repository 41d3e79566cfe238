#pragma once
// A signal one thread raises to end another thread's wait on a descriptor
// early (an eventfd): stop and shutdown requests reach a worker that waits
// for its port without waiting out the pause.
namespace platform {

class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // Any thread. Signals raised before the next Clear count once.
    void Raise();
    // The waiting thread, after it woke.
    void Clear();
    // -1 when the system gave no descriptor; waits then end by time only.
    int Fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace platform
