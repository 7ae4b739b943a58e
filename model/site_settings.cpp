// A site's settings in the project file: one element per setting inside SITE.

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>
#include <variant>

#include "model/setting_text.h"
#include "model/site.h"
#include "model/xml_element.h"

namespace {
using SettingMember =
    std::variant<int CSite::*, std::int64_t CSite::*, bool CSite::*, std::string CSite::*>;

struct Setting {
    std::string_view key;
    SettingMember member;
};

// In the order they are written.
const std::array<Setting, 44> kSettings{{
    {"CONNECTION_TIMEOUT", &CSite::m_connectionTimeout},
    {"CONTENT_DIRECTORY", &CSite::m_contentDirectory},
    {"DEFAULT_DOCUMENT", &CSite::m_defaultDocument},
    {"DIRECTORIES", &CSite::m_directories},
    {"DOWNLOAD_CHANGES", &CSite::m_downloadChanges},
    {"EXACT_NAMES", &CSite::m_exactNames},
    {"FILE_MAX", &CSite::m_fileMax},
    {"FILE_MIN", &CSite::m_fileMin},
    {"FILES", &CSite::m_files},
    {"HEAD_PROBE", &CSite::m_headProbe},
    {"ID", &CSite::m_id},
    {"INCLUDE_DIRECTORIES", &CSite::m_includeDirectories},
    {"INCLUDE_FILES", &CSite::m_includeFiles},
    {"INCLUDE_SERVERS", &CSite::m_includeServers},
    {"LEVELS", &CSite::m_levels},
    {"NAME", static_cast<std::string CSite::*>(&CSite::m_name)},
    {"NEW", &CSite::m_new},
    {"OBEY_ROBOTS", &CSite::m_obeyRobots},
    {"WORKERS", &CSite::m_workers},
    {"PASSWORD", &CSite::m_password},
    {"PAGE_REQUISITES", &CSite::m_pageRequisites},
    {"REMOVE_LINKS", &CSite::m_removeLinks},
    {"REQUEST_TIMEOUT", &CSite::m_requestTimeout},
    {"REQUISITES_ANY_SERVER", &CSite::m_requisitesAnyServer},
    {"RETRIES", &CSite::m_retries},
    {"RUN_SCRIPTS", &CSite::m_runScripts},
    {"SCRIPT_TIME", &CSite::m_scriptTime},
    {"SERVERS", &CSite::m_servers},
    {"SNAPSHOT_PAGES", &CSite::m_snapshotPages},
    {"SPACE_MAX", &CSite::m_spaceMax},
    {"TIME_MAX", &CSite::m_timeMax},
    {"URL", &CSite::m_url},
    {"URLS", &CSite::m_urls},
    {"USE_BROWSER_COOKIES", &CSite::m_useBrowserCookies},
    {"USE_CONTENT_DIRECTORY", &CSite::m_useContentDirectory},
    {"USE_DIRECTORY", &CSite::m_useDirectory},
    {"USE_LEVELS", &CSite::m_useLevels},
    {"USE_SERVERS", &CSite::m_useServers},
    {"USE_SIZES", &CSite::m_useSizes},
    {"USE_SPACE", &CSite::m_useSpace},
    {"USE_TIME", &CSite::m_useTime},
    {"USE_TYPES", &CSite::m_useTypes},
    {"USE_URLS", &CSite::m_useUrls},
    {"USER_AGENT", &CSite::m_userAgent},
}};

struct ValueWriter {
    const CSite& site;
    std::string operator()(int CSite::*member) const { return std::to_string(site.*member); }
    std::string operator()(std::int64_t CSite::*member) const {
        return std::to_string(site.*member);
    }
    std::string operator()(bool CSite::*member) const { return FormatBoolSetting(site.*member); }
    std::string operator()(std::string CSite::*member) const { return site.*member; }
};

struct ValueReader {
    CSite& site;
    std::string_view value;
    void operator()(int CSite::*member) const {
        site.*member = static_cast<int>(ParseIntSetting(value, std::numeric_limits<int>::min(),
                                                        std::numeric_limits<int>::max()));
    }
    void operator()(std::int64_t CSite::*member) const {
        site.*member = ParseIntSetting(value, std::numeric_limits<std::int64_t>::min(),
                                       std::numeric_limits<std::int64_t>::max());
    }
    void operator()(bool CSite::*member) const { site.*member = ParseBoolSetting(value); }
    void operator()(std::string CSite::*member) const { site.*member = std::string(value); }
};
} // namespace

