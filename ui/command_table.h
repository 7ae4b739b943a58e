#pragma once
// The program's commands: menu text, shortcut keys and the status-bar prompt with its
// tooltip after "\n". The menus and toolbars are built from this one table.

#include <QKeySequence>
#include <QList>
#include <QString>

struct CCommandInfo {
    int id;
    const char* menuText;
    QList<QKeySequence> keys;
    const char* prompt; // "status-bar prompt\ntooltip", or empty
    bool checkable = false;
};

const QList<CCommandInfo>& CommandTable();
const CCommandInfo* FindCommand(int id);
// The parts of a prompt: before and after the "\n".
QString PromptText(const CCommandInfo& info);
QString TooltipText(const CCommandInfo& info);

// The menu bar: each popup's title and its items in order; 0 is a separator, and
// FileMru1 stands for the recent-file entries.
struct CMenuInfo {
    CMenuInfo(const char* title, QList<int> items, const char* subTitle = nullptr,
              QList<int> subItems = {}, int subPosition = -1)
        : title(title), items(std::move(items)), subTitle(subTitle),
          subItems(std::move(subItems)), subPosition(subPosition) {}

    const char* title;
    QList<int> items;
    // A sub-menu (the Site menu's "Content") placed before item subPosition.
    const char* subTitle;
    QList<int> subItems;
    int subPosition;
};
const QList<CMenuInfo>& MenuBarTable();

// The main toolbar's buttons, left to right: command ids, 0 for a separator, with the
// index of each button's image in the toolbar strip.
struct CToolbarButton {
    int id;
    int image;
};
const QList<CToolbarButton>& MainToolbarTable();
