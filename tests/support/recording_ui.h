#pragma once
// An engine user interface that records what the engine shows, so tests can wait for
// and check it.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_ui.h"
#include "model/site.h"

class RecordingUi : public CEngineUi {
public:
    struct ViewMessage {
        char view; // 'T' sites tree, 'S' status list
        unsigned message;
        CSite* site;
        int state; // the site's state when the message was posted
    };

    void ControllerStateChanged(int state) override {
        Record([&] {
            states.push_back(state);
            if (state == 1)
                m_running = true;
            if (state == 4 && m_running) {
                m_running = false;
                ++runsEnded;
            }
        });
    }
    void SetStatusBarText(const std::string& text) override {
        Record([&] { statusTexts.push_back(text); });
    }
    void SetSitesProgress(int, int upper, int position) override {
        Record([&] { sitesProgress = {upper, position}; });
    }
    void SetFilesProgress(int, int, int) override {
        Record([&] { ++filesProgressCalls; });
    }
    void ShowMessage(const std::string& text) override {
        Record([&] { messages.push_back(text); });
    }
    void Beep() override {
        Record([&] { ++beeps; });
    }
    void PostToSitesView(unsigned message, CSite* site) override {
        Record([&] { views.push_back({'T', message, site, StateOf(site)}); });
    }
    void PostToStatusView(unsigned message, CSite* site) override {
        Record([&] { views.push_back({'S', message, site, StateOf(site)}); });
    }
    static int StateOf(const CSite* site) { return site != nullptr ? site->m_state.load() : 0; }

    // Waits until condition (run under the lock) holds.
    template <typename Condition>
    bool WaitUntil(Condition condition, std::chrono::seconds limit = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex);
        return m_changed.wait_for(lock, limit, [&] { return condition(); });
    }
    bool WaitForRunsEnded(int runs) {
        return WaitUntil([&] { return runsEnded >= runs; });
    }
    template <typename Getter> auto Get(Getter get) {
        std::lock_guard lock(mutex);
        return get();
    }

    std::mutex mutex;
    std::vector<int> states;
    std::vector<std::string> statusTexts;
    std::pair<int, int> sitesProgress{0, 0};
    int filesProgressCalls = 0;
    std::vector<std::string> messages;
    int beeps = 0;
    std::vector<ViewMessage> views;
    int runsEnded = 0;

private:
    template <typename Change> void Record(Change change) {
        {
            std::lock_guard lock(mutex);
            change();
        }
        m_changed.notify_all();
    }

    std::condition_variable m_changed;
    bool m_running = false;
};
