#include "server/statementgate.h"

#include <algorithm>

namespace lystra {

StatementGate::StatementGate(int width) : m_width(std::max(0, width)), m_free(m_width)
{
}

void StatementGate::enter()
{
    if (m_width == 0)
        return;
    std::unique_lock lock(m_mutex);
    // A newcomer never overtakes a waiter, even when a place is free for a
    // moment between a leave and the waiter's wake-up.
    if (m_free > 0 && m_waiting.empty()) {
        --m_free;
        return;
    }
    Waiter waiter;
    m_waiting.push_back(&waiter);
    m_waitingCount.store(int(m_waiting.size()), std::memory_order_relaxed);
    waiter.wake.wait(lock, [&waiter] { return waiter.admitted; });
}

void StatementGate::leave()
{
    if (m_width == 0)
        return;
    const std::lock_guard lock(m_mutex);
    if (m_waiting.empty()) {
        ++m_free;
        return;
    }
    // The place goes straight to the first waiter. It is woken while the
    // lock is held: once it sees itself admitted it may return and its
    // condition cease to exist.
    Waiter* first = m_waiting.front();
    m_waiting.pop_front();
    m_waitingCount.store(int(m_waiting.size()), std::memory_order_relaxed);
    first->admitted = true;
    first->wake.notify_one();
}

StatementGate::Slot::Slot(StatementGate& gate) : m_gate(gate)
{
    m_gate.enter();
    m_since = std::chrono::steady_clock::now();
}

StatementGate::Slot::~Slot()
{
    m_gate.leave();
}

void StatementGate::Slot::yieldIfDue()
{
    if (m_gate.m_width == 0 || m_gate.m_waitingCount.load(std::memory_order_relaxed) == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_since < kTimeSlice)
        return;
    m_gate.leave();
    m_gate.enter();
    m_since = std::chrono::steady_clock::now();
}

} // namespace lystra
