#include "ui/controls/strip_chart.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

CStripChart::CStripChart(QColor bar, QWidget* parent) : QFrame(parent), m_barColour(bar) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void CStripChart::SetRange(int min, int max) {
    m_min = min;
    m_max = max;
    if (m_picture.isNull())
        MakePicture();
    update();
}

int CStripChart::SetValue(int value) {
    const int previous = m_value;
    // Clamp by hand: std::clamp's behaviour is undefined for a reversed range.
    if (value > m_max)
        value = m_max;
    if (value < m_min)
        value = m_min;
    m_value = value;

    if (m_picture.isNull())
        MakePicture();
    const int w = m_picture.width();
    const int h = m_picture.height();
    if (w > 0 && h > 0) {
        const int shift = std::min(kStepPixels, w);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_picture.scanLine(y));
            std::memmove(line, line + shift, sizeof(QRgb) * (w - shift));
        }
        QPainter painter(&m_picture);
        painter.fillRect(w - shift, 0, shift, h, Qt::black);
        const long long span = static_cast<long long>(m_max) - m_min;
        const int barHeight =
            span > 0 ? static_cast<int>((static_cast<long long>(m_value) - m_min) * h / span) : 0;
        painter.fillRect(w - std::min(kBarPixels, w), h - barHeight, std::min(kBarPixels, w),
                         barHeight, m_barColour);
    }
    update();
    return previous;
}

void CStripChart::Clear() {
    m_value = m_min;
    m_picture.fill(Qt::black);
    update();
}

int CStripChart::BarsShown() const {
    // The newest bar sits at the right edge; each earlier one kStepPixels further left.
    const int width = contentsRect().width();
    return width < kBarPixels ? 0 : (width - kBarPixels) / kStepPixels + 1;
}

void CStripChart::MakePicture() {
    const QSize size = contentsRect().size();
    m_picture = QImage(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    m_picture.fill(Qt::black);
}

// The picture follows the chart's size, keeping the newest bars at the right and bottom.
void CStripChart::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (m_picture.isNull() || m_picture.size() == contentsRect().size())
        return;
    const QImage old = m_picture;
    MakePicture();
    QPainter painter(&m_picture);
    painter.drawImage(m_picture.width() - old.width(), m_picture.height() - old.height(), old);
}

void CStripChart::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_picture);
}
