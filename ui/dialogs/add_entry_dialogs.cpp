#include "ui/dialogs/add_entry_dialogs.h"

#include <QHBoxLayout>
#include <QLineEdit>

#include "ui/controls/image_button.h"
#include "ui/dialogs/message_dialog.h"

namespace {
constexpr QChar kWildcard = QLatin1Char('*');
constexpr QChar kSlash = QLatin1Char('/');
// A one-line box: the edit and OK side by side, the button as wide as in the other dialogs.
constexpr int kWidthPx = 267;
constexpr int kHeightPx = 46;
constexpr int kOkWidthPx = 75;
constexpr int kMarginPx = 10;
} // namespace

int CountWildcards(const QString& text) {
    return static_cast<int>(text.count(kWildcard));
}

QString RemoveSpaces(const QString& text) {
    return QString(text).remove(QLatin1Char(' '));
}

QString NormaliseDirectoryEntry(const QString& text) {
    QString entry = RemoveSpaces(text);
    entry.replace(QLatin1Char('\\'), kSlash);
    const QString doubled = QStringLiteral("//");
    while (entry.contains(doubled))
        entry.replace(doubled, QStringLiteral("/"));
    if (!entry.startsWith(kSlash) && !entry.startsWith(kWildcard))
        entry.prepend(kSlash);
    if (!entry.endsWith(kSlash) && !entry.endsWith(kWildcard))
        entry.append(kSlash);
    return entry;
}

QString OneWildcardAtMost(const QString& text) {
    return CountWildcards(text) >= 2
               ? QStringLiteral("You cannot enter more than 1 wildcard ( * ) character")
               : QString();
}

QString NoComma(const QString& text) {
    return text.contains(QLatin1Char(','))
               ? QStringLiteral("An address pattern cannot hold a comma ( , ): put a * in its "
                                "place")
               : QString();
}

CAddEntryDialog::CAddEntryDialog(const QString& title, Normaliser normalise, QWidget* parent,
                                 Checker check)
    : QDialog(parent), m_normalise(normalise), m_check(check) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("entryEdit"));
    m_edit->setAlignment(Qt::AlignCenter);

    m_ok = new CImageButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    m_ok->setFixedWidth(kOkWidthPx);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    // No Cancel button: Esc and the close box reject.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMarginPx, kMarginPx, kMarginPx, kMarginPx);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_ok);
    setLayout(layout);

    setFixedSize(QSize(kWidthPx, kHeightPx).expandedTo(minimumSizeHint()));
    m_edit->setFocus();
}

void CAddEntryDialog::accept() {
    m_entry = m_edit->text();
    if (const QString problem = m_check(m_entry); !problem.isEmpty()) {
        ShowMessage(problem);
        m_edit->setFocus();
        return;
    }
    m_entry = m_normalise(m_entry);
    m_edit->setText(m_entry);
    QDialog::accept();
}

CAddServerDialog::CAddServerDialog(QWidget* parent)
    : CAddEntryDialog(QStringLiteral("Add Server"), &RemoveSpaces, parent) {}

CAddDirectoryDialog::CAddDirectoryDialog(QWidget* parent)
    : CAddEntryDialog(QStringLiteral("Add Directory"), &NormaliseDirectoryEntry, parent) {}

CAddFileDialog::CAddFileDialog(QWidget* parent)
    : CAddEntryDialog(QStringLiteral("Add File"), &RemoveSpaces, parent) {}

CAddAddressDialog::CAddAddressDialog(QWidget* parent)
    : CAddEntryDialog(
          QStringLiteral("Add Address"), [](const QString& text) { return text.trimmed(); }, parent,
          &NoComma) {}
