#include "model/clock.h"

#include <ctime>
#include <thread>

#ifdef __linux__
#include <time.h>
#endif

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

std::filesystem::file_time_type FileClockNow() {
#ifdef __linux__
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0) {
        const auto since = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
        return std::chrono::file_clock::from_sys(
            std::chrono::sys_time<std::chrono::nanoseconds>(since));
    }
#endif
    return std::filesystem::file_time_type::clock::now();
}

std::filesystem::file_time_type FileClockNextTick() {
    const auto before = FileClockNow();
    for (int waited = 0; waited < 100; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto now = FileClockNow();
        if (now != before)
            return now;
    }
    return FileClockNow();
}
