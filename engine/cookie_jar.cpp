#include "engine/cookie_jar.h"

#include <algorithm>
#include <memory>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/file_store.h"
#endif

bool IsCookieLine(std::string_view line) {
    if (line.starts_with(kHttpOnlyPrefix))
        line.remove_prefix(kHttpOnlyPrefix.size());
    else if (line.starts_with('#'))
        return false;
    if (line.empty() || line.front() == '\t')
        return false;
    if (std::any_of(line.begin(), line.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        }))
        return false;
    return std::count(line.begin(), line.end(), '\t') == 6;
}

std::vector<std::string_view> CookieLinesOf(std::string_view netscapeText) {
    std::vector<std::string_view> lines;
    while (!netscapeText.empty()) {
        const std::size_t end = std::min(netscapeText.find('\n'), netscapeText.size());
        std::string_view line = netscapeText.substr(0, end);
        netscapeText.remove_prefix(std::min(end + 1, netscapeText.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (IsCookieLine(line))
            lines.push_back(line);
    }
    return lines;
}

CCookieDomain CookieDomainOf(std::string_view cookieLine) {
    if (cookieLine.starts_with(kHttpOnlyPrefix))
        cookieLine.remove_prefix(kHttpOnlyPrefix.size());
    const std::size_t tab = std::min(cookieLine.find('\t'), cookieLine.size());
    const std::string_view rest = cookieLine.substr(std::min(tab + 1, cookieLine.size()));
    return {cookieLine.substr(0, tab), rest.substr(0, rest.find('\t')) == "TRUE"};
}

CCookieJar::CCookieJar() {
    m_share = curl_share_init();
    if (m_share == nullptr)
        return;
    curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &CCookieJar::Lock);
    curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &CCookieJar::Unlock);
    curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
    if (curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
        curl_share_cleanup(m_share);
        m_share = nullptr;
    }
}

CCookieJar::~CCookieJar() {
    if (m_share != nullptr)
        curl_share_cleanup(m_share);
}

void CCookieJar::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CCookieJar*>(self)->m_locks[data].lock();
}

void CCookieJar::Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CCookieJar*>(self)->m_locks[data].unlock();
}

void CCookieJar::AttachTo(CURL* curl) const {
    if (m_share == nullptr || curl == nullptr)
        return;
    curl_easy_setopt(curl, CURLOPT_SHARE, m_share);
    // An empty file name turns the cookie engine on without reading a file.
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
}

int CCookieJar::Load(std::string_view netscapeText) {
    if (m_share == nullptr)
        return 0;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   &curl_easy_cleanup);
    if (!curl)
        return 0;
    AttachTo(curl.get());
    int taken = 0;
    // Only whole cookie lines: COOKIELIST also takes commands ("ALL", "RELOAD").
    for (const std::string_view line : CookieLinesOf(netscapeText)) {
        const std::string text(line);
        if (curl_easy_setopt(curl.get(), CURLOPT_COOKIELIST, text.c_str()) == CURLE_OK)
            ++taken;
    }
    return taken;
}

std::string CCookieJar::Text() const {
    std::string text(kCookieFileHeader);
    if (m_share == nullptr)
        return text;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   &curl_easy_cleanup);
    if (!curl)
        return text;
    AttachTo(curl.get());
    curl_slist* cookies = nullptr;
    if (curl_easy_getinfo(curl.get(), CURLINFO_COOKIELIST, &cookies) != CURLE_OK)
        return text;
    for (const curl_slist* item = cookies; item != nullptr; item = item->next) {
        text += item->data;
        text += '\n';
    }
    curl_slist_free_all(cookies);
    return text;
}

std::error_code WriteOwnerOnlyFile(const std::filesystem::path& path, std::string_view text) {
#ifdef _WIN32
    // A file in the user's profile is the user's own there.
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return out ? std::error_code() : std::make_error_code(std::errc::io_error);
#else
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0)
        return {errno, std::generic_category()};
    std::error_code error;
    // An existing file keeps its permissions on open; the jar must not stay readable.
    if (::fchmod(file, 0600) != 0)
        error = {errno, std::generic_category()};
    if (!error)
        error = WriteAllTo(file, text);
    if (::close(file) != 0 && !error)
        error = {errno, std::generic_category()};
    return error;
#endif
}
