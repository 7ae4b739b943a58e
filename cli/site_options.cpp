#include "cli/site_options.h"

#include <charconv>
#include <limits>
#include <vector>

#include "engine/controller.h"
#include "model/site.h"
#include "web/byte_text.h"
#include "web/site_name.h"
#include "web/url.h"

namespace {

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// Applies a size option; false (with error) when it is not a byte count within limit.
bool ReadSize(const std::optional<std::string>& text, std::string_view option, std::int64_t limit,
              std::int64_t& bytes, std::string& error) {
    if (!text)
        return true;
    const auto value = ParseByteSize(*text);
    if (!value) {
        error = std::string(option) + ": " + Quoted(*text) +
                " is not a size (bytes, or a number followed by K, M or G)";
        return false;
    }
    if (*value > limit) {
        error = std::string(option) + ": at most " + std::to_string(limit) + " bytes";
        return false;
    }
    bytes = *value;
    return true;
}

bool ApplyList(const std::optional<std::string>& text, std::string_view option, bool& use,
               std::string& list, std::string& error) {
    if (!text)
        return true;
    const auto normalised = NormaliseFilterList(*text, error);
    if (!normalised) {
        error = std::string(option) + ": " + error;
        return false;
    }
    if (normalised->empty()) {
        error = std::string(option) + ": the list holds no pattern";
        return false;
    }
    use = true;
    list = *normalised;
    return true;
}

// Calls take with each item of a comma-separated list, trimmed, skipping empty ones, until
// take returns false; false then.
template <typename Take> bool ForEachListItem(std::string_view text, Take&& take) {
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = TrimSpaces(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (!item.empty() && !take(item))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> NormaliseStartAddress(std::string_view text, std::string& error) {
    std::string address(TrimSpaces(text));
    if (address.empty()) {
        error = "the start address is empty";
        return std::nullopt;
    }
    if (const auto mark = address.find("://"); mark != std::string::npos) {
        std::string scheme;
        AppendLowerAscii(scheme, std::string_view(address).substr(0, mark));
        if (scheme != "http" && scheme != "https") {
            error = Quoted(address) + ": only http and https addresses can be mirrored";
            return std::nullopt;
        }
    } else if (address.starts_with("//")) {
        address.insert(0, "http:");
    } else {
        address.insert(0, "http://");
    }
    if (CUrl::HostOf(address).empty()) {
        error = Quoted(address) + ": the address names no server";
        return std::nullopt;
    }
    return address;
}

bool IsRefusedHost(std::string_view host) {
    return host.find(kRefusedDomain) != std::string_view::npos;
}

std::optional<std::string> NormaliseFilterList(std::string_view text, std::string& error) {
    std::string list;
    const bool read = ForEachListItem(text, [&](std::string_view item) {
        const std::string_view pattern = item.substr(0, item.find('='));
        const auto star = pattern.find('*');
        if (star != std::string_view::npos &&
            pattern.find('*', star + 1) != std::string_view::npos) {
            error = "the pattern " + Quoted(pattern) + " has more than one '*'";
            return false;
        }
        if (!list.empty())
            list += ',';
        list += item;
        if (item.find('=') == std::string_view::npos)
            list += "=1";
        return true;
    });
    if (!read)
        return std::nullopt;
    return list;
}

std::string NormaliseAddressList(std::span<const std::string> values) {
    std::string list;
    for (const std::string& text : values) {
        ForEachListItem(text, [&](std::string_view item) {
            if (!list.empty())
                list += ',';
            list += item;
            list += "=1";
            return true;
        });
    }
    return list;
}

std::optional<std::int64_t> ParseByteSize(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end == text.data() || value < 0)
        return std::nullopt;
    const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
    int shift = 0;
    if (suffix.size() > 1)
        return std::nullopt;
    if (suffix.size() == 1) {
        switch (ToUpperAscii(suffix[0])) {
        case 'K':
            shift = 10;
            break;
        case 'M':
            shift = 20;
            break;
        case 'G':
            shift = 30;
            break;
        default:
            return std::nullopt;
        }
    }
    if (value > (std::numeric_limits<std::int64_t>::max() >> shift))
        return std::nullopt;
    return value << shift;
}

void ApplyScriptOptions(const ScriptOptions& options, CSite& site) {
    if (options.runScripts)
        site.m_runScripts = true;
    if (options.snapshot)
        site.m_snapshotPages = true;
    if (options.seconds)
        site.m_scriptTime = *options.seconds;
}

std::unique_ptr<CSite> BuildMirrorSite(const MirrorOptions& options, std::string& error) {
    const auto address = NormaliseStartAddress(options.address, error);
    if (!address)
        return nullptr;
    CUrl start(nullptr, *address, kLinkFollowed);
    if (IsRefusedHost(start.host)) {
        error = Quoted(start.host) + " cannot be mirrored";
        return nullptr;
    }

    const std::string name = options.name.empty() ? SiteNameFromAddress(start.host) : options.name;
    if (!IsSafeSiteName(name)) {
        error = "the site name " + Quoted(name) +
                " cannot be a folder name; choose another with --name";
        return nullptr;
    }
    if (options.spanHosts && options.servers) {
        error = "--span-hosts allows every server; it cannot be combined with --servers";
        return nullptr;
    }
    if (options.excludeServers && !options.servers) {
        error = "--exclude-servers needs the list of servers to exclude (--servers)";
        return nullptr;
    }
    if (options.excludeDirectories && !options.directories) {
        error = "--exclude-directories needs the list of directories to exclude (--directories)";
        return nullptr;
    }
    if (options.excludeFiles && !options.files) {
        error = "--exclude-files needs the list of file names to exclude (--files)";
        return nullptr;
    }

    const ScriptOptions& scripts = options.scripts;
    if (scripts.seconds && !scripts.runScripts && !scripts.snapshot) {
        error = "--script-time needs --run-scripts or --snapshot";
        return nullptr;
    }

    auto site = std::make_unique<CSite>(name);
    site->UseNewSiteDefaults();
    site->m_new = false;

    // Credentials written into the address move to the login fields, as the site dialog
    // does; explicit options win.
    if (!start.user.empty() || !start.password.empty()) {
        site->m_id = start.user;
        site->m_password = start.password;
        start.user.clear();
        start.password.clear();
        site->m_url = start.GetURL();
    } else {
        site->m_url = *address;
    }
    if (options.user)
        site->m_id = *options.user;
    if (options.password)
        site->m_password = *options.password;

    site->m_useServers = !options.spanHosts;
    site->m_servers = start.host + "=1";
    site->m_includeServers = !options.excludeServers;
    if (!ApplyList(options.servers, "--servers", site->m_useServers, site->m_servers, error))
        return nullptr;
    site->m_includeDirectories = !options.excludeDirectories;
    if (!ApplyList(options.directories, "--directories", site->m_useDirectory, site->m_directories,
                   error))
        return nullptr;
    site->m_includeFiles = !options.excludeFiles;
    if (!ApplyList(options.files, "--files", site->m_useTypes, site->m_files, error))
        return nullptr;
    if (!options.excludeUrls.empty()) {
        site->m_urls = NormaliseAddressList(options.excludeUrls);
        if (site->m_urls.empty()) {
            error = "--exclude-urls: the list holds no pattern";
            return nullptr;
        }
        site->m_useUrls = true;
    }

    if (options.minSize || options.maxSize) {
        constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
        std::int64_t minBytes = 0;
        std::int64_t maxBytes = kIntMax; // no maximum given: any size
        if (!ReadSize(options.minSize, "--min-size", kIntMax, minBytes, error) ||
            !ReadSize(options.maxSize, "--max-size", kIntMax, maxBytes, error))
            return nullptr;
        if (minBytes > maxBytes) {
            error = "--min-size is larger than --max-size";
            return nullptr;
        }
        site->m_useSizes = true;
        site->m_fileMin = static_cast<int>(minBytes);
        site->m_fileMax = static_cast<int>(maxBytes);
    }
    if (options.maxSpace) {
        std::int64_t bytes = 0;
        if (!ReadSize(options.maxSpace, "--max-space", std::numeric_limits<std::int64_t>::max(),
                      bytes, error))
            return nullptr;
        if (bytes == 0) {
            error = "--max-space must be more than 0 bytes";
            return nullptr;
        }
        site->m_useSpace = true;
        site->m_spaceMax = bytes;
    }
    if (options.maxTimeMinutes) {
        site->m_useTime = true;
        site->m_timeMax = *options.maxTimeMinutes;
    }

    if (options.workers)
        site->m_workers = *options.workers;
    if (options.levels) {
        site->m_useLevels = true;
        site->m_levels = *options.levels;
    }
    if (options.retries)
        site->m_retries = *options.retries;
    if (options.connectTimeout)
        site->m_connectionTimeout = *options.connectTimeout;
    if (options.requestTimeout)
        site->m_requestTimeout = *options.requestTimeout;
    if (options.userAgent)
        site->m_userAgent = *options.userAgent;
    if (options.defaultDocument) {
        if (!IsSafeSiteName(*options.defaultDocument)) {
            error = "--default-document: " + Quoted(*options.defaultDocument) +
                    " cannot be a file name";
            return nullptr;
        }
        site->m_defaultDocument = *options.defaultDocument;
    }
    site->m_removeLinks = options.removeLinks;
    site->m_pageRequisites = !options.noPageRequisites;
    site->m_requisitesAnyServer = !options.requisitesSameServer;
    site->m_headProbe = options.headProbe;
    site->m_obeyRobots = !options.noRobots;
    site->m_downloadChanges = !options.fresh;
    site->m_exactNames = !options.classicNames;
    ApplyScriptOptions(scripts, *site);
    return site;
}
