#include "ui/controls/label_ctrl.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

CLabelCtrl::CLabelCtrl(QWidget* parent) : QLabel(parent) {
    m_backgroundColour = palette().color(QPalette::Button);
    m_blinkOffColour = m_backgroundColour;
    setAutoFillBackground(true);
    ApplyColours();
    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &CLabelCtrl::OnBlinkTimer);
}

void CLabelCtrl::SetText(const QString& text) {
    if (text != this->text())
        setText(text);
}

void CLabelCtrl::SetTextColour(QColor colour) {
    m_textColour = colour;
    ApplyColours();
    repaint();
}

void CLabelCtrl::SetBold(bool bold) {
    QFont f = font();
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    setFont(f);
    repaint();
}

void CLabelCtrl::SetFontHeight(int pixels) {
    if (pixels <= 0)
        return;
    QFont f = font();
    f.setPixelSize(pixels);
    setFont(f);
    repaint();
}

void CLabelCtrl::SetBackgroundColour(QColor colour) {
    m_backgroundColour = colour;
    ApplyColours();
    update();
}

void CLabelCtrl::SetLinkCursor(const QCursor& cursor) {
    setCursor(cursor);
}

void CLabelCtrl::ApplyColours() {
    QPalette pal = palette();
    const bool off = m_blinking && m_blinkMode == BlinkMode::Background && !m_blinkPhase;
    pal.setColor(QPalette::Window, off ? m_blinkOffColour : m_backgroundColour);
    pal.setColor(QPalette::WindowText, m_textColour);
    setPalette(pal);
}

void CLabelCtrl::Blink(bool on, BlinkMode mode) {
    if (m_blinking) {
        setText(m_savedText);
        m_blinkTimer.stop();
        m_blinking = false;
        m_blinkMode = BlinkMode::None;
        ApplyColours();
    }
    if (!on || mode == BlinkMode::None)
        return;
    m_savedText = text();
    m_blinkPhase = false;
    m_blinking = true;
    m_blinkMode = mode;
    ApplyColours();
    m_blinkTimer.start();
}

void CLabelCtrl::OnBlinkTimer() {
    const bool wasOn = m_blinkPhase;
    m_blinkPhase = !m_blinkPhase;
    if (m_blinkMode == BlinkMode::Text)
        setText(wasOn ? m_savedText : QString());
    else if (m_blinkMode == BlinkMode::Background)
        ApplyColours();
}

void CLabelCtrl::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (!m_opensLink || event->button() != Qt::LeftButton || text().isEmpty())
        return;
    QDesktopServices::openUrl(QUrl::fromUserInput(text()));
}
