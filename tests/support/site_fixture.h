#pragma once
// Points the sites directory at a fresh temporary folder for the length of a test, and
// records what the code under test shows in the status bar.

#include <mutex>
#include <string>
#include <vector>

#include "model/shared_text.h"
#include "model/status_bar.h"
#include "support/temp_dir.h"

class SitesDirScope {
public:
    SitesDirScope() : m_previous(g_strSitesDir.Get()) {
        g_strSitesDir.Set(m_dir.path().string());
        // Workers show text from several threads at once.
        SetStatusBarHandler([this](const std::string& text) {
            std::lock_guard lock(m_statusMutex);
            statusTexts.push_back(text);
        });
    }
    ~SitesDirScope() {
        SetStatusBarHandler({});
        g_strSitesDir.Set(m_previous);
    }

    const std::filesystem::path& path() const { return m_dir.path(); }

    std::vector<std::string> statusTexts;

private:
    std::mutex m_statusMutex;
    TempDir m_dir;
    std::string m_previous;
};
