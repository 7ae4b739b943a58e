#include "ui/dialogs/site_list_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/artwork.h"
#include "ui/controls/image_button.h"

namespace {
constexpr int kWidthPx = 654;
constexpr int kHeightPx = 354;
constexpr int kMarginPx = 11;
constexpr int kIconGapPx = 8;
constexpr int kButtonGapPx = 10;
constexpr int kButtonWidthPx = 75;
// OK stands apart from the two buttons that act on the list.
constexpr int kAfterOkPx = 42;
constexpr int kBetweenListButtonsPx = 10;

CImageButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new CImageButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedWidth(kButtonWidthPx);
    button->setAutoDefault(false);
    return button;
}

// Room above and below a row's text, in pixels: the bottom line would cover what hangs
// below the text's descent otherwise.
constexpr int kRowPaddingPx = 3;

class CGridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), option.fontMetrics.height() + 2 * kRowPaddingPx));
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect& cell = option.rect;
        painter->drawLine(cell.topRight(), cell.bottomRight());
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        painter->restore();
    }
};
} // namespace

void CSiteListDialog::ShowAsGrid(QTreeWidget* list) {
    list->setItemDelegate(new CGridLineDelegate(list));
}

CSiteListDialog::CSiteListDialog(const QString& title, CSite& site, QWidget* parent)
    : QDialog(parent), m_site(site) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_ok = MakeButton(QStringLiteral("OK"), "okButton", this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    m_refresh = MakeButton(QStringLiteral("Refresh"), "refreshButton", this);
    connect(m_refresh, &QPushButton::clicked, this, [this] { Fill(); });
    m_clear = MakeButton(QStringLiteral("Clear"), "clearButton", this);
    connect(m_clear, &QPushButton::clicked, this, [this] {
        ClearSite();
        Fill();
    });
}

void CSiteListDialog::SetContent(QWidget* content, const QString& iconResource) {
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(
        LoadPicture(iconResource.isEmpty() ? QString::fromLatin1(art::kErrorsIcon) : iconResource));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(0);
    buttons->addWidget(m_ok);
    buttons->addSpacing(kAfterOkPx);
    buttons->addWidget(m_refresh);
    buttons->addSpacing(kBetweenListButtonsPx);
    buttons->addWidget(m_clear);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMarginPx, kMarginPx, kMarginPx, kMarginPx);
    layout->setSpacing(0);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addSpacing(kIconGapPx);
    layout->addWidget(content, 1);
    layout->addSpacing(kButtonGapPx);
    layout->addLayout(buttons);

    setFixedSize(QSize(kWidthPx, kHeightPx).expandedTo(minimumSizeHint()));
}

void CSiteListDialog::SetClearEnabled(bool enabled) {
    m_clear->setEnabled(enabled);
}
