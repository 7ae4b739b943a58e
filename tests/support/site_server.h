#pragma once
// A small web site served from memory on 127.0.0.1 for crawl tests. Pages are added
// before Start(); every request is logged, and a path can be held closed (its answers
// wait) until the test opens it.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/test_server.h"

class SiteServer {
public:
    struct Page {
        Page() = default;
        explicit Page(std::string body, std::string contentType = "text/html", int status = 200)
            : body(std::move(body)), contentType(std::move(contentType)), status(status) {}

        std::string body;
        std::string contentType = "text/html";
        int status = 200;
        int headStatus = 0; // the HEAD answer's status when it differs
        std::multimap<std::string, std::string> headers;
    };

    SiteServer() {
        m_server.server().Get(R"(.*)",
                              [this](const httplib::Request& request, httplib::Response& response) {
                                  Answer(request, response);
                              });
    }
    ~SiteServer() {
        OpenAll();
        m_server.Stop();
    }

    void Add(const std::string& path, Page page) { m_pages[path] = std::move(page); }
    // Changes a page between crawls (never while one runs).
    Page& Edit(const std::string& path) { return m_pages.at(path); }
    // Answers 304 to a GET whose If-Modified-Since equals the page's Last-Modified or
    // whose If-None-Match equals its ETag, as servers that compare exactly do.
    void HonourConditions() { m_conditions = true; }
    // Pages are told apart by their query too ("/l.php?p=1"), and the log shows it.
    void KeepQueries() { m_queries = true; }
    // The next `requests` requests, whatever they ask for, are answered with status (429
    // or 503) and, when not empty, Retry-After.
    void BeBusy(int requests, int status, std::string retryAfter) {
        std::lock_guard lock(m_mutex);
        m_busyAnswers = requests;
        m_busyStatus = status;
        m_retryAfter = std::move(retryAfter);
    }
    // The next `times` requests for path are answered with status, without Retry-After.
    void TurnAway(const std::string& path, int times, int status = 503) {
        std::lock_guard lock(m_mutex);
        m_turnAway[path] = {times, status};
    }
    void AddHtml(const std::string& path, std::string body) { Add(path, Page{std::move(body)}); }
    // A page of another host name that reaches this server (localhost, say): requests
    // whose Host header names it are answered from these pages and logged as
    // "GET //host/path".
    void AddOn(const std::string& host, const std::string& path, Page page) {
        m_pages["//" + host + path] = std::move(page);
    }
    void Start() { m_server.Start(); }
    std::string Url(const std::string& path) const { return m_server.Url(path); }
    int Port() const { return m_server.port(); }
    std::string Host() const { return "127.0.0.1"; }

    // Answers for path wait until Open(path) (or the server's end).
    void Hold(const std::string& path) {
        std::lock_guard lock(m_mutex);
        m_held.insert(path);
    }
    void Open(const std::string& path) {
        std::lock_guard lock(m_mutex);
        m_held.erase(path);
        m_changed.notify_all();
    }
    void OpenAll() {
        std::lock_guard lock(m_mutex);
        m_held.clear();
        m_closing = true;
        m_changed.notify_all();
    }

    // "HEAD /a.htm", "GET /a.htm", ... in arrival order; Note() adds the test's own marks.
    std::vector<std::string> Log() const {
        std::lock_guard lock(m_mutex);
        return m_log;
    }
    // The same requests with their targets as sent, query included: "GET /l.php?p=2".
    std::vector<std::string> Targets() const {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }
    // When each entry of Log() was made.
    std::vector<std::chrono::steady_clock::time_point> Times() const {
        std::lock_guard lock(m_mutex);
        return m_times;
    }
    void Note(const std::string& mark) {
        std::lock_guard lock(m_mutex);
        m_log.push_back(mark);
        m_times.push_back(std::chrono::steady_clock::now());
        m_changed.notify_all();
    }
    // Connections the server accepted (distinct client ports).
    std::size_t Connections() const {
        std::lock_guard lock(m_mutex);
        return m_clientPorts.size();
    }
    // Answers that carried a page's body (status 200 to a GET).
    int Bodies() const {
        std::lock_guard lock(m_mutex);
        return m_bodies;
    }
    int Count(const std::string& entry) const {
        std::lock_guard lock(m_mutex);
        return CountLocked(entry);
    }
    // Waits until entry has been logged at least times times.
    bool WaitFor(const std::string& entry, int times = 1,
                 std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return CountLocked(entry) >= times; });
    }

private:
    int CountLocked(const std::string& entry) const {
        return static_cast<int>(std::count(m_log.begin(), m_log.end(), entry));
    }

    // The path, or "//host/path" for a request to another host name.
    std::string PageKey(const httplib::Request& request) const {
        std::string host = request.get_header_value("Host");
        host = host.substr(0, host.find(':'));
        const std::string& path = m_queries ? request.target : request.path;
        return host.empty() || host == "127.0.0.1" ? path : "//" + host + path;
    }

    void Answer(const httplib::Request& request, httplib::Response& response) {
        const std::string key = PageKey(request);
        {
            std::unique_lock lock(m_mutex);
            m_log.push_back(request.method + " " + key);
            m_targets.push_back(request.method + " " + request.target);
            m_times.push_back(std::chrono::steady_clock::now());
            m_clientPorts.insert(request.remote_port);
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_closing || !m_held.contains(request.path); });
            if (m_busyAnswers > 0) {
                m_busyAnswers -= 1;
                response.status = m_busyStatus;
                if (!m_retryAfter.empty())
                    response.set_header("Retry-After", m_retryAfter);
                return;
            }
            if (const auto turn = m_turnAway.find(key);
                turn != m_turnAway.end() && turn->second.first > 0) {
                turn->second.first -= 1;
                response.status = turn->second.second;
                return;
            }
        }
        const auto page = m_pages.find(key);
        if (page == m_pages.end()) {
            response.status = 404;
            response.set_content("not found", "text/html");
            return;
        }
        if (m_conditions && request.method == "GET" && page->second.status == 200 &&
            (Matches(request, page->second, "If-Modified-Since", "Last-Modified") ||
             Matches(request, page->second, "If-None-Match", "ETag"))) {
            response.status = 304;
            return;
        }
        response.status = page->second.status;
        if (request.method == "HEAD" && page->second.headStatus != 0)
            response.status = page->second.headStatus;
        if (request.method == "GET" && response.status == 200) {
            std::lock_guard lock(m_mutex);
            ++m_bodies;
        }
        for (const auto& [name, value] : page->second.headers)
            response.set_header(name.c_str(), value);
        response.set_content(page->second.body, page->second.contentType.c_str());
    }

    static bool Matches(const httplib::Request& request, const Page& page, const char* condition,
                        const std::string& header) {
        const auto value = page.headers.find(header);
        return request.has_header(condition) && value != page.headers.end() &&
               request.get_header_value(condition) == value->second;
    }

    TestServer m_server;
    bool m_conditions = false;
    bool m_queries = false;
    int m_bodies = 0;
    int m_busyAnswers = 0;
    int m_busyStatus = 0;
    std::string m_retryAfter;
    std::map<std::string, std::pair<int, int>> m_turnAway; // path: answers left, status
    std::set<int> m_clientPorts;
    std::map<std::string, Page> m_pages; // fixed once the server runs
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<std::string> m_held;
    bool m_closing = false;
    std::vector<std::string> m_log;
    std::vector<std::string> m_targets;
    std::vector<std::chrono::steady_clock::time_point> m_times;
};
