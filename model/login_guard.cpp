#include "model/login_guard.h"

#include <array>

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
    m_answered.clear();
    m_expired = false;
    m_active = active;
}

bool CLoginGuard::FirstLogoutNote(std::string_view address) {
    std::lock_guard lock(m_mutex);
    return m_logoutNoted.emplace(address).second;
}

void CLoginGuard::NoteAnswered(const std::string& server) {
    std::lock_guard lock(m_mutex);
    m_answered.insert(server);
}

bool CLoginGuard::HasAnswered(const std::string& server) const {
    std::lock_guard lock(m_mutex);
    return m_answered.contains(server);
}

bool CLoginGuard::Expire() {
    bool expected = false;
    return m_expired.compare_exchange_strong(expected, true);
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
