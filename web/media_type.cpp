#include "web/media_type.h"

#include <array>
#include <utility>

#include "web/byte_text.h"

namespace {
using Entry = std::pair<std::string_view, std::string_view>;

constexpr std::array<Entry, 40> kTypes{{
    {"htm", "text/html"},
    {"html", "text/html"},
    {"xhtml", "application/xhtml+xml"},
    {"shtml", "text/html"},
    {"css", "text/css"},
    {"js", "text/javascript"},
    {"mjs", "text/javascript"},
    {"cjs", "text/javascript"},
    {"json", "application/json"},
    {"map", "application/json"},
    {"webmanifest", "application/manifest+json"},
    {"xml", "application/xml"},
    {"rss", "application/rss+xml"},
    {"atom", "application/atom+xml"},
    {"txt", "text/plain"},
    {"md", "text/markdown"},
    {"csv", "text/csv"},
    {"svg", "image/svg+xml"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"webp", "image/webp"},
    {"avif", "image/avif"},
    {"ico", "image/x-icon"},
    {"bmp", "image/bmp"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},
    {"otf", "font/otf"},
    {"eot", "application/vnd.ms-fontobject"},
    {"wasm", "application/wasm"},
    {"pdf", "application/pdf"},
    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"mp4", "video/mp4"},
    {"webm", "video/webm"},
    {"mp3", "audio/mpeg"},
    {"ogg", "audio/ogg"},
    {"wav", "audio/wav"},
}};
} // namespace

std::string_view MediaTypeOfFile(std::string_view fileName) {
    const auto slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    const auto dot = fileName.rfind('.');
    if (dot != std::string_view::npos) {
        const std::string_view extension = fileName.substr(dot + 1);
        for (const auto& [known, type] : kTypes)
            if (EqualsIgnoringAsciiCase(extension, known))
                return type;
    }
    return "application/octet-stream";
}
