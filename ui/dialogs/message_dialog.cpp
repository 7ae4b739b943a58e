#include "ui/dialogs/message_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/controls/image_button.h"

namespace {
// Room for about three lines of a typical message before the box grows.
constexpr int kTextMinWidthPx = 270;
constexpr int kTextMinHeightPx = 64;
constexpr int kIconPx = 32;
} // namespace

CMessageDialog::CMessageDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Quarn"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(kIconPx, kIconPx));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("message"));
    // Messages quote addresses and paths; they must never be taken for markup.
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setMinimumSize(kTextMinWidthPx, kTextMinHeightPx);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_ok = new CImageButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addWidget(m_text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setLayout(layout);
    m_ok->setFocus();
}

void CMessageDialog::SetMessage(const QString& text) {
    m_text->setText(text);
}

QString CMessageDialog::Message() const {
    return m_text->text();
}

int CMessageDialog::exec() {
    QApplication::beep();
    return QDialog::exec();
}

void ShowMessage(const QString& text) {
    CMessageDialog dialog;
    dialog.SetMessage(text);
    dialog.exec();
}
