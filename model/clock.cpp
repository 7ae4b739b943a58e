#include "model/clock.h"

#include <ctime>
#include <thread>

namespace {
std::function<std::int64_t()>& Override() {
    static std::function<std::int64_t()> clock;
    return clock;
}
} // namespace

std::int64_t NowSeconds() {
    if (const auto& clock = Override())
        return clock();
    return static_cast<std::int64_t>(std::time(nullptr));
}

void SetClockForTesting(std::function<std::int64_t()> clock) {
    Override() = std::move(clock);
}

std::string FormatTimeOfDay(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &t);
#else
    localtime_r(&t, &parts);
#endif
    char text[16];
    const std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", &parts);
    return std::string(text, length);
}

std::int64_t FileTimeSeconds(std::filesystem::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

std::filesystem::file_time_type FileClockCrawlStart() {
    const auto start = std::filesystem::file_time_type::clock::now();
    // A jiffy is 10 ms at the slowest common kernel tick rate.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return start;
}
