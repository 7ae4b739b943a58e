// How long a busy server is left alone, and how many workers it gets afterwards.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/server_gate.h"

TEST(ServerGate, WaitsGrowFromASecondAndStayWithinTheirCap) {
    CServerGate gate;
    EXPECT_EQ(gate.Busy("h:1", 503, -1, 30, 8), 1);
    EXPECT_EQ(gate.Busy("h:1", 503, -1, 30, 8), 2);
    EXPECT_EQ(gate.Busy("h:1", 503, -1, 30, 8), 4);
    EXPECT_EQ(gate.Busy("h:1", 503, 120, 30, 8), 30) << "Retry-After is capped too";
    EXPECT_EQ(gate.Busy("h:1", 503, 0, 30, 8), 1) << "at least a second";
    EXPECT_EQ(gate.Busy("other:1", 503, -1, 30, 8), 1) << "servers are apart";
    gate.Answered("h:1");
    EXPECT_EQ(gate.Busy("h:1", 503, -1, 30, 8), 1) << "a clean answer starts over";
}

// Two 429 answers in a row halve the workers let through: of four, two pass once the
// pause is over and a third waits until one leaves.
TEST(ServerGate, RepeatedTooManyRequestsLetFewerWorkersThrough) {
    CServerGate gate;
    const std::atomic<bool> keepGoing{false};
    gate.Busy("h:1", 429, 0, 10, 4);
    gate.Busy("h:1", 429, 0, 10, 4);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(gate.Enter("h:1", keepGoing));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    ASSERT_TRUE(gate.Enter("h:1", keepGoing));

    std::atomic<bool> entered{false};
    std::thread third([&] {
        entered = gate.Enter("h:1", keepGoing);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(entered.load());
    gate.Leave("h:1");
    third.join();
    EXPECT_TRUE(entered.load());

    // An abort ends a wait.
    std::atomic<bool> abort{false};
    std::thread fourth([&] { EXPECT_FALSE(gate.Enter("h:1", abort)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    abort = true;
    fourth.join();
}
