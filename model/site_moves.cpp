#include "model/site_moves.h"

#include <filesystem>
#include <system_error>

#include "model/file_path.h"
#include "model/project.h"
#include "model/shared_text.h"
#include "model/site_folder.h"
#include "web/site_name.h"

namespace fs = std::filesystem;

namespace {
std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Why folder cannot be made; empty when it exists or its nearest existing parent is a
// folder that takes new entries.
std::string FolderCannotBeMadeReason(const std::string& folder) {
    std::error_code error;
    fs::path existing = ToFsPath(folder);
    while (!fs::exists(existing, error)) {
        if (!existing.has_parent_path() || existing.parent_path() == existing)
            return "nothing of it exists";
        existing = existing.parent_path();
    }
    if (existing == ToFsPath(folder))
        return {};
    if (!fs::is_directory(existing, error))
        return FromFsPath(existing) + " is not a folder";
    // Permissions alone do not tell (a read-only mount): a folder is made and removed.
    const fs::path probe = existing / ".quarn-folder-test";
    fs::create_directory(probe, error);
    if (error)
        return error.message();
    fs::remove(probe, error);
    return {};
}

const CSite* SiteOverlapping(const CProject& project, const CSite& except,
                             const std::string& folder) {
    for (const auto& group : project.GetGroups())
        for (const auto& other : group->m_sites)
            if (other.get() != &except && FoldersOverlap(other->GetSiteFolder(), folder))
                return other.get();
    return nullptr;
}
} // namespace

std::string SiteNameRefusal(std::string_view name,
                            const std::function<bool(std::string_view)>& taken) {
    if (Trimmed(name).empty())
        return "A site name must be specified.";
    if (taken && taken(name))
        return "'" + std::string(name) + "' is the name of another site.";
    // The name is the site's folder, unless it has one of its own; refused in any case,
    // since the folder may follow the name again.
    if (const std::string unsafe = UnsafeSiteNameReason(name); !unsafe.empty())
        return "Cannot store the site: " + unsafe + ".";
    return {};
}

std::string SiteChangeRefusal(const CProject& project, const CSite& site, std::string_view name,
                              bool useChosen, std::string_view directory) {
    const std::string nameRefusal = SiteNameRefusal(name, [&](std::string_view candidate) {
        return project.IsSiteNameTaken(candidate, &site);
    });
    if (!nameRefusal.empty())
        return nameRefusal;
    const std::string folder = SiteFolderOf(g_strSitesDir.Get(), name, useChosen, directory);
    if (folder.empty()) {
        if (useChosen)
            return "Cannot store the site in '" + std::string(directory) +
                   "': choose a folder by its full path.";
        return {}; // no sites directory yet: nothing to check
    }
    if (const CSite* other = SiteOverlapping(project, site, folder))
        return "Cannot store the site in " + folder + ": the site '" + other->m_name +
               "' keeps its copy in " + other->GetSiteFolder() + ".";
    const std::string current = site.GetSiteFolder();
    if (folder == current)
        return {};
    if (FoldersOverlap(folder, current))
        return "Cannot move the copy from " + current + " into " + folder +
               ": one folder holds the other.";
    const bool copyMoves = FolderHasEntries(current);
    std::string reason = FolderTakesNoCopyReason(folder);
    if (reason.empty() && copyMoves && FolderHasEntries(folder))
        reason = "it already holds a copy, and the site's copy in " + current + " would move there";
    if (reason.empty())
        reason = FolderCannotBeMadeReason(folder);
    return reason.empty() ? std::string()
                          : "Cannot store the site in " + folder + ": " + reason + ".";
}

SiteFolderSettings FolderSettingsOf(const CSite& site) {
    return {site.m_name, site.m_contentDirectory, site.m_useContentDirectory, site.GetSiteFolder()};
}

std::string KeepCopyThroughEdit(CSite& site, const SiteFolderSettings& before) {
    const std::string to = site.GetSiteFolder();
    if (site.FolderFollowsName() && !to.empty())
        site.m_contentDirectory = to; // the Directory box shows where the copy is
    if (to == before.folder)
        return {};
    site.ForgetCrawlFolder();
    if (before.folder.empty() || to.empty() || !FolderHasEntries(before.folder))
        return {};
    std::string failed = MoveSiteFolder(before.folder, to);
    if (!failed.empty()) {
        site.m_name = before.name;
        site.m_contentDirectory = before.contentDirectory;
        site.m_useContentDirectory = before.useContentDirectory;
        site.ForgetCrawlFolder();
    }
    return failed;
}

std::string RenameSite(const CProject& project, CSite& site, const std::string& name) {
    if (name == site.m_name)
        return {};
    if (std::string refusal = SiteChangeRefusal(project, site, name, !site.FolderFollowsName(),
                                                site.m_contentDirectory);
        !refusal.empty())
        return refusal;
    const SiteFolderSettings before = FolderSettingsOf(site);
    site.m_name = name;
    if (std::string failed = KeepCopyThroughEdit(site, before); !failed.empty())
        return "Cannot rename the site: " + failed + ".";
    return {};
}
