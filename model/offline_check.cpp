#include "model/offline_check.h"

#include <algorithm>
#include <functional>

namespace {
constexpr const char* kRefusalNames[] = {"admitted",   "depth",        "other server",
                                         "directory",  "file name",    "no local name",
                                         "robots.txt", "address rule", "logout"};
constexpr const char* kMissingNames[] = {"failed", "size limit", "robots.txt", "stopped",
                                         "not stored"};
// A hostile page's endless address must not make an endless log line.
constexpr std::size_t kLongestSample = 200;

std::uint64_t CountedKey(bool removed, std::string_view address) {
    const std::uint64_t hash = std::hash<std::string_view>{}(address);
    return hash * 2 + (removed ? 1 : 0);
}
} // namespace

void COfflineCheck::Tally::Add(std::string_view address) {
    ++count;
    if (samples.size() >= kSamplesPerReason)
        return;
    std::string sample(address.substr(0, kLongestSample));
    if (address.size() > kLongestSample)
        sample += "...";
    samples.push_back(std::move(sample));
}

template <std::size_t N> std::uint64_t COfflineCheck::Tallies<N>::Total() const {
    std::uint64_t total = 0;
    for (const Tally& tally : byReason)
        total += tally.count;
    return total;
}

void COfflineCheck::Clear() {
    std::lock_guard lock(m_lock);
    m_left = {};
    m_removed = {};
    m_missing = {};
    m_counted.Clear();
    m_capped = false;
}

void COfflineCheck::NoteRefused(LinkRefusal reason, std::string_view address, bool removed) {
    if (reason == LinkRefusal::None)
        return;
    // A fragment names a place in the page, not another address.
    address = address.substr(0, address.find('#'));
    const std::uint64_t key = CountedKey(removed, address);
    std::lock_guard lock(m_lock);
    if (m_counted.Contains(key))
        return;
    if (m_counted.Size() >= kMaxRemembered) {
        m_capped = true;
        return;
    }
    m_counted.Insert(key);
    (removed ? m_removed : m_left).byReason[static_cast<std::size_t>(reason)].Add(address);
}

void COfflineCheck::NoteMissing(MissingReason reason, std::string_view address) {
    std::lock_guard lock(m_lock);
    m_missing.byReason[static_cast<std::size_t>(reason)].Add(address);
}

std::uint64_t COfflineCheck::RefusedCount(LinkRefusal reason, bool removed) const {
    std::lock_guard lock(m_lock);
    return (removed ? m_removed : m_left).byReason[static_cast<std::size_t>(reason)].count;
}

std::uint64_t COfflineCheck::MissingCount(MissingReason reason) const {
    std::lock_guard lock(m_lock);
    return m_missing.byReason[static_cast<std::size_t>(reason)].count;
}

template <std::size_t N>
void COfflineCheck::Report(std::vector<std::string>& lines, const std::string& heading,
                           const Tallies<N>& tallies, const char* const (&names)[N],
                           const std::string& emptyText, bool capped) {
    const std::uint64_t total = tallies.Total();
    if (total == 0) {
        if (!emptyText.empty())
            lines.push_back(heading + ": " + emptyText);
        return;
    }
    // The largest reason first.
    std::vector<std::size_t> order;
    for (std::size_t reason = 0; reason < N; ++reason) {
        if (tallies.byReason[reason].count != 0)
            order.push_back(reason);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return tallies.byReason[a].count > tallies.byReason[b].count;
    });
    std::string line = heading + ": " + std::to_string(total) + (capped ? " or more" : "") + " (";
    for (std::size_t i = 0; i < order.size(); ++i) {
        line += i == 0 ? "" : ", ";
        line +=
            std::string(names[order[i]]) + " " + std::to_string(tallies.byReason[order[i]].count);
    }
    lines.push_back(line + ")");
    for (const std::size_t reason : order) {
        std::string samples = std::string("  ") + names[reason] + ":";
        for (const std::string& sample : tallies.byReason[reason].samples)
            samples += "  " + sample;
        if (tallies.byReason[reason].count > tallies.byReason[reason].samples.size())
            samples += "  ...";
        lines.push_back(std::move(samples));
    }
}

std::vector<std::string> COfflineCheck::ReportLines() const {
    std::lock_guard lock(m_lock);
    std::vector<std::string> lines;
    Report(lines, "Links left to the server", m_left, kRefusalNames, "none", m_capped);
    Report(lines, "Links removed", m_removed, kRefusalNames, "", m_capped);
    Report(lines, "Local links whose file is missing", m_missing, kMissingNames, "none", false);
    return lines;
}
