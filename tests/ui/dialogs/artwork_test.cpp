// The pictures compiled into the program: each one loads at the size its users cut it by.
#include <gtest/gtest.h>

#include <QImage>

#include "ui/artwork.h"

namespace {
// The 32x32 pictures at the top left of group boxes and of the Errors/Log dialogs.
const char* const kGroupIcons[] = {
    art::kDownloadGroupIcon,  art::kGeneralGroupIcon,     art::kSiteGroupIcon,
    art::kLoginGroupIcon,     art::kWorkersGroupIcon,     art::kContentGroupIcon,
    art::kServersGroupIcon,   art::kDirectoriesGroupIcon, art::kFilesGroupIcon,
    art::kAddressesGroupIcon, art::kLevelsGroupIcon,      art::kSpaceGroupIcon,
    art::kTimeGroupIcon,      art::kSizesGroupIcon,       art::kTimeoutGroupIcon,
    art::kErrorsIcon,         art::kLogIcon,
};
} // namespace

TEST(Artwork, EveryPictureLoadsAtItsSize) {
    const std::pair<const char*, QSize> pictures[] = {
        {art::kSiteImages, {336, 16}},     {art::kToolbar, {528, 48}},
        {art::kBrowserToolbar, {192, 32}}, {art::kButtonSkin, {240, 23}},
        {art::kBusyFrames, {416, 26}},     {art::kSplash, {425, 230}},
    };
    for (auto [resource, size] : pictures)
        EXPECT_EQ(LoadPicture(QString::fromLatin1(resource)).size(), size) << resource;
    for (const char* resource : kGroupIcons)
        EXPECT_EQ(LoadPicture(QString::fromLatin1(resource)).size(), QSize(32, 32)) << resource;
    EXPECT_FALSE(LoadPicture(QString::fromLatin1(art::kAppIcon)).isNull());
    EXPECT_FALSE(LoadPicture(QString::fromLatin1(art::kStatusBackground)).isNull());
}

TEST(Artwork, StripPiecesAreDrawnAndTellApart) {
    const struct {
        const char* resource;
        QSize piece;
        int count;
    } strips[] = {{art::kSiteImages, {16, 16}, 21},
                  {art::kToolbar, {48, 48}, 11},
                  {art::kBrowserToolbar, {32, 32}, 6},
                  {art::kBusyFrames, {26, 26}, 16}};
    for (const auto& strip : strips) {
        const auto pieces = LoadImageStrip(QString::fromLatin1(strip.resource), strip.piece);
        ASSERT_EQ(static_cast<int>(pieces.size()), strip.count) << strip.resource;
        for (int i = 0; i < strip.count; ++i)
            for (int j = i + 1; j < strip.count; ++j)
                EXPECT_NE(pieces[i].toImage(), pieces[j].toImage())
                    << strip.resource << " pieces " << i << " and " << j;
    }
}

TEST(Artwork, GroupIconsAreDrawnAndTellApart) {
    std::vector<QImage> icons;
    for (const char* resource : kGroupIcons) {
        icons.push_back(LoadPicture(QString::fromLatin1(resource)).toImage());
        const QImage& icon = icons.back();
        int opaque = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                opaque += qAlpha(icon.pixel(x, y)) == 255;
        EXPECT_GT(opaque, 0) << resource;
    }
    for (size_t i = 0; i < icons.size(); ++i)
        for (size_t j = i + 1; j < icons.size(); ++j)
            EXPECT_NE(icons[i], icons[j]) << kGroupIcons[i] << " and " << kGroupIcons[j];
}

TEST(Artwork, ButtonMiddlesTileWithoutASeam) {
    const auto pieces = LoadImageStrip(QString::fromLatin1(art::kButtonSkin), {16, 23});
    ASSERT_EQ(pieces.size(), 15u);
    for (int state = 0; state < 5; ++state) {
        const QImage middle = pieces[3 * state + 1].toImage();
        for (int y = 0; y < middle.height(); ++y)
            EXPECT_EQ(middle.pixel(0, y), middle.pixel(middle.width() - 1, y))
                << "state " << state << " row " << y;
        // The ends are opaque where they meet the middle.
        EXPECT_EQ(qAlpha(pieces[3 * state].toImage().pixel(15, 11)), 255) << "state " << state;
        EXPECT_EQ(qAlpha(pieces[3 * state + 2].toImage().pixel(0, 11)), 255) << "state " << state;
    }
}
