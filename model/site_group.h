#pragma once
// CSiteGroup: a named group of sites; it owns its sites, in display order.

#include <memory>
#include <string>
#include <vector>

#include "model/site_item.h"

class CSite;
class CXMLElement;

inline constexpr int kImageGroupClosed = 6;
inline constexpr int kImageGroupOpen = 7;

class CSiteGroup : public CSiteItem {
public:
    explicit CSiteGroup(std::string name);
    ~CSiteGroup() override;

    int GetImage() const { return m_expanded ? kImageGroupOpen : kImageGroupClosed; }

    // The project file's GROUP element: EXPANDED, NAME, then one SITE per site.
    std::unique_ptr<CXMLElement> Write() const;
    void Read(const CXMLElement& element);

    bool m_expanded = true;
    std::vector<std::unique_ptr<CSite>> m_sites;
};
