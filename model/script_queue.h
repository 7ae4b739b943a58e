#pragma once
// CScriptQueue: the stored pages of a crawl that wait for their scripts to be run, and
// how many the script runner has done. Workers add pages as they store them, the runner
// takes them one at a time, and the views read the counts; one lock covers the list.

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "model/copy_records.h"
#include "model/packed_address.h"

struct CScriptPage {
    std::unique_ptr<CUrl> address;
    std::string localPath; // the page's stored file
    // What the server said of the page, for a snapshot that replaces the file.
    CCopyRecord record;
};

class CScriptQueue {
public:
    // A new crawl: no page waits, none is counted, and the queue is closed.
    void Clear();
    // Pages are taken only while a script runner serves the crawl.
    void Open(bool open) { m_open = open; }
    bool IsOpen() const { return m_open.load(); }
    // False, with nothing queued, while the queue is closed.
    bool Add(const CUrl& address, std::string localPath, CCopyRecord record);
    // The first waiting page; nothing when none waits.
    std::optional<CScriptPage> Next();
    // Pages that wait, and the one the runner has taken and not yet ended.
    std::size_t Waiting() const;
    // Whether a page waits to be taken.
    bool HasWaiting() const;
    // A page the runner ended; cut: its time ran out before it settled.
    void NoteDone(bool cut);
    int Done() const { return m_done.load(); }
    int Cut() const { return m_cut.load(); }

private:
    struct Entry {
        CPackedAddress address;
        std::string localPath;
        CCopyRecord record;
    };
    mutable std::mutex m_mutex;
    std::deque<Entry> m_waiting;
    std::atomic<bool> m_open{false};
    std::atomic<int> m_taken{0}; // taken and not yet done
    std::atomic<int> m_done{0};
    std::atomic<int> m_cut{0};
};
