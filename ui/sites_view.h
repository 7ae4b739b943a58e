#pragma once
// CSitesView: the sites tree, the project's groups and their sites. It carries out every
// group, site and crawl command, whichever pane has the focus; starts, pauses and stops crawls
// by posting to the controller; blinks the icon of the site being crawled; and moves sites
// between groups (and program instances) by drag and drop, where a dropped web address
// becomes a new site.
//
// The tree's items point at records the project owns and are rebuilt from the project after
// every change, so the view never holds an item across a project change. GUI thread only.

#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/commands.h"

class CLabelCtrl;
class CSite;
class CSiteGroup;
class CSiteItem;
class CSitesItemDelegate;
class CTreeCtrlEx;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;
class QTreeWidgetItem;

class CSitesView : public QWidget, public CCommandTarget {
    Q_OBJECT
public:
    // The popups of the menu bar that the context menu shows.
    static constexpr int kGroupPopup = 3;
    static constexpr int kSitePopup = 4;
    static constexpr int kBlinkMs = 250;
    static constexpr int kCaptionHeight = 14;
    // A site's element text on the clipboard and in drags; on Windows Qt offers it under the
    // registered clipboard format "CF_SITE".
    static const QString kSiteMimeType;

    explicit CSitesView(QWidget* parent = nullptr);
    ~CSitesView() override;

    // --- Hooks the main window wires; by default they reach the status pane directly. ---
    // Tell the status pane which site to show (null: none) and that a site changed.
    std::function<void(CSite* site)> onShowSite;
    std::function<void(CSite* site)> onSiteChanged;
    // Show popup kGroupPopup or kSitePopup of the menu bar at a screen position.
    std::function<void(int popup, QPoint globalPos)> onContextMenu;
    // Let the browser pane load an address or a local file.
    std::function<void(const QString& address)> navigate;
    // The address a stored file has on its copy's own origin; empty: open it from disk.
    std::function<QString(const CSite& site, const std::string& file)> copyAddress;
    // The modal site properties sheet; true when it ended with OK. Empty: nothing opens.
    std::function<bool(CSite& site)> editSite;
    // The errors and log dialogs of a site.
    std::function<void(CSite& site)> showErrors;
    std::function<void(CSite& site)> showLog;
    // A Yes/No question; true for Yes. Defaults to a message box.
    std::function<bool(const QString& text)> askQuestion;
    // What to do with sites being deleted and their stored files. Defaults to a message box.
    enum class DeleteChoice { Cancel, KeepFiles, DeleteFiles };
    std::function<DeleteChoice(const QString& text, bool hasFiles)> askDelete;
    // The browser pane's cookies for the site's servers, as Netscape lines.
    std::function<std::string(const CSite& site)> browserCookies;
    // Tells the user why something was refused. Defaults to the program's message box.
    std::function<void(const QString& text)> tell;

    // After each new or opened project.
    void OnInitialUpdate();
    // WM_SHOW_SITE, WM_SITE_STARTED, WM_SITE_FINISHED and WM_SITE_CHANGED.
    void OnViewMessage(unsigned message, CSite* site);
    // Rebuilds the items from the project; the first item becomes the selected caret.
    void RebuildTree();

    bool UpdateCommand(int id, CCommandState& state) override;
    bool OnCommand(int id) override;

    CTreeCtrlEx* Tree() const { return m_tree; }
    CLabelCtrl* Caption() const { return m_caption; }
    QTreeWidgetItem* FindItemByKey(int key) const;
    QTreeWidgetItem* FindItem(const CSiteItem* record) const;
    static CSiteItem* Record(const QTreeWidgetItem* item);
    bool IsBlinking() const { return m_blinkTimer.isActive(); }

    // What a drag of site offers: its element text under kSiteMimeType.
    static std::unique_ptr<QMimeData> CreateSiteData(const CSite& site);
    // A site being crawled or queued may only be copied.
    static Qt::DropActions DragActions(const CSite& site);
    static bool IsBusy(const CSite& site);
    // The image the tree shows for a record: a group's by its expanded flag, a failed
    // site's error image, else the site's own image index.
    static int ImageIndex(const CSiteItem& record);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CSitesItemDelegate;

    // --- Commands ---
    void PostToEachSite(const QList<QTreeWidgetItem*>& items, unsigned message,
                        std::uintptr_t lParam = 0);
    // Gives the site the cookies its crawl starts with: the browser pane's when the site
    // asks for them, else none, so that cookies of an earlier start are never sent.
    void PrepareStart(CSite& site) const;
    // startKind: WM_START_SITE's lParam.
    void OfferRenewedLogin() const;
    void StartSelected(unsigned startKind);
    void StopSelected();
    void NewGroup();
    void NewSite();
    void Rename();
    void DeleteGroups();
    void DeleteSites();
    void EditSite(CSite* site);
    // The site becomes the one the commands and the status pane are about: selected,
    // under the caret and shown.
    void MakeCurrent(CSite* site);
    void EraseContent();
    void ViewWeb();
    void ViewQuarned();
    CSite* CaretSite() const;
    CSite* FirstSelectedSite() const;

    // --- Tree notifications ---
    void OnClicked(QPoint pos, Qt::MouseButton button);
    void OnDoubleClicked(QTreeWidgetItem* item);
    void OnContextMenu(QPoint pos);
    void OnBeginDrag(QTreeWidgetItem* item);
    void OnExpandedChanged(QTreeWidgetItem* item, bool expanded);
    // The end of an in-place edit with a text that is not empty.
    void OnRenamed(CSiteItem* record, const QString& text);
    // The item whose icon, label or the space right of it is at pos, or null.
    QTreeWidgetItem* HitItem(QPoint pos) const;
    void StartLabelEdit(QTreeWidgetItem* item, int limit);

    // --- Drop target ---
    void OnDragEnter(QDragEnterEvent* event);
    void OnDragMove(QDragMoveEvent* event);
    void OnDrop(QDropEvent* event);
    // Highlights the group under the point; the action to report there, or none.
    Qt::DropAction DropTargetAt(const QDropEvent& event);

    void BlinkStep();
    void ShowSiteInStatus(CSite* site);

    CLabelCtrl* m_caption = nullptr;
    CTreeCtrlEx* m_tree = nullptr;
    CSitesItemDelegate* m_delegate = nullptr;
    int m_blinkPhase = 0;
    QTimer m_blinkTimer;
};
