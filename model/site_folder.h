#pragma once
// Where a site's copy lives, and the moves that keep a copy with its site. A site's folder
// is the sites directory and its name, unless the user chose a folder of its own; either
// way no two sites may share a folder, or hold one inside the other, since erasing one
// site's content deletes its whole folder.

#include <string>
#include <string_view>

// sitesDir, separator, name; empty when either is empty.
std::string DerivedSiteFolder(std::string_view sitesDir, std::string_view name);
// A chosen folder made comparable: relative folders sit in the sites directory, dot
// segments and trailing separators go. Empty when there is no such folder, or when it is
// a file system's root.
std::string ChosenSiteFolder(std::string_view directory, std::string_view sitesDir);
// The folder of a site named name: the chosen directory when useChosen, else the sites
// directory and the name, which must then be one safe folder name.
std::string SiteFolderOf(std::string_view sitesDir, std::string_view name, bool useChosen,
                         std::string_view directory);
// Whether a and b are one folder or one holds the other (neither empty).
bool FoldersOverlap(std::string_view a, std::string_view b);
// Why folder cannot take a site's copy (it is a file, or holds files that are not a copy:
// erasing the copy would delete them); empty when it can. A missing folder can.
std::string FolderTakesNoCopyReason(const std::string& folder);
// Whether folder exists and holds anything.
bool FolderHasEntries(const std::string& folder);
// Moves a copy from one folder to another, which must not exist yet or be empty (its
// parent is made).
// Returns why it could not; empty on success or when there is nothing to move.
std::string MoveSiteFolder(const std::string& from, const std::string& to);
