#include "model/script_queue.h"

#include <algorithm>

void CScriptQueue::Clear() {
    std::lock_guard lock(m_mutex);
    m_waiting.clear();
    m_open = false;
    m_taken = 0;
    m_done = 0;
    m_cut = 0;
}

bool CScriptQueue::Add(const CUrl& address, std::string localPath, CCopyRecord record) {
    if (!m_open.load())
        return false;
    std::lock_guard lock(m_mutex);
    m_waiting.push_back({CPackedAddress(address), std::move(localPath), std::move(record)});
    return true;
}

std::optional<CScriptPage> CScriptQueue::Next() {
    std::lock_guard lock(m_mutex);
    if (m_waiting.empty())
        return std::nullopt;
    Entry entry = std::move(m_waiting.front());
    m_waiting.pop_front();
    ++m_taken;
    return CScriptPage{entry.address.Unpack(), std::move(entry.localPath), std::move(entry.record)};
}

std::size_t CScriptQueue::Waiting() const {
    std::lock_guard lock(m_mutex);
    return m_waiting.size() + static_cast<std::size_t>(std::max(0, m_taken.load()));
}

bool CScriptQueue::HasWaiting() const {
    std::lock_guard lock(m_mutex);
    return !m_waiting.empty();
}

void CScriptQueue::NoteDone(bool cut) {
    --m_taken;
    ++m_done;
    if (cut)
        ++m_cut;
}
