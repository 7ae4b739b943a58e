#include "cli/cli_app.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <vector>

#include "cli/crawl_run.h"
#include "cli/exit_codes.h"
#include "cli/login_options.h"
#include "cli/project_listing.h"
#include "cli/serve_copy.h"
#include "cli/site_options.h"
#include "cli/site_selection.h"
#include "model/file_path.h"
#include "model/project.h"
#include "model/site.h"
#include "web/url.h"

namespace {

constexpr const char* kDefaultSitesDir = "Sites";
constexpr int kDefaultServePort = 8000;

constexpr const char* kExitCodesText = "Exit codes: 0 every site done without failed addresses; "
                                       "1 some or all addresses failed; 2 bad arguments or an "
                                       "unreadable project; 3 stopped by a failed save, a "
                                       "folder that cannot be written, a server busy for 10 "
                                       "minutes, or a time or space limit; 4 the login "
                                       "expired (the crawl was sent to the login page, or "
                                       "refused after it had been let in); 130, 143, 129 "
                                       "stopped by Ctrl+C, SIGTERM, SIGHUP.";

template <class T>
CLI::Option* AddOptional(CLI::App& app, const std::string& name, std::optional<T>& target,
                         const std::string& help) {
    return app.add_option_function<T>(
        name, [&target](const T& value) { target = value; }, help);
}

// "--include-NAME" (the default, so it only documents) and "--exclude-NAME", which
// exclude each other.
void AddIncludeExclude(CLI::App& app, const std::string& name, bool& exclude,
                       const std::string& includeHelp, const std::string& excludeHelp) {
    auto* include = app.add_flag("--include-" + name)->description(includeHelp);
    include->excludes(app.add_flag("--exclude-" + name, exclude, excludeHelp));
}

void AddOutputOptions(CLI::App& app, CrawlOutput& output, std::string& sitesDir) {
    app.add_option("--sites-dir", sitesDir,
                   "Folder that holds one folder per site (default: \"Sites\" in the current "
                   "directory)");
    app.add_flag("-q,--quiet", output.quiet,
                 "Show no progress and no start or finish lines; the summary is still printed");
    app.add_flag("--log", output.showLog, "Print each site's log and error list after its summary");
    app.add_flag("--beep", output.beep, "Ring the terminal bell when the run is done");
    app.add_option("--changes", output.changesFile,
                   "Write the files each crawl stored new or changed, and those that failed, "
                   "to FILE as JSON lines: {\"url\":...,\"local_path\":...,\"status\":"
                   "\"new\"|\"changed\"|\"failed\"}")
        ->type_name("FILE");
}

void AddLoginOptions(CLI::App& app, LoginOptions& login) {
    app.add_option("--cookies", login.cookiesFile,
                   "Start with the cookies of FILE, a Netscape cookies.txt (curl, wget and "
                   "browser add-ons write it), and keep the cookies servers set, as a browser "
                   "does; links that would log out are not followed, and a login that expires "
                   "stops the crawl (exit code 4)")
        ->type_name("FILE");
    app.add_option("--save-cookies", login.saveCookiesFile,
                   "Write the crawl's cookies to FILE at the end, as cookies.txt readable by "
                   "you alone")
        ->type_name("FILE");
    app.add_option("--header", login.headers,
                   "Send this header with every request, as \"Name: value\"; repeatable")
        ->type_name("HEADER")
        ->allow_extra_args(false);
}

// Gives the sites the login options; a message and false when they cannot be used.
bool UseLoginOptions(const LoginOptions& login, const std::vector<CSite*>& sites,
                     std::ostream& err) {
    std::string error;
    std::string notice;
    if (!ApplyLoginOptions(login, sites, error, notice)) {
        err << "quarn-cli: " << error << "\n";
        return false;
    }
    if (!notice.empty())
        err << "quarn-cli: " << notice << "\n";
    return true;
}

// defaultTime: what the help says of the time when the option is not given.
void AddScriptOptions(CLI::App& app, ScriptOptions& options, const std::string& defaultTime) {
    app.add_flag("--run-scripts", options.runScripts,
                 "Run each stored page's scripts in an offscreen browser and fetch the files "
                 "they load (slower)");
    app.add_flag("--snapshot", options.snapshot,
                 "Store each page as the browser shows it once its scripts ran, instead of the "
                 "HTML the server sent; runs the scripts too");
    AddOptional(app, "--script-time", options.seconds,
                "Seconds each page's scripts may run (default: " + defaultTime + ")")
        ->type_name("SECONDS")
        ->check(CLI::Range(kMinScriptSeconds, kMaxScriptSeconds));
}

void AddMirrorOptions(CLI::App& mirror, MirrorOptions& options) {
    mirror
        .add_option("URL", options.address,
                    "Start address; http or https (\"http://\" is assumed when no scheme is "
                    "written)")
        ->required();
    mirror.add_option("--name", options.name,
                      "Site name, also its folder's name (default: made from the host, "
                      "www.example.com gives \"Example\")");
    AddOptional(mirror, "-w,--workers", options.workers, "Addresses fetched at once (default 1)")
        ->check(CLI::Range(1, kMaxWorkers));
    AddOptional(mirror, "--levels", options.levels,
                "Follow links at most this deep; the start page is level 1 (default: no limit)")
        ->check(CLI::Range(1, kMaxLevels));

    AddOptional(mirror, "--servers", options.servers,
                "Servers (hosts) to crawl, as \"host1,host2\" or \"host1=1,host2=0\"; a pattern "
                "may hold one \"*\" (default: only the start address's host)")
        ->type_name("LIST");
    mirror.add_flag("--span-hosts", options.spanHosts,
                    "Follow links to every server, not only the start address's host");
    AddIncludeExclude(mirror, "servers", options.excludeServers,
                      "Crawl only the listed servers (the default)",
                      "Crawl every server but the listed ones");

    AddOptional(mirror, "--directories", options.directories,
                "Directory patterns; paths begin and end with \"/\", as \"/docs/*\" "
                "(default: every directory)")
        ->type_name("LIST");
    AddIncludeExclude(mirror, "directories", options.excludeDirectories,
                      "Crawl only the listed directories (the default)",
                      "Crawl every directory but the listed ones");

    AddOptional(mirror, "--files", options.files,
                "File name patterns, as \"*.html,*.png\" (default: every file name; an address "
                "that ends in \"/\" has an empty file name)")
        ->type_name("LIST");
    AddIncludeExclude(mirror, "files", options.excludeFiles,
                      "Fetch only the listed file names (the default)",
                      "Fetch every file name but the listed ones");

    mirror
        .add_option("--exclude-urls", options.excludeUrls,
                    "Leave out every address that matches PATTERN (\"*\" matches any text), its "
                    "query included; repeatable")
        ->type_name("PATTERN")
        ->allow_extra_args(false);

    AddOptional(mirror, "--min-size", options.minSize,
                "Skip files smaller than this, decoded (SIZE: bytes, or a number followed by K, "
                "M or G for 1024, 1024^2 or 1024^3 bytes; HTML pages are never skipped)")
        ->type_name("SIZE");
    AddOptional(mirror, "--max-size", options.maxSize,
                "Skip files larger than this, decoded (SIZE as for --min-size, below 2G)")
        ->type_name("SIZE");
    AddOptional(mirror, "--max-time", options.maxTimeMinutes,
                "Stop the crawl after this many minutes")
        ->type_name("MINUTES")
        ->check(CLI::Range(1, kMaxTimeMinutes));
    AddOptional(mirror, "--max-space", options.maxSpace,
                "Stop the crawl once this much has been stored, decoded (SIZE as for "
                "--min-size)")
        ->type_name("SIZE");

    AddOptional(mirror, "--retries", options.retries,
                "Attempts per address and connection attempts per request (default 3)")
        ->check(CLI::Range(0, kMaxRetries));
    AddOptional(mirror, "--connect-timeout", options.connectTimeout,
                "Seconds to wait for a connection (default 30)")
        ->check(CLI::Range(1, kMaxTimeoutSeconds));
    AddOptional(mirror, "--request-timeout", options.requestTimeout,
                "Seconds a transfer may go without data (default 30)")
        ->check(CLI::Range(1, kMaxTimeoutSeconds));
    AddOptional(mirror, "--user", options.user, "Login user name (basic or digest)");
    AddOptional(mirror, "--password", options.password, "Login password");
    AddOptional(mirror, "--user-agent", options.userAgent,
                "User-Agent header (default: \"Quarn/\" and the version)");
    AddOptional(mirror, "--default-document", options.defaultDocument,
                "Local file name for an address that ends in \"/\" (default \"index.htm\")");
    mirror.add_flag("--no-page-requisites", options.noPageRequisites,
                    "Fetch only what links and the classic tags name, not everything pages need "
                    "to display (scripts, style sheets and their images and fonts, frames, "
                    "responsive images, media)");
    mirror.add_flag("--requisites-same-server", options.requisitesSameServer,
                    "Take the files pages need only from the crawled servers (default: from "
                    "any server)");
    mirror.add_flag("--no-robots", options.noRobots,
                    "Ignore robots.txt (default: keep off what it disallows, at its Crawl-delay)");
    mirror.add_flag("--head-probe", options.headProbe,
                    "Ask HEAD before every transfer, as servers that mishandle conditional "
                    "requests need (default: one GET per file, conditional on an update)");
    mirror.add_flag("--remove-links", options.removeLinks,
                    "Remove links to addresses that are not crawled, instead of making them "
                    "absolute");
    mirror.add_flag("--classic-names", options.classicNames,
                    "Name files as classic copiers do: one file per path, the query left out, a "
                    "last name without a dot taken for a folder");
    auto* fresh = mirror.add_flag("--fresh", options.fresh,
                                  "Erase the site's folder and fetch everything (default: keep "
                                  "it and fetch only what changed)");
    mirror
        .add_flag("--missing", options.missing,
                  "Fetch only the files the copy lacks (deleted, failed or never fetched) that "
                  "the rules admit; the files it has are read from disk, not asked for again")
        ->excludes(fresh);
    AddScriptOptions(mirror, options.scripts, "5");
}

bool OpenProject(CProject& project, const std::string& path, std::ostream& err) {
    std::string error;
    if (project.Open(path, error))
        return true;
    err << "quarn-cli: cannot read the project '" << path << "': " << error << "\n";
    return false;
}

int RunMirror(const MirrorOptions& options, const LoginOptions& login, const std::string& sitesDir,
              const CrawlOutput& output, std::ostream& out, std::ostream& err) {
    std::string error;
    auto site = BuildMirrorSite(options, error);
    if (!site) {
        err << "quarn-cli: " << error << "\n";
        return kExitUsage;
    }
    if (!UseLoginOptions(login, {site.get()}, err))
        return kExitUsage;
    return RunCrawl({site.get()}, sitesDir, output, out, err, options.missing, &login);
}

int RunProject(const std::string& path, const std::vector<std::string>& groups,
               const std::vector<std::string>& siteNames, const ScriptOptions& scripts,
               const LoginOptions& login, const std::string& sitesDir, const CrawlOutput& output,
               std::ostream& out, std::ostream& err) {
    // The project is read only: nothing here ever saves it.
    CProject project;
    if (!OpenProject(project, path, err))
        return kExitUsage;
    std::string error;
    const auto sites = SelectSites(project, groups, siteNames, error);
    if (!sites) {
        err << "quarn-cli: " << error << "\n";
        return kExitUsage;
    }
    // The controller ignores such a site, so waiting for it would never end.
    for (const CSite* site : *sites) {
        if (IsRefusedHost(CUrl::HostOf(site->m_url))) {
            err << "quarn-cli: the site '" << site->m_name << "' (" << site->m_url
                << ") cannot be mirrored; choose other sites with --site or --group\n";
            return kExitUsage;
        }
    }
    if (!UseLoginOptions(login, *sites, err))
        return kExitUsage;
    for (CSite* site : *sites)
        ApplyScriptOptions(scripts, *site);
    return RunCrawl(*sites, sitesDir, output, out, err, false, &login);
}

} // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
           const CliTerminal& terminal) {
    CLI::App app{"Mirrors web sites to the local disk.", "quarn-cli"};
    app.set_version_flag("--version", std::string("quarn-cli ") + QUARN_VERSION,
                         "Print the version and exit");
    app.require_subcommand(1);
    app.footer(kExitCodesText);

    CrawlOutput output;
    output.errIsTerminal = terminal.errIsTerminal;
    output.terminalColumns = terminal.columns;
    std::string sitesDir = kDefaultSitesDir;

    MirrorOptions mirrorOptions;
    auto* mirror = app.add_subcommand("mirror", "Mirror one site, starting at URL");
    LoginOptions login;
    AddMirrorOptions(*mirror, mirrorOptions);
    AddLoginOptions(*mirror, login);
    AddOutputOptions(*mirror, output, sitesDir);
    mirror->footer("By default the crawl stays on the start address's server: servers are "
                   "restricted to that host alone (\"HOST=1\"); --servers replaces the list and "
                   "--span-hosts lifts the restriction. Files go to SITES-DIR/NAME/HOST/PATH. "
                   "Filter lists are items separated by \",\"; \"pattern=0\" keeps an item "
                   "but leaves it off.\n" +
                   std::string(kExitCodesText));

    std::string projectPath;
    std::vector<std::string> groups;
    std::vector<std::string> siteNames;
    auto* run =
        app.add_subcommand("run", "Mirror the sites of a project file, one after the other");
    run->add_option("PROJECT", projectPath, "The project file (.xml); it is not changed")
        ->required();
    run->add_option("--group", groups, "Mirror the sites of this group (repeatable)")
        ->allow_extra_args(false);
    run->add_option("--site", siteNames, "Mirror the site of this name (repeatable)")
        ->allow_extra_args(false);
    ScriptOptions runScripts;
    AddScriptOptions(*run, runScripts, "each site's own");
    AddLoginOptions(*run, login);
    AddOutputOptions(*run, output, sitesDir);
    run->footer("Without --group or --site every site of the project is mirrored. --run-scripts, "
                "--snapshot and --script-time hold for this run only; the project keeps its "
                "settings.\n" +
                std::string(kExitCodesText));

    std::string listPath;
    auto* list = app.add_subcommand("list", "List the groups and sites of a project file");
    list->add_option("PROJECT", listPath, "The project file (.xml)")->required();

    std::string serveFolder;
    int servePort = kDefaultServePort;
    auto* serve = app.add_subcommand(
        "serve", "Serve a stored copy to a browser on this machine, read-only, until Ctrl+C");
    serve->add_option("SITE_FOLDER", serveFolder, "The site's folder (SITES-DIR/NAME)")->required();
    serve->add_option("--port", servePort, "The port on 127.0.0.1; 0 takes any free one")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    serve->footer("Pages whose scripts load files (search boxes, module scripts, workers) work "
                  "over http://127.0.0.1, where browsers refuse them from file://. Only files "
                  "inside SITE_FOLDER are served; a folder answers with its index.htm or "
                  "index.html, never with a listing.");

    // Without this, CLI11 reports a mistyped command as a missing one.
    if (!args.empty() && !args.front().starts_with('-') && !mirror->check_name(args.front()) &&
        !run->check_name(args.front()) && !list->check_name(args.front()) &&
        !serve->check_name(args.front())) {
        err << "quarn-cli: unknown command '" << args.front()
            << "'; the commands are mirror, run, list and serve (see --help)\n";
        return kExitUsage;
    }

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? kExitOk : kExitUsage;
    }

    if (mirror->parsed())
        return RunMirror(mirrorOptions, login, sitesDir, output, out, err);
    if (run->parsed())
        return RunProject(projectPath, groups, siteNames, runScripts, login, sitesDir, output, out,
                          err);
    if (serve->parsed())
        return ServeCopy(ToFsPath(serveFolder), servePort, out, err);
    CProject project;
    if (!OpenProject(project, listPath, err))
        return kExitUsage;
    out << FormatProjectListing(project);
    return kExitOk;
}
