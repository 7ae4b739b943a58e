#include "ui/browser_view.h"

#include <QAction>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>

#include "ui/app_globals.h"
#include "ui/artwork.h"
#include "ui/browser_cookies.h"
#include "ui/browser_profile.h"
#include "ui/controls/auto_complete_combo.h"
#include "ui/controls/frame_animation.h"
#include "ui/controls/image_button.h"
#include "ui/controls/label_ctrl.h"

namespace {
constexpr int kToolbarLeft = 4;
constexpr int kAddressRowHeight = 16;
constexpr int kAddressRowBand = 24; // the browser begins this far below the toolbar
constexpr int kRowMargin = 8;
constexpr int kLabelGap = 4;
constexpr int kStatusHeight = 16;
constexpr int kBorder = 2; // the web view's borders lie outside the pane
constexpr int kAnimationSize = 32;
constexpr int kFrameOffset = 3;
constexpr int kFrameSize = 26;
constexpr int kToolbarImage = 32;
constexpr int kTitleFontHeight = 11;

// Windows-style rectangles: right and bottom are the first pixels outside.
QRect Ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

// A rectangle of the given size whose vertical centre is middle.
QRect Centred(int left, int middle, QSize size) {
    return QRect(left, middle - size.height() / 2, size.width(), size.height());
}

struct ToolbarButton {
    int command;
    int image;
    const char* name;
    const char* text;
};

constexpr ToolbarButton kButtons[] = {
    {cmd::BrowserBack, 0, "back", "Back"}, {cmd::BrowserForward, 1, "forward", "Forward"},
    {cmd::BrowserStop, 2, "stop", "Stop"}, {cmd::BrowserRefresh, 3, "refresh", "Refresh"},
    {cmd::BrowserHome, 4, "home", "Home"}, {0, -1, nullptr, nullptr}, // separator
    {cmd::FilePrint, 5, "print", "Print"},
};
} // namespace

BrowserLayout ComputeBrowserLayout(const BrowserLayoutInput& input) {
    const int cx = input.client.width();
    const int cy = input.client.height();
    BrowserLayout layout;
    layout.caption = QRect(0, 0, cx, kBrowserCaptionHeight);
    layout.toolbar = QRect(QPoint(kToolbarLeft, kBrowserCaptionHeight), input.toolbar);

    const int toolbarRight = kToolbarLeft + input.toolbar.width();
    const int toolbarBottom = kBrowserCaptionHeight + input.toolbar.height();
    const int toolbarMiddle = kBrowserCaptionHeight + input.toolbar.height() / 2;
    layout.animation = Centred(cx - input.animation.width(), toolbarMiddle, input.animation);

    const QSize label(input.addressLabel.width(), kAddressRowHeight);
    int browserTop = toolbarBottom;
    int rowMiddle = toolbarMiddle;
    int rowLeft = toolbarRight;
    int rowRight = layout.animation.x();
    layout.addressRowBelow = layout.animation.x() - toolbarRight <= kAddressRowGap;
    if (layout.addressRowBelow) {
        // The row lies in the band between the toolbar and the browser.
        rowMiddle = toolbarBottom + kAddressRowBand / 2;
        rowLeft = kToolbarLeft;
        rowRight = cx;
        browserTop = toolbarBottom + kAddressRowBand;
    }
    layout.addressLabel = Centred(rowLeft, rowMiddle, label);
    layout.navigateButton = Centred(rowRight - kRowMargin - input.navigateButton.width(), rowMiddle,
                                    input.navigateButton);
    const QRect box = Centred(0, rowMiddle, input.addressBox);
    layout.addressBox = Ltrb(layout.addressLabel.x() + label.width() + kLabelGap, box.y(),
                             layout.navigateButton.x() - kRowMargin, box.y() + box.height());

    const int browserBottom = input.statusVisible ? cy - kStatusHeight : cy + kBorder;
    layout.browser = Ltrb(-kBorder, browserTop, cx + kBorder, browserBottom);
    if (input.statusVisible)
        layout.status = Ltrb(kToolbarLeft, browserBottom + 1, cx, cy);
    return layout;
}

