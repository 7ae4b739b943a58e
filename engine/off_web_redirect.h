#pragma once
// Redirects whose target is not a web address (file:, javascript:, data:, ...). A stub
// that forwarded to one would open a local file or run a script when the copy is read,
// so such a redirect is stored as a page that only shows where it led.

#include <string>
#include <string_view>

// Whether target, read from a page on the web, leaves it: as the crawl reads the target
// and as a browser does. A relative target stays, and so does one naming http or https.
bool LeavesTheWeb(std::string_view target);

// The page such a redirect is stored as: the target as escaped text, with no refresh,
// script or link.
std::string OffWebRedirectStub(std::string_view target);
