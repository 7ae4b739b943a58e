#pragma once
// A site behind a login form, served on 127.0.0.1 for crawl tests: GET /login shows a
// form with a CSRF token (tied to a "csrf" cookie); POST /login with the right user,
// password and token sets the session cookie "sid" and redirects to "/". "/" and
// /pages/1.html .. /pages/N.html are shown only with a live session; without one they
// redirect to /login (or answer 401 or 403, when asked). Every page links the next and
// the previous one, "/logout" ("Log out") and "/account/bye" ("Sign out"), and both end
// the session. A session can be made to expire after a number of page requests. A
// refused area (/admin/1.html ...), linked from "/", answers 403 even to a live session,
// and "/" can link addresses elsewhere too.

#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "support/test_server.h"

class LoginServer {
public:
    static constexpr const char* kUser = "reader";
    static constexpr const char* kPassword = "open sesame";

    explicit LoginServer(int pages = 20);
    ~LoginServer();

    void Start();
    std::string Url(const std::string& path = "/") const { return m_server.Url(path); }
    int Pages() const { return m_pages; }
    // The paths of every page behind the login: "/", then "/pages/1.html" and on.
    std::vector<std::string> PagePaths() const;

    // Sessions made from now on end after this many page requests (0: never).
    void ExpireAfter(int requests);
    // A page request without a live session answers status (302 to /login by default).
    void RefuseWith(int status);
    // "/" links /admin/1.html .. /admin/N.html, which no login opens: 403 with a live
    // session, as any page without one. Set before a crawl.
    void AddRefusedArea(int pages);
    // "/" links address too. Set before a crawl.
    void AddStartLink(std::string address);
    // The paths of the refused area.
    std::vector<std::string> RefusedPaths() const;

    // Logs in through the form as a browser would (GET /login, POST /login with the
    // token) and returns the cookies it holds then, as Netscape cookies.txt text.
    std::string LogInWithForm();

    // How many requests asked for path (query left out), whatever their method.
    int Requests(const std::string& path) const;
    // Requests that carried a Cookie header at all, and page answers given to a live
    // session.
    int RequestsWithCookies() const;
    // How many requests carried the header name with value (names in any letter case).
    int RequestsWithHeader(const std::string& name, const std::string& value) const;
    // Every distinct Cookie header received.
    std::set<std::string> CookieHeaders() const;
    int PagesServed() const;

private:
    struct Session {
        int used = 0;
        int limit = 0; // 0: no limit
        bool ended = false;
    };
    void Answer(const httplib::Request& request, httplib::Response& response);
    void AnswerLogin(const httplib::Request& request, httplib::Response& response);
    std::string PageBody(std::size_t index) const;
    // The live session named by the request's cookie, counted; null when none.
    Session* LiveSession(const httplib::Request& request);
    std::string NewToken(); // under m_mutex

    const int m_pages;
    TestServer m_server;
    mutable std::mutex m_mutex;
    std::map<std::string, Session> m_sessions;
    std::set<std::string> m_csrfTokens;
    std::map<std::string, int> m_requests;
    int m_withCookies = 0;
    std::set<std::string> m_cookieHeaders;
    std::map<std::pair<std::string, std::string>, int> m_headers; // name lowered, value
    int m_served = 0;
    int m_expireAfter = 0;
    int m_refusal = 302;
    int m_refusedPages = 0;
    std::vector<std::string> m_startLinks;
    int m_counter = 0;
};

// The value of cookie name in a Cookie header; empty when absent.
std::string CookieValue(const std::string& cookieHeader, const std::string& name);
