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

// The start of a crawl on the file clock. File systems stamp files from a clock that
// can lag the precise one by a tick, so this waits out that lag before it returns:
// every file written before the call is stamped earlier than the result, every file
// written after it at or after the result.
std::filesystem::file_time_type FileClockCrawlStart();

// A file time as calendar seconds, rounded down.
std::int64_t FileTimeSeconds(std::filesystem::file_time_type time);
