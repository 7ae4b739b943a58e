#pragma once
// CSplashScreenWnd: the start-up picture, shown centred on the screen while the main window
// comes up. It goes away after 2 seconds or at the user's first key or mouse-button press,
// whichever comes first; that press is swallowed so it does not reach the window beneath.
// It stays above its owner, the main window, which is shown after it. At most one exists at
// a time. GUI thread only.

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class CSplashScreenWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kShowMs = 2000;

    // Off until start-up enables it.
    static void EnableSplash(bool enable);
    static bool IsSplashEnabled();
    // Shows the splash if enabled and none is showing; nothing when the picture is missing.
    static void ShowSplash(QWidget* parent);
    // The same with a picture of the caller's; a null picture shows nothing.
    static void ShowSplash(QWidget* parent, const QPixmap& picture);
    static void CloseSplash();
    // The splash being shown, or null.
    static CSplashScreenWnd* Current();

    ~CSplashScreenWnd() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CSplashScreenWnd(const QPixmap& picture, QWidget* parent);
    void StayAboveOwner();

    QPixmap m_picture;
    QTimer m_timer;
};
