#include "web/long_name.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

TEST(CutLongName, KeepsWhatFitsAndCutsTheRestOnACharacter) {
    std::string fits(255, 'a');
    EXPECT_FALSE(CutLongName(fits));
    EXPECT_EQ(fits, std::string(255, 'a'));

    const struct {
        std::string name;
        bool keepExtension;
        std::size_t kept; // bytes of the name before the hash mark
        std::string end;
    } cases[] = {
        {std::string(256, 'a'), false, 80, ""},
        {std::string(300, 'a') + ".html", false, 80, ""},
        {std::string(300, 'a') + ".html", true, 80, ".html"},
        // An extension longer than 16 bytes says little: it is not kept.
        {std::string(250, 'a') + "." + std::string(16, 'e'), true, 80, ""},
        {std::string(250, 'a') + "." + std::string(15, 'e'), true, 80, "." + std::string(15, 'e')},
        {"." + std::string(300, 'h'), true, 80, ""},
        {std::string(79, 'x') + std::string(200, '\xC3') + "\xA9", false, 80, ""},
        {std::string(79, 'x') + "\xC3\xA9" + std::string(200, 'y'), false, 79, ""},
        // Past three continuation bytes the text is no UTF-8: the cut backs up no further.
        {std::string(70, 'x') + std::string(200, '\x80'), false, 77, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 90));
        std::string name = c.name;
        EXPECT_TRUE(CutLongName(name, kLongestNameBytes, c.keepExtension));
        EXPECT_EQ(name.substr(0, c.kept), c.name.substr(0, c.kept));
        EXPECT_EQ(name.size(), c.kept + 13 + c.end.size());
        EXPECT_EQ(name[c.kept], '@');
        EXPECT_TRUE(name.ends_with(c.end));
        EXPECT_TRUE(IsCutName(name)) << name;
    }
}

TEST(IsCutName, KnowsOnlyTheShapeOfACutName) {
    const std::string x80(80, 'x');
    EXPECT_TRUE(IsCutName(x80 + "@0123456789ab"));
    EXPECT_TRUE(IsCutName(std::string(77, 'x') + "@0123456789ab.htm"));
    // The cut part may hold "@" itself.
    EXPECT_TRUE(IsCutName(std::string(77, 'x') + "@yz@0123456789ab"));
    for (const std::string& name : {
             std::string("x@0123456789ab"),
             std::string(76, 'x') + "@0123456789ab",
             std::string(81, 'x') + "@0123456789ab",
             x80 + "@0123456789AB",
             x80 + "@0123456789a",
             x80 + "@0123456789abc",
             x80 + "@0123456789ab." + std::string(16, 'e'),
             x80 + "_0123456789ab",
             x80,
         }) {
        EXPECT_FALSE(IsCutName(name)) << name;
    }
}

} // namespace
