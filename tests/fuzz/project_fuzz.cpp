// Any file offered as a project: loading never crashes, and what loads saves again.

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
    }
    return 0;
}
