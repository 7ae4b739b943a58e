#pragma once
// quarn-cli's commands: the arguments are parsed here and dispatched to the crawl or the
// listing. Streams come in as parameters so that tests run the command line in process.

#include <iosfwd>
#include <span>
#include <string>

struct CliTerminal {
    bool errIsTerminal = false; // stderr is a terminal: progress redraws in place
    int columns = 0;            // its width; 0 when unknown
};

// args are the arguments after the program name. Returns the exit code (exit_codes.h).
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
           const CliTerminal& terminal = {});
