// Any text a page may hold as a link: parsing never crashes, and a local path is either
// refused (empty) or lies inside the site's folder, in names the file system can hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "web/long_name.h"
#include "web/url.h"
#include "fuzz_input.h"

namespace {
void CheckLocalPath(const CUrl& url) {
    const std::string local = url.GetLocalPath(CLocalNaming{"/s", "Site", "index.htm"});
    if (local.empty())
        return;
    Require(local.rfind("/s/Site/", 0) == 0);
    // No component may climb out.
    std::string_view rest(local);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        Require(part != "." && part != "..");
        Require(part.size() <= kLongestNameBytes);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [baseText, linkText] =
        SplitBaseAndLink(std::string_view(reinterpret_cast<const char*>(data), size));

    const CUrl base(nullptr, baseText, kLinkFollowed);
    const CUrl link(&base, linkText, kLinkFollowed);
    for (const CUrl* url : {&base, &link}) {
        (void)url->GetURL();
        (void)url->GetObjectName();
        CheckLocalPath(*url);
    }
    (void)link.MakeRelative(base, "index.htm");
    (void)CUrl::HostOf(linkText);
    (void)CUrl::SchemeOf(linkText);
    return 0;
}
