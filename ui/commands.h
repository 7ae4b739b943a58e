#pragma once
// Command identifiers of the menus, accelerators and toolbars, and the interface through
// which the main window asks a pane to carry out a command or to say whether it can.
//
// Every command has one owner whichever pane has the focus: the sites tree carries out the
// group, site and crawl commands, the browser pane the browser commands and Print, the
// frame the bar toggles and the application the rest. The frame asks the owners in turn.

namespace cmd {
enum : int {
    FileNew = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrintSetup = 57606,
    FilePrint = 57607,
    FileMru1 = 57616, // to FileMru1 + 9
    AppExit = 57665,
    EditCopy = 57634,
    EditCut = 57635,
    EditPaste = 57637,
    ContextHelp = 57669,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,

    Preferences = 32838,
    SelectAll = 32863,
    GroupNew = 32864,
    GroupDelete = 32865,
    GroupRename = 32867,
    Quarn = 32905,
    FetchMissing = 32909,
    SiteNew = 32845,
    SiteEdit = 32773,
    SiteRename = 32866,
    SiteDelete = 32772,
    ViewWeb = 32906,
    ViewQuarned = 32907,
    DeleteQuarned = 32895,
    Errors = 32902,
    Log = 32903,
    Pause = 32883,
    Stop = 32884,
    BrowserBack = 32795,
    BrowserForward = 32796,
    BrowserStop = 32797,
    BrowserRefresh = 32798,
    BrowserHome = 32799,
    BrowserStatusBar = 32908,
    HelpContents = 32839,
    HelpUpdates = 32835,
    About = 32834,
};
} // namespace cmd

struct CCommandState {
    bool enabled = true;
    bool checked = false; // shown only for checkable commands
};

class CCommandTarget {
public:
    virtual ~CCommandTarget() = default;
    // False when the command is not this target's; otherwise fills state.
    virtual bool UpdateCommand(int id, CCommandState& state) = 0;
    // False when the command is not this target's. Called only when enabled.
    virtual bool OnCommand(int id) = 0;
};
