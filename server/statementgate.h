#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace lystra {

// Lets at most `width` statements run at once and admits the others strictly
// in the order they arrived. With a thread per connection, hundreds of
// runnable threads on a few cores share the processor in an order nobody
// controls: most statements finish quickly and a few wait many times as
// long. Behind the gate every statement waits its turn and then runs on a
// core of its own, so the slowest answers stay close to the average.
// Each waiter sleeps on a condition of its own and is woken alone when its
// turn comes. A width of 0 admits every statement at once.
class StatementGate {
public:
    explicit StatementGate(int width);

    StatementGate(const StatementGate&) = delete;
    StatementGate& operator=(const StatementGate&) = delete;

    int width() const { return m_width; }
    // Statements waiting for their turn now.
    int waiting() const { return m_waitingCount.load(std::memory_order_relaxed); }

    // One admission: taken on construction (waiting for its turn), given
    // back on destruction.
    class Slot {
    public:
        explicit Slot(StatementGate& gate);
        ~Slot();
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        // A statement that has run for a whole time slice while others wait
        // gives its place to them and queues again at the back, so that one
        // long result does not hold everyone else up.
        void yieldIfDue();

    private:
        StatementGate& m_gate;
        std::chrono::steady_clock::time_point m_since;
    };

    // How long a statement runs before it lets waiting ones go first.
    static constexpr std::chrono::milliseconds kTimeSlice{20};

private:
    struct Waiter {
        std::condition_variable wake;
        bool admitted = false;
    };

    void enter();
    void leave();

    const int m_width;
    std::mutex m_mutex;
    int m_free;
    std::deque<Waiter*> m_waiting;
    std::atomic<int> m_waitingCount{0};
};

} // namespace lystra
