#pragma once
// CLabelCtrl: a text with its own colours, font and blinking. The status-bar state text,
// the sites tree, the status list and the browser view use it. Setting the text it already
// shows does not repaint it, so callers may set it on every timer tick without flicker.
//
// Blinking (500 ms phases) either hides and shows the text or swaps the background for the
// button-face colour. Blink(false) puts the text back as it was when blinking started.

#include <QColor>
#include <QCursor>
#include <QLabel>
#include <QTimer>

class CLabelCtrl : public QLabel {
    Q_OBJECT
public:
    static constexpr int kBlinkMs = 500;
    enum class BlinkMode { None = 0, Text = 1, Background = 2 };

    explicit CLabelCtrl(QWidget* parent = nullptr);

    void SetText(const QString& text);
    void SetTextColour(QColor colour);
    void SetBold(bool bold);
    // The character height in pixels.
    void SetFontHeight(int pixels);
    void SetBackgroundColour(QColor colour);
    void Blink(bool on, BlinkMode mode = BlinkMode::Text);
    void SetLinkCursor(const QCursor& cursor);
    // When on, a left click opens the label's text as an address.
    void SetOpensLink(bool opens) { m_opensLink = opens; }

    QColor TextColour() const { return m_textColour; }
    QColor BackgroundColour() const { return m_backgroundColour; }
    bool IsBlinking() const { return m_blinking; }
    BlinkMode GetBlinkMode() const { return m_blinkMode; }
    bool BlinkPhase() const { return m_blinkPhase; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnBlinkTimer();
    void ApplyColours();

    QColor m_textColour{0, 0, 192};
    QColor m_backgroundColour;
    QColor m_blinkOffColour; // the background in the "off" phase of background blinking
    QString m_savedText;
    bool m_blinkPhase = false;
    bool m_blinking = false;
    BlinkMode m_blinkMode = BlinkMode::None;
    bool m_opensLink = false;
    QTimer m_blinkTimer;
};
