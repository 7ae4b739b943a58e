// Any file offered as a project: loading never crashes or hangs, what loads saves again to
// a file that loads back to the same text, and every site's rules, compiled as a crawl
// compiles them, can judge its own start address.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/project.h"
#include "model/site.h"
#include "model/site_group.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    CProject project;
    std::string error;
    if (project.Load(in, error)) {
        std::ostringstream out;
        project.Store(out);
        std::istringstream saved(out.str());
        CProject reloaded;
        if (!reloaded.Load(saved, error))
            __builtin_trap();
        std::ostringstream again;
        reloaded.Store(again);
        if (again.str() != out.str())
            __builtin_trap();
        for (const auto& group : project.GetGroups()) {
            for (const auto& site : group->m_sites) {
                site->CompilePatterns();
                site->IsAllowed(CUrl(nullptr, site->m_url, kLinkFollowed));
            }
        }
    }
    return 0;
}
