#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace quarvex {

// The status line of a run that was asked to stop: it ends as a failed run
// does, so nothing it wrote replaces the scripts.
const QString& cancelledRunText();

// Whether the user (or a signal) asked the running operation to stop, and
// how to stop it where it waits. The operation polls isCancelled() between
// rows and objects; what blocks inside a call (a query that waits on the
// server) registers a waiter, which cancel() and breakOff() reach from
// another thread. Every member may be called from any thread.
class Cancellation {
public:
    using Hook = std::function<void()>;

    bool isCancelled() const noexcept { return m_cancelled.load(std::memory_order_relaxed); }

    // Sets the flag and asks every waiter to stop (a driver's cancel). The
    // waiters are asked on a thread of their own, since a driver may hold
    // the request until the call it interrupts lets go; this never blocks.
    void cancel();
    // For a waiter that did not stop when asked (a server that no longer
    // answers): breaks off what it waits on.
    void breakOff();
    // Before the next operation.
    void reset() { m_cancelled.store(false); }

    // Raises the failure of a cancelled operation when the flag is set.
    void raiseIfCancelled() const;

    // A waiter's two ways to stop; the number removes it again.
    int addWaiter(Hook cancel, Hook breakOff);
    void removeWaiter(int id);

private:
    struct Waiter {
        int id;
        Hook cancel;
        Hook breakOff;
    };

    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::vector<Waiter> m_waiters;
    int m_nextId = 0;
};

// Raises the failure that ends a cancelled operation.
[[noreturn]] void raiseCancelled();

} // namespace quarvex
