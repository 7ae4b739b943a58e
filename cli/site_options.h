#pragma once
// The mirror command's site: the options as given on the command line, and the pure
// functions that check them and turn them into a CSite. Nothing here touches the file
// system or the engine, so every rule can be tested directly.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CSite;

// Running each stored page's scripts in an offscreen browser, for mirror and run alike.
struct ScriptOptions {
    bool runScripts = false;
    bool snapshot = false;
    std::optional<int> seconds;
};

struct MirrorOptions {
    std::string address;
    std::string name; // empty: derived from the start address's host
    std::optional<int> workers;
    std::optional<int> levels;
    // Filter lists as typed: "a=1,b=0" or plain "a,b".
    std::optional<std::string> servers;
    std::optional<std::string> directories;
    std::optional<std::string> files;
    bool excludeServers = false;
    bool excludeDirectories = false;
    bool excludeFiles = false;
    // Address exclusion patterns as typed, one option each; each may be a list.
    std::vector<std::string> excludeUrls;
    // Byte counts as typed, suffixes allowed (see ParseByteSize).
    std::optional<std::string> minSize;
    std::optional<std::string> maxSize;
    std::optional<std::string> maxSpace;
    std::optional<int> maxTimeMinutes;
    std::optional<int> retries;
    std::optional<int> connectTimeout;
    std::optional<int> requestTimeout;
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> userAgent;
    std::optional<std::string> defaultDocument;
    bool removeLinks = false;
    bool noPageRequisites = false;
    bool requisitesSameServer = false;
    bool headProbe = false;
    bool noRobots = false;
    bool fresh = false;
    // Ask only for the files the copy lacks; the others are read back from disk.
    bool missing = false;
    bool spanHosts = false;
    // One file per path, as before addresses were kept apart.
    bool classicNames = false;
    ScriptOptions scripts;
};

// The ranges the site dialog accepts, shared by the option checks and the help text.
inline constexpr int kMaxWorkers = 999;
inline constexpr int kMaxLevels = 9999;
inline constexpr int kMaxRetries = 999;
inline constexpr int kMaxTimeoutSeconds = 999999;
inline constexpr int kMaxTimeMinutes = 999999;

// A start address as the site dialog would keep it: trimmed, and "http://" put in
// front when no scheme is written. Fails for a scheme other than http or https and for
// an address without a host.
std::optional<std::string> NormaliseStartAddress(std::string_view text, std::string& error);

// Whether a host is one that the controller never crawls.
bool IsRefusedHost(std::string_view host);

// A filter list in the project file's form. Items are separated by ","; an item that
// has no "=flag" gets "=1"; spaces around items and empty items are dropped. Fails for
// a pattern with more than one "*", which the crawl would silently ignore.
std::optional<std::string> NormaliseFilterList(std::string_view text, std::string& error);

// The address exclusion list in the project file's form, from the values of the options
// that give it: each value's items are separated by ",", trimmed, and every one that is
// not empty is a pattern in force ("=1" added). No flag is read from an item, since a
// pattern may end in "=0" or "=1" itself (a query such as "?page=1").
std::string NormaliseAddressList(std::span<const std::string> values);

// A byte count: digits, optionally followed by K, M or G (either case) for 1024,
// 1024² or 1024³ bytes. Empty for anything else, including an overflow.
std::optional<std::int64_t> ParseByteSize(std::string_view text);

// Gives the site what the options ask for and leaves the rest as the site has it, so that
// `run` keeps a project's own script settings unless an option says otherwise.
void ApplyScriptOptions(const ScriptOptions& options, CSite& site);

// The site that `mirror` crawls, or null with error set. By default the crawl stays on
// the start address's server (restrict servers on, that host as the only entry).
std::unique_ptr<CSite> BuildMirrorSite(const MirrorOptions& options, std::string& error);
