#pragma once
// CLoginGuard: what a crawl that sends cookies watches so that it stays logged in. It
// knows which hosts hold the login (the start page's, and those the given cookies go to),
// which of their addresses answered a page, which logout links were logged already, and
// whether the login expired.
//
// Only a host that holds the login can take it away: by sending a page to its login page,
// or by refusing (401, 403) an address that answered it before. A refusal of an address
// not asked before may be the login gone or a part of the site the login does not open:
// the start page, asked again, tells which. One such check stands for the refusals that
// follow it closely, so that a refused area costs a check now and then, not one per page.
//
// Reset at every crawl start, before any worker runs; workers call the rest at once, and
// every call takes the guard's own lock.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/key_set.h"

class CLoginGuard {
public:
    // What a refusal (401, 403) from a host that holds the login means.
    enum class Refusal {
        LoginGone,      // the address answered before, or the login expired already
        AddressOnly,    // a check of the start page found the login alive a moment ago
        CheckStartPage, // the caller is to ask the start page and give the answer to CheckDone
    };
    // What asking the start page again found.
    enum class Check { Alive, Gone, Unknown };

    // A check that found the login alive stands for this many refusals after it, and
    // this many seconds.
    static constexpr int kRefusalsPerCheck = 5;
    static constexpr std::int64_t kCheckStandsSeconds = 10;

    // active: the crawl sends cookies. Forgets everything of the crawl before.
    void Begin(bool active);
    bool Active() const { return m_active.load(); }

    // The login reaches domain (a host), and its subdomains when subdomains is set.
    void AddLoginDomain(std::string_view domain, bool subdomains);
    // Whether host is one the login reaches; only those can take it away.
    bool HoldsLogin(std::string_view host) const;

    // True the first time the address is given in this crawl: it is then logged once.
    bool FirstLogoutNote(std::string_view address);
    // An address (its server and path, as text) of a host holding the login answered 200.
    void NoteAnswered(std::string_view address);
    bool HasAnswered(std::string_view address) const;

    // A host that holds the login refused address. Waits while another caller checks the
    // start page (or until abort), then takes its finding.
    Refusal JudgeRefusal(std::string_view address, const std::atomic<bool>& abort);
    // What the check JudgeRefusal asked for found; a Gone check is to follow Expire().
    void CheckDone(Check found);

    // Marks the login as expired; true for the call that did it.
    bool Expire();
    bool Expired() const { return m_expired.load(); }
    // The user logged in again: pages that find the login gone count again.
    void Renew();

    // What the user is told when the login to host ran out.
    static std::string ExpiredText(std::string_view host);

private:
    struct Domain {
        std::string name; // lower case
        bool subdomains = false;
    };

    std::atomic<bool> m_active{false};
    std::atomic<bool> m_expired{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_checked;
    std::set<std::string> m_logoutNoted;
    std::vector<Domain> m_domains;
    CKeySet m_answered; // hashes of addresses
    bool m_checking = false;
    // The last check found the login alive: when, and how many refusals it has stood for.
    bool m_alive = false;
    std::int64_t m_aliveAt = 0;
    int m_refusalsSinceCheck = 0;
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
