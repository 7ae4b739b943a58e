#pragma once
// An HTTP server on 127.0.0.1 and an ephemeral port, running on its own thread for the
// length of a test. Register handlers on server() before Start().

#include <httplib.h>

#include <string>
#include <thread>

class TestServer {
public:
    TestServer() = default;
    ~TestServer() { Stop(); }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    httplib::Server& server() { return m_server; }

    // Binds and starts listening; returns once the port accepts connections.
    void Start() {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    void Stop() {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    int port() const { return m_port; }
    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};
