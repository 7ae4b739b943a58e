#include "model/site_folder.h"

#include <filesystem>
#include <system_error>

#include "model/copy_records.h"
#include "model/file_path.h"
#include "model/name_table.h"
#include "web/local_naming.h"
#include "web/site_name.h"

namespace fs = std::filesystem;

std::string DerivedSiteFolder(std::string_view sitesDir, std::string_view name) {
    if (sitesDir.empty() || name.empty())
        return {};
    std::string folder(sitesDir);
    if (folder.back() != kPathSeparator)
        folder += kPathSeparator;
    return folder.append(name);
}

std::string ChosenSiteFolder(std::string_view directory, std::string_view sitesDir) {
    if (directory.empty())
        return {};
    fs::path folder = ToFsPath(std::string(directory));
    if (folder.is_relative()) {
        if (sitesDir.empty())
            return {};
        folder = ToFsPath(std::string(sitesDir)) / folder;
    }
    folder = folder.lexically_normal();
    std::string text = FromFsPath(folder);
    while (text.size() > 1 && text.back() == kPathSeparator)
        text.pop_back();
    // Erasing a root's content would delete the whole file system.
    if (ToFsPath(text).relative_path().empty())
        return {};
    return text;
}

std::string SiteFolderOf(std::string_view sitesDir, std::string_view name, bool useChosen,
                         std::string_view directory) {
    if (useChosen)
        return ChosenSiteFolder(directory, sitesDir);
    return IsSafeSiteName(name) ? DerivedSiteFolder(sitesDir, name) : std::string();
}

bool FoldersOverlap(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty())
        return false;
    const std::string_view shorter = a.size() <= b.size() ? a : b;
    const std::string_view longer = a.size() <= b.size() ? b : a;
    if (!longer.starts_with(shorter))
        return false;
    return longer.size() == shorter.size() || longer[shorter.size()] == kPathSeparator ||
           shorter.back() == kPathSeparator;
}

bool FolderHasEntries(const std::string& folder) {
    std::error_code error;
    return fs::is_directory(ToFsPath(folder), error) && !fs::is_empty(ToFsPath(folder), error) &&
           !error;
}

std::string FolderTakesNoCopyReason(const std::string& folder) {
    std::error_code error;
    const fs::path path = ToFsPath(folder);
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status))
        return {};
    if (!fs::is_directory(status))
        return "it is not a folder";
    if (!FolderHasEntries(folder))
        return {};
    // A copy made before keeps its records beside the files.
    for (const char* record : {kCopyRecordsFile, kNameTableFile})
        if (fs::exists(path / record, error))
            return {};
    return "it holds other files, which erasing the copy would delete";
}

std::string MoveSiteFolder(const std::string& from, const std::string& to) {
    std::error_code error;
    const fs::path source = ToFsPath(from);
    const fs::path target = ToFsPath(to);
    if (!fs::exists(fs::symlink_status(source, error)))
        return {};
    // On a file system that ignores case, a new case of the same name is the same folder.
    const bool sameFolder = fs::equivalent(source, target, error);
    if (!sameFolder && fs::exists(fs::symlink_status(target, error))) {
        // An empty folder made ahead (by the folder picker, say) gives way.
        if (FolderHasEntries(to) || !fs::remove(target, error))
            return to + " already exists";
    }
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), error);
    fs::rename(source, target, error);
    if (error)
        return "cannot move " + from + " to " + to + ": " + error.message();
    return {};
}
