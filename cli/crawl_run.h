#pragma once
// One run of the engine for the command line: the sites are posted to a controller in
// order, the main thread waits (showing progress) until the controller is idle again,
// and then prints a summary per site. Ctrl+C stops every site the way the Stop command
// does.

#include <filesystem>
#include <iosfwd>
#include <vector>

class CSite;
struct LoginOptions;

struct CrawlOutput {
    bool quiet = false;         // no progress and no start or finish lines
    bool showLog = false;       // each site's log and error list after its summary
    bool beep = false;          // the terminal bell when the run is done
    bool errIsTerminal = false; // redraw the progress line in place
    int terminalColumns = 0;    // the terminal's width; 0 when unknown
    // Where to write the new, changed and failed files of every site (JSON lines); empty
    // for nowhere.
    std::filesystem::path changesFile;
};

// Crawls the sites (owned by the caller, who keeps them alive until this returns) with
// their folders under sitesDir, which is made absolute and created. fetchMissing asks
// only for the files the copies lack. login, when given, has been applied to the sites;
// its cookie jar is saved at the end. Returns the exit code.
int RunCrawl(const std::vector<CSite*>& sites, const std::filesystem::path& sitesDir,
             const CrawlOutput& output, std::ostream& out, std::ostream& err,
             bool fetchMissing = false, const LoginOptions* login = nullptr);
