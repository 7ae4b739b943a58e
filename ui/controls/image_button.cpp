#include "ui/controls/image_button.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include "ui/artwork.h"

CImageButton::CImageButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    // Moves without a button held set the hover look.
    setMouseTracking(true);
    LoadSkin(QString::fromLatin1(art::kButtonSkin));
}

bool CImageButton::LoadSkin(const QString& resource) {
    m_pieces.clear();
    m_pieceWidth = 0;
    m_skinHeight = 0;
    const QPixmap picture = LoadPicture(resource);
    if (picture.isNull() || picture.width() < kSkinPieces) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        update();
        return false;
    }

    QImage skin = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < skin.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(skin.scanLine(y));
        for (int x = 0; x < skin.width(); ++x)
            if ((line[x] & 0x00ffffff) == 0x00ff00ff)
                line[x] = 0;
    }
    m_pieceWidth = skin.width() / kSkinPieces;
    m_skinHeight = skin.height();
    for (int i = 0; i < kSkinPieces; ++i)
        m_pieces.push_back(
            QPixmap::fromImage(skin.copy(i * m_pieceWidth, 0, m_pieceWidth, m_skinHeight)));
    setFixedHeight(m_skinHeight);
    update();
    return true;
}

CImageButton::SkinState CImageButton::StateOf(bool pressed, bool hover, bool enabled,
                                              bool focused) {
    if (pressed)
        return kPressed;
    if (hover)
        return kHover;
    if (!enabled)
        return kDisabled;
    if (focused)
        return kFocused;
    return kNormal;
}

std::vector<int> CImageButton::MiddlePieceOffsets(int width, int pieceWidth) {
    std::vector<int> offsets;
    if (pieceWidth <= 0 || width <= 0)
        return offsets;
    const int copies = width / pieceWidth + (width % pieceWidth != 0 ? 1 : 0);
    for (int i = 0; i < copies; ++i)
        offsets.push_back(i * pieceWidth);
    return offsets;
}

QSize CImageButton::sizeHint() const {
    QSize size = QPushButton::sizeHint();
    if (HasSkin())
        size.setHeight(m_skinHeight);
    return size;
}

QSize CImageButton::minimumSizeHint() const {
    QSize size = QPushButton::minimumSizeHint();
    if (HasSkin())
        size.setHeight(m_skinHeight);
    return size;
}

void CImageButton::paintEvent(QPaintEvent* event) {
    if (!HasSkin()) {
        QPushButton::paintEvent(event);
        return;
    }
    const int state = StateOf(isDown(), m_hover, isEnabled(), hasFocus());
    const QPixmap& left = m_pieces[3 * state];
    const QPixmap& middle = m_pieces[3 * state + 1];
    const QPixmap& right = m_pieces[3 * state + 2];
    const QColor face = palette().color(QPalette::Button);
    const int w = width();

    // Each piece lies on the button face, so the ends cover the tiled middle completely.
    QPainter painter(this);
    const auto drawPiece = [&](int x, const QPixmap& piece) {
        painter.fillRect(x, 0, m_pieceWidth, m_skinHeight, face);
        painter.drawPixmap(x, 0, piece);
    };
    for (int x : MiddlePieceOffsets(w, m_pieceWidth))
        drawPiece(x, middle);
    drawPiece(0, left);
    drawPiece(RightEndOffset(w, m_pieceWidth), right);

    QRect textRect = rect().adjusted(0, 0, 0, -1);
    if (isDown())
        textRect.translate(1, 1);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
        painter.drawText(textRect, flags, text());
    } else {
        // The embossed look of a disabled caption: a light copy beneath a grey one.
        painter.setPen(palette().color(QPalette::Active, QPalette::Light));
        painter.drawText(textRect.translated(1, 1), flags, text());
        painter.setPen(palette().color(QPalette::Active, QPalette::Mid));
        painter.drawText(textRect, flags, text());
    }
}

void CImageButton::SetHover(bool hover) {
    if (hover == m_hover)
        return;
    m_hover = hover;
    update();
}

void CImageButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        SetHover(true);
}

void CImageButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    SetHover(false);
}

void CImageButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    const bool inside = rect().contains(event->position().toPoint());
    // Dragging off a pressed button drops the hover look; dragging back onto it does not
    // bring it back until the button is released.
    if (event->buttons() & Qt::LeftButton) {
        if (!inside)
            SetHover(false);
    } else {
        SetHover(inside);
    }
}

void CImageButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    SetHover(false);
}
