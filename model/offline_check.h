#pragma once
// COfflineCheck: how complete a crawl left the offline copy. It counts, by reason, the
// links of stored pages that still lead to the server because a rule refused them, and
// the local links whose file is not on disk, and writes them as a few log lines at the
// end of the crawl. Memory stays small on a large site: counts, a few sample addresses
// per reason, and the hashes of the refused addresses already counted (up to a cap).
//
// Workers note into it at once; every call takes its own lock.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/key_set.h"

// Why a link was left pointing at the server (or removed) instead of at a local file.
enum class LinkRefusal {
    None, // admitted
    Depth,
    OtherServer,
    Directory,
    FileName,
    Unstorable, // no safe local name inside the site's folder
    Robots,
    Excluded, // matched an address exclusion pattern
    Logout,   // would end the login of a crawl that sends cookies
};

// Why an address that a local link points at has no file at the end of the crawl.
enum class MissingReason {
    Failed,
    SizeLimit,
    Robots,
    Stopped, // stopped before or while it was fetched
    NotStored,
};

class COfflineCheck {
public:
    // Distinct refused addresses remembered; past this the counts stop growing and the
    // log says so.
    static constexpr std::size_t kMaxRemembered = std::size_t{1} << 19;
    static constexpr std::size_t kSamplesPerReason = 3;

    void Clear();
    // A link refused by the rules; each address (without its fragment) counts once per
    // crawl, under the first reason given for it.
    // removed: REMOVE_LINKS took the link out of the page.
    void NoteRefused(LinkRefusal reason, std::string_view address, bool removed);
    void NoteMissing(MissingReason reason, std::string_view address);

    std::uint64_t RefusedCount(LinkRefusal reason, bool removed = false) const;
    std::uint64_t MissingCount(MissingReason reason) const;

    // The log lines: the totals with their reasons, each reason followed by an indented
    // line of sample addresses.
    std::vector<std::string> ReportLines() const;

private:
    static constexpr std::size_t kRefusals = 9;
    static constexpr std::size_t kMissingReasons = 5;

    struct Tally {
        std::uint64_t count = 0;
        std::vector<std::string> samples;
        void Add(std::string_view address);
    };
    template <std::size_t N> struct Tallies {
        std::array<Tally, N> byReason;
        std::uint64_t Total() const;
    };

    template <std::size_t N>
    static void Report(std::vector<std::string>& lines, const std::string& heading,
                       const Tallies<N>& tallies, const char* const (&names)[N],
                       const std::string& emptyText, bool capped);

    mutable std::mutex m_lock;
    Tallies<kRefusals> m_left;
    Tallies<kRefusals> m_removed;
    Tallies<kMissingReasons> m_missing;
    CKeySet m_counted; // hashes of the refused addresses counted
    bool m_capped = false;
};
