#pragma once
// Calendar time in seconds, replaceable so that tests can step it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

std::int64_t NowSeconds();

// Replaces the clock; an empty function restores the system clock. For tests.
void SetClockForTesting(std::function<std::int64_t()> clock);

// The local time of day of a calendar time, as "%H:%M:%S".
std::string FormatTimeOfDay(std::int64_t seconds);

// Now, on the clock that stamps files: a file written after this call never has an
// earlier modification time (on Linux the kernel stamps files from its coarse clock,
// which can lag the precise one by a tick).
std::filesystem::file_time_type FileClockNow();

// Waits for the file clock's next tick and returns it. Files stamped before the call
// are earlier than the result, files stamped after it are not: a crawl that starts
// right after another ends can tell their files apart.
std::filesystem::file_time_type FileClockNextTick();
