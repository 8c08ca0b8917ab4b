#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace quarvex {

class Cancellation;

// Turns SIGINT, SIGTERM and SIGHUP into a cancel, so that a run or a
// listing interrupted by one ends as a failed one does: its hidden files,
// the scratch file and the private driver configuration removed, the
// scripts as they were. The handler only writes the signal's number into a
// pipe; a thread of its own reads it, cancels, and breaks off what still
// waits half a second later. One at a time per process.
class SignalCancel {
public:
    explicit SignalCancel(Cancellation& cancellation);
    // For a program whose cancel goes through its own channels (the
    // window, whose work runs elsewhere): called on the watching thread.
    SignalCancel(std::function<void()> cancel, std::function<void()> breakOff);
    ~SignalCancel();
    SignalCancel(const SignalCancel&) = delete;
    SignalCancel& operator=(const SignalCancel&) = delete;

    // The first signal received, 0 while none was.
    int signal() const { return m_signal.load(); }

    // The exit status of a program that such a signal ended: 128 + its
    // number, as a shell reports it; 0 while none was received.
    int exitStatus() const { return signal() ? 128 + signal() : 0; }

private:
    void watch();

    std::function<void()> m_cancel;
    std::function<void()> m_breakOff;
    int m_pipe[2] = {-1, -1};
    std::atomic<int> m_signal{0};
    std::thread m_watcher;
};

} // namespace quarvex
