#include "cli/project_listing.h"

#include <algorithm>
#include <array>
#include <vector>

#include "model/project.h"
#include "model/site.h"
#include "model/wildcard.h"

namespace {

constexpr std::size_t kColumns = 6;
using Row = std::array<std::string, kColumns>;

const Row kHeader{"NAME", "ADDRESS", "WORKERS", "LEVELS", "SERVERS", "DOWNLOAD"};

Row SiteRow(const CSite& site) {
    return {site.m_name,
            site.m_url,
            std::to_string(site.m_workers),
            site.m_useLevels ? std::to_string(site.m_levels) : "any",
            DescribeServerScope(site),
            site.m_downloadChanges ? "changes" : "all"};
}

void AppendRow(std::string& text, const Row& row, const std::array<std::size_t, kColumns>& widths) {
    std::string line = "  ";
    for (std::size_t i = 0; i < kColumns; ++i) {
        line += row[i];
        if (i + 1 < kColumns)
            line.append(widths[i] - row[i].size() + 2, ' ');
    }
    text += line + "\n";
}

} // namespace

std::string DescribeServerScope(const CSite& site) {
    if (!site.m_useServers)
        return "any";
    // Compiled as the crawl compiles them, so that the listing shows what takes effect.
    CWildcardList patterns;
    CompileList(patterns, site.m_servers);
    std::string names;
    for (const auto& pattern : patterns) {
        if (!names.empty())
            names += ' ';
        names += pattern->m_prefix;
        if (pattern->m_hasWildcard)
            names += "*" + pattern->m_suffix;
    }
    if (site.m_includeServers)
        return names.empty() ? "none" : "only " + names;
    return names.empty() ? "any" : "all but " + names;
}

std::string FormatProjectListing(const CProject& project) {
    const auto& groups = project.GetGroups();
    if (groups.empty())
        return "The project has no groups.\n";

    // One set of column widths for the whole listing, so that the groups line up.
    std::array<std::size_t, kColumns> widths{};
    std::vector<std::vector<Row>> rows;
    for (std::size_t i = 0; i < kColumns; ++i)
        widths[i] = kHeader[i].size();
    for (const auto& group : groups) {
        auto& groupRows = rows.emplace_back();
        for (const auto& site : group->m_sites) {
            groupRows.push_back(SiteRow(*site));
            for (std::size_t i = 0; i < kColumns; ++i)
                widths[i] = std::max(widths[i], groupRows.back()[i].size());
        }
    }

    std::string text;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (g > 0)
            text += "\n";
        const auto count = groups[g]->m_sites.size();
        text += "Group \"" + groups[g]->m_name + "\" (" + std::to_string(count) +
                (count == 1 ? " site)\n" : " sites)\n");
        if (count == 0)
            continue;
        AppendRow(text, kHeader, widths);
        for (const auto& row : rows[g])
            AppendRow(text, row, widths);
    }
    return text;
}
