#pragma once
// Site names: derived from a start address, and used as the site's folder name.

#include <functional>
#include <string>
#include <string_view>

// "http://www.example.com/x/" gives "Example"; an empty text gives "Untitled".
std::string SiteNameFromAddress(std::string_view text);

// The name a new site takes from its start address: that of the host alone, so that a port
// or a login does not become part of its folder's name. Text without a scheme is read as an
// http address, as the site sheet completes it.
std::string SiteNameForAddress(std::string_view address);

// Whether a site name can serve as a folder directly under the sites directory:
// not empty, not "." or "..", and free of separators and NUL (plus the names and
// characters Windows refuses, when windowsRules is set).
bool IsSafeSiteName(std::string_view name);
// Why a site name cannot serve so, in words ("\"a/b\" cannot be the name of a folder");
// empty when it can. The crawl and the site sheet refuse a name with the same words.
std::string UnsafeSiteNameReason(std::string_view name);

// base when taken(base) is false, else the first free of "base (2)", "base (3)", ...
std::string UniqueSiteName(const std::string& base,
                           const std::function<bool(const std::string&)>& taken);
