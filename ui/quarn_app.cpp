#include "ui/quarn_app.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <cstdio>
#include <curl/curl.h>

#include "engine/controller.h"
#include "engine/messages.h"
#include "engine/render_process.h"
#include "model/project.h"
#include "ui/app_globals.h"
#include "ui/artwork.h"
#include "ui/browser_view.h"
#include "ui/controls/splash_screen_wnd.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/message_dialog.h"
#include "ui/dialogs/preferences_dialog.h"
#include "ui/gui_engine_ui.h"
#include "ui/main_frame.h"
#include "ui/preferences_registry.h"
#include "ui/project_document.h"
#include "ui/quarn_view.h"
#include "ui/sites_view.h"

namespace {

QString RegistryKey() {
    return QString::fromLatin1(kRegistryKey);
}

// Puts the process's current directory back at the end; dialogs may change it meanwhile.
class CWorkingDirectoryKeeper {
public:
    CWorkingDirectoryKeeper() : m_directory(QDir::currentPath()) {}
    ~CWorkingDirectoryKeeper() { QDir::setCurrent(m_directory); }

private:
    QString m_directory;
};

// How long the end of the program waits for a controller that is still busy.
constexpr std::chrono::milliseconds kExitWait{5000};

} // namespace

bool TransferLibraryUsable() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (!info || !(info->features & CURL_VERSION_SSL) || !info->protocols)
        return false;
    for (const char* const* protocol = info->protocols; *protocol; ++protocol)
        if (qstrcmp(*protocol, "https") == 0)
            return true;
    return false;
}

QString FindInstallDir() {
    QString dir;
    if (CPreferencesRegistry().ReadString(RegistryRoot::LocalMachine, RegistryKey(),
                                          QStringLiteral("InstallDir"), dir))
        return dir;
    const QDir program(QCoreApplication::applicationDirPath());
    const QString helpPage = QStringLiteral("html/products/quarn/index.htm");
    for (const QString& candidate : {program.path(), program.filePath(QStringLiteral("../share/quarn"))})
        if (QFileInfo::exists(QDir(candidate).filePath(helpPage)))
            return QDir::cleanPath(candidate);
    return QDir::currentPath();
}

QString DefaultSitesDir() {
    const QString home = QDir::home().filePath(QStringLiteral("Sites"));
    QDir().mkpath(home);
    return home;
}

CCommandLine ParseCommandLine(const QStringList& arguments) {
    CCommandLine line;
    for (const QString& argument : arguments) {
#ifdef Q_OS_WIN
        const bool isSwitch = argument.startsWith(QLatin1Char('-')) || argument.startsWith(QLatin1Char('/'));
#else
        const bool isSwitch = argument.startsWith(QLatin1Char('-')); // "/" begins a path here
#endif
        if (isSwitch) {
            const QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
            if (name.compare(QStringLiteral("Embedding"), Qt::CaseInsensitive) == 0 ||
                name.compare(QStringLiteral("Automation"), Qt::CaseInsensitive) == 0)
                line.splash = false;
        } else if (line.projectFile.isEmpty()) {
            line.projectFile = argument;
        }
    }
    return line;
}

CQuarnApp::CQuarnApp() = default;

CQuarnApp::~CQuarnApp() {
    m_frame.reset();
    StopController();
    g_pProject = nullptr;
}

// Without a display Qt would stop with a terse message of its own; say what to do instead.
static bool DisplayAvailable() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

int CQuarnApp::Run(int argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "Quarn needs a display, and none was found (DISPLAY and WAYLAND_DISPLAY are "
                     "not set).\nRun it on a desktop, or under a virtual display: xvfb-run %s\n"
                     "For crawls without a window use quarn-cli (quarn-cli --help).\n",
                     argc > 0 ? argv[0] : "quarn");
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // the browser pane needs it
#ifndef _WIN32
    // The browser pane's sandbox refuses to run as root and takes the program down with it
    // (a first `make run` is often started as root).
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Quarn"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quarn"));

    const CWorkingDirectoryKeeper workingDirectory;
    CQuarnApp app;
    if (!app.InitInstance(application.arguments().mid(1)))
        return 1;
    const int code = QApplication::exec();
    const int exitCode = app.ExitInstance();
    return code != 0 ? code : exitCode;
}

