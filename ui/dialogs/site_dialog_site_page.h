#pragma once
// CSiteDialogSitePage ("Site"): the start address and name of a site, its login, how many
// workers fetch from it at once, and where its content is stored.
//
// The address is tidied each time its box loses the focus: "http://" goes in front unless it
// already names http or https, a user and password written into it move to the login boxes,
// and a site still called "Untitled" is named after the host. Leaving the page refuses an
// address without a host, and the first time a new site leaves the page with a good address
// its host becomes the only server it may follow; later changes of host carry over into the
// server list. The name names the site's folder, so leaving the page also refuses an empty
// name and one that another site of the project has. The Directory box follows the name
// until the user writes a folder of their own there.

#include <QString>
#include <functional>

#include "ui/dialogs/site_dialog_page.h"

class CImageButton;
class CSiteDialogLinksPage;
class CSpinEdit;
class QCheckBox;
class QComboBox;
class QLineEdit;

// The address as the Address box shows it once it has lost the focus: trimmed, and with
// "http://" in front unless it begins with "http://", "HTTP://", "https://" or "HTTPS://".
QString AddressWithScheme(const QString& typed);
// Why an address cannot be quarned, or empty when it can.
QString RefusedAddressMessage(const QString& address);
// Why a site name cannot be used, or empty when it can; taken tells the names of the
// project's other sites.
QString RefusedNameMessage(const QString& name, const std::function<bool(const QString&)>& taken);
// sites directory, separator, name, with doubled separators made single in one pass.
QString ContentDirectoryFor(const QString& sitesDir, const QString& name);
// Whether directory is a folder of the user's choosing rather than the one the name makes.
bool IsChosenDirectory(const QString& directory, const QString& sitesDir, const QString& name);

class CSiteDialogSitePage : public CSiteDialogPage {
    Q_OBJECT
public:
    static constexpr int kMaxTextChars = 64;
    static constexpr int kWorkersMin = 1;
    static constexpr int kWorkersMax = 999;
    // The arrows go one further than the page accepts.
    static constexpr int kWorkersSpinMax = 1000;

    explicit CSiteDialogSitePage(QWidget* parent = nullptr);

    bool OnKillActive() override;
    QWidget* FirstControl() const override;
    void FocusDirectory();

    QString m_loginId;
    QString m_name;
    QString m_password;
    QString m_address;
    QString m_defaultDocument;
    QString m_contentDirectory;
    int m_onlyChanged = 1;
    int m_workers = 1;
    QString m_userAgent;
    bool m_newSite = false;
    CSiteDialogLinksPage* m_linksPage = nullptr;
    // The host of the address when its box last took the focus.
    QString m_rememberedHost;
    // Whether another site of the project has this name; unset, no name is taken.
    std::function<bool(const QString&)> isNameTaken;

protected:
    void BuildControls() override;
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnAddressFocusIn();
    void NormaliseAddress();
    void OnBrowse();

    QLineEdit* m_addressEdit = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QComboBox* m_userAgentCombo = nullptr;
    QLineEdit* m_loginIdEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    CSpinEdit* m_workersEdit = nullptr;
    QLineEdit* m_directoryEdit = nullptr;
    QString m_followedName; // the name the Directory box was last made from
    CImageButton* m_browse = nullptr;
    QComboBox* m_defaultDocumentCombo = nullptr;
    QCheckBox* m_onlyChangedCheck = nullptr;
};
