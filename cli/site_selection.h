#pragma once
// Which sites of a project the `run` command crawls.

#include <optional>
#include <string>
#include <vector>

class CProject;
class CSite;

// With no names, every site; otherwise the sites of the named groups and the sites
// named, once each, in project order. Names are matched exactly. Empty (with error set)
// when a name matches no group or no site.
std::optional<std::vector<CSite*>> SelectSites(CProject& project,
                                               const std::vector<std::string>& groupNames,
                                               const std::vector<std::string>& siteNames,
                                               std::string& error);
