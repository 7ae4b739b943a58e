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
    void AddHtml(const std::string& path, std::string body) { Add(path, Page{std::move(body)}); }
    void Start() { m_server.Start(); }
    std::string Url(const std::string& path) const { return m_server.Url(path); }
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
    void Note(const std::string& mark) {
        std::lock_guard lock(m_mutex);
        m_log.push_back(mark);
        m_changed.notify_all();
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

    void Answer(const httplib::Request& request, httplib::Response& response) {
        {
            std::unique_lock lock(m_mutex);
            m_log.push_back(request.method + " " + request.path);
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_closing || !m_held.contains(request.path); });
        }
        const auto page = m_pages.find(request.path);
        if (page == m_pages.end()) {
            response.status = 404;
            response.set_content("not found", "text/html");
            return;
        }
        response.status = page->second.status;
        if (request.method == "HEAD" && page->second.headStatus != 0)
            response.status = page->second.headStatus;
        for (const auto& [name, value] : page->second.headers)
            response.set_header(name.c_str(), value);
        response.set_content(page->second.body, page->second.contentType.c_str());
    }

    TestServer m_server;
    std::map<std::string, Page> m_pages; // fixed once the server runs
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<std::string> m_held;
    bool m_closing = false;
    std::vector<std::string> m_log;
};
