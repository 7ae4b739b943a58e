#include "ui/command_table.h"

#include "ui/commands.h"

namespace {
QKeySequence Key(QKeyCombination combination) {
    return QKeySequence(combination);
}
} // namespace

const QList<CCommandInfo>& CommandTable() {
    using namespace cmd;
    static const QList<CCommandInfo> table = {
        {FileNew, "&New", {Key(Qt::CTRL | Qt::Key_N)}, "Create a new project\nNew Project"},
        {FileOpen, "&Open...", {Key(Qt::CTRL | Qt::Key_O)}, "Open an existing project\nOpen Project"},
        {FileSave, "&Save", {Key(Qt::CTRL | Qt::Key_S)}, "Save the current project\nSave Project"},
        {FileSaveAs, "Save &As...", {}, "Save the current project with a new name\nSave As"},
        {FilePrint, "&Print...", {Key(Qt::CTRL | Qt::Key_P)}, "Print the active document\nPrint"},
        {FilePrintSetup, "P&rint Setup...", {}, "Change the printer and printing options\nPrint Setup"},
        {Preferences, "Pr&eferences...", {Key(Qt::Key_F2)}, "Set project preferences\nPreferences"},
        {AppExit, "E&xit", {}, "Quit the application; prompts to save documents\nExit"},
        {EditCut, "Cu&t", {Key(Qt::CTRL | Qt::Key_X), Key(Qt::SHIFT | Qt::Key_Delete)},
         "Cut the selection and put it on the Clipboard\nCut"},
        {EditCopy, "&Copy", {Key(Qt::CTRL | Qt::Key_C)}, "Copy the selection and put it on the Clipboard\nCopy"},
        {EditPaste, "&Paste", {Key(Qt::CTRL | Qt::Key_V), Key(Qt::SHIFT | Qt::Key_Insert)},
         "Insert Clipboard contents\nPaste"},
        {SelectAll, "Select &All", {Key(Qt::CTRL | Qt::Key_A)}, "Select all\nSelect all"},
        {ViewToolbar, "&Toolbar", {}, "Show or hide the toolbar\nToggle ToolBar", true},
        {ViewStatusBar, "&Status Bar", {}, "Show or hide the status bar\nToggle StatusBar", true},
        {GroupNew, "&New", {}, "Create new group\nNew Group"},
        {GroupRename, "&Rename", {}, "Rename the selected group\nRename group"},
        {GroupDelete, "&Delete", {}, "Delete the selected group\nDelete Group"},
        {Quarn, "&Quarn", {Key(Qt::Key_F6)}, "Quarn\nQuarn"},
        {FetchMissing, "Fetch &Missing", {},
         "Fetch only the files the stored copy lacks\nFetch Missing"},
        {SiteNew, "&New...", {Key(Qt::Key_F3)}, "Create new site\nNew Site"},
        {SiteEdit, "&Edit...", {Key(Qt::Key_F4)}, "Edit the selected site\nEdit Site"},
        {SiteRename, "&Rename", {}, "Rename the selected site\nRename Site"},
        // Delete works in the sites tree only (the main window scopes it there).
        {SiteDelete, "&Delete", {Key(Qt::Key_Delete)}, "Delete the selected site\nDelete Site"},
        {ViewWeb, "View &Web", {Key(Qt::Key_F9)}, "View web content\nView web"},
        {ViewQuarned, "View &Quarned", {Key(Qt::Key_F10)}, "View quarned content\nView quarned"},
        {DeleteQuarned, "&Delete Quarned", {}, ""},
        {Errors, "Error&s", {Key(Qt::Key_F11)}, "Display quarn error\nDisplay quarn errors"},
        {Log, "L&og", {Key(Qt::Key_F12)}, "Display quarn log\nDisplay quarn log"},
        {Pause, "&Pause", {Key(Qt::Key_F7)}, "Pause\nPause", true},
        {Stop, "&Stop", {Key(Qt::Key_F8)}, "Stop\nStop"},
        {BrowserBack, "&Back", {}, "Go to previous page\nBack"},
        {BrowserForward, "&Forward", {Key(Qt::ALT | Qt::Key_Right)}, "Go to next page\nForward"},
        {BrowserStop, "&Stop", {}, "Stop current browsing\nStop"},
        {BrowserRefresh, "&Refresh", {Key(Qt::Key_F5)}, "Refresh current page\nRefresh"},
        {BrowserHome, "&Home", {Key(Qt::ALT | Qt::Key_Home)}, "Go to home page\nHome"},
        {BrowserStatusBar, "S&tatus Bar", {}, "", true},
        {HelpContents, "&Contents...", {Key(Qt::Key_F1)}, "Display help contents\nHelp Contents"},
        {HelpUpdates, "&Updates...", {}, "Check for product updates\nUpdates"},
        {About, "&About Quarn...", {}, ""},
    };
    return table;
}

const CCommandInfo* FindCommand(int id) {
    for (const auto& info : CommandTable())
        if (info.id == id)
            return &info;
    return nullptr;
}

QString PromptText(const CCommandInfo& info) {
    return QString::fromUtf8(info.prompt).section(QLatin1Char('\n'), 0, 0);
}

QString TooltipText(const CCommandInfo& info) {
    return QString::fromUtf8(info.prompt).section(QLatin1Char('\n'), 1, 1);
}

const QList<CMenuInfo>& MenuBarTable() {
    using namespace cmd;
    static const QList<CMenuInfo> menus = {
        {"&File", {FileNew, FileOpen, FileSave, FileSaveAs, 0, FilePrint, FilePrintSetup, 0,
                   Preferences, 0, FileMru1, 0, AppExit}},
        {"&Edit", {EditCut, EditCopy, EditPaste, 0, SelectAll}},
        {"&View", {ViewToolbar, ViewStatusBar}},
        {"&Group", {GroupNew, GroupRename, GroupDelete, 0, Quarn}},
        {"&Site",
         {SiteNew, SiteEdit, SiteRename, SiteDelete, 0, Quarn, FetchMissing, 0, Errors, Log},
         "&Content", {ViewWeb, ViewQuarned, 0, DeleteQuarned}, 4},
        {"&Quarn", {Quarn, Pause, Stop}},
        {"&Browser", {BrowserBack, BrowserForward, BrowserStop, BrowserRefresh, BrowserHome, 0,
                      BrowserStatusBar}},
        {"&Help", {HelpContents, HelpUpdates, 0, About}},
    };
    return menus;
}

const QList<CToolbarButton>& MainToolbarTable() {
    using namespace cmd;
    static const QList<CToolbarButton> buttons = {
        {GroupNew, 0}, {GroupDelete, 1}, {0, -1}, {SiteNew, 2}, {SiteDelete, 3}, {SiteEdit, 4},
        {0, -1}, {Quarn, 5}, {Stop, 6}, {Pause, 7}, {0, -1}, {ViewWeb, 8}, {ViewQuarned, 9},
        {0, -1}, {HelpContents, 10},
    };
    return buttons;
}
