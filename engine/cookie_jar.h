#pragma once
// CCookieJar: one crawl's cookies, kept by libcurl's cookie engine in a share handle that
// every worker's connection of that crawl is attached to, so that a cookie one worker
// receives goes out with the next request of any other. libcurl decides which cookie
// goes to which server (domain, path, secure, expiry).
//
// Threads: any number at once; libcurl calls the lock callbacks around every use of the
// shared data. The jar must outlive every connection attached to it (they hold it).

#include <curl/curl.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

class CCookieJar {
public:
    CCookieJar();
    ~CCookieJar();
    CCookieJar(const CCookieJar&) = delete;
    CCookieJar& operator=(const CCookieJar&) = delete;

    // Whether the share could be made; an unusable jar attaches nothing.
    bool IsUsable() const { return m_share != nullptr; }
    // Takes the cookie lines of Netscape cookies.txt text; comments, blank lines and
    // anything that is not a cookie line are passed over. Returns the lines taken.
    int Load(std::string_view netscapeText);
    // The jar as Netscape cookies.txt text, with its header comment.
    std::string Text() const;
    // Makes the easy handle send and keep this jar's cookies.
    void AttachTo(CURL* curl) const;

private:
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void Unlock(CURL*, curl_lock_data data, void* self);

    CURLSH* m_share = nullptr;
    // One lock per kind of shared data libcurl names.
    std::mutex m_locks[CURL_LOCK_DATA_LAST];
};

// The comment cookies.txt begins with; alone, it is a jar without cookies.
inline constexpr std::string_view kCookieFileHeader = "# Netscape HTTP Cookie File\n";
// Marks a cookie line of an HttpOnly cookie, in front of its domain.
inline constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

// Whether a line is a cookie line of cookies.txt: seven tab-separated fields, a
// "#HttpOnly_" prefix allowed, no control bytes.
bool IsCookieLine(std::string_view line);
// The cookie lines of cookies.txt text (line ends LF or CR LF), in order.
std::vector<std::string_view> CookieLinesOf(std::string_view netscapeText);

// The host a cookie line is for (a leading "." kept), and whether its subdomains get the
// cookie too.
struct CCookieDomain {
    std::string_view host;
    bool subdomains = false;
};
CCookieDomain CookieDomainOf(std::string_view cookieLine);

// Writes text to path readable and writable by its owner only (0600), also when the
// file was there with wider permissions.
std::error_code WriteOwnerOnlyFile(const std::filesystem::path& path, std::string_view text);
