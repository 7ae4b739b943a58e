#include "web/status_text.h"

#include <array>
#include <string_view>

namespace {

struct StatusEntry {
    int code;
    std::string_view text;
};

// The short names of the platform's HTTP status constants, not the standard's phrases.
constexpr std::array<StatusEntry, 36> kStatusTexts = {{
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Partial"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {300, "Ambiguous"},
    {301, "Moved"},
    {302, "Redirect"},
    {303, "Redirect Method"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {307, "Redirect Keep Verb"},
    {400, "Bad Request"},
    {401, "Denied"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Bad Method"},
    {406, "None Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Too Large"},
    {414, "URI Too Long"},
    {415, "Unsupported Media"},
    {500, "Server Error"},
    {501, "Not Supported"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "Version Not Supported"},
}};

} // namespace

std::string StatusText(int code) {
    for (const auto& entry : kStatusTexts) {
        if (entry.code == code) {
            return std::string(entry.text);
        }
    }
    return "?";
}
