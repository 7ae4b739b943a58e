#include "ui/dialogs/site_dialog.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <cstdint>

#include "model/project.h"
#include "model/site.h"
#include "model/site_moves.h"
#include "ui/app_globals.h"
#include "ui/controls/image_button.h"
#include "ui/dialogs/dialog_parts.h"
#include "ui/dialogs/message_dialog.h"
#include "ui/dialogs/site_dialog_limits_page.h"
#include "ui/dialogs/site_dialog_links_page.h"
#include "ui/dialogs/site_dialog_options_page.h"
#include "ui/dialogs/site_dialog_site_page.h"

namespace {
// The tabs show the shared site images: Site 0, Links 1, Limits 3, Options 4.
constexpr int kTabImages[CSiteDialog::kPageCount] = {0, 1, 3, 4};
// Tall enough for the Links page to show its four lists with three entries in sight each.
constexpr QSize kPagesMinSize(600, 580);

QString In(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Out(const QString& text) {
    return text.toStdString();
}

int FlagIn(bool flag) {
    return flag ? 1 : 0;
}

bool FlagOut(int value) {
    return value == 1;
}

// The Limits page shows sizes in K and M; the site keeps bytes.
int KilobytesIn(int bytes) {
    return static_cast<int>(static_cast<std::uint32_t>(bytes) >> 10);
}

int KilobytesOut(int kilobytes) {
    return static_cast<int>(static_cast<std::uint32_t>(kilobytes) << 10);
}

std::int64_t MegabytesIn(std::int64_t bytes) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(bytes) >> 20);
}

std::int64_t MegabytesOut(std::int64_t megabytes) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(megabytes) << 20);
}
} // namespace

