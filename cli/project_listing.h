#pragma once
// The `list` command's text: every group of a project with its sites, one row per site
// with the start address and the settings that shape a crawl most.

#include <string>

class CProject;
class CSite;

// "any", "only a b", "all but a" or "none": which servers a crawl of the site may visit.
std::string DescribeServerScope(const CSite& site);

// Groups in project order, each followed by an aligned table of its sites.
std::string FormatProjectListing(const CProject& project);
