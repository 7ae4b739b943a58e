#include "model/packed_address.h"

#include <string_view>

namespace {

// The fields in a fixed order; the same list packs and unpacks.
template <typename Url, typename Visit>
void ForEachField(Url& address, Visit visit) {
    visit(address.scheme);
    visit(address.user);
    visit(address.password);
    visit(address.host);
    visit(address.port);
    visit(address.path);
    visit(address.params);
    visit(address.file);
    visit(address.query);
    visit(address.fragment);
}

// Seven bits a byte, low first; the high bit says more follow.
void AppendLength(std::string& out, std::size_t length) {
    while (length >= 0x80) {
        out.push_back(static_cast<char>((length & 0x7F) | 0x80));
        length >>= 7;
    }
    out.push_back(static_cast<char>(length));
}

std::size_t ReadLength(std::string_view& in) {
    std::size_t length = 0;
    for (int shift = 0; !in.empty(); shift += 7) {
        const auto byte = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    return length;
}

} // namespace

CPackedAddress::CPackedAddress(const CUrl& address)
    : level(address.level), attempts(address.attempts), turnedAway(address.turnedAway) {
    std::size_t size = 0;
    ForEachField(address, [&](const std::string& field) { size += field.size() + 1; });
    fields.reserve(size);
    ForEachField(address, [&](const std::string& field) {
        AppendLength(fields, field.size());
        fields += field;
    });
}

std::unique_ptr<CUrl> CPackedAddress::Unpack() const {
    auto address = std::make_unique<CUrl>();
    std::string_view in(fields);
    ForEachField(*address, [&](std::string& field) {
        const std::size_t length = std::min(ReadLength(in), in.size());
        field.assign(in.substr(0, length));
        in.remove_prefix(length);
    });
    address->level = level;
    address->attempts = attempts;
    address->turnedAway = turnedAway;
    return address;
}
