#pragma once
// An HTTP server on 127.0.0.1 (or another loopback address) and an ephemeral port,
// running on its own thread for the length of a test. Register handlers on server()
// before Start().

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

    // Binds and starts listening; returns once the port accepts connections. A port of
    // 0 takes any free one; another server's port on another loopback address makes a
    // second host at the same port.
    void Start(const std::string& address = "127.0.0.1", int port = 0) {
        m_address = address;
        if (port == 0)
            m_port = m_server.bind_to_any_port(address);
        else
            m_port = m_server.bind_to_port(address, port) ? port : -1;
        if (m_port <= 0)
            return; // nothing listens: port() says so
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
    const std::string& address() const { return m_address; }
    std::string Url(const std::string& path = "/") const {
        return "http://" + m_address + ":" + std::to_string(m_port) + path;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    std::string m_address = "127.0.0.1";
    int m_port = 0;
};
