// How long a busy server is left alone, which request tries it first when the wait is
// over, and how many workers it gets afterwards.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "engine/server_gate.h"

using namespace std::chrono_literals;

namespace {
// Waits until done() holds; false after limit.
template <typename Done> bool WaitUntil(Done done, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(10ms);
    return done();
}
} // namespace

// Eight requests out at once, all turned away: one pause, not eight doublings. When it
// ends, the request the server turned away most tries alone; its busy answer doubles the
// pause once.
TEST(ServerGate, APauseGrowsOncePerPauseAndOneRequestTriesFirst) {
    CServerGate gate;
    const std::atomic<bool> go{false};
    CServerGate::CPass sent[8];
    for (auto& pass : sent)
        pass = gate.Enter("h:1", go);
    EXPECT_EQ(gate.Busy(sent[0], 503, -1, 30, 8), 1);
    for (int i = 1; i < 7; ++i)
        EXPECT_EQ(gate.Busy(sent[i], 503, -1, 30, 8), 0) << "sent before the pause: " << i;
    gate.Answered(sent[7]); // nor does a late good answer end the pause
    for (auto& pass : sent)
        pass.Release();

    std::atomic<bool> abortOnce{false};
    std::atomic<bool> onceIn{false};
    std::atomic<bool> twiceIn{false};
    CServerGate::CPass once;
    CServerGate::CPass twice;
    std::thread waitingOnce([&] {
        once = gate.Enter("h:1", abortOnce, 1);
        onceIn = true;
    });
    std::this_thread::sleep_for(50ms); // the earlier arrival, which alone would go first
    std::thread waitingTwice([&] {
        twice = gate.Enter("h:1", go, 2);
        twiceIn = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return twiceIn.load(); }));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(onceIn.load()) << "the others wait for the first one's answer";
    EXPECT_EQ(gate.Busy(twice, 503, -1, 30, 8), 2);
    EXPECT_EQ(gate.Busy(twice, 503, -1, 30, 8), 0) << "one answer, one doubling";
    twice.Release();
    waitingTwice.join();
    abortOnce = true;
    waitingOnce.join();
    EXPECT_FALSE(once) << "an abort ends a wait";

    gate.SetGiveUpAfter(0s);
    CServerGate::CPass late = gate.Enter("other:1", go);
    EXPECT_EQ(gate.Busy(late, 503, 120, 30, 8), 30) << "Retry-After is capped";
    EXPECT_EQ(gate.Busy(late, 503, -1, 30, 8), -1) << "busy for the give-up time";
}

// A trial answered without 429 or 503 lets all that wait follow at once, as one batch: a
// busy answer that pauses the server again before they are on their way holds none of
// them back, and the back-off starts over.
TEST(ServerGate, AGoodAnswerToTheTrialLetsTheOthersFollow) {
    CServerGate gate;
    const std::atomic<bool> go{false};
    CServerGate::CPass first = gate.Enter("h:1", go);
    EXPECT_EQ(gate.Busy(first, 503, 0, 30, 8), 1) << "at least a second";
    first.Release();

    CServerGate::CPass trial = gate.Enter("h:1", go, 1);
    std::atomic<bool> stop{false};
    std::atomic<int> followed{0};
    CServerGate::CPass followers[2];
    auto follow = [&](CServerGate::CPass& pass) {
        pass = gate.Enter("h:1", stop);
        if (pass)
            followed += 1;
    };
    std::thread one(follow, std::ref(followers[0]));
    std::thread two(follow, std::ref(followers[1]));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(followed.load(), 0);
    gate.Answered(trial);
    EXPECT_EQ(gate.Busy(trial, 503, -1, 30, 8), 1);
    EXPECT_TRUE(WaitUntil([&] { return followed.load() == 2; }, 3000ms));
    stop = true;
    one.join();
    two.join();
    EXPECT_EQ(gate.Busy(followers[0], 503, -1, 30, 8), 0) << "sent before that pause";
}

// Two 429 pauses in a row halve the workers let through: of four, two pass once the
// pause is over and a third waits until one leaves.
TEST(ServerGate, RepeatedTooManyRequestsLetFewerWorkersThrough) {
    CServerGate gate;
    const std::atomic<bool> go{false};
    CServerGate::CPass first = gate.Enter("h:1", go);
    gate.Busy(first, 429, 0, 10, 4);
    first.Release();
    CServerGate::CPass trial = gate.Enter("h:1", go);
    gate.Busy(trial, 429, 0, 10, 4);
    trial.Release();
    trial = gate.Enter("h:1", go);
    gate.Answered(trial);
    CServerGate::CPass second = gate.Enter("h:1", go);

    std::atomic<bool> entered{false};
    CServerGate::CPass third;
    std::thread waiting([&] {
        third = gate.Enter("h:1", go);
        entered = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(entered.load());
    second.Release();
    waiting.join();
    EXPECT_TRUE(entered.load());
}
