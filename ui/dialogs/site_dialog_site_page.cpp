#include "ui/dialogs/site_dialog_site_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "model/site_folder.h"
#include "model/site_moves.h"
#include "ui/app_globals.h"
#include "ui/artwork.h"
#include "ui/controls/image_button.h"
#include "ui/controls/spin_edit.h"
#include "ui/dialogs/data_exchange.h"
#include "ui/dialogs/dialog_parts.h"
#include "ui/dialogs/message_dialog.h"
#include "ui/dialogs/select_folder_dialog.h"
#include "ui/dialogs/site_dialog_links_page.h"
#include "web/local_naming.h"
#include "web/site_name.h"
#include "web/url.h"

namespace {
// Our own web domain: quarning it is refused.
const char* const kRefusedHosts[] = {"tolvane.com", "TOLVANE.COM"};
constexpr int kBrowseWidthPx = 36;

CUrl ParseAddress(const QString& text) {
    return CUrl(nullptr, text.toStdString(), kLinkFollowed);
}

QString HostOf(const QString& text) {
    return QString::fromStdString(CUrl::HostOf(text.toStdString()));
}
} // namespace

QString AddressWithScheme(const QString& typed) {
    QString text = typed.trimmed();
    for (const char* prefix : {"http://", "HTTP://", "https://", "HTTPS://"})
        if (text.startsWith(QLatin1String(prefix)))
            return text;
    return QStringLiteral("http://") + text;
}

QString RefusedAddressMessage(const QString& address) {
    const CUrl parsed = ParseAddress(address);
    if (parsed.scheme.empty())
        return QStringLiteral("A valid protocol must be specified.");
    if (parsed.host.empty())
        return QStringLiteral("A valid address must be specified.");
    for (const char* refused : kRefusedHosts)
        if (parsed.host.find(refused) != std::string::npos)
            return QStringLiteral("'") + QString::fromStdString(parsed.host) +
                   QStringLiteral("' cannot be quarned.");
    return {};
}

QString RefusedNameMessage(const QString& name, const std::function<bool(const QString&)>& taken) {
    return QString::fromStdString(
        SiteNameRefusal(name.toStdString(), [&taken](std::string_view candidate) {
            return taken && taken(QString::fromUtf8(candidate.data(), candidate.size()));
        }));
}

bool IsChosenDirectory(const QString& directory, const QString& sitesDir, const QString& name) {
    const std::string sites = sitesDir.toStdString();
    return ChosenSiteFolder(directory.trimmed().toStdString(), sites) !=
           DerivedSiteFolder(sites, name.toStdString());
}

QString ContentDirectoryFor(const QString& sitesDir, const QString& name) {
    const QChar separator = QLatin1Char(kPathSeparator);
    const QString joined = sitesDir + separator + name;
    QString result;
    result.reserve(joined.size());
    for (qsizetype i = 0; i < joined.size(); ++i) {
        result += joined[i];
        if (joined[i] == separator && i + 1 < joined.size() && joined[i + 1] == separator)
            ++i;
    }
    return result;
}

CSiteDialogSitePage::CSiteDialogSitePage(QWidget* parent)
    : CSiteDialogPage(QStringLiteral("Site"), parent) {}

