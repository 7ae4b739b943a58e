#pragma once
// The options that let a crawl in where a login is needed: cookies from a cookies.txt
// file, the jar written back at the end, and request headers of the user's own. Checked
// and applied to the sites before the crawl, so that a wrong option costs no crawl.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class CSite;

struct LoginOptions {
    std::filesystem::path cookiesFile;     // Netscape cookies.txt to start with
    std::filesystem::path saveCookiesFile; // where the jar goes at the end
    std::vector<std::string> headers;      // "Name: value", as typed
};

// Whether a header line reads "Name: value" with a name of token characters and a value
// without line breaks.
bool IsHeaderLine(std::string_view line);

// Gives every site the cookies and headers; false with error set when a file cannot be
// read or a header is malformed. notice receives a warning worth showing, or nothing.
bool ApplyLoginOptions(const LoginOptions& options, const std::vector<CSite*>& sites,
                       std::string& error, std::string& notice);

// Writes the cookies the sites' crawls ended with to the save file (owner-only); false
// with error set when it cannot be written. Does nothing without a save file.
bool SaveEndCookies(const LoginOptions& options, const std::vector<CSite*>& sites,
                    std::string& error);
