#pragma once
// CImageButton: a push button drawn from a skin picture instead of the style. The skin is
// a strip of 15 equal pieces: five states (0 disabled, 1 focused, 2 hover, 3 normal,
// 4 pressed) of three pieces each (left end, middle, right end). Magenta in the skin is
// transparent and shows the button-face colour. The button is as tall as the skin.
//
// A double click acts as a single click: QAbstractButton already treats the second press of
// a double click as a press of its own.

#include <QPushButton>
#include <vector>

class CImageButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kSkinPieces = 15;
    enum SkinState { kDisabled = 0, kFocused = 1, kHover = 2, kNormal = 3, kPressed = 4 };

    explicit CImageButton(const QString& text = {}, QWidget* parent = nullptr);

    // Replaces the skin; false (and the style's plain look) when the picture cannot be read.
    bool LoadSkin(const QString& resource);
    bool HasSkin() const { return !m_pieces.empty(); }
    int PieceWidth() const { return m_pieceWidth; }
    int SkinHeight() const { return m_skinHeight; }
    bool IsHover() const { return m_hover; }

    static SkinState StateOf(bool pressed, bool hover, bool enabled, bool focused);
    // Where the middle piece is drawn: tiled from 0, one extra copy for a remainder.
    static std::vector<int> MiddlePieceOffsets(int width, int pieceWidth);
    static int RightEndOffset(int width, int pieceWidth) { return width - pieceWidth; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void SetHover(bool hover);

    std::vector<QPixmap> m_pieces;
    int m_pieceWidth = 0;
    int m_skinHeight = 0;
    bool m_hover = false;
};
