#pragma once
// What one fetch may store, in decoded bytes as the body arrives, not in the bytes that
// crossed the network (a compressed answer may be a thousandth of its file): the site's
// file size limits, which pages escape as their links lead the crawl on, and its space
// limit over every file the crawl keeps. Read from the site once per fetch, when the
// answer has said what the file is.

#include <cstdint>
#include <string>

class CSite;

class CStoreLimits {
public:
    CStoreLimits() = default; // bounds nothing
    CStoreLimits(const CSite& site, bool page);

    // Whether a whole file of this size is outside the size limits.
    bool RefusesSize(std::uint64_t bytes) const;
    // Whether a file that has grown to this size is over the largest one allowed.
    bool OverMaximum(std::uint64_t bytes) const;
    // Whether the crawl's byte total (stored files and the bodies still arriving) is over
    // the space limit.
    bool OverSpace(std::int64_t total) const;

private:
    bool m_useSizes = false;
    std::uint64_t m_fileMin = 0;
    std::uint64_t m_fileMax = 0; // 0: no upper bound, as the site's Limits page says
    bool m_useSpace = false;
    std::int64_t m_spaceMax = 0;
};

// Why a crawl stopped at its space limit.
std::string SpaceLimitText(std::int64_t spaceMax);
