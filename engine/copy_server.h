#pragma once
// Serves a stored copy, read-only, to a browser on this machine: pages whose scripts load
// files with fetch(), module scripts and workers work over http://127.0.0.1, where they are
// refused from file://. The command line's "serve" and the window's browser pane use it.

#include <filesystem>
#include <memory>
#include <string>

class CCopyServer {
public:
    CCopyServer();
    ~CCopyServer();
    CCopyServer(const CCopyServer&) = delete;
    CCopyServer& operator=(const CCopyServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port) and serves folder's files on a thread
    // of its own. False, with error, when the folder is missing or the port is taken.
    bool Start(const std::filesystem::path& folder, int port, std::string& error);
    int Port() const { return m_port; }
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_port = 0;
};
