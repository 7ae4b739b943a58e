#pragma once
// What quarn-cli says of each site after the run, beyond its summary line: what the crawl
// changed, the addresses that failed (without --log), and the list of changed files that
// --changes writes.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

struct CErrorEntry;
class CSite;

// The failed addresses shown without --log.
inline constexpr std::size_t kFailedShown = 20;

// "    404  Not Found  http://host/missing.html", one line each for the first `shown`
// entries, then "    ... and 5 more (--log lists them all)"; empty for no entries.
std::string FormatFailedAddresses(const std::vector<CErrorEntry>& errors,
                                  std::size_t shown = kFailedShown);

// Prints the site's "Files: ..." line and, unless the log follows with every error, its
// failed addresses; each line indented by two spaces.
void PrintCrawlReport(const CSite& site, bool logFollows, std::ostream& out);

// Appends the list of new, changed and failed files of the site's crawl (JSON lines);
// nothing when the crawl kept no list.
void AppendChangeList(const CSite& site, std::ostream& out);
