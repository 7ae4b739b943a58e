#include "cli/login_options.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "engine/cookie_jar.h"
#include "model/site.h"

namespace {
// A cookies.txt larger than this is no cookies file.
constexpr std::uintmax_t kMaxCookieFileBytes = std::uintmax_t{16} << 20;
// Text that turns the jar on without giving it a cookie.
constexpr std::string_view kEmptyJar = "# Netscape HTTP Cookie File\n";

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool ReadCookieFile(const std::filesystem::path& path, std::string& text, std::string& error) {
    std::error_code code;
    const auto size = std::filesystem::file_size(path, code);
    if (code) {
        error = "--cookies: cannot read " + path.string() + ": " + code.message();
        return false;
    }
    if (size > kMaxCookieFileBytes) {
        error = "--cookies: " + path.string() + " is too large for a cookies file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = "--cookies: cannot read " + path.string();
        return false;
    }
    return true;
}

int CookieLines(std::string_view text) {
    int count = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        count += IsCookieLine(line) ? 1 : 0;
    }
    return count;
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
        if (CookieLines(cookies) == 0)
            notice = "--cookies: " + options.cookiesFile.string() + " holds no cookie lines";
    }
    // Either option asks for a jar, even without cookies to start it.
    if (cookies.empty() && (!options.cookiesFile.empty() || !options.saveCookiesFile.empty()))
        cookies = kEmptyJar;
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
    std::string text(kEmptyJar);
    for (const CSite* site : sites) {
        const std::string cookies = site->EndCookies();
        // Every jar's text begins with the same header comment.
        text += cookies.starts_with(kEmptyJar) ? cookies.substr(kEmptyJar.size()) : cookies;
    }
    if (const auto code = WriteOwnerOnlyFile(options.saveCookiesFile, text)) {
        error = "--save-cookies: cannot write " + options.saveCookiesFile.string() + ": " +
                code.message();
        return false;
    }
    return true;
}
