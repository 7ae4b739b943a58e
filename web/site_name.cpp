#include "web/site_name.h"

#include "web/byte_text.h"

#include "web/local_naming.h"
#include "web/url.h"

std::string SiteNameFromAddress(std::string_view text) {
    std::string name(text.empty() ? std::string_view("Untitled") : text);
    // Both prefixes are tested in turn and only in lower case: "HTTP://" stays.
    if (name.starts_with("http://")) {
        name.erase(0, 7);
    }
    if (name.starts_with("https://")) {
        name.erase(0, 8);
    }
    if (const auto slash = name.find('/'); slash != std::string::npos) {
        name.erase(slash);
    }
    if (name.starts_with("www.")) {
        name.erase(0, 4);
    }
    for (int i = 0; i < 5; ++i) {
        if (const auto com = name.find(".com"); com != std::string::npos) {
            name.erase(com, 4);
        }
    }
    std::erase_if(name, [](char c) { return c == '.' || c == '\\' || c == ':' || c == ';'; });
    if (!name.empty()) {
        name[0] = ToUpperAscii(name[0]);
    }
    return name;
}

std::string SiteNameForAddress(std::string_view address) {
    if (CUrl::SchemeOf(address).empty())
        return SiteNameFromAddress(CUrl::HostOf("http://" + std::string(address)));
    return SiteNameFromAddress(CUrl::HostOf(address));
}

bool IsSafeSiteName(std::string_view name) {
    return IsSafeNameSegment(name, kWindowsNameRules);
}

std::string UnsafeSiteNameReason(std::string_view name) {
    if (IsSafeSiteName(name))
        return {};
    if (name.empty())
        return "it has no name";
    return "\"" + std::string(name) + "\" cannot be the name of a folder";
}

std::string UniqueSiteName(const std::string& base,
                           const std::function<bool(const std::string&)>& taken) {
    std::string name = base;
    for (int n = 2; taken(name); ++n)
        name = base + " (" + std::to_string(n) + ")";
    return name;
}
