// A queued address comes back from its packed form with every field as it went in.

#include <gtest/gtest.h>

#include <string>

#include "model/packed_address.h"

TEST(PackedAddress, EveryFieldComesBackAsItWent) {
    CUrl address;
    address.scheme = "https";
    address.user = "me";
    address.password = std::string("p\0w", 3); // bytes a page may hold
    address.host = "h";
    address.port = "";
    address.path = "/" + std::string(300, 'd') + "/"; // a length beyond one byte
    address.params = ";x";
    address.file = "f.htm";
    address.query = "?a=1";
    address.fragment = "#top";
    address.level = 7;
    address.attempts = 2;
    address.turnedAway = 3;

    const CPackedAddress packed(address);
    const auto back = packed.Unpack();
    EXPECT_EQ(back->GetURL(), address.GetURL());
    for (const auto field : {&CUrl::scheme, &CUrl::user, &CUrl::password, &CUrl::host, &CUrl::port,
                             &CUrl::path, &CUrl::params, &CUrl::file, &CUrl::query,
                             &CUrl::fragment})
        EXPECT_EQ((*back).*field, address.*field);
    EXPECT_EQ(back->level, 7);
    EXPECT_EQ(back->attempts, 2);
    EXPECT_EQ(back->turnedAway, 3);
    EXPECT_LT(packed.fields.size(), 340u);
}
