#include "model/login_guard.h"

#include <array>
#include <chrono>

#include "model/clock.h"
#include "web/byte_text.h"

namespace {

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether one of words (lower case) stands in text as a word of its own: after no letter,
// or beginning with a capital after a small letter ("doLogout"). What follows does not
// count, as "logout.php" and "logoutUser" both log out.
template <std::size_t N>
bool HoldsWordStart(std::string_view text, const std::array<std::string_view, N>& words) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (!IsAsciiLetter(c))
            continue;
        const bool starts = at == 0 || !IsAsciiLetter(text[at - 1]) ||
                            (c >= 'A' && c <= 'Z' && text[at - 1] >= 'a' && text[at - 1] <= 'z');
        if (!starts)
            continue;
        for (const std::string_view word : words) {
            if (HasWordAt(text, at, word))
                return true;
        }
    }
    return false;
}

constexpr std::array<std::string_view, 9> kLogoutForms{"logout",  "log-out",  "log_out",
                                                       "signout", "sign-out", "sign_out",
                                                       "logoff",  "log-off",  "log_off"};
constexpr std::array<std::string_view, 8> kLoginForms{"login",   "log-in",  "log_in", "signin",
                                                      "sign-in", "sign_in", "logon",  "log-on"};
constexpr std::array<std::string_view, 6> kLogoutWords{"log out", "logout",  "sign out",
                                                       "signout", "log off", "logoff"};

// Link texts longer than this are sentences, not a logout button.
constexpr std::size_t kMaxLinkTextBytes = 40;

} // namespace

void CLoginGuard::Begin(bool active) {
    std::lock_guard lock(m_mutex);
    m_logoutNoted.clear();
    m_domains.clear();
    m_answered.Clear();
    m_checking = false;
    m_alive = false;
    m_expired = false;
    m_active = active;
}

void CLoginGuard::AddLoginDomain(std::string_view domain, bool subdomains) {
    // A cookie's domain may begin with a dot, which stands for its subdomains too.
    if (domain.starts_with('.')) {
        domain.remove_prefix(1);
        subdomains = true;
    }
    if (domain.empty())
        return;
    std::string name;
    AppendLowerAscii(name, domain);
    std::lock_guard lock(m_mutex);
    for (Domain& known : m_domains) {
        if (known.name == name) {
            known.subdomains = known.subdomains || subdomains;
            return;
        }
    }
    m_domains.push_back({std::move(name), subdomains});
}

bool CLoginGuard::HoldsLogin(std::string_view host) const {
    std::lock_guard lock(m_mutex);
    for (const Domain& domain : m_domains) {
        if (host.size() == domain.name.size() && EqualsIgnoringAsciiCase(host, domain.name))
            return true;
        if (domain.subdomains && host.size() > domain.name.size() &&
            host[host.size() - domain.name.size() - 1] == '.' &&
            EndsWithIgnoringAsciiCase(host, domain.name))
            return true;
    }
    return false;
}

bool CLoginGuard::FirstLogoutNote(std::string_view address) {
    std::lock_guard lock(m_mutex);
    return m_logoutNoted.emplace(address).second;
}

void CLoginGuard::NoteAnswered(std::string_view address) {
    std::lock_guard lock(m_mutex);
    m_answered.Insert(Fnv1a(address));
}

bool CLoginGuard::HasAnswered(std::string_view address) const {
    std::lock_guard lock(m_mutex);
    return m_answered.Contains(Fnv1a(address));
}

CLoginGuard::Refusal CLoginGuard::JudgeRefusal(std::string_view address,
                                               const std::atomic<bool>& abort) {
    std::unique_lock lock(m_mutex);
    if (m_expired || m_answered.Contains(Fnv1a(address)))
        return Refusal::LoginGone;
    // A refusal that came while another worker checks is judged by that check.
    while (m_checking && !abort.load())
        m_checked.wait_for(lock, std::chrono::milliseconds(100));
    if (m_expired)
        return Refusal::LoginGone;
    if (abort.load())
        return Refusal::AddressOnly;
    if (m_alive && m_refusalsSinceCheck < kRefusalsPerCheck &&
        NowSeconds() - m_aliveAt < kCheckStandsSeconds) {
        ++m_refusalsSinceCheck;
        return Refusal::AddressOnly;
    }
    m_checking = true;
    m_alive = false;
    return Refusal::CheckStartPage;
}

void CLoginGuard::CheckDone(Check found) {
    {
        std::lock_guard lock(m_mutex);
        m_checking = false;
        m_alive = found == Check::Alive;
        m_aliveAt = NowSeconds();
        m_refusalsSinceCheck = 0;
    }
    m_checked.notify_all();
}

bool CLoginGuard::Expire() {
    bool expected = false;
    return m_expired.compare_exchange_strong(expected, true);
}

void CLoginGuard::Renew() {
    std::lock_guard lock(m_mutex);
    m_alive = false;
    m_expired = false;
}

std::string CLoginGuard::ExpiredText(std::string_view host) {
    return "The login to " + std::string(host) +
           " has expired. Log in again in the browser pane, then resume.";
}

bool ReadsAsLogoutAddress(std::string_view pathAndQuery) {
    return HoldsWordStart(pathAndQuery, kLogoutForms);
}

bool ReadsAsLoginAddress(std::string_view pathAndQuery) {
    return HoldsWordStart(pathAndQuery, kLoginForms);
}

bool ReadsAsLogoutText(std::string_view linkText) {
    // The text as a browser shows it: tags out, spaces collapsed, small letters.
    std::string shown;
    bool inTag = false;
    bool inReference = false; // "&nbsp;" and the like read as a space
    for (const char c : linkText) {
        if (c == '<') {
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (inReference) {
            inReference = c != ';' && !IsAsciiWhitespace(c);
        } else if (!inTag) {
            inReference = c == '&';
            if (IsAsciiWhitespace(c) || c == '&') {
                if (!shown.empty() && shown.back() != ' ')
                    shown.push_back(' ');
            } else {
                shown.push_back(ToLowerAscii(c));
            }
            if (shown.size() > kMaxLinkTextBytes)
                return false;
        }
    }
    return HoldsWordStart(shown, kLogoutWords);
}
