#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <climits>
#include <cstdlib>

#include "widget_probe.h"
#include "ui/controls/progress_ctrl_ex.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// White text centred on black, as the empty part of the bar should show it.
QImage TextOnBlack(QSize size, const QFont& font, const QString& text) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextSingleLine, text);
    return image;
}

// Columns [fromX, width) of both images hold the same pixels, give or take antialiasing.
bool SameFrom(const QImage& a, const QImage& b, int fromX) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = fromX; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8 ||
                std::abs(qBlue(p) - qBlue(q)) > 8)
                return false;
        }
    return true;
}

bool ColumnIs(const QImage& image, int x, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        if (image.pixelColor(x, y) != colour)
            return false;
    return true;
}

} // namespace

TEST(ProgressCtrlEx, QuarterOfRangeFillsQuarterAndShowsPercent) {
    CProgressCtrlEx bar;
    bar.resize(200, 24);
    bar.SetRange(0, 200);
    EXPECT_EQ(bar.SetPos(50), 0);
    EXPECT_EQ(bar.SetPos(50), 50);

    const QImage image = Grab(bar);
    for (int x = 0; x < 50; ++x)
        ASSERT_TRUE(ColumnIs(image, x, kNavy)) << "column " << x;
    EXPECT_TRUE(ColumnIs(image, 50, Qt::black));
    EXPECT_TRUE(ColumnIs(image, 199, Qt::black));

    // The text lies wholly over the empty part here.
    EXPECT_TRUE(SameFrom(image, TextOnBlack(bar.size(), bar.font(), QStringLiteral("25%")), 50));
    EXPECT_FALSE(SameFrom(image, TextOnBlack(bar.size(), bar.font(), QStringLiteral("26%")), 50));
    EXPECT_FALSE(SameFrom(image, TextOnBlack(bar.size(), bar.font(), QStringLiteral("50")), 50));
}

TEST(ProgressCtrlEx, ShowValueShowsThePosition) {
    CProgressCtrlEx bar;
    bar.resize(200, 24);
    bar.SetShowValue(true);
    bar.SetPos(7);

    const QImage image = Grab(bar);
    EXPECT_TRUE(ColumnIs(image, 13, kNavy)); // 7% of 200 is 14 pixels
    EXPECT_TRUE(ColumnIs(image, 14, Qt::black));
    EXPECT_TRUE(SameFrom(image, TextOnBlack(bar.size(), bar.font(), QStringLiteral("7")), 14));
    EXPECT_FALSE(SameFrom(image, TextOnBlack(bar.size(), bar.font(), QStringLiteral("7%")), 14));
}

TEST(ProgressCtrlEx, TextCrossingTheFillIsDrawnInBothParts) {
    CProgressCtrlEx bar;
    bar.resize(200, 24);
    bar.SetBarColour(kRed);
    bar.SetPos(50); // the boundary runs through the middle of "50%"

    const QImage image = Grab(bar);
    QImage left = image.copy(0, 0, 100, 24);
    QImage right = image.copy(100, 0, 100, 24);
    EXPECT_TRUE(HasColour(left, Qt::white));
    EXPECT_TRUE(HasColour(right, Qt::white));
    EXPECT_TRUE(HasColour(left, kRed));
    EXPECT_FALSE(HasColour(right, kRed));
}

TEST(ProgressCtrlEx, EmptyRangePaintsNothingNotEvenBackground) {
    QWidget parent;
    parent.resize(240, 40);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, kRed);
    parent.setPalette(palette);
    auto* bar = new CProgressCtrlEx(&parent);
    bar->setGeometry(20, 10, 200, 20);
    bar->SetRange(0, 0);
    bar->SetPos(0);

    QImage image = Grab(parent).copy(bar->geometry());
    EXPECT_TRUE(ColumnIs(image, 0, kRed));
    EXPECT_TRUE(ColumnIs(image, 100, kRed));
    EXPECT_FALSE(HasColour(image, Qt::black));

    bar->SetRange(5, 1); // reversed counts as empty too
    image = Grab(parent).copy(bar->geometry());
    EXPECT_TRUE(ColumnIs(image, 100, kRed));

    bar->SetRange(0, 100);
    image = Grab(parent).copy(bar->geometry());
    EXPECT_TRUE(ColumnIs(image, 199, Qt::black));
}

TEST(ProgressCtrlEx, RepaintsOnlyWhenTheFilledWidthChanges) {
    CProgressCtrlEx bar;
    bar.resize(200, 20);
    bar.SetRange(0, 1000);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QApplication::processEvents();
    PaintCounter paints(&bar);

    bar.SetPos(100); // 20 pixels
    EXPECT_EQ(paints.count, 1);
    bar.SetPos(104); // still 20 pixels
    bar.SetPos(100);
    EXPECT_EQ(paints.count, 1);
    bar.SetPos(105); // 21 pixels
    EXPECT_EQ(paints.count, 2);

    // A resize forgets the last width, so the next position repaints even if unchanged.
    bar.SetPos(0);
    bar.resize(300, 20);
    QApplication::processEvents();
    paints.count = 0;
    bar.SetPos(0);
    EXPECT_EQ(paints.count, 1);
}

TEST(ProgressCtrlEx, PositionsFarOutsideTheRangeDoNotOverflow) {
    EXPECT_EQ(CProgressCtrlEx::FilledWidth(0, 1, INT_MAX, 1000), INT_MAX);
    EXPECT_EQ(CProgressCtrlEx::FilledWidth(0, 0, 10, 1000), 0);
    EXPECT_EQ(CProgressCtrlEx::BarText(0, 3, 2, false), QStringLiteral("66%"));
    EXPECT_EQ(CProgressCtrlEx::BarText(-100, 100, -100, false), QStringLiteral("0%"));
    EXPECT_TRUE(CProgressCtrlEx::BarText(4, 4, 4, true).isEmpty());
}
