// The admission of statements: how many run at once, and in which order the
// waiting ones are let in.

#include "server/statementgate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace lystra;

namespace {

void waitForWaiters(const StatementGate& gate, int count)
{
    while (gate.waiting() < count)
        std::this_thread::yield();
}

} // namespace

TEST(StatementGate, AdmitsInArrivalOrderAndNoMoreThanItsWidth)
{
    for (const int width : {1, 2, 3}) {
        StatementGate gate(width);
        std::vector<std::optional<StatementGate::Slot>> held(static_cast<size_t>(width));
        for (auto& slot : held)
            slot.emplace(gate); // every place taken
        // Admitted statements note their number and keep their place until
        // the test lets the whole round go.
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<int> order;
        int round = 0;
        int running = 0;
        int mostRunning = 0;
        constexpr int kRounds = 3;
        std::vector<std::thread> threads;
        for (int i = 0; i < kRounds * width; ++i) {
            threads.emplace_back([&, i] {
                const StatementGate::Slot slot(gate);
                std::unique_lock lock(mutex);
                mostRunning = std::max(mostRunning, ++running);
                order.push_back(i);
                changed.notify_all();
                changed.wait(lock, [&] { return round > i / width; });
                --running;
            });
            waitForWaiters(gate, i + 1); // the next one arrives after this one queued
        }
        for (auto& slot : held)
            slot.reset();
        for (int r = 0; r < kRounds; ++r) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return order.size() == size_t((r + 1) * width); });
            // This round is exactly the next `width` arrivals.
            std::vector<int> admitted(order.end() - width, order.end());
            std::sort(admitted.begin(), admitted.end());
            for (int k = 0; k < width; ++k)
                EXPECT_EQ(admitted[size_t(k)], r * width + k) << "width " << width << ", round " << r;
            ++round;
            changed.notify_all();
        }
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(mostRunning, width);
        EXPECT_EQ(gate.waiting(), 0);
        // Every place came back: as many new slots are taken without waiting.
        std::vector<std::optional<StatementGate::Slot>> again(static_cast<size_t>(width));
        for (auto& slot : again)
            slot.emplace(gate);
        EXPECT_EQ(gate.waiting(), 0);
    }
}

TEST(StatementGate, LongStatementLetsWaitersGoFirst)
{
    StatementGate gate(1);
    std::vector<const char*> order;
    std::mutex mutex;
    StatementGate::Slot slot(gate);
    slot.yieldIfDue(); // nobody waits: nothing happens
    std::thread waiter([&] {
        const StatementGate::Slot mine(gate);
        const std::lock_guard lock(mutex);
        order.push_back("waiter");
    });
    waitForWaiters(gate, 1);
    std::this_thread::sleep_for(StatementGate::kTimeSlice + std::chrono::milliseconds(5));
    slot.yieldIfDue(); // back in the queue behind the waiter
    {
        const std::lock_guard lock(mutex);
        order.push_back("long");
    }
    waiter.join();
    EXPECT_EQ(order, (std::vector<const char*>{"waiter", "long"}));
}

TEST(StatementGate, WidthZeroAdmitsEveryone)
{
    StatementGate gate(0);
    std::vector<std::optional<StatementGate::Slot>> slots(50);
    for (auto& slot : slots)
        slot.emplace(gate);
    EXPECT_EQ(gate.waiting(), 0);
}