CSiteDialog::CSiteDialog(const QString& caption, QWidget* parent, int firstPage)
    : QDialog(parent), m_firstPage(firstPage) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_sitePage = new CSiteDialogSitePage;
    m_linksPage = new CSiteDialogLinksPage;
    m_limitsPage = new CSiteDialogLimitsPage;
    m_optionsPage = new CSiteDialogOptionsPage;
    m_sitePage->m_linksPage = m_linksPage;
    m_pages = {m_sitePage, m_linksPage, m_limitsPage, m_optionsPage};

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("pageTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_stack = new QStackedWidget(this);
    m_stack->setFrameShape(QFrame::StyledPanel);
    // Pages are built when first shown; the sheet keeps one size for all of them.
    m_stack->setMinimumSize(kPagesMinSize);
    for (int i = 0; i < kPageCount; ++i) {
        const auto image = static_cast<std::size_t>(kTabImages[i]);
        // Without the shared images the tabs simply show no icons.
        const QIcon icon = image < g_imageList.size() ? QIcon(g_imageList[image]) : QIcon();
        m_tabs->addTab(icon, m_pages[i]->Caption());
        m_stack->addWidget(m_pages[i]);
    }
    connect(m_tabs, &QTabBar::currentChanged, this, &CSiteDialog::OnTabChanged);
    AddTabStepKeys(this, [this](int step) { StepTab(step); });

    QHBoxLayout* buttons = MakeOkCancelRow(this, m_ok, m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(m_tabs);
    layout->addWidget(m_stack, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

int CSiteDialog::EditSite(CSite& site) {
    CopyIn(site);
    const int result = exec();
    if (result == QDialog::Accepted)
        CopyOut(site);
    return result;
}

void CSiteDialog::CopyIn(const CSite& site) {
    CSiteDialogSitePage& s = *m_sitePage;
    s.m_name = In(site.m_name);
    s.m_address = In(site.m_url);
    s.m_loginId = In(site.m_id);
    s.m_password = In(site.m_password);
    s.m_defaultDocument = In(site.m_defaultDocument);
    // Where the copy is now, whether the folder follows the name or was chosen.
    const std::string folder = site.GetSiteFolder();
    s.m_contentDirectory = In(folder.empty() ? site.m_contentDirectory : folder);
    s.m_onlyChanged = FlagIn(site.m_downloadChanges);
    s.m_workers = site.m_workers;
    s.m_userAgent = In(site.m_userAgent);
    s.m_newSite = site.m_new;

    CSiteDialogLinksPage& l = *m_linksPage;
    l.m_servers = In(site.m_servers);
    l.m_directories = In(site.m_directories);
    l.m_fileNames = In(site.m_files);
    l.m_includeServers = site.m_includeServers ? 1 : 0;
    l.m_includeDirectories = site.m_includeDirectories ? 1 : 0;
    l.m_includeFileNames = site.m_includeFiles ? 1 : 0;
    l.m_restrictServers = FlagIn(site.m_useServers);
    l.m_restrictDirectories = FlagIn(site.m_useDirectory);
    l.m_restrictFileNames = FlagIn(site.m_useTypes);
    l.m_restrictLevels = FlagIn(site.m_useLevels);
    l.m_levels = site.m_levels;
    l.m_removeLinks = FlagIn(site.m_removeLinks);
    l.m_pageRequisites = FlagIn(site.m_pageRequisites);
    l.m_restrictAddresses = FlagIn(site.m_useUrls);
    l.m_addresses = In(site.m_urls);
    l.m_exactNames = FlagIn(site.m_exactNames);
    l.m_requisitesAnyServer = FlagIn(site.m_requisitesAnyServer);

    CSiteDialogLimitsPage& m = *m_limitsPage;
    m.m_restrictDiskSpace = FlagIn(site.m_useSpace);
    m.m_restrictTime = FlagIn(site.m_useTime);
    m.m_restrictFileSizes = FlagIn(site.m_useSizes);
    m.m_maxDiskSpace = MegabytesIn(site.m_spaceMax);
    m.m_maxTime = site.m_timeMax;
    m.m_minFileSize = KilobytesIn(site.m_fileMin);
    m.m_maxFileSize = KilobytesIn(site.m_fileMax);

    CSiteDialogOptionsPage& o = *m_optionsPage;
    o.m_connectionTimeout = site.m_connectionTimeout;
    o.m_requestTimeout = site.m_requestTimeout;
    o.m_retries = site.m_retries;
    o.m_headProbe = FlagIn(site.m_headProbe);
    o.m_obeyRobots = FlagIn(site.m_obeyRobots);
    o.m_useBrowserCookies = FlagIn(site.m_useBrowserCookies);
    o.m_runScripts = FlagIn(site.m_runScripts);
    o.m_snapshotPages = FlagIn(site.m_snapshotPages);
    o.m_scriptTime = site.m_scriptTime;
}

void CSiteDialog::CopyOut(CSite& site) const {
    const CSiteDialogSitePage& s = *m_sitePage;
    site.m_name = Out(s.m_name);
    site.m_url = Out(s.m_address);
    site.m_id = Out(s.m_loginId);
    site.m_password = Out(s.m_password);
    site.m_defaultDocument = Out(s.m_defaultDocument);
    site.m_contentDirectory = Out(s.m_contentDirectory.trimmed());
    site.m_useContentDirectory = IsChosenDirectory(s.m_contentDirectory, SitesDir(), s.m_name);
    site.m_downloadChanges = FlagOut(s.m_onlyChanged);
    site.m_workers = s.m_workers;
    site.m_userAgent = Out(s.m_userAgent);
    site.m_new = s.m_newSite;

    const CSiteDialogLinksPage& l = *m_linksPage;
    site.m_servers = Out(l.m_servers);
    site.m_directories = Out(l.m_directories);
    site.m_files = Out(l.m_fileNames);
    site.m_includeServers = l.m_includeServers != 0;
    site.m_includeDirectories = l.m_includeDirectories != 0;
    site.m_includeFiles = l.m_includeFileNames != 0;
    site.m_useServers = FlagOut(l.m_restrictServers);
    site.m_useDirectory = FlagOut(l.m_restrictDirectories);
    site.m_useTypes = FlagOut(l.m_restrictFileNames);
    site.m_useLevels = FlagOut(l.m_restrictLevels);
    site.m_levels = l.m_levels;
    site.m_removeLinks = FlagOut(l.m_removeLinks);
    site.m_pageRequisites = FlagOut(l.m_pageRequisites);
    site.m_useUrls = FlagOut(l.m_restrictAddresses);
    site.m_urls = Out(l.m_addresses);
    site.m_exactNames = FlagOut(l.m_exactNames);
    site.m_requisitesAnyServer = FlagOut(l.m_requisitesAnyServer);

    const CSiteDialogLimitsPage& m = *m_limitsPage;
    site.m_useSpace = FlagOut(m.m_restrictDiskSpace);
    site.m_useTime = FlagOut(m.m_restrictTime);
    site.m_useSizes = FlagOut(m.m_restrictFileSizes);
    site.m_spaceMax = MegabytesOut(m.m_maxDiskSpace);
    site.m_timeMax = m.m_maxTime;
    site.m_fileMin = KilobytesOut(m.m_minFileSize);
    site.m_fileMax = KilobytesOut(m.m_maxFileSize);

    const CSiteDialogOptionsPage& o = *m_optionsPage;
    site.m_connectionTimeout = o.m_connectionTimeout;
    site.m_requestTimeout = o.m_requestTimeout;
    site.m_retries = o.m_retries;
    site.m_headProbe = FlagOut(o.m_headProbe);
    site.m_obeyRobots = FlagOut(o.m_obeyRobots);
    site.m_useBrowserCookies = FlagOut(o.m_useBrowserCookies);
    site.m_runScripts = FlagOut(o.m_runScripts);
    site.m_snapshotPages = FlagOut(o.m_snapshotPages);
    site.m_scriptTime = o.m_scriptTime;
}

// The first page is built before the sheet shows, so that its controls show with it.
void CSiteDialog::setVisible(bool visible) {
    const bool opening = visible && m_active < 0;
    if (opening) {
        const int first = m_firstPage >= 0 && m_firstPage < kPageCount ? m_firstPage : 0;
        QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(first);
        m_pages[first]->Create();
        m_stack->setCurrentIndex(first);
        m_active = first;
    }
    QDialog::setVisible(visible);
    if (opening)
        Activate(m_active);
}

void CSiteDialog::Activate(int index) {
    CSiteDialogPage* page = m_pages[index];
    page->Create();
    m_stack->setCurrentIndex(index);
    page->OnSetActive();
    m_active = index;
    if (QWidget* first = page->FirstControl())
        first->setFocus(Qt::TabFocusReason);
}

// The bar has switched when it tells; it is put back while the page being left runs its
// leave rules, so that a refusal leaves everything as it was.
void CSiteDialog::OnTabChanged(int index) {
    if (m_active < 0 || index == m_active || index < 0)
        return;
    {
        QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(m_active);
    }
    if (!m_pages[m_active]->OnKillActive())
        return;
    {
        QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(index);
    }
    Activate(index);
}

void CSiteDialog::StepTab(int step) {
    if (m_active >= 0)
        m_tabs->setCurrentIndex((m_active + step + kPageCount) % kPageCount);
}

void CSiteDialog::accept() {
    if (m_active >= 0 && !m_pages[m_active]->OnKillActive())
        return;
    const CSiteDialogSitePage& s = *m_sitePage;
    if (folderRefusal) {
        const QString refusal =
            folderRefusal(s.m_name, IsChosenDirectory(s.m_contentDirectory, SitesDir(), s.m_name),
                          s.m_contentDirectory.trimmed());
        if (!refusal.isEmpty()) {
            ShowMessage(refusal);
            m_tabs->setCurrentIndex(0);
            if (m_active == 0)
                m_sitePage->FocusDirectory();
            return;
        }
    }
    QDialog::accept();
}

bool EditSiteOfProject(CProject& project, CSite& site, QWidget* parent) {
    CSiteDialog sheet(QStringLiteral("Site Properties"), parent, 0);
    sheet.SitePage().isNameTaken = [&](const QString& name) {
        return project.IsSiteNameTaken(name.toStdString(), &site);
    };
    sheet.folderRefusal = [&](const QString& name, bool chosen, const QString& folder) {
        return QString::fromStdString(
            SiteChangeRefusal(project, site, name.toStdString(), chosen, folder.toStdString()));
    };
    const SiteFolderSettings before = FolderSettingsOf(site);
    if (sheet.EditSite(site) != QDialog::Accepted)
        return false;
    if (const std::string failed = KeepCopyThroughEdit(site, before); !failed.empty())
        ShowMessage(QStringLiteral("The site keeps its name and folder: ") +
                    QString::fromStdString(failed) + QLatin1Char('.'));
    return true;
}
