#include "web/status_text.h"

#include <gtest/gtest.h>

namespace {

TEST(StatusText, UsesTheShortNamesOfTheHttpClient) {
    EXPECT_EQ(StatusText(200), "OK");
    EXPECT_EQ(StatusText(203), "Partial");
    EXPECT_EQ(StatusText(307), "Redirect Keep Verb");
    EXPECT_EQ(StatusText(401), "Denied");
    EXPECT_EQ(StatusText(404), "Not Found");
    EXPECT_EQ(StatusText(407), "Proxy Authentication Required");
    EXPECT_EQ(StatusText(505), "Version Not Supported");
}

TEST(StatusText, UnknownCodesGiveQuestionMark) {
    for (const int code : {306, 416, 100, 0, -1, -12029, 299, 600}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(StatusText(code), "?");
    }
}

} // namespace
