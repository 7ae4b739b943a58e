#pragma once
// CQuarnApp: the program's start and end around the QApplication. Start-up checks the
// transfer library, reads the preferences, starts the crawl controller, opens the project
// and shows the main window; the end stops the controller and writes the preferences back.
// It also carries out the application's own commands.

#include <QStringList>
#include <memory>

#include "ui/commands.h"

class CController;
class CGuiEngineUi;
class CMainFrame;
class CProjectDocument;
class QPrinter;

class CQuarnApp : public CCommandTarget {
public:
    CQuarnApp();
    ~CQuarnApp() override;

    // The whole program: QApplication, InitInstance, the event loop, ExitInstance.
    static int Run(int argc, char** argv);

    // False ends the program before the event loop. arguments excludes the program name.
    bool InitInstance(const QStringList& arguments);
    int ExitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CProjectDocument& Document() { return *m_document; }

    bool UpdateCommand(int id, CCommandState& state) override;
    bool OnCommand(int id) override;

private:
    void StopController();

    std::unique_ptr<CGuiEngineUi> m_engineUi;
    std::unique_ptr<CController> m_controller;
    std::unique_ptr<CProjectDocument> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QPrinter> m_printer;
    bool m_maximized = false;
};

// The preferences kept between runs: read at start into the application-wide values, and
// written back from them at the end. maximizedWindow says whether the window opens maximized.
// Without a stored sites directory the default one is used, and made when missing.
void ReadPreferences(bool& maximizedWindow);
void WritePreferences();

// Whether libcurl can be used for the program's transfers: present and speaking HTTPS.
bool TransferLibraryUsable();
// The install directory: the system-wide "InstallDir" setting, else the folder that holds
// the help pages beside or above the program, else the current directory.
QString FindInstallDir();
// Where the sites go until the user picks a folder, made when missing: "Sites" in the
// home folder, wherever the program was started from (a build tree or a checkout would
// fill up with copies otherwise). The program's own folder is never used: it may not be
// writable once installed.
QString DefaultSitesDir();
// The project named on the command line (the first argument that is not a switch), and
// whether the splash screen is allowed (not after "Embedding" or "Automation").
struct CCommandLine {
    QString projectFile;
    bool splash = true;
};
CCommandLine ParseCommandLine(const QStringList& arguments);
