#pragma once
// CSiteDialog: the modal property sheet in which the user edits every setting of one site,
// on four pages: Site, Links, Limits and Options. Nothing reaches the site before OK; Cancel
// leaves it exactly as it was.
//
// Leaving a page (another tab, or OK while it shows) runs that page's leave rules; a page
// that refuses keeps the tab where it is and the sheet open.

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class CImageButton;
class CProject;
class CSite;
class CSiteDialogLimitsPage;
class CSiteDialogLinksPage;
class CSiteDialogOptionsPage;
class CSiteDialogPage;
class CSiteDialogSitePage;
class QStackedWidget;
class QTabBar;

class CSiteDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPageCount = 4;

    CSiteDialog(const QString& caption, QWidget* parent, int firstPage);

    // Copies the site's settings in, runs the sheet and, after OK, copies them back out.
    // Returns QDialog::Accepted or QDialog::Rejected.
    int EditSite(CSite& site);

    CSiteDialogSitePage& SitePage() const { return *m_sitePage; }
    CSiteDialogLinksPage& LinksPage() const { return *m_linksPage; }
    CSiteDialogLimitsPage& LimitsPage() const { return *m_limitsPage; }
    CSiteDialogOptionsPage& OptionsPage() const { return *m_optionsPage; }
    QTabBar* Tabs() const { return m_tabs; }

    // Why the site cannot take the name and folder the Site page shows, or empty; asked at
    // OK. Unset, any folder goes.
    std::function<QString(const QString& name, bool chosenFolder, const QString& directory)>
        folderRefusal;

    void accept() override;
    void setVisible(bool visible) override;

private:
    void CopyIn(const CSite& site);
    void CopyOut(CSite& site) const;
    void OnTabChanged(int index);
    // Asks for the page after (step 1) or before (step -1) the current one.
    void StepTab(int step);
    // Builds the page if it is new, and makes it the current one.
    void Activate(int index);

    // A tab bar over a stack rather than a tab widget: the page on show changes only once
    // the page being left has agreed.
    QTabBar* m_tabs = nullptr;
    QStackedWidget* m_stack = nullptr;
    CImageButton* m_ok = nullptr;
    CImageButton* m_cancel = nullptr;
    CSiteDialogSitePage* m_sitePage = nullptr;
    CSiteDialogLinksPage* m_linksPage = nullptr;
    CSiteDialogLimitsPage* m_limitsPage = nullptr;
    CSiteDialogOptionsPage* m_optionsPage = nullptr;
    std::array<CSiteDialogPage*, kPageCount> m_pages{};
    int m_firstPage = 0;
    int m_active = -1;
};

// Runs the sheet ("Site Properties") for a site of the project: a name another site has,
// and a folder that cannot take the copy, are refused at OK; after OK the copy moves to
// the site's new folder. True when the sheet ended with OK.
bool EditSiteOfProject(CProject& project, CSite& site, QWidget* parent);
