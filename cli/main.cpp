// quarn-cli: mirrors web sites from the command line with the same engine as the window.

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    CliTerminal terminal;
    terminal.errIsTerminal = isatty(STDERR_FILENO) == 1;
    if (winsize size{}; terminal.errIsTerminal && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        terminal.columns = size.ws_col;
    return RunCli(args, std::cout, std::cerr, terminal);
}
