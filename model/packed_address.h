#pragma once
// An address waiting in a site's pending list, packed into one string: its ten text
// fields, each after its length, plus its level, its tries and how often a busy server
// turned it away. About a hundred bytes for a usual address, where the parsed form takes
// several hundred; unpacking gives back the very same fields, so nothing is parsed again.

#include <memory>
#include <string>

#include "web/url.h"

struct CPackedAddress {
    explicit CPackedAddress(const CUrl& address);
    std::unique_ptr<CUrl> Unpack() const;

    std::string fields;
    int level = 1;
    int attempts = 0;
    int turnedAway = 0;
};
