#pragma once
// CMessageThread: a thread with a message queue of its own. Messages carry two plain
// parameters and are handled on the thread in the order they were posted; WM_QUIT ends
// the loop. Posting never waits.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/messages.h"

using MessageParam = std::uintptr_t;

struct CMessage {
    unsigned id = 0;
    MessageParam wParam = 0;
    MessageParam lParam = 0;
};

class CMessageThread {
public:
    CMessageThread() = default;
    virtual ~CMessageThread();
    CMessageThread(const CMessageThread&) = delete;
    CMessageThread& operator=(const CMessageThread&) = delete;

    // Starts the thread: InitInstance, the message loop, then ExitInstance.
    void Start();
    void Post(unsigned id, MessageParam wParam = 0, MessageParam lParam = 0);
    void PostQuit() { Post(WM_QUIT); }
    // Waits for the thread to end; false if it has not ended within the time limit.
    bool WaitForExit(std::chrono::milliseconds limit);
    // Joins the thread (it must have been told to quit).
    void Join();
    bool HasExited() const;

protected:
    virtual bool InitInstance() { return true; }
    virtual void ExitInstance() {}
    // The message map: handles one message; unknown messages are ignored.
    virtual void HandleMessage(const CMessage& message) = 0;
    // How long the loop may sleep with nothing to do before OnIdleTimeout runs; none
    // means it sleeps until a message arrives.
    virtual std::optional<std::chrono::milliseconds> IdleTimeout() const { return std::nullopt; }
    virtual void OnIdleTimeout() {}

    // Ends the loop once the current message has been handled.
    void QuitLoop() { m_quitRequested = true; }
    // Drops every waiting message of one kind.
    void RemoveMessages(unsigned id);
    // If a message of this kind is waiting, takes the first one out of the queue, handles
    // it and returns true. Messages of other kinds keep their place.
    bool PumpIfWaiting(unsigned id);
    // Sleeps until a message arrives or the limit passes.
    void WaitForMessage(std::chrono::milliseconds limit);

private:
    void Run();
    std::optional<CMessage> Take(std::optional<std::chrono::milliseconds> limit);
    void Handle(const CMessage& message);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_exited;
    std::deque<CMessage> m_queue;
    std::thread m_thread;
    bool m_quitRequested = false; // touched only on the thread
    bool m_hasExited = false;     // under m_mutex
};
