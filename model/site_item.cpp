#include "model/site_item.h"

#include <atomic>

namespace {
// Keys follow creation order across groups and sites, starting at 1.
std::atomic<int> g_nextKey{1};
} // namespace

CSiteItem::CSiteItem(std::string name, int kind)
    : m_name(std::move(name)), m_key(g_nextKey.fetch_add(1)), m_kind(kind) {}
