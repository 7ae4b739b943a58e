#pragma once
// CSiteItem: what groups and sites share as entries of the project tree.

#include <string>

inline constexpr int kItemGroup = 1;
inline constexpr int kItemSite = 2;

class CSiteItem {
public:
    virtual ~CSiteItem() = default;
    CSiteItem(const CSiteItem&) = delete;
    CSiteItem& operator=(const CSiteItem&) = delete;

    bool IsGroup() const { return m_kind == kItemGroup; }
    bool IsSite() const { return m_kind == kItemSite; }

    int m_image = 0;    // the image a site shows in the sites tree; groups compute theirs
    std::string m_name; // display name; a site's folder name too
    int m_key;          // unique within one run of the program, in creation order
    int m_kind = 0;     // kItemGroup or kItemSite

protected:
    CSiteItem(std::string name, int kind);
};
