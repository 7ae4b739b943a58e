#pragma once
// quarn-cli serve: a stored copy shown to a browser on this machine until Ctrl+C.

#include <filesystem>
#include <iosfwd>

// Serves folder on 127.0.0.1:port (0: any free one) until Ctrl+C, SIGTERM or SIGHUP;
// returns the exit code.
int ServeCopy(const std::filesystem::path& folder, int port, std::ostream& out, std::ostream& err);
