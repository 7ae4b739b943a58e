#pragma once
// CProgressCtrlEx: a self-painted progress bar with a centred text, either the percentage
// ("25%") or the position itself ("7"). The status bar's two bars and the status list's
// workers bar use it.
//
// GUI thread only: the engine's progress hooks are marshalled onto the GUI thread. SetPos
// repaints synchronously, but only when the filled width in pixels changes, so the engine
// can report every file without flooding the window with paints.

#include <QColor>
#include <QWidget>

class CProgressCtrlEx : public QWidget {
    Q_OBJECT
public:
    explicit CProgressCtrlEx(QWidget* parent = nullptr);

    void SetBarColour(QColor colour) { m_barColour = colour; }
    void SetRange(int lower, int upper);
    // Returns the previous position.
    int SetPos(int position);
    void SetShowValue(bool show);

    int GetPos() const { return m_pos; }
    int GetLower() const { return m_lower; }
    int GetUpper() const { return m_upper; }
    bool GetShowValue() const { return m_showValue; }

    // Filled pixels of a bar width wide; 0 when the range is empty.
    static int FilledWidth(int lower, int upper, int position, int width);
    // The text the bar shows; empty when the range is empty.
    static QString BarText(int lower, int upper, int position, bool showValue);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_pos = 0;
    int m_upper = 100;
    int m_lower = 0;
    bool m_showValue = false;
    int m_lastFilledWidth = -1;
    QColor m_barColour{0, 0, 128};
    QColor m_backgroundColour{0, 0, 0};
    QColor m_emptyTextColour{255, 255, 255};
    QColor m_filledTextColour{255, 255, 255};
};
