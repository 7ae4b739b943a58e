#include "ui/dialogs/about_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "ui/artwork.h"

namespace {
// The window's size when the picture cannot be read: about the size of the picture.
constexpr int kFallbackWidthPx = 426;
constexpr int kFallbackHeightPx = 213;

bool IsClosingPress(const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress: {
        const auto button = static_cast<const QMouseEvent*>(event)->button();
        return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
    }
    case QEvent::KeyPress:
        return true;
    default:
        return false;
    }
}
} // namespace

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("aboutDialog"));
    // With nothing in it that takes the focus, the keys must come to the window itself.
    setFocusPolicy(Qt::StrongFocus);

    const QPixmap picture = LoadPicture(QString::fromLatin1(art::kSplash));
    if (!picture.isNull()) {
        // The picture also tiles the background, so nothing else shows at any size.
        QPalette palette = this->palette();
        palette.setBrush(QPalette::Window, QBrush(picture));
        setPalette(palette);
        setAutoFillBackground(true);
    }

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("pictureLabel"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setPixmap(picture);
    m_picture->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_picture);
    setLayout(layout);

    setFixedSize(picture.isNull() ? QSize(kFallbackWidthPx, kFallbackHeightPx) : picture.size());
}

bool CAboutDialog::event(QEvent* event) {
    if (IsClosingPress(event)) {
        accept();
        // Swallowed: the dialog's own Esc handling would turn the result into Rejected.
        return true;
    }
    return QDialog::event(event);
}

bool CAboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_picture && IsClosingPress(event)) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
