#include "cli/site_selection.h"

#include <algorithm>

#include "model/project.h"
#include "model/site.h"

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

std::optional<std::vector<CSite*>> SelectSites(CProject& project,
                                               const std::vector<std::string>& groupNames,
                                               const std::vector<std::string>& siteNames,
                                               std::string& error) {
    const bool all = groupNames.empty() && siteNames.empty();
    std::vector<std::string> groupsFound;
    std::vector<std::string> sitesFound;
    std::vector<CSite*> chosen;
    for (const auto& group : project.GetGroups()) {
        const bool wholeGroup = Contains(groupNames, group->m_name);
        if (wholeGroup)
            groupsFound.push_back(group->m_name);
        for (const auto& site : group->m_sites) {
            const bool named = Contains(siteNames, site->m_name);
            if (named)
                sitesFound.push_back(site->m_name);
            if (all || wholeGroup || named)
                chosen.push_back(site.get());
        }
    }
    for (const auto& name : groupNames) {
        if (!Contains(groupsFound, name)) {
            error = "the project has no group named '" + name + "'";
            return std::nullopt;
        }
    }
    for (const auto& name : siteNames) {
        if (!Contains(sitesFound, name)) {
            error = "the project has no site named '" + name + "'";
            return std::nullopt;
        }
    }
    return chosen;
}
