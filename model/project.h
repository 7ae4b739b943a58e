#pragma once
// CProject: the user's project, a list of site groups that owns every group and, through
// them, every site. It is changed only on the user-interface thread.
//
// The window's sites tree and status list learn of changes through two callbacks, so the
// project itself never reaches into the user interface.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/site.h"
#include "model/site_group.h"
#include "model/xml_document.h"

class CProject : public CXMLDocument {
public:
    // Asked to rebuild the sites tree from the project.
    std::function<void()> onRefreshSitesTree;
    // Told of a site about to be deleted, so that a status list showing it shows no site.
    std::function<void(const CSite&)> onSiteRemoved;

    CProject();
    ~CProject() override;

    // --- Editing ---
    void AddGroup(std::unique_ptr<CSiteGroup> group);
    void AddSite(std::unique_ptr<CSite> site, CSiteGroup& group);
    // After an edit of a site or group in place.
    void Touch();
    // False, changing nothing, when the group is not in the project.
    bool RemoveGroup(const CSiteGroup* group, bool refresh);
    void RemoveSite(const CSite* site, bool refresh);

    // Whether a site other than except is named name. Letter case does not count: the
    // name is the site's folder, and two sites must never share one.
    bool IsSiteNameTaken(std::string_view name, const CSite* except = nullptr) const;
    // base, or base with " (2)", " (3)", ... when a site has that name already.
    std::string UniqueSiteName(const std::string& base) const;

    const std::vector<std::unique_ptr<CSiteGroup>>& GetGroups() const { return m_groups; }
    std::vector<std::unique_ptr<CSiteGroup>>& GetGroups() { return m_groups; }

    // --- Document ---
    // An empty, unnamed, unmodified project.
    void NewProject();
    // Loads a project file; on failure the project stays as it was and error says why.
    // Anything but a regular file of at most kMaxFileBytes is refused unread.
    bool Open(const std::filesystem::path& path, std::string& error);
    // Saves to path through a temporary file beside it, so a failed save leaves the old
    // file as it was. On success the project takes path as its own.
    bool SaveAs(const std::filesystem::path& path, std::string& error);
    bool Save(std::string& error) { return SaveAs(m_path, error); }

    const std::filesystem::path& GetPath() const { return m_path; }
    // The file name, or "Untitled" for a project never saved.
    std::string GetTitle() const;
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified) { m_modified = modified; }

    // --- Stream forms, as the file holds them ---
    // Loading first empties the project. False (with error) for content it cannot read,
    // a damaged element text among it, or a stream longer than kMaxFileBytes. fileName,
    // when given, is named in the message about damage.
    bool Load(std::istream& in, std::string& error, std::string_view fileName = {});
    void Store(std::ostream& out) const;
    // Deletes every group and so every site.
    void ClearContents();

private:
    bool LoadOlderFormat(std::istream& in);
    void Changed(bool refresh);

    std::vector<std::unique_ptr<CSiteGroup>> m_groups;
    std::filesystem::path m_path;
    bool m_modified = false;
};