void CSiteDialogSitePage::BuildControls() {
    // Site.
    auto* siteBox = new QGroupBox(QStringLiteral("Site"), this);
    siteBox->setObjectName(QStringLiteral("siteGroupBox"));
    m_addressEdit = new QLineEdit(siteBox);
    m_addressEdit->setObjectName(QStringLiteral("addressEdit"));
    m_addressEdit->installEventFilter(this);
    auto* addressLabel = new QLabel(QStringLiteral("Address:"), siteBox);
    addressLabel->setBuddy(m_addressEdit);
    m_nameEdit = new QLineEdit(siteBox);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    auto* nameLabel = new QLabel(QStringLiteral("Name:"), siteBox);
    nameLabel->setBuddy(m_nameEdit);
    // Carries the user agent through the sheet; it is never shown.
    m_userAgentCombo = new QComboBox(siteBox);
    m_userAgentCombo->setObjectName(QStringLiteral("userAgentCombo"));
    m_userAgentCombo->setEditable(true);
    m_userAgentCombo->setInsertPolicy(QComboBox::InsertAlphabetically);
    m_userAgentCombo->hide();

    auto* siteLayout = new QGridLayout(siteBox);
    siteLayout->addWidget(MakeGroupIcon(art::kSiteGroupIcon, siteBox), 0, 0, 3, 1);
    siteLayout->addWidget(
        MakeExplanation(QStringLiteral("Enter the address of the site to quarn (for example, "
                                       "http://www.example.com/) and a name for it."),
                        siteBox),
        0, 1, 1, 2);
    siteLayout->addWidget(addressLabel, 1, 1);
    siteLayout->addWidget(m_addressEdit, 1, 2);
    siteLayout->addWidget(nameLabel, 2, 1);
    siteLayout->addWidget(m_nameEdit, 2, 2);
    siteLayout->setColumnStretch(2, 1);

    // ID / Password.
    auto* loginBox = new QGroupBox(QStringLiteral("ID / Password"), this);
    loginBox->setObjectName(QStringLiteral("loginGroupBox"));
    m_loginIdEdit = new QLineEdit(loginBox);
    m_loginIdEdit->setObjectName(QStringLiteral("loginIdEdit"));
    auto* loginLabel = new QLabel(QStringLiteral("Login ID:"), loginBox);
    loginLabel->setBuddy(m_loginIdEdit);
    m_passwordEdit = new QLineEdit(loginBox);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    auto* passwordLabel = new QLabel(QStringLiteral("Password:"), loginBox);
    passwordLabel->setBuddy(m_passwordEdit);
    auto* loginLayout = new QGridLayout(loginBox);
    loginLayout->addWidget(MakeGroupIcon(art::kLoginGroupIcon, loginBox), 0, 0, 3, 1);
    loginLayout->addWidget(
        MakeExplanation(QStringLiteral("Enter the login ID and password that is required to "
                                       "access the site."),
                        loginBox),
        0, 1, 1, 2);
    loginLayout->addWidget(loginLabel, 1, 1);
    loginLayout->addWidget(m_loginIdEdit, 1, 2);
    loginLayout->addWidget(passwordLabel, 2, 1);
    loginLayout->addWidget(m_passwordEdit, 2, 2);
    loginLayout->setColumnStretch(2, 1);

    // Workers.
    auto* workersBox = new QGroupBox(QStringLiteral("Workers"), this);
    workersBox->setObjectName(QStringLiteral("workersGroupBox"));
    m_workersEdit = new CSpinEdit(workersBox);
    m_workersEdit->setObjectName(QStringLiteral("workersEdit"));
    auto* workersLabel = new QLabel(QStringLiteral("Workers:"), workersBox);
    workersLabel->setBuddy(m_workersEdit);
    auto* workersLayout = new QGridLayout(workersBox);
    workersLayout->addWidget(MakeGroupIcon(art::kWorkersGroupIcon, workersBox), 0, 0, 2, 1);
    workersLayout->addWidget(
        MakeExplanation(QStringLiteral("Enter the number of workers that will simultaneously "
                                       "quarn content from the site."),
                        workersBox),
        0, 1, 1, 3);
    workersLayout->addWidget(workersLabel, 1, 1);
    workersLayout->addWidget(m_workersEdit, 1, 2);
    workersLayout->setColumnStretch(3, 1);
    workersLayout->setRowStretch(2, 1);

    // Content.
    auto* contentBox = new QGroupBox(QStringLiteral("Content"), this);
    contentBox->setObjectName(QStringLiteral("contentGroupBox"));
    m_directoryEdit = new QLineEdit(contentBox);
    m_directoryEdit->setObjectName(QStringLiteral("directoryEdit"));
    auto* directoryLabel = new QLabel(QStringLiteral("Directory:"), contentBox);
    directoryLabel->setBuddy(m_directoryEdit);
    m_browse = new CImageButton(QStringLiteral("..."), contentBox);
    m_browse->setObjectName(QStringLiteral("browseButton"));
    m_browse->setAutoDefault(false);
    m_browse->setFixedWidth(kBrowseWidthPx);
    connect(m_browse, &QPushButton::clicked, this, &CSiteDialogSitePage::OnBrowse);
    m_defaultDocumentCombo = new QComboBox(contentBox);
    m_defaultDocumentCombo->setObjectName(QStringLiteral("defaultDocumentCombo"));
    m_defaultDocumentCombo->setEditable(true);
    m_defaultDocumentCombo->setInsertPolicy(QComboBox::InsertAlphabetically);
    auto* defaultLabel = new QLabel(QStringLiteral("Default:"), contentBox);
    defaultLabel->setBuddy(m_defaultDocumentCombo);
    m_onlyChangedCheck =
        new QCheckBox(QStringLiteral("Only download content that has changed"), contentBox);
    m_onlyChangedCheck->setObjectName(QStringLiteral("onlyChangedCheckBox"));
    auto* contentLayout = new QGridLayout(contentBox);
    contentLayout->addWidget(MakeGroupIcon(art::kContentGroupIcon, contentBox), 0, 0, 4, 1);
    contentLayout->addWidget(
        MakeExplanation(QStringLiteral("Select the local directory where the site's content "
                                       "will be saved to.  If the directory does not exist, it "
                                       "will be created when the site is quarned."),
                        contentBox),
        0, 1, 1, 3);
    contentLayout->addWidget(directoryLabel, 1, 1);
    contentLayout->addWidget(m_directoryEdit, 1, 2);
    contentLayout->addWidget(m_browse, 1, 3);
    contentLayout->addWidget(defaultLabel, 2, 1);
    contentLayout->addWidget(m_defaultDocumentCombo, 2, 2);
    contentLayout->addWidget(m_onlyChangedCheck, 3, 2);
    contentLayout->setColumnStretch(2, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(loginBox, 1);
    middle->addWidget(workersBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(siteBox);
    layout->addLayout(middle);
    layout->addWidget(contentBox);
    layout->addStretch(1);
}

void CSiteDialogSitePage::OnInitDialog() {
    CSiteDialogPage::OnInitDialog();
    m_workersEdit->SetRange(kWorkersMin, kWorkersSpinMax);
    // A directory made from the name follows the name; one the user chose stays.
    m_followedName = m_nameEdit->text();
    connect(m_nameEdit, &QLineEdit::textChanged, this, [this](const QString& name) {
        const QString directory = m_directoryEdit->text();
        if (directory == ContentDirectoryFor(SitesDir(), m_followedName) ||
            !IsChosenDirectory(directory, SitesDir(), m_followedName))
            m_directoryEdit->setText(ContentDirectoryFor(SitesDir(), name));
        m_followedName = name;
    });
}

void CSiteDialogSitePage::DoDataExchange(CDataExchange& dx) {
    dx.Text(m_loginIdEdit, m_loginId, kMaxTextChars);
    dx.Text(m_nameEdit, m_name, kMaxTextChars);
    dx.Text(m_passwordEdit, m_password, kMaxTextChars);
    dx.Text(m_addressEdit, m_address);
    dx.Text(m_defaultDocumentCombo, m_defaultDocument);
    dx.Text(m_directoryEdit, m_contentDirectory);
    dx.Check(m_onlyChangedCheck, m_onlyChanged);
    dx.Integer(m_workersEdit, m_workers, kWorkersMin, kWorkersMax);
    dx.Text(m_userAgentCombo, m_userAgent);
}

void CSiteDialogSitePage::FocusDirectory() {
    if (m_directoryEdit) {
        m_directoryEdit->setFocus(Qt::OtherFocusReason);
        m_directoryEdit->selectAll();
    }
}

QWidget* CSiteDialogSitePage::FirstControl() const {
    return m_addressEdit;
}

bool CSiteDialogSitePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_addressEdit) {
        if (event->type() == QEvent::FocusIn)
            OnAddressFocusIn();
        else if (event->type() == QEvent::FocusOut)
            NormaliseAddress();
    }
    return CSiteDialogPage::eventFilter(watched, event);
}

