#include "ui/controls/frame_animation.h"

#include <QPainter>
#include <algorithm>

#include "ui/artwork.h"

CFrameAnimation::CFrameAnimation(QWidget* parent) : QWidget(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CFrameAnimation::OnTimer);
}

bool CFrameAnimation::Create(const QString& stripResource, QSize windowSize, QRect frameRect) {
    m_frames.clear();
    m_framePos = frameRect.topLeft();
    m_picture = QImage(windowSize, QImage::Format_RGB32);
    m_picture.fill(palette().color(QPalette::Button));
    setFixedSize(windowSize);

    // Magenta in the strip is transparent, showing the button face beneath.
    for (const QPixmap& piece : LoadImageStrip(stripResource, frameRect.size())) {
        QPixmap frame = piece;
        frame.setMask(piece.createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor));
        m_frames.push_back(frame);
    }
    m_frame = 0;
    m_lastFrame = FrameCount() - 1;
    if (parentWidget())
        show();
    update();
    return !m_frames.empty();
}

void CFrameAnimation::Play(int delayMs, int loopStart, int lastFrame) {
    if (m_frames.empty())
        return;
    const int last = FrameCount() - 1;
    m_delayMs = std::max(0, delayMs);
    m_lastFrame = lastFrame < 0 ? last : std::min(lastFrame, last);
    m_loopStart = std::clamp(loopStart, 0, m_lastFrame);
    m_running = true;
    m_frame = 0;
    m_timer.start(1);
}

void CFrameAnimation::Stop() {
    m_running = false;
}

void CFrameAnimation::SetFrame(int frame) {
    if (m_frames.empty())
        return;
    m_frame = std::clamp(frame, 0, FrameCount() - 1);
    // A stopped animation shows the frame it is given, not the one after it: the tick
    // still due from before the stop would move it on.
    if (!m_running)
        m_timer.stop();
    DrawFrame();
}

void CFrameAnimation::OnTimer() {
    m_timer.stop();
    if (++m_frame > m_lastFrame)
        m_frame = m_loopStart;
    if (m_running)
        m_timer.start(m_delayMs);
    DrawFrame();
}

void CFrameAnimation::DrawFrame() {
    if (m_picture.isNull() || m_frame < 0 || m_frame >= FrameCount())
        return;
    const QPixmap& frame = m_frames[static_cast<size_t>(m_frame)];
    QPainter painter(&m_picture);
    painter.fillRect(QRect(m_framePos, frame.size()), palette().color(QPalette::Button));
    painter.drawPixmap(m_framePos, frame);
    painter.end();
    update();
}

void CFrameAnimation::paintEvent(QPaintEvent*) {
    if (!m_picture.isNull())
        QPainter(this).drawImage(0, 0, m_picture);
}
