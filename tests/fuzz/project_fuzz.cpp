// Any file offered as a project: loading never crashes or hangs, and what loads saves
// again to a file that loads back to the same text.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/project.h"

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
    }
    return 0;
}
