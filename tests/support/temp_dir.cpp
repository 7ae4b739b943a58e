#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int tries = 0; tries < 100; ++tries) {
        fs::path candidate =
            fs::temp_directory_path() /
            ("quarn-test-" + std::to_string(stamp) + "-" + std::to_string(counter.fetch_add(1)));
        if (fs::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}
