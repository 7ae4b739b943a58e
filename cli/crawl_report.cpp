#include "cli/crawl_report.h"

#include <fstream>
#include <ostream>

#include "model/crawl_changes.h"
#include "model/error_entry.h"
#include "model/site.h"

std::string FormatFailedAddresses(const std::vector<CErrorEntry>& errors, std::size_t shown) {
    std::string text;
    for (std::size_t i = 0; i < errors.size() && i < shown; ++i)
        text += "    " + std::to_string(errors[i].code) + "  " + ErrorDescription(errors[i]) +
                "  " + errors[i].address + "\n";
    if (errors.size() > shown)
        text += "    ... and " + std::to_string(errors.size() - shown) +
                " more (--log lists them all)\n";
    return text;
}

void PrintCrawlReport(const CSite& site, bool logFollows, std::ostream& out) {
    out << "  " << FormatChangeTally(site.Changes().Tally()) << "\n";
    if (logFollows)
        return;
    const auto errors = site.GetErrors();
    if (!errors.empty())
        out << "  Failed:\n" << FormatFailedAddresses(errors);
}

void AppendChangeList(const CSite& site, std::ostream& out) {
    const auto file = site.Changes().ListFile();
    if (file.empty())
        return;
    std::ifstream in(file, std::ios::binary);
    if (in && in.peek() != std::ifstream::traits_type::eof())
        out << in.rdbuf();
}
