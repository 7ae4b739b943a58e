#include "cli/cli_ui.h"

#include "engine/controller.h"
#include "engine/messages.h"

void CCliUi::ControllerStateChanged(int state) {
    {
        std::lock_guard lock(m_mutex);
        m_state = state;
        m_stateChanged = true;
        if (state == kControllerRunning || state == kControllerPaused)
            m_hasRun = true;
    }
    m_wake.notify_one();
}

void CCliUi::ShowMessage(const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        m_messageShown = true;
    }
    Push({CliEvent::Kind::Message, nullptr, text, std::chrono::steady_clock::now()});
}

void CCliUi::Beep() {
    Push({CliEvent::Kind::Beep, nullptr, {}, std::chrono::steady_clock::now()});
}

void CCliUi::PostToStatusView(unsigned message, CSite* site) {
    if (message == WM_SITE_STARTED)
        Push({CliEvent::Kind::SiteStarted, site, {}, std::chrono::steady_clock::now()});
    else if (message == WM_SITE_FINISHED)
        Push({CliEvent::Kind::SiteFinished, site, {}, std::chrono::steady_clock::now()});
}

std::vector<CliEvent> CCliUi::WaitForEvents(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, limit, [this] { return !m_events.empty() || m_stateChanged; });
    m_stateChanged = false;
    std::vector<CliEvent> events;
    events.swap(m_events);
    return events;
}

int CCliUi::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool CCliUi::HasRun() const {
    std::lock_guard lock(m_mutex);
    return m_hasRun;
}

bool CCliUi::MessageShown() const {
    std::lock_guard lock(m_mutex);
    return m_messageShown;
}

void CCliUi::Push(CliEvent event) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_wake.notify_one();
}