std::unique_ptr<CXMLElement> CSite::WriteSettings() const {
    auto element = std::make_unique<CXMLElement>("SITE", "");
    for (const Setting& setting : kSettings)
        element->AddChild(std::make_unique<CXMLElement>(
            std::string(setting.key), std::visit(ValueWriter{*this}, setting.member)));
    return element;
}

void CSite::ReadSettings(const CXMLElement& element) {
    for (std::size_t i = 0; i < element.GetChildCount(); ++i) {
        const CXMLElement* child = element.GetChild(i);
        for (const Setting& setting : kSettings) {
            if (child->GetName() == setting.key) {
                std::visit(ValueReader{*this, child->GetValue()}, setting.member);
                break;
            }
        }
    }
    if (m_contentDirectory.empty())
        m_contentDirectory = DefaultContentDirectory(m_name);
}

namespace {
// The latest crawl's keys; a file that lacks them shows the site as never crawled.
constexpr std::string_view kCrawlState = "CRAWL_STATE";
constexpr std::string_view kCrawlStart = "CRAWL_START";
constexpr std::string_view kCrawlEnd = "CRAWL_END";
constexpr std::string_view kCrawlBytes = "CRAWL_BYTES";
constexpr std::string_view kCrawlFiles = "CRAWL_FILES";
constexpr std::string_view kCrawlErrors = "CRAWL_ERRORS";

void AddValue(CXMLElement& element, std::string_view key, std::int64_t value) {
    element.AddChild(std::make_unique<CXMLElement>(std::string(key), std::to_string(value)));
}
} // namespace

void CSite::WriteLastCrawl(CXMLElement& element) const {
    const std::int64_t start = m_startTime.load();
    if (start <= 0)
        return;
    AddValue(element, kCrawlState, m_state.load());
    AddValue(element, kCrawlStart, start);
    AddValue(element, kCrawlEnd, m_endTime.load());
    AddValue(element, kCrawlBytes, m_bytesTotal.load());
    AddValue(element, kCrawlFiles, m_filesTotal.load());
    AddValue(element, kCrawlErrors, m_errorsTotal.load());
}

void CSite::ReadLastCrawl(const CXMLElement& element) {
    constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
    std::int64_t state = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t bytes = 0;
    std::int64_t files = 0;
    std::int64_t errors = 0;
    for (std::size_t i = 0; i < element.GetChildCount(); ++i) {
        const CXMLElement* child = element.GetChild(i);
        const std::string& name = child->GetName();
        const std::string_view value = child->GetValue();
        if (name == kCrawlState)
            state = ParseIntSetting(value, 0, kIntMax);
        else if (name == kCrawlStart)
            start = ParseIntSetting(value, 0, kInt64Max);
        else if (name == kCrawlEnd)
            end = ParseIntSetting(value, 0, kInt64Max);
        else if (name == kCrawlBytes)
            bytes = ParseIntSetting(value, 0, kInt64Max);
        else if (name == kCrawlFiles)
            files = ParseIntSetting(value, 0, kIntMax);
        else if (name == kCrawlErrors)
            errors = ParseIntSetting(value, 0, kIntMax);
    }
    if (start <= 0)
        return;
    m_startTime = start;
    m_endTime = end;
    m_bytesTotal = bytes;
    m_filesTotal = static_cast<int>(files);
    m_errorsTotal = static_cast<int>(errors);
    // Only a crawl that ran to its end is Done (or Failed); one cut short, or still going
    // when the project was saved, did not finish.
    m_state = state == kSiteDone || state == kSiteFailed ? static_cast<int>(state) : kSiteAborted;
    m_image = kImageSiteCrawled;
}
