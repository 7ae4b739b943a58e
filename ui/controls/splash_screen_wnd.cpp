#include "ui/controls/splash_screen_wnd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "ui/artwork.h"

namespace {
bool s_enabled = false;
CSplashScreenWnd* s_current = nullptr;

bool ClosingButton(const QEvent* event) {
    const auto button = static_cast<const QMouseEvent*>(event)->button();
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}
} // namespace

void CSplashScreenWnd::EnableSplash(bool enable) {
    s_enabled = enable;
}

bool CSplashScreenWnd::IsSplashEnabled() {
    return s_enabled;
}

CSplashScreenWnd* CSplashScreenWnd::Current() {
    return s_current;
}

void CSplashScreenWnd::ShowSplash(QWidget* parent) {
    if (s_enabled && !s_current)
        ShowSplash(parent, LoadPicture(QString::fromLatin1(art::kSplash)));
}

void CSplashScreenWnd::ShowSplash(QWidget* parent, const QPixmap& picture) {
    if (!s_enabled || s_current || picture.isNull())
        return;
    s_current = new CSplashScreenWnd(picture, parent);
    s_current->show();
    s_current->repaint();
}

void CSplashScreenWnd::CloseSplash() {
    CSplashScreenWnd* splash = s_current;
    if (!splash)
        return;
    // Cleared first: from here on no event is filtered, even while the window lingers until
    // deleteLater (we may be inside its own event filter).
    s_current = nullptr;
    qApp->removeEventFilter(splash);
    splash->m_timer.stop();
    splash->hide();
    if (QWidget* owner = splash->parentWidget())
        owner->update();
    splash->deleteLater();
}

CSplashScreenWnd::CSplashScreenWnd(const QPixmap& picture, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::WindowStaysOnTopHint),
      m_picture(picture) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window keeps the focus, so its keys work again once the splash is gone.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::ArrowCursor);
    const QSize size = m_picture.deviceIndependentSize().toSize();
    setFixedSize(size);
    // The owner is not on screen yet, so centre on the screen rather than on it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(size.width() / 2, size.height() / 2));

    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [] { CloseSplash(); });
    m_timer.start(kShowMs);
    qApp->installEventFilter(this);
}

CSplashScreenWnd::~CSplashScreenWnd() {
    if (s_current == this) {
        s_current = nullptr;
        qApp->removeEventFilter(this);
    }
}

bool CSplashScreenWnd::eventFilter(QObject* watched, QEvent* event) {
    if (s_current != this)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowActivate:
        // The owner is shown after the splash and would come up over it; its window is
        // mapped only after this event, so the splash goes back on top afterwards.
        if (watched == parentWidget())
            QMetaObject::invokeMethod(this, &CSplashScreenWnd::StayAboveOwner, Qt::QueuedConnection);
        break;
    case QEvent::ShortcutOverride:
        // Claim the key for the widget so no menu shortcut fires; the key press that
        // follows closes the splash.
        event->accept();
        return true;
    case QEvent::KeyPress:
        CloseSplash();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        if (!ClosingButton(event))
            break;
        CloseSplash();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CSplashScreenWnd::StayAboveOwner() {
    if (s_current != this)
        return;
    // The owner had no window of its own when the splash was made, so only now can the
    // splash be tied to it; window managers keep such a window above its owner.
    QWidget* owner = parentWidget();
    if (owner && owner->windowHandle() && windowHandle())
        windowHandle()->setTransientParent(owner->windowHandle());
    raise();
}

void CSplashScreenWnd::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, m_picture);
}
