#include "engine/store_limits.h"

#include "model/site.h"

CStoreLimits::CStoreLimits(const CSite& site, bool page)
    : m_useSizes(site.m_useSizes && !page),
      // Read as unsigned, as the Limits page stores them.
      m_fileMin(static_cast<unsigned>(site.m_fileMin)),
      m_fileMax(static_cast<unsigned>(site.m_fileMax)), m_useSpace(site.m_useSpace),
      m_spaceMax(site.m_spaceMax) {}

bool CStoreLimits::RefusesSize(std::uint64_t bytes) const {
    return m_useSizes && (bytes < m_fileMin || OverMaximum(bytes));
}

bool CStoreLimits::OverMaximum(std::uint64_t bytes) const {
    return m_useSizes && m_fileMax != 0 && bytes > m_fileMax;
}

bool CStoreLimits::OverSpace(std::int64_t total) const {
    return m_useSpace && total > m_spaceMax;
}

std::string SpaceLimitText(std::int64_t spaceMax) {
    return "Stopped: the space limit of " + std::to_string(spaceMax) + " bytes was reached";
}
