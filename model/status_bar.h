#pragma once
// The status-bar hook. Sites and the engine show progress through SetStatusBarText; the
// front end (window, command line or test) installs the handler before any crawl runs.

#include <functional>
#include <string>

using StatusBarHandler = std::function<void(const std::string&)>;

// Called on any thread. Without a handler the text goes nowhere.
void SetStatusBarText(const std::string& text);

// Installs the handler; not thread-safe against concurrent SetStatusBarText calls, so
// install it at start-up (or in a test before the code under test runs).
void SetStatusBarHandler(StatusBarHandler handler);
