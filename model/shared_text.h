#pragma once
// A text that one thread sets and any thread reads, such as the sites directory
// preference, which the preferences dialog may change while workers compute paths.

#include <mutex>
#include <string>

class CSharedText {
public:
    explicit CSharedText(std::string initial = {}) : m_text(std::move(initial)) {}

    std::string Get() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    void Set(std::string text) {
        std::lock_guard lock(m_mutex);
        m_text = std::move(text);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

// The parent folder of every site's folder. Set at start-up and by the preferences.
extern CSharedText g_strSitesDir;
