// The pictures compiled into the program: each one loads at the size its users cut it by.
#include <gtest/gtest.h>

#include <QImage>

#include "ui/artwork.h"

TEST(Artwork, EveryPictureLoadsAtItsSize) {
    const std::pair<const char*, QSize> pictures[] = {
        {art::kSiteImages, {336, 16}},       {art::kToolbar, {528, 48}},
        {art::kBrowserToolbar, {192, 32}},   {art::kButtonSkin, {240, 23}},
        {art::kBusyFrames, {416, 26}},       {art::kSplash, {425, 230}},
        {art::kDownloadGroupIcon, {32, 32}}, {art::kGeneralGroupIcon, {32, 32}},
    };
    for (auto [resource, size] : pictures)
        EXPECT_EQ(LoadPicture(QString::fromLatin1(resource)).size(), size) << resource;
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
