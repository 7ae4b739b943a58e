#pragma once
// CFrameAnimation: plays frames cut from an image strip (the browser view's busy
// animation). Play starts at frame 0 and then runs the frames from 1 to the last, looping
// back to the loop start; Stop lets the pending tick draw one more frame and then halts.

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <vector>

class CFrameAnimation : public QWidget {
    Q_OBJECT
public:
    explicit CFrameAnimation(QWidget* parent = nullptr);

    // Cuts the strip into frames of frameRect's size, drawn at frameRect's top-left corner in
    // a widget of windowSize. False when the strip gives no frames.
    bool Create(const QString& stripResource, QSize windowSize, QRect frameRect);
    // lastFrame -1 means the last frame of the strip.
    void Play(int delayMs, int loopStart = 0, int lastFrame = -1);
    void Stop();
    // Clamped to the frames there are.
    void SetFrame(int frame);

    int CurrentFrame() const { return m_frame; }
    bool IsRunning() const { return m_running; }
    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    int LoopStart() const { return m_loopStart; }
    int LastFrame() const { return m_lastFrame; }

    QSize sizeHint() const override { return m_picture.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnTimer();
    void DrawFrame();

    std::vector<QPixmap> m_frames;
    QImage m_picture;
    QTimer m_timer;
    bool m_running = false;
    int m_frame = 0;
    int m_delayMs = 0;
    int m_loopStart = 0;
    int m_lastFrame = 0;
    QPoint m_framePos;
};
