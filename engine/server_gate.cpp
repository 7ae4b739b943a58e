#include "engine/server_gate.h"

#include <algorithm>

CServerGate::CPass& CServerGate::CPass::operator=(CPass&& other) noexcept {
    if (this != &other) {
        Release();
        m_gate = std::exchange(other.m_gate, nullptr);
        m_server = std::move(other.m_server);
        m_pause = other.m_pause;
        m_trial = other.m_trial;
    }
    return *this;
}

void CServerGate::CPass::Release() {
    if (m_gate != nullptr)
        std::exchange(m_gate, nullptr)->Leave(*this);
}

void CServerGate::Reset() {
    std::lock_guard lock(m_mutex);
    m_servers.clear();
    m_changed.notify_all();
}

void CServerGate::SetGiveUpAfter(Clock::duration after) {
    std::lock_guard lock(m_mutex);
    m_giveUpAfter = after;
}

CServerGate::Clock::duration CServerGate::GiveUpAfter() const {
    std::lock_guard lock(m_mutex);
    return m_giveUpAfter;
}

CServerGate::CPass CServerGate::Enter(const std::string& server, const std::atomic<bool>& abort,
                                      int turnedAway) {
    std::unique_lock lock(m_mutex);
    const std::pair<int, std::uint64_t> place{-turnedAway, ++m_servers[server].arrivals};
    m_servers[server].waiting.insert(place);
    for (;;) {
        Server& state = m_servers[server];
        if (abort.load()) {
            state.waiting.erase(place);
            m_changed.notify_all(); // another may be first in line now
            return {};
        }
        const auto now = Clock::now();
        const bool released = place.second <= state.releasedUpTo;
        const auto resume =
            released ? state.nextStart : std::max(state.pausedUntil, state.nextStart);
        const bool paused = now < resume;
        const bool full = state.limit != 0 && state.inFlight >= state.limit;
        // After a pause one request at a time tries the server: the first in line.
        const bool held =
            !released && state.trialPending &&
            (state.trialInFlight || state.waiting.empty() || *state.waiting.begin() != place);
        if (!paused && !full && !held) {
            state.waiting.erase(place);
            state.inFlight += 1;
            state.nextStart = now + state.delay;
            CPass pass;
            pass.m_gate = this;
            pass.m_server = server;
            pass.m_pause = released ? state.releasedPause : state.pauses;
            pass.m_trial = !released && state.trialPending;
            state.trialInFlight = state.trialInFlight || pass.m_trial;
            return pass;
        }
        // The abort flag is not signalled: look at it again now and then.
        auto until = now + std::chrono::milliseconds(100);
        if (paused)
            until = std::min(until, resume);
        m_changed.wait_until(lock, until);
    }
}

void CServerGate::Leave(CPass& pass) {
    std::lock_guard lock(m_mutex);
    Server& state = m_servers[pass.m_server];
    state.inFlight = std::max(0, state.inFlight - 1);
    // A trial that ended without an answer (a failed transfer, an abort) lets the next
    // in line try.
    if (pass.m_trial && pass.m_pause == state.pauses)
        state.trialInFlight = false;
    m_changed.notify_all();
}

int CServerGate::Busy(CPass& pass, int status, std::int64_t retryAfter, int capSeconds,
                      int workers) {
    std::lock_guard lock(m_mutex);
    Server& state = m_servers[pass.m_server];
    const auto now = Clock::now();
    if (state.busy && now - state.busySince >= m_giveUpAfter)
        return -1;
    const int cap = std::max(1, capSeconds);
    if (pass.m_pause != state.pauses) {
        // Sent before the running pause began: it says nothing new, unless the server
        // asks for a longer wait.
        if (retryAfter > 0)
            state.pausedUntil =
                std::max(state.pausedUntil,
                         now + std::chrono::seconds(std::min<std::int64_t>(retryAfter, cap)));
        return 0;
    }
    if (!state.busy) {
        state.busy = true;
        state.busySince = now;
        state.backOffStep = 0;
    }
    if (status == 429) {
        state.lastTooMany = now;
        if (++state.tooManyInARow >= 2) {
            const int current = state.limit != 0 ? state.limit : std::max(1, workers);
            state.limit = std::max(1, current / 2);
            state.tooManyInARow = 0;
        }
    }
    std::int64_t wait = 0;
    int longest = cap;
    if (retryAfter >= 0) {
        wait = retryAfter;
    } else {
        wait = std::int64_t{1} << std::min(state.backOffStep, 20);
        state.backOffStep += 1;
        longest = std::min(cap, kLongestBackOffSeconds);
    }
    const int seconds = static_cast<int>(std::clamp<std::int64_t>(wait, 1, longest));
    state.pausedUntil = std::max(state.pausedUntil, now + std::chrono::seconds(seconds));
    state.pauses += 1;
    state.trialPending = true;
    state.trialInFlight = false;
    pass.m_trial = false;
    m_changed.notify_all();
    return seconds;
}

void CServerGate::SetDelay(const std::string& server, double seconds) {
    std::lock_guard lock(m_mutex);
    m_servers[server].delay = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::clamp(seconds, 0.0, 600.0)));
}

void CServerGate::Answered(CPass& pass) {
    std::lock_guard lock(m_mutex);
    const auto found = m_servers.find(pass.m_server);
    if (found == m_servers.end())
        return;
    Server& state = found->second;
    if (state.limit != 0 && Clock::now() - state.lastTooMany >= std::chrono::minutes(1)) {
        state.limit = 0;
        m_changed.notify_all();
    }
    // Sent before the running pause began: the pause stands until its trial is answered.
    if (pass.m_pause != state.pauses)
        return;
    state.busy = false;
    state.backOffStep = 0;
    state.tooManyInARow = 0;
    if (state.trialPending) {
        state.trialPending = false;
        state.trialInFlight = false;
        pass.m_trial = false;
        state.releasedUpTo = state.arrivals;
        state.releasedPause = state.pauses;
        m_changed.notify_all();
    }
}