CBrowserView::CBrowserView(QWidget* parent, bool withBrowser) : QWidget(parent) {
    setObjectName(QStringLiteral("browserView"));

    m_caption = new CLabelCtrl(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->SetFontHeight(kTitleFontHeight);
    m_caption->SetText(QStringLiteral("Browser"));

    CreateToolbar();

    m_addressLabel = new QLabel(QStringLiteral("Address"), this);
    m_addressLabel->setObjectName(QStringLiteral("addressLabel"));

    m_address = new CAutoCompleteCombo(this);
    m_address->setObjectName(QStringLiteral("address"));
    m_address->setEditable(true);
    // The list is kept sorted here; the combo box must not add entries of its own.
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->installEventFilter(this);
    if (m_address->lineEdit())
        m_address->lineEdit()->installEventFilter(this);
    connect(m_address, &QComboBox::activated, this, &CBrowserView::OnAddressSelected);

    m_navigate = new CImageButton(QStringLiteral("Go"), this);
    m_navigate->setObjectName(QStringLiteral("navigate"));
    connect(m_navigate, &QPushButton::clicked, this, &CBrowserView::OnNavigateButton);

    m_animation = new CFrameAnimation(this);
    m_animation->setObjectName(QStringLiteral("busyAnimation"));
    m_animation->Create(QLatin1String(art::kBusyFrames), QSize(kAnimationSize, kAnimationSize),
                        QRect(kFrameOffset, kFrameOffset, kFrameSize, kFrameSize));
    // Shown only while a page loads: a still spinner would look like a load that hangs.
    m_animation->hide();

    if (withBrowser) {
        CreateBrowser();
    } else {
        m_browserArea = new QWidget(this);
        m_browserArea->setObjectName(QStringLiteral("browser"));
    }

    m_status = new QLabel(QStringLiteral("Status"), this);
    m_status->setObjectName(QStringLiteral("status"));
}

CBrowserView::~CBrowserView() = default;

void CBrowserView::CreateToolbar() {
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("browserToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(kToolbarImage, kToolbarImage));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Hot buttons show a lighter picture and no edge.
    m_toolbar->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 3px; }"));

    const std::vector<QPixmap> images =
        LoadImageStrip(QLatin1String(art::kBrowserToolbar), QSize(kToolbarImage, kToolbarImage));
    for (const ToolbarButton& button : kButtons) {
        if (!button.name) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction* action = m_toolbar->addAction(QString::fromLatin1(button.text));
        action->setObjectName(QLatin1String(button.name));
        action->setToolTip(QString::fromLatin1(button.text));
        if (static_cast<std::size_t>(button.image) < images.size())
            action->setIcon(ToolbarIcon(images[static_cast<std::size_t>(button.image)]));
        const int command = button.command;
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    }
}

void CBrowserView::CreateBrowser() {
    m_browser = new QWebEngineView(this);
    m_browser->setPage(new QWebEnginePage(BrowserPaneProfile(), m_browser));
    m_browser->setObjectName(QStringLiteral("browser"));
    m_browserArea = m_browser;
    connect(m_browser, &QWebEngineView::loadStarted, this, &CBrowserView::OnLoadStarted);
    connect(m_browser, &QWebEngineView::loadFinished, this, &CBrowserView::OnLoadFinished);
    connect(m_browser->page(), &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { m_status->setText(url); });
    connect(m_browser, &QWebEngineView::printFinished, this, [this] { m_printer.reset(); });
}

std::string CBrowserView::CookieLinesFor(const CSite& site) const {
    return m_browser ? BrowserPaneCookies().LinesFor(site) : std::string();
}

void CBrowserView::OnInitialUpdate() {
    m_address->setFont(g_font);
    m_caption->SetBackgroundColour(palette().color(QPalette::Active, QPalette::Highlight));
    m_caption->SetBold(true);
    m_caption->SetTextColour(palette().color(QPalette::Active, QPalette::HighlightedText));
    m_initialised = true;
    LayOut();
    Navigate(HelpStartPage(), true);
}

void CBrowserView::Navigate(const QString& address, bool load) {
    m_address->setEditText(address);
    if (!load)
        return;
    // A path relative to nothing in particular is better taken as a host name than as a
    // file of the program's working folder, unless that file is there.
    const QUrl url = QUrl::fromUserInput(address, QDir::currentPath());
    emit navigationRequested(url);
    if (m_browser)
        m_browser->load(url);
}

void CBrowserView::OnNavigateButton() {
    const QString text = m_address->currentText();
    if (text.isEmpty())
        return;
    if (m_address->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        int position = 0;
        while (position < m_address->count() &&
               QString::compare(m_address->itemText(position), text, Qt::CaseInsensitive) <= 0)
            ++position;
        m_address->insertItem(position, text);
    }
    Navigate(text, true);
}

void CBrowserView::OnAddressSelected(int index) {
    const QString text = m_address->itemText(index);
    if (!text.isEmpty())
        Navigate(text, true);
}

void CBrowserView::OnLoadStarted() {
    m_animation->show();
    m_animation->Play(kAnimationFrameMs);
}

void CBrowserView::OnLoadFinished() {
    // Also after a navigation that began inside the page, so the box shows where we are.
    Navigate(m_browser->url().toString(), false);
    m_animation->Stop();
    m_animation->SetFrame(0);
    m_animation->hide();
}

bool CBrowserView::UpdateCommand(int id, CCommandState& state) {
    switch (id) {
    case cmd::BrowserBack:
    case cmd::BrowserForward:
    case cmd::BrowserStop:
    case cmd::BrowserRefresh:
    case cmd::BrowserHome:
    case cmd::FilePrint:
        state.enabled = true;
        return true;
    case cmd::BrowserStatusBar:
        state.enabled = true;
        state.checked = m_statusVisible;
        return true;
    default:
        return false;
    }
}

bool CBrowserView::OnCommand(int id) {
    switch (id) {
    case cmd::BrowserBack:
        if (m_browser)
            m_browser->back();
        return true;
    case cmd::BrowserForward:
        if (m_browser)
            m_browser->forward();
        return true;
    case cmd::BrowserStop:
        if (m_browser)
            m_browser->stop();
        return true;
    case cmd::BrowserRefresh:
        if (m_browser)
            m_browser->reload();
        return true;
    case cmd::BrowserHome:
        Navigate(HelpStartPage(), true);
        return true;
    case cmd::FilePrint:
        Print();
        return true;
    case cmd::BrowserStatusBar:
        m_statusVisible = !m_statusVisible;
        LayOut();
        return true;
    default:
        return false;
    }
}

void CBrowserView::Print() {
    // The web view prints in the background and needs the printer until it is done.
    if (!m_browser || m_printer)
        return;
    auto printer = std::make_unique<QPrinter>();
    QPrintDialog dialog(printer.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer = std::move(printer);
    m_browser->print(m_printer.get());
}

void CBrowserView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

bool CBrowserView::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the address box acts as the Go button, which is the pane's default button.
    // Taking the key here keeps the combo box from also activating a matching entry.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnNavigateButton();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CBrowserView::LayOut() {
    if (!m_initialised)
        return;
    BrowserLayoutInput input;
    input.client = size();
    input.toolbar = m_toolbar->sizeHint();
    input.animation = QSize(kAnimationSize, kAnimationSize);
    input.addressLabel = m_addressLabel->sizeHint();
    input.addressBox = m_address->sizeHint();
    input.navigateButton = m_navigate->sizeHint();
    input.statusVisible = m_statusVisible;
    const BrowserLayout layout = ComputeBrowserLayout(input);

    m_caption->setGeometry(layout.caption);
    m_toolbar->setGeometry(layout.toolbar);
    m_animation->setGeometry(layout.animation);
    m_addressLabel->setGeometry(layout.addressLabel);
    m_address->setGeometry(layout.addressBox);
    m_navigate->setGeometry(layout.navigateButton);
    m_browserArea->setGeometry(layout.browser);
    m_status->setVisible(m_statusVisible);
    if (m_statusVisible)
        m_status->setGeometry(layout.status);
}
