#include "cli/login_options.h"

#include <system_error>

#include "engine/cookie_jar.h"
#include "engine/file_store.h"
#include "model/file_path.h"
#include "model/site.h"

namespace {
// A cookies.txt larger than this is no cookies file.
constexpr std::size_t kMaxCookieFileBytes = std::size_t{16} << 20;

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool ReadCookieFile(const std::filesystem::path& path, std::string& text, std::string& error) {
    const std::error_code code = ReadWholeFile(FromFsPath(path), text, kMaxCookieFileBytes);
    if (code == std::errc::file_too_large)
        error = "--cookies: " + path.string() + " is too large for a cookies file";
    else if (code)
        error = "--cookies: cannot read " + path.string() + ": " + code.message();
    return !code;
}
} // namespace

bool IsHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return false;
    for (const char c : line.substr(0, colon)) {
        if (!IsTokenChar(c))
            return false;
    }
    for (const char c : line.substr(colon + 1)) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
            return false;
    }
    return true;
}

bool ApplyLoginOptions(const LoginOptions& options, const std::vector<CSite*>& sites,
                       std::string& error, std::string& notice) {
    for (const std::string& header : options.headers) {
        if (!IsHeaderLine(header)) {
            error = "--header: \"" + header + "\" is not a header line (\"Name: value\")";
            return false;
        }
    }
    std::string cookies;
    if (!options.cookiesFile.empty()) {
        if (!ReadCookieFile(options.cookiesFile, cookies, error))
            return false;
        if (CookieLinesOf(cookies).empty())
            notice = "--cookies: " + options.cookiesFile.string() + " holds no cookie lines";
    }
    // Either option asks for a jar, even without cookies to start it.
    if (cookies.empty() && (!options.cookiesFile.empty() || !options.saveCookiesFile.empty()))
        cookies = kCookieFileHeader;
    for (CSite* site : sites) {
        if (!cookies.empty())
            site->SetStartCookies(cookies);
        if (!options.headers.empty())
            site->SetRequestHeaders(options.headers);
    }
    return true;
}

bool SaveEndCookies(const LoginOptions& options, const std::vector<CSite*>& sites,
                    std::string& error) {
    if (options.saveCookiesFile.empty())
        return true;
    std::string text(kCookieFileHeader);
    for (const CSite* site : sites) {
        const std::string cookies = site->EndCookies();
        // Every jar's text begins with the same header comment.
        text += cookies.starts_with(kCookieFileHeader) ? cookies.substr(kCookieFileHeader.size())
                                                       : cookies;
    }
    if (const auto code = WriteOwnerOnlyFile(options.saveCookiesFile, text)) {
        error = "--save-cookies: cannot write " + options.saveCookiesFile.string() + ": " +
                code.message();
        return false;
    }
    return true;
}