void ReadPreferences(bool& maximizedWindow) {
    const CPreferencesRegistry registry;
    g_bBeepWhenDone = registry.ReadFlag(RegistryKey(), QStringLiteral("BeepWhenDone"));
    // Panes can be sized from the first start on; only a stored choice other than 1 locks
    // them.
    std::uint32_t splitterMove = 1;
    registry.ReadDword(RegistryRoot::CurrentUser, RegistryKey(), QStringLiteral("SplitterMove"),
                       splitterMove);
    g_bSplitterMove = splitterMove == 1;
    g_strInstallDir = FindInstallDir();
    QString sitesDir;
    if (!registry.ReadString(RegistryRoot::CurrentUser, RegistryKey(), QStringLiteral("SitesDir"),
                             sitesDir)) {
        // Made on the first run, so the folder pickers open on a folder that exists.
        sitesDir = DefaultSitesDir();
    }
    SetSitesDir(sitesDir);
    g_bUseProxy = registry.ReadFlag(RegistryKey(), QStringLiteral("UseProxy"));
    std::uint32_t maximized = 0;
    maximizedWindow = registry.ReadDword(RegistryRoot::CurrentUser, QString::fromLatin1(kWindowKey),
                                         QStringLiteral("Maximized"), maximized) &&
                      maximized != 0;
}

void WritePreferences() {
    const CPreferencesRegistry registry;
    registry.WriteFlag(RegistryKey(), QStringLiteral("BeepWhenDone"), g_bBeepWhenDone);
    registry.WriteString(RegistryRoot::CurrentUser, RegistryKey(), QStringLiteral("SitesDir"),
                         SitesDir());
    registry.WriteFlag(RegistryKey(), QStringLiteral("SplitterMove"), g_bSplitterMove);
    registry.WriteFlag(RegistryKey(), QStringLiteral("UseProxy"), g_bUseProxy);
}

bool CQuarnApp::InitInstance(const QStringList& arguments) {
    if (!TransferLibraryUsable()) {
        ShowMessage(QStringLiteral("This application requires Internet Explorer (4.0) or later."));
        return false;
    }
    g_imageList = LoadImageStrip(QString::fromLatin1(art::kSiteImages), QSize(16, 16));
    if (g_imageList.empty())
        return false;
    g_font = QApplication::font();
    g_font.setPointSizeF(8.5);
    ReadPreferences(m_maximized);

    m_engineUi = std::make_unique<CGuiEngineUi>();
    m_controller = std::make_unique<CController>(*m_engineUi);
    // Here the user can log in again in the browser pane and resume.
    m_controller->SetPauseWhenLoginExpires(true);
    m_controller->SetPageRendererFactory(RenderProcessFactory());
    g_pController = m_controller.get();
    m_controller->Start();

    const CCommandLine commandLine = ParseCommandLine(arguments);
    CSplashScreenWnd::EnableSplash(commandLine.splash);

    m_document = std::make_unique<CProjectDocument>();
    m_document->RecentFiles().Load();
    g_pProject = &m_document->Project();

    m_frame = std::make_unique<CMainFrame>(*m_document, *m_engineUi);
    m_frame->AddCommandTarget(this);
    m_document->SetWindow(m_frame.get());
    CProject& project = m_document->Project();
    project.onRefreshSitesTree = [] {
        if (g_pSitesView)
            g_pSitesView->RebuildTree();
    };
    project.onSiteRemoved = [](const CSite& site) {
        // Directly, not queued: the status pane must let go before the site is deleted.
        if (g_pQuarnView && g_pQuarnView->ShownSite() == &site)
            g_pQuarnView->OnViewMessage(WM_SHOW_SITE, nullptr);
    };
    m_document->onNewProject = [this] { m_frame->OnNewProject(); };
    m_document->onTitleChanged = [this] { m_frame->setWindowTitle(m_document->WindowTitle()); };

    m_frame->setWindowIcon(QIcon(LoadPicture(QString::fromLatin1(art::kAppIcon))));
    QApplication::setWindowIcon(m_frame->windowIcon());

    // A new, empty project first; then the named project or the most recent one.
    m_document->New();
    if (g_pBrowserView)
        g_pBrowserView->OnInitialUpdate();
    if (m_maximized)
        m_frame->showMaximized();
    else
        m_frame->show();
    if (!commandLine.projectFile.isEmpty())
        m_document->Open(commandLine.projectFile);
    else if (!m_document->RecentFiles().IsEmpty())
        m_document->Open(m_document->RecentFiles().Files().first());
    // The product update check is not available in this build; "Updates" is only kept.
    return true;
}

