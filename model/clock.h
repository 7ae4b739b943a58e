#pragma once
// Calendar time in seconds, replaceable so that tests can step it.

#include <cstdint>
#include <functional>
#include <string>

std::int64_t NowSeconds();

// Replaces the clock; an empty function restores the system clock. For tests.
void SetClockForTesting(std::function<std::int64_t()> clock);

// The local time of day of a calendar time, as "%H:%M:%S".
std::string FormatTimeOfDay(std::int64_t seconds);
