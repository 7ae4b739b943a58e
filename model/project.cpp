#include "model/project.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <system_error>

#include "model/file_path.h"
#include "model/xml_element.h"
#include "web/byte_text.h"
#include "web/site_name.h"

namespace {
constexpr const char* kUnexpectedFormat = "Unexpected file format.";
constexpr const char* kNotAProjectFile = "Not a project file";

// "Unexpected file format." and, on a line of its own, the file's name (when there is
// one), what is wrong and on which line.
std::string DamagedFormatText(std::string_view text, const CXMLDamage& damage,
                              std::string_view fileName) {
    const std::size_t offset = std::min(damage.offset, text.size());
    const auto line = 1 + std::count(text.begin(), text.begin() + offset, '\n');
    std::string message = std::string(kUnexpectedFormat) + "\n";
    if (!fileName.empty())
        message.append(fileName).append(": ");
    return message + damage.what + " (line " + std::to_string(line) + ").";
}

// Only a regular file of a project's size is read: a device or a pipe could be read without
// end or block the open itself, and a huge file would only fill the memory.
bool IsProjectSized(const std::filesystem::path& path, std::filesystem::file_status status) {
    if (!std::filesystem::is_regular_file(status))
        return false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return !error && size <= CXMLDocument::kMaxFileBytes;
}

std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = path;
    temporary += ".saving-" + std::to_string(counter.fetch_add(1));
    return temporary;
}
} // namespace

CProject::CProject() = default;

CProject::~CProject() = default;

void CProject::Changed(bool refresh) {
    m_modified = true;
    if (refresh && onRefreshSitesTree)
        onRefreshSitesTree();
}

void CProject::AddGroup(std::unique_ptr<CSiteGroup> group) {
    m_groups.push_back(std::move(group));
    Changed(true);
}

void CProject::AddSite(std::unique_ptr<CSite> site, CSiteGroup& group) {
    site->m_group = &group;
    group.m_sites.push_back(std::move(site));
    Changed(true);
}

void CProject::Touch() {
    Changed(true);
}

bool CProject::RemoveGroup(const CSiteGroup* group, bool refresh) {
    const auto entry = std::find_if(m_groups.begin(), m_groups.end(), [&](const auto& candidate) {
        return candidate.get() == group;
    });
    if (entry == m_groups.end())
        return false;
    if (onSiteRemoved)
        for (const auto& site : (*entry)->m_sites)
            onSiteRemoved(*site);
    m_groups.erase(entry);
    Changed(refresh);
    return true;
}

void CProject::RemoveSite(const CSite* site, bool refresh) {
    if (!site || !site->m_group)
        return;
    auto& sites = site->m_group->m_sites;
    const auto entry = std::find_if(sites.begin(), sites.end(),
                                    [&](const auto& candidate) { return candidate.get() == site; });
    if (entry == sites.end())
        return;
    if (onSiteRemoved)
        onSiteRemoved(*site);
    sites.erase(entry);
    Changed(refresh);
}

bool CProject::IsSiteNameTaken(std::string_view name, const CSite* except) const {
    for (const auto& group : m_groups)
        for (const auto& site : group->m_sites)
            if (site.get() != except && EqualsIgnoringAsciiCase(site->m_name, name))
                return true;
    return false;
}

std::string CProject::UniqueSiteName(const std::string& base) const {
    return ::UniqueSiteName(base,
                            [this](const std::string& name) { return IsSiteNameTaken(name); });
}

void CProject::ClearContents() {
    m_groups.clear();
}

void CProject::NewProject() {
    ClearContents();
    m_path.clear();
    m_modified = false;
    if (onRefreshSitesTree)
        onRefreshSitesTree();
}

std::string CProject::GetTitle() const {
    return m_path.empty() ? std::string("Untitled") : FromFsPath(m_path.filename());
}

void CProject::Store(std::ostream& out) const {
    CXMLElement data("DATA", "");
    for (const auto& group : m_groups)
        data.AddChild(group->Write());
    WriteXML(data, out);
}

bool CProject::Load(std::istream& in, std::string& error, std::string_view fileName) {
    ClearContents();
    const std::optional<std::string> text = ReadXMLText(in);
    if (!text) {
        error = kNotAProjectFile;
        return false;
    }
    if (text->find("<DATA>") == std::string::npos) {
        in.clear();
        in.seekg(0);
        if (LoadOlderFormat(in))
            return true;
        ClearContents();
        error = DamagedFormatText(*text, {"no <DATA> element: not a project file", 0}, fileName);
        return false;
    }
    CXMLDamage damage;
    const std::unique_ptr<CXMLElement> data = ParseXMLText(*text, &damage);
    if (!data) {
        // A cut or garbled file would otherwise open as an empty project and be saved so.
        error = DamagedFormatText(*text, damage, fileName);
        return false;
    }
    for (std::size_t i = 0; i < data->GetChildCount(); ++i) {
        const CXMLElement* child = data->GetChild(i);
        if (child->GetName() != "GROUP")
            continue;
        m_groups.push_back(std::make_unique<CSiteGroup>("Untitled"));
        m_groups.back()->Read(*child);
    }
    return true;
}

// The older binary form: a site count (16 bits, or 0xFFFF and 32 bits, little-endian)
// and then the sites. No site record of that form is readable, so only an empty list loads.
bool CProject::LoadOlderFormat(std::istream& in) {
    std::array<unsigned char, 4> bytes{};
    if (!in.read(reinterpret_cast<char*>(bytes.data()), 2))
        return false;
    std::uint32_t count = bytes[0] | (bytes[1] << 8);
    if (count == 0xFFFF) {
        if (!in.read(reinterpret_cast<char*>(bytes.data()), 4))
            return false;
        count = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t(bytes[3]) << 24);
    }
    if (count != 0)
        return false;
    m_groups.push_back(std::make_unique<CSiteGroup>("Sites"));
    return true;
}

bool CProject::Open(const std::filesystem::path& path, std::string& error) {
    // The project in hand stays until the new one has loaded whole.
    std::vector<std::unique_ptr<CSiteGroup>> current = std::move(m_groups);
    m_groups.clear();
    bool loaded = false;
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(path, ignored);
    if (!std::filesystem::exists(status)) {
        error = "Cannot open the file " + FromFsPath(path) + ".";
    } else if (!IsProjectSized(path, status)) {
        error = kNotAProjectFile;
    } else if (std::ifstream in(path, std::ios::binary); !in) {
        error = "Cannot open the file " + FromFsPath(path) + ".";
    } else {
        loaded = Load(in, error, FromFsPath(path));
        if (loaded && in.bad()) {
            error = "Failed to read the file " + FromFsPath(path) + ".";
            loaded = false;
        }
    }
    if (!loaded) {
        m_groups = std::move(current);
        return false;
    }
    m_path = path;
    m_modified = false;
    if (onRefreshSitesTree)
        onRefreshSitesTree();
    return true;
}

bool CProject::SaveAs(const std::filesystem::path& path, std::string& error) {
    if (path.empty()) {
        error = "No file name to save to.";
        return false;
    }
    const std::filesystem::path temporary = TemporarySibling(path);
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            Store(out);
            out.flush();
            written = out.good();
        }
        out.close();
        written = written && !out.fail();
    }
    std::error_code renameError;
    if (written)
        std::filesystem::rename(temporary, path, renameError);
    if (!written || renameError) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        error = "Failed to save the file " + FromFsPath(path) + ".";
        return false;
    }
    m_path = path;
    m_modified = false;
    return true;
}
