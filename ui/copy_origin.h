#pragma once
// The browser pane shows a stored copy over an origin of its own, http://127.0.0.1:<port>/,
// served from the site's folder alone, rather than from file://, where browsers refuse what
// today's pages need: fetch() of the copy's own files, module scripts, workers. Each site
// folder keeps one origin (and so its pages' storage) for the whole run.

#include <QString>
#include <filesystem>

// The address of file on its copy's origin; empty when file is not inside siteFolder or
// no port could be had (the caller opens the file from disk then).
QString CopyOriginAddress(const std::filesystem::path& siteFolder,
                          const std::filesystem::path& file);
