#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTemporaryDir>
#include <QTest>

#include "ui/artwork.h"
#include "ui/controls/image_button.h"

namespace {

// A distinct colour for each of the 15 skin pieces.
QColor PieceColour(int piece) {
    return QColor(20 + piece * 15, 240 - piece * 12, 40 + piece * 7);
}

// A 240x23 skin of plain pieces; the normal left end has a magenta (transparent) corner.
QString WriteSkin(const QTemporaryDir& dir) {
    QImage skin(240, 23, QImage::Format_RGB32);
    for (int piece = 0; piece < 15; ++piece)
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 16; ++x)
                skin.setPixelColor(piece * 16 + x, y, PieceColour(piece));
    skin.setPixelColor(9 * 16, 0, QColor(255, 0, 255));
    const QString path = dir.filePath(QStringLiteral("skin.png"));
    EXPECT_TRUE(skin.save(path));
    return path;
}

struct ImageButtonFixture : ::testing::Test {
    QTemporaryDir dir;
    CImageButton button{QStringLiteral("OK")};

    void SetUp() override {
        ASSERT_TRUE(button.LoadSkin(WriteSkin(dir)));
        button.resize(100, 23);
    }

    // The pieces seen on row 1, above the caption: left end, a middle tile, right end.
    void ExpectState(int state) {
        const QImage image = button.grab().toImage();
        EXPECT_EQ(image.pixelColor(0, 1), PieceColour(3 * state)) << "state " << state;
        EXPECT_EQ(image.pixelColor(15, 1), PieceColour(3 * state));
        EXPECT_EQ(image.pixelColor(16, 1), PieceColour(3 * state + 1));
        EXPECT_EQ(image.pixelColor(83, 1), PieceColour(3 * state + 1));
        EXPECT_EQ(image.pixelColor(84, 1), PieceColour(3 * state + 2));
        EXPECT_EQ(image.pixelColor(99, 1), PieceColour(3 * state + 2));
    }
};

} // namespace

TEST(ImageButton, HundredPixelsTakeSevenMiddlePiecesAndRightEndAt84) {
    const auto offsets = CImageButton::MiddlePieceOffsets(100, 16);
    ASSERT_EQ(offsets.size(), 7u);
    EXPECT_EQ(offsets.front(), 0);
    EXPECT_EQ(offsets.back(), 96);
    EXPECT_EQ(CImageButton::RightEndOffset(100, 16), 84);
    EXPECT_EQ(CImageButton::MiddlePieceOffsets(96, 16).size(), 6u);
}

TEST(ImageButton, OwnSkinIsCutIntoFifteenPiecesAsTallAsTheButton) {
    CImageButton button;
    ASSERT_TRUE(button.HasSkin());
    EXPECT_EQ(button.PieceWidth(), 16);
    EXPECT_EQ(button.SkinHeight(), 23);
    EXPECT_EQ(button.sizeHint().height(), 23);
    EXPECT_EQ(button.maximumHeight(), 23);
}

TEST(ImageButton, MissingSkinFallsBackToThePlainButton) {
    CImageButton button;
    EXPECT_FALSE(button.LoadSkin(QStringLiteral(":/art/no_such_skin.svg")));
    EXPECT_FALSE(button.HasSkin());
    EXPECT_EQ(button.maximumHeight(), QWIDGETSIZE_MAX);
    button.resize(80, 30);
    EXPECT_FALSE(button.grab().isNull()); // paints without a skin
}

TEST_F(ImageButtonFixture, NormalButtonDrawsEndsOverTiledMiddle) {
    EXPECT_EQ(button.height(), 23);
    ExpectState(CImageButton::kNormal);
    // Magenta is transparent and shows the button face, not the middle piece beneath.
    EXPECT_EQ(button.grab().toImage().pixelColor(0, 0), button.palette().color(QPalette::Button));
}

TEST_F(ImageButtonFixture, StateDecidesThePieces) {
    button.setDown(true);
    ExpectState(CImageButton::kPressed);
    button.setDown(false);

    button.setEnabled(false);
    ExpectState(CImageButton::kDisabled);
    button.setEnabled(true);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.IsHover());
    ExpectState(CImageButton::kHover);
    button.setDown(true); // pressing wins over hover
    ExpectState(CImageButton::kPressed);
    button.setDown(false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.IsHover());
    ExpectState(CImageButton::kNormal);
}

TEST_F(ImageButtonFixture, FocusedButtonShowsFocusPiecesAndLosesHoverWithFocus) {
    button.show();
    button.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&button));
    QEvent leave(QEvent::Leave); // the pointer may rest where the window opened
    QApplication::sendEvent(&button, &leave);
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());
    ExpectState(CImageButton::kFocused);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    ASSERT_TRUE(button.IsHover());
    button.clearFocus();
    EXPECT_FALSE(button.IsHover());
}

TEST_F(ImageButtonFixture, CaptionMovesOnePixelWhilePressed) {
    // The same skin for both states, so only the caption can differ.
    QTemporaryDir other;
    QImage skin(240, 23, QImage::Format_RGB32);
    skin.fill(QColor(200, 200, 200));
    const QString path = other.filePath(QStringLiteral("flat.png"));
    ASSERT_TRUE(skin.save(path));
    ASSERT_TRUE(button.LoadSkin(path));

    const QImage up = button.grab().toImage();
    button.setDown(true);
    const QImage down = button.grab().toImage();
    ASSERT_NE(up, down);
    EXPECT_EQ(up.copy(0, 0, 99, 22), down.copy(1, 1, 99, 22));
}
