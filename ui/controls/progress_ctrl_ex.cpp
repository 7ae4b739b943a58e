#include "ui/controls/progress_ctrl_ex.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <climits>

#include "ui/app_globals.h"

namespace {

// Positions far outside the range would overflow the pixel and percentage arithmetic.
int Truncate(double value) {
    return static_cast<int>(std::clamp(value, double(INT_MIN), double(INT_MAX)));
}

double Fraction(int lower, int upper, int position) {
    return (double(position) - lower) / (double(upper) - lower);
}

} // namespace

CProgressCtrlEx::CProgressCtrlEx(QWidget* parent) : QWidget(parent) {}

int CProgressCtrlEx::FilledWidth(int lower, int upper, int position, int width) {
    if (lower >= upper)
        return 0;
    return Truncate(Fraction(lower, upper, position) * width);
}

QString CProgressCtrlEx::BarText(int lower, int upper, int position, bool showValue) {
    if (lower >= upper)
        return {};
    if (showValue)
        return QString::number(position);
    return QString::number(Truncate(Fraction(lower, upper, position) * 100)) + QLatin1Char('%');
}

void CProgressCtrlEx::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

int CProgressCtrlEx::SetPos(int position) {
    const int previous = m_pos;
    m_pos = position;
    const int filled = FilledWidth(m_lower, m_upper, m_pos, width());
    if (filled != m_lastFilledWidth) {
        m_lastFilledWidth = filled;
        repaint();
    }
    return previous;
}

void CProgressCtrlEx::SetShowValue(bool show) {
    if (show == m_showValue)
        return;
    m_showValue = show;
    update();
}

void CProgressCtrlEx::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_lastFilledWidth = -1;
}

void CProgressCtrlEx::paintEvent(QPaintEvent*) {
    // An empty range draws nothing at all, not even the background.
    if (m_lower >= m_upper)
        return;

    const QRect client = rect();
    QPixmap buffer(client.size() * devicePixelRatioF());
    buffer.setDevicePixelRatio(devicePixelRatioF());
    QPainter painter(&buffer);
    painter.fillRect(client, m_backgroundColour);
    // g_font is set at start-up; until then the widget's own font is used.
    painter.setFont(g_font.resolveMask() != 0 ? g_font : font());

    const int filled = FilledWidth(m_lower, m_upper, m_pos, client.width());
    const QRect filledPart(client.left(), client.top(), std::clamp(filled, 0, client.width()),
                           client.height());
    const QRect emptyPart(filledPart.right() + 1, client.top(), client.width() - filledPart.width(),
                          client.height());
    painter.fillRect(filledPart, m_barColour);
    painter.fillRect(emptyPart, m_backgroundColour);

    // The text is drawn twice so that each half takes the colour of the part beneath it.
    const QString text = BarText(m_lower, m_upper, m_pos, m_showValue);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(filledPart);
    painter.setPen(m_filledTextColour);
    painter.drawText(client, flags, text);
    painter.setClipRect(emptyPart);
    painter.setPen(m_emptyTextColour);
    painter.drawText(client, flags, text);
    painter.end();

    QPainter(this).drawPixmap(0, 0, buffer);
}
