#include "cli/serve_copy.h"

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "engine/copy_server.h"
#include "model/file_path.h"

namespace fs = std::filesystem;

int ServeCopy(const fs::path& folder, int port, std::ostream& out, std::ostream& err) {
    CInterruptScope interrupts;
    CCopyServer server;
    std::string error;
    if (!server.Start(folder, port, error)) {
        err << "quarn-cli: cannot serve " << FromFsPath(folder) << ": " << error << '\n';
        return kExitUsage;
    }
    out << "Serving " << FromFsPath(folder) << " at http://127.0.0.1:" << server.Port()
        << "/ (Ctrl+C stops)" << std::endl;
    while (CInterruptScope::Signal() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    server.Stop();
    return kExitOk;
}
