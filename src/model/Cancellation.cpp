#include "model/Cancellation.h"

#include "base/ProcedureError.h"

#include <thread>

namespace quarvex {

const QString& cancelledRunText() {
    static const QString text = QStringLiteral("Cancelled: the script files are unchanged");
    return text;
}

void raiseCancelled() {
    raise(QStringLiteral("Cancelled"), FailureKind::Cancelled);
}

// The hooks hold on to what they touch themselves, so they may run after
// their waiter has gone.
void Cancellation::cancel() {
    m_cancelled.store(true);
    std::vector<Hook> hooks;
    {
        const std::lock_guard lock(m_mutex);
        for (const Waiter& waiter : m_waiters)
            hooks.push_back(waiter.cancel);
    }
    if (!hooks.empty())
        std::thread([hooks = std::move(hooks)] {
            for (const Hook& hook : hooks)
                hook();
        }).detach();
}

void Cancellation::breakOff() {
    std::vector<Hook> hooks;
    {
        const std::lock_guard lock(m_mutex);
        for (const Waiter& waiter : m_waiters)
            hooks.push_back(waiter.breakOff);
    }
    for (const Hook& hook : hooks)
        hook();
}

void Cancellation::raiseIfCancelled() const {
    if (isCancelled())
        raiseCancelled();
}

int Cancellation::addWaiter(Hook cancel, Hook breakOff) {
    const std::lock_guard lock(m_mutex);
    m_waiters.push_back({++m_nextId, std::move(cancel), std::move(breakOff)});
    return m_nextId;
}

void Cancellation::removeWaiter(int id) {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_waiters, [id](const Waiter& waiter) { return waiter.id == id; });
}

} // namespace quarvex
