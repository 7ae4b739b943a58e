#pragma once
// CLoginGuard: what a crawl that sends cookies watches so that it stays logged in. It
// remembers which servers answered a page (a later 401 or 403 from one of them means the
// login ran out), which logout links were logged already, and whether the login expired.
//
// Reset at every crawl start, before any worker runs; workers call the rest at once, and
// every call takes the guard's own lock.

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

class CLoginGuard {
public:
    // active: the crawl sends cookies. Forgets everything of the crawl before.
    void Begin(bool active);
    bool Active() const { return m_active.load(); }

    // True the first time the address is given in this crawl: it is then logged once.
    bool FirstLogoutNote(std::string_view address);
    // A page of server ("host:port") was answered with 200.
    void NoteAnswered(const std::string& server);
    bool HasAnswered(const std::string& server) const;
    // Marks the login as expired; true for the call that did it.
    bool Expire();
    bool Expired() const { return m_expired.load(); }
    // The user logged in again: pages that find the login gone count again.
    void Renew() { m_expired = false; }

    // What the user is told when the login to host ran out.
    static std::string ExpiredText(std::string_view host);

private:
    std::atomic<bool> m_active{false};
    std::atomic<bool> m_expired{false};
    mutable std::mutex m_mutex;
    std::set<std::string> m_logoutNoted;
    std::set<std::string> m_answered;
};

// Whether an address's path and query read as logging out: "logout", "log-out", "signout",
// "sign-out", "logoff", as a word ("/user/logout", "?action=logout", "doLogout").
bool ReadsAsLogoutAddress(std::string_view pathAndQuery);
// Whether a link's text reads as logging out ("Log out", "Sign out", "log off"...). Tags
// inside the text are skipped; letter case and spacing do not count.
bool ReadsAsLogoutText(std::string_view linkText);
// Whether an address's path and query read as a login page: "login", "log-in", "signin",
// "sign-in", "logon", as a word.
bool ReadsAsLoginAddress(std::string_view pathAndQuery);
