#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "widget_probe.h"
#include "ui/controls/label_ctrl.h"

namespace {

QColor PixelAt(QWidget& widget, QPoint point) {
    return widget.grab().toImage().pixelColor(point);
}

} // namespace

TEST(LabelCtrl, SettingTheSameTextDoesNotRepaint) {
    CLabelCtrl label;
    label.resize(120, 20);
    label.SetText(QStringLiteral("Ready"));
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    QApplication::processEvents();
    PaintCounter paints(&label);

    label.SetText(QStringLiteral("Ready"));
    QApplication::processEvents();
    EXPECT_EQ(paints.count, 0);

    // Case matters: this is a different text.
    label.SetText(QStringLiteral("ready"));
    QApplication::processEvents();
    EXPECT_GE(paints.count, 1);
    EXPECT_EQ(label.text(), QStringLiteral("ready"));
}

TEST(LabelCtrl, DrawsDarkBlueTextOnButtonFaceUntilColoursChange) {
    CLabelCtrl label;
    label.resize(200, 30);
    label.SetFontHeight(22);
    label.SetBold(true);
    label.SetText(QStringLiteral("MMMM"));
    EXPECT_TRUE(label.font().bold());

    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(199, 0), label.palette().color(QPalette::Button));
    EXPECT_TRUE(HasColour(image, QColor(0, 0, 192)));

    label.SetTextColour(QColor(0, 128, 0));
    label.SetBackgroundColour(QColor(255, 255, 0));
    const QImage recoloured = label.grab().toImage();
    EXPECT_EQ(recoloured.pixelColor(199, 0), QColor(255, 255, 0));
    EXPECT_TRUE(HasColour(recoloured, QColor(0, 128, 0)));
    EXPECT_FALSE(HasColour(recoloured, QColor(0, 0, 192)));
}

TEST(LabelCtrl, TextBlinkHidesAndRestoresTheText) {
    CLabelCtrl label;
    label.SetText(QStringLiteral("Quarning"));
    label.Blink(true);
    EXPECT_TRUE(label.IsBlinking());
    ASSERT_TRUE(QTest::qWaitFor([&] { return label.text().isEmpty(); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return label.text() == QStringLiteral("Quarning"); }, 3000));

    // Blinking again while the text is hidden must not take the empty text as the one to
    // blink.
    ASSERT_TRUE(QTest::qWaitFor([&] { return label.text().isEmpty(); }, 3000));
    label.Blink(true);
    EXPECT_EQ(label.text(), QStringLiteral("Quarning"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return label.text().isEmpty(); }, 3000));

    label.Blink(false);
    EXPECT_FALSE(label.IsBlinking());
    EXPECT_EQ(label.text(), QStringLiteral("Quarning"));
}

TEST(LabelCtrl, BackgroundBlinkSwapsInTheButtonFace) {
    CLabelCtrl label;
    label.resize(60, 20);
    const QColor face = label.palette().color(QPalette::Button);
    const QColor red(255, 0, 0);
    label.SetBackgroundColour(red);
    label.SetText(QStringLiteral("x"));

    label.Blink(true, CLabelCtrl::BlinkMode::Background);
    EXPECT_EQ(PixelAt(label, {59, 0}), face);
    ASSERT_TRUE(QTest::qWaitFor([&] { return label.BlinkPhase(); }, 3000));
    EXPECT_EQ(PixelAt(label, {59, 0}), red);
    EXPECT_EQ(label.text(), QStringLiteral("x"));

    label.Blink(false);
    EXPECT_EQ(PixelAt(label, {59, 0}), red);
}
