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
const std::array<Setting, 40> kSettings{{
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
    {"SERVERS", &CSite::m_servers},
    {"SPACE_MAX", &CSite::m_spaceMax},
    {"TIME_MAX", &CSite::m_timeMax},
    {"URL", &CSite::m_url},
    {"URLS", &CSite::m_urls},
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