void CQuarnApp::StopController() {
    if (!m_controller)
        return;
    m_controller->PostQuit();
    if (!m_controller->WaitForExit(kExitWait)) {
        // Still stuck in a transfer: leave the thread to the end of the process rather
        // than hang the exit by joining it.
        (void)m_controller.release();
    }
    m_controller.reset();
    g_pController = nullptr;
}

int CQuarnApp::ExitInstance() {
    StopController();
    m_frame.reset();
    if (m_document)
        m_document->RecentFiles().Save();
    WritePreferences();
    return 0;
}

bool CQuarnApp::UpdateCommand(int id, CCommandState& state) {
    switch (id) {
    case cmd::EditCut:
    case cmd::EditCopy:
    case cmd::EditPaste:
        state.enabled = false; // nothing in the program has a selection to cut or paste
        return true;
    case cmd::FileNew:
    case cmd::FileOpen:
    case cmd::FileSave:
    case cmd::FileSaveAs:
    case cmd::FilePrintSetup:
    case cmd::Preferences:
    case cmd::AppExit:
    case cmd::HelpContents:
    case cmd::HelpUpdates:
    case cmd::About:
        return true;
    default:
        if (id >= cmd::FileMru1 && id < cmd::FileMru1 + CRecentFileList::kMaxFiles) {
            state.enabled = id - cmd::FileMru1 < m_document->RecentFiles().Files().size();
            return true;
        }
        return false;
    }
}

bool CQuarnApp::OnCommand(int id) {
    switch (id) {
    case cmd::FileNew:
        m_document->New();
        return true;
    case cmd::FileOpen:
        m_document->OpenWithDialog();
        return true;
    case cmd::FileSave:
        m_document->Save();
        return true;
    case cmd::FileSaveAs:
        m_document->SaveAs();
        return true;
    case cmd::FilePrintSetup: {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>();
        QPrintDialog dialog(m_printer.get(), m_frame.get());
        dialog.exec();
        return true;
    }
    case cmd::Preferences: {
        CPreferencesDialog dialog(m_frame.get());
        dialog.exec();
        return true;
    }
    case cmd::AppExit:
        // The same way out as the close box: the save question and the running-crawl
        // question come first.
        m_frame->close();
        return true;
    case cmd::HelpContents:
        if (g_pBrowserView)
            g_pBrowserView->Navigate(HelpStartPage(), true);
        return true;
    case cmd::HelpUpdates:
        QMessageBox::information(m_frame.get(), QStringLiteral("Quarn"),
                                 QStringLiteral("Checking for updates is not available in this version of Quarn."));
        return true;
    case cmd::About: {
        CAboutDialog dialog;
        dialog.exec();
        return true;
    }
    default:
        if (id >= cmd::FileMru1 && id < cmd::FileMru1 + CRecentFileList::kMaxFiles) {
            const QStringList& files = m_document->RecentFiles().Files();
            const int index = id - cmd::FileMru1;
            if (index < files.size())
                m_document->Open(files[index]);
            return true;
        }
        return false;
    }
}
