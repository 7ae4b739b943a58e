#pragma once
// Changes of a site's name or folder that must keep its copy with it. A site whose folder
// follows its name takes its folder along when renamed; a site given a folder of its own
// takes its copy there. Every change is checked first, so that no two sites ever share a
// folder and nothing is left behind where no site looks.

#include <functional>
#include <string>
#include <string_view>

class CProject;
class CSite;

// Why name cannot be a site's name, or empty when it can; taken tells the names of the
// project's other sites.
std::string SiteNameRefusal(std::string_view name,
                            const std::function<bool(std::string_view)>& taken);
// Why the site cannot take this name and folder, or empty when it can: the name as above,
// a folder that is a file, cannot be made, holds other files, or overlaps another site's
// folder, or a copy that cannot move there.
std::string SiteChangeRefusal(const CProject& project, const CSite& site, std::string_view name,
                              bool useChosen, std::string_view directory);
// The settings that place a site's copy, as they were before an edit.
struct SiteFolderSettings {
    std::string name;
    std::string contentDirectory;
    bool useContentDirectory = false;
    std::string folder;
};
SiteFolderSettings FolderSettingsOf(const CSite& site);
// After an edit (checked by SiteChangeRefusal) moved the site's folder: moves the copy
// along, or, when it cannot, puts the settings of before back. Returns why it could not.
std::string KeepCopyThroughEdit(CSite& site, const SiteFolderSettings& before);
// Renames the site (and its folder when the folder follows the name). Returns why not;
// then nothing has changed.
std::string RenameSite(const CProject& project, CSite& site, const std::string& name);
