#pragma once
// CStripChart: a bar chart that scrolls left by one bar at each new value (the status
// list's speed graph). Each value becomes a bar 2 pixels wide at the right edge, with a
// 1-pixel gap before it, scaled from the bottom between the range's minimum and maximum;
// values outside the range are clamped to it. Earlier bars scroll off the left edge.

#include <QColor>
#include <QFrame>
#include <QImage>

class CStripChart : public QFrame {
    Q_OBJECT
public:
    static constexpr int kStepPixels = 3;
    static constexpr int kBarPixels = 2;

    explicit CStripChart(QColor bar = QColor(0, 192, 0), QWidget* parent = nullptr);

    void SetRange(int min, int max);
    // Clamps the value to the range, adds its bar and returns the previous value.
    int SetValue(int value);
    // Takes every bar away, for a chart about to show another series.
    void Clear();
    int GetValue() const { return m_value; }
    int GetMin() const { return m_min; }
    int GetMax() const { return m_max; }
    // How many of the newest values the chart's width shows.
    int BarsShown() const;

    // The chart's own picture, as the next paint shows it.
    const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void MakePicture();

    QImage m_picture;
    QColor m_barColour;
    int m_min = 0;
    int m_value = 0;
    int m_max = 100;
};
