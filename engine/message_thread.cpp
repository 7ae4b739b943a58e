#include "engine/message_thread.h"

#include <algorithm>

CMessageThread::~CMessageThread() {
    if (m_thread.joinable()) {
        PostQuit();
        m_thread.join();
    }
}

void CMessageThread::Start() {
    m_thread = std::thread([this] { Run(); });
}

void CMessageThread::Post(unsigned id, MessageParam wParam, MessageParam lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(CMessage{id, wParam, lParam});
    }
    m_wake.notify_one();
}

bool CMessageThread::WaitForExit(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_exited.wait_for(lock, limit, [this] { return m_hasExited; });
}

void CMessageThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

bool CMessageThread::HasExited() const {
    std::lock_guard lock(m_mutex);
    return m_hasExited;
}

void CMessageThread::RemoveMessages(unsigned id) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_queue, [id](const CMessage& message) { return message.id == id; });
}

bool CMessageThread::PumpIfWaiting(unsigned id) {
    std::optional<CMessage> next;
    {
        std::lock_guard lock(m_mutex);
        const auto found = std::find_if(m_queue.begin(), m_queue.end(),
                                        [id](const CMessage& message) { return message.id == id; });
        if (found == m_queue.end())
            return false;
        next = *found;
        m_queue.erase(found);
    }
    Handle(*next);
    return true;
}

void CMessageThread::WaitForMessage(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, limit, [this] { return !m_queue.empty(); });
}

std::optional<CMessage> CMessageThread::Take(std::optional<std::chrono::milliseconds> limit) {
    std::unique_lock lock(m_mutex);
    if (limit) {
        if (!m_wake.wait_for(lock, *limit, [this] { return !m_queue.empty(); }))
            return std::nullopt;
    } else {
        m_wake.wait(lock, [this] { return !m_queue.empty(); });
    }
    CMessage message = m_queue.front();
    m_queue.pop_front();
    return message;
}

void CMessageThread::Handle(const CMessage& message) {
    if (message.id == WM_QUIT)
        m_quitRequested = true;
    else
        HandleMessage(message);
}

void CMessageThread::Run() {
    if (InitInstance()) {
        while (!m_quitRequested) {
            if (const auto message = Take(IdleTimeout()))
                Handle(*message);
            else
                OnIdleTimeout();
        }
    }
    ExitInstance();
    {
        std::lock_guard lock(m_mutex);
        m_hasExited = true;
    }
    m_exited.notify_all();
}
