#include <gtest/gtest.h>

#include "ui/controls/strip_chart.h"

namespace {

const QColor kBar(0, 192, 0);

// Rows from the top of column x that hold colour, counted from the bottom up until the
// first other pixel; -1 if a pixel above that run has the colour again.
int BarHeight(const QImage& image, int x, QColor colour) {
    int height = 0;
    int y = image.height() - 1;
    for (; y >= 0 && image.pixelColor(x, y) == colour; --y)
        ++height;
    for (; y >= 0; --y)
        if (image.pixelColor(x, y) != Qt::black)
            return -1;
    return height;
}

// The chart's client area as it appears on screen.
QImage Shown(CStripChart& chart) {
    return chart.grab().toImage().copy(chart.contentsRect());
}

} // namespace

TEST(StripChart, ValueAboveMaximumStoresMaximumAndDrawsFullBar) {
    CStripChart chart;
    chart.resize(60, 42);
    chart.SetRange(0, 100);
    EXPECT_EQ(chart.SetValue(150), 0);
    EXPECT_EQ(chart.GetValue(), 100);

    const QImage image = Shown(chart);
    const int w = image.width();
    ASSERT_EQ(w, chart.contentsRect().width());
    EXPECT_EQ(BarHeight(image, w - 1, kBar), image.height());
    EXPECT_EQ(BarHeight(image, w - 2, kBar), image.height());
    EXPECT_EQ(BarHeight(image, w - 3, kBar), 0); // the gap before the bar
    EXPECT_EQ(BarHeight(image, 0, kBar), 0);
}

TEST(StripChart, EachValueScrollsEarlierBarsThreePixelsLeft) {
    CStripChart chart(QColor(255, 0, 0));
    chart.resize(40, 42);
    chart.SetRange(50, 150);
    const QColor red(255, 0, 0);
    const int h = chart.contentsRect().height();

    chart.SetValue(150);
    EXPECT_EQ(chart.SetValue(100), 150);
    EXPECT_EQ(chart.SetValue(10), 100); // below the minimum: no bar
    EXPECT_EQ(chart.GetValue(), 50);

    const QImage image = Shown(chart);
    const int w = image.width();
    EXPECT_EQ(BarHeight(image, w - 1, red), 0);
    EXPECT_EQ(BarHeight(image, w - 4, red), h / 2);
    EXPECT_EQ(BarHeight(image, w - 5, red), h / 2);
    EXPECT_EQ(BarHeight(image, w - 6, red), 0);
    EXPECT_EQ(BarHeight(image, w - 7, red), h);
    EXPECT_EQ(BarHeight(image, w - 8, red), h);
    EXPECT_EQ(BarHeight(image, w - 9, red), 0);
}

TEST(StripChart, GrowingKeepsTheNewestBarsAtTheRightEdge) {
    CStripChart chart;
    chart.resize(30, 22);
    chart.SetRange(0, 10);
    chart.SetValue(10);
    chart.resize(50, 22);

    const QImage image = Shown(chart);
    EXPECT_EQ(image.width(), chart.contentsRect().width());
    EXPECT_EQ(BarHeight(image, image.width() - 1, kBar), image.height());
    EXPECT_EQ(BarHeight(image, image.width() - 3, kBar), 0);
}
