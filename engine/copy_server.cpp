#include "engine/copy_server.h"

#include <httplib.h>

#include <fstream>
#include <thread>

#include "model/file_path.h"
#include "model/served_file.h"
#include "web/media_type.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kChunkBytes = 256 * 1024;

// Streams the file in pieces: a copy may hold files of several gigabytes.
void SendFile(const fs::path& path, httplib::Response& response) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    auto in = std::make_shared<std::ifstream>(path, std::ios::binary);
    if (error || !*in) {
        response.status = 404;
        return;
    }
    response.set_content_provider(
        static_cast<std::size_t>(size), std::string(MediaTypeOfFile(FromFsPath(path.filename()))),
        [in](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::string buffer(std::min(length, kChunkBytes), '\0');
            in->seekg(static_cast<std::streamoff>(offset));
            in->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<std::size_t>(in->gcount());
            if (got == 0)
                return false; // the file shrank under us: end the answer
            sink.write(buffer.data(), got);
            return true;
        });
}

// The first folder of the path of the page that asked ("/h" of
// "http://127.0.0.1:8000/h/docs/a.html"); empty when there is none.
std::string RefererFolder(std::string_view referer) {
    const auto scheme = referer.find("://");
    if (scheme == std::string_view::npos)
        return {};
    const auto path = referer.find('/', scheme + 3);
    if (path == std::string_view::npos)
        return {};
    const auto end = referer.find_first_of("/?#", path + 1);
    if (end == std::string_view::npos || referer[end] != '/')
        return {};
    return std::string(referer.substr(path, end - path));
}

// Scripts ask for root-relative addresses ("/assets/app.js") that the copy keeps below
// their server's folder: a file the root lacks is looked for in the folder of the page
// that asked, and the browser is sent there, so that what it loads next resolves there too.
CServedFile FindBelowRefererFolder(const fs::path& root, const httplib::Request& request) {
    const std::string folder = RefererFolder(request.get_header_value("Referer"));
    if (folder.empty() || folder == "/." || folder == "/.." ||
        request.path.starts_with(folder + "/"))
        return {};
    const std::string moved = folder + request.path;
    if (FindServedFile(root, moved).kind != CServedFile::Kind::File)
        return {};
    return {CServedFile::Kind::Redirect, ToFsPath(moved)};
}
} // namespace

struct CCopyServer::Impl {
    httplib::Server server;
    std::thread thread;
    fs::path root;
};

CCopyServer::CCopyServer() : m_impl(std::make_unique<Impl>()) {}

CCopyServer::~CCopyServer() {
    Stop();
}

bool CCopyServer::Start(const fs::path& folder, int port, std::string& error) {
    std::error_code failure;
    m_impl->root = fs::canonical(folder, failure);
    if (failure || !fs::is_directory(m_impl->root, failure)) {
        error = "it is not a folder";
        return false;
    }
    httplib::Server& server = m_impl->server;
    server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        CServedFile found = FindServedFile(m_impl->root, request.path);
        if (found.kind == CServedFile::Kind::NotFound)
            found = FindBelowRefererFolder(m_impl->root, request);
        switch (found.kind) {
        case CServedFile::Kind::File:
            SendFile(found.path, response);
            break;
        case CServedFile::Kind::Redirect:
            response.set_redirect(FromFsPath(found.path), 302);
            break;
        case CServedFile::Kind::NotFound:
            response.status = 404;
            response.set_content("Not found\n", "text/plain");
            break;
        }
    });
    if (port == 0)
        m_port = server.bind_to_any_port("127.0.0.1");
    else
        m_port = server.bind_to_port("127.0.0.1", port) ? port : -1;
    if (m_port <= 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port);
        m_port = 0;
        return false;
    }
    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    return true;
}

void CCopyServer::Stop() {
    if (!m_impl->thread.joinable())
        return;
    m_impl->server.stop();
    m_impl->thread.join();
}