void CSiteDialogSitePage::OnAddressFocusIn() {
    m_rememberedHost = HostOf(m_addressEdit->text());
}

void CSiteDialogSitePage::NormaliseAddress() {
    const QString text = AddressWithScheme(m_addressEdit->text());
    m_addressEdit->setText(text);
    CUrl parsed = ParseAddress(text);
    if (!parsed.user.empty() || !parsed.password.empty()) {
        m_loginIdEdit->setText(QString::fromStdString(parsed.user));
        m_passwordEdit->setText(QString::fromStdString(parsed.password));
        parsed.user.clear();
        parsed.password.clear();
        m_addressEdit->setText(QString::fromStdString(parsed.GetURL()));
    }
    if (m_nameEdit->text() == QStringLiteral("Untitled")) {
        // Sites on one host (other ports, say) would otherwise share a folder.
        const QString name = QString::fromStdString(UniqueSiteName(
            SiteNameForAddress(text.toStdString()), [this](const std::string& candidate) {
                return isNameTaken && isNameTaken(QString::fromStdString(candidate));
            }));
        m_nameEdit->setText(name);
        m_directoryEdit->setText(ContentDirectoryFor(SitesDir(), name));
    }
}

bool CSiteDialogSitePage::OnKillActive() {
    NormaliseAddress();
    if (!UpdateData(true))
        return false;
    const QString address = m_address.trimmed();
    if (!address.isEmpty()) {
        if (const QString refusal = RefusedAddressMessage(address); !refusal.isEmpty()) {
            ShowMessage(refusal);
            m_addressEdit->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    if (const QString refusal = RefusedNameMessage(m_name, isNameTaken); !refusal.isEmpty()) {
        ShowMessage(refusal);
        m_nameEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    const QString host = HostOf(address);
    if (m_newSite) {
        m_newSite = false;
        m_linksPage->m_restrictServers = 1;
        m_linksPage->m_servers = host + QStringLiteral("=1");
    } else if (!m_rememberedHost.isEmpty()) {
        m_linksPage->m_servers.replace(m_rememberedHost, host);
    }
    return true;
}

void CSiteDialogSitePage::OnBrowse() {
    CSelectFolderDialog picker(m_directoryEdit->text(), this);
    if (picker.exec() == QDialog::Accepted)
        m_directoryEdit->setText(picker.GetFolder());
}
