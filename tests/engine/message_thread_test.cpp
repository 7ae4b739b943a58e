#include "engine/message_thread.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
// Records what it handles; WM_APP+1 posts two more messages to itself.
class RecordingThread : public CMessageThread {
public:
    ~RecordingThread() override { Join(); }
    std::vector<unsigned> handled;
    bool pumped = false;

protected:
    void HandleMessage(const CMessage& message) override {
        handled.push_back(message.id);
        if (message.id == WM_APP + 1) {
            Post(WM_APP + 2);
            Post(WM_APP + 3);
            Post(WM_APP + 2);
            RemoveMessages(WM_APP + 2);
        }
        if (message.id == WM_APP + 3)
            PostQuit();
        if (message.id == WM_APP + 4)
            pumped = PumpIfWaiting(WM_APP + 6) && !PumpIfWaiting(WM_APP + 6);
    }
};
} // namespace

TEST(MessageThread, HandlesInPostedOrderAndDropsRemovedKinds) {
    RecordingThread thread;
    thread.Post(WM_APP + 1);
    thread.Post(WM_APP + 5);
    thread.Start();
    ASSERT_TRUE(thread.WaitForExit(std::chrono::seconds(10)));
    thread.Join();
    EXPECT_EQ(thread.handled, (std::vector<unsigned>{WM_APP + 1, WM_APP + 5, WM_APP + 3}));
}

TEST(MessageThread, PumpTakesOnlyTheWaitingKindAndLeavesTheRestInOrder) {
    RecordingThread thread;
    thread.Post(WM_APP + 4);
    thread.Post(WM_APP + 7);
    thread.Post(WM_APP + 6); // handled by the pump, ahead of WM_APP+7
    thread.Post(WM_APP + 3); // quits
    thread.Start();
    ASSERT_TRUE(thread.WaitForExit(std::chrono::seconds(10)));
    thread.Join();
    EXPECT_EQ(thread.handled,
              (std::vector<unsigned>{WM_APP + 4, WM_APP + 6, WM_APP + 7, WM_APP + 3}));
    // One WM_APP+6 was waiting: the first pump handled it, the second found none.
    EXPECT_TRUE(thread.pumped);
}
