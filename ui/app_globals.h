#pragma once
// The application-wide objects: filled during start-up and by the main window's creation,
// cleared when they go away. They are used on the user-interface thread only.

#include <QFont>
#include <QMetaObject>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <vector>

class CBrowserView;
class CController;
class CLabelCtrl;
class CProgressCtrlEx;
class CProject;
class CQuarnView;
class CSite;
class CSitesView;
class CSplitterWndEx;

extern CController* g_pController;
// The open project (the document).
extern CProject* g_pProject;
// The sites tree's icons, 16 by 16: 0 a site never crawled, 5 one whose crawl finished, 6 and
// 7 a closed and an open group, 8 and 9 the blink phases of the site being crawled, 10 one
// whose crawl was stopped.
extern std::vector<QPixmap> g_imageList;
extern QFont g_font;
extern QString g_strInstallDir;
extern bool g_bSplitterMove;
extern bool g_bUseProxy; // kept and written back; nothing depends on it
// g_bBeepWhenDone belongs to the engine (engine/engine_ui.h) and g_strSitesDir to the model
// (model/shared_text.h), because the crawl threads read them too.
#include "model/shared_text.h"

extern CSitesView* g_pSitesView;
extern CQuarnView* g_pQuarnView;
extern CBrowserView* g_pBrowserView;
extern CLabelCtrl* g_pStatusText;
extern CProgressCtrlEx* g_pSitesProgress;
extern CProgressCtrlEx* g_pFilesProgress;
extern CSplitterWndEx* g_pMainSplitter;
extern CSplitterWndEx* g_pLeftSplitter;

// Posts a thread message to the controller; nothing happens when there is none.
void PostToController(unsigned message, CSite* site = nullptr, std::uintptr_t lParam = 0);
// The controller's state, or 0 when there is no controller.
int ControllerState();
// Whether site still belongs to the open project: a queued message may outlive its site.
bool IsSiteInProject(const CSite* site);
// The help start page, from the program's resources: it needs no files beside the program.
QString HelpStartPage();
// The sites directory preference as text for the window.
QString SitesDir();
void SetSitesDir(const QString& dir);

// Queues a window message for a view: view->OnViewMessage(message, site) runs on the
// user-interface thread after the current event, and is dropped if the view is gone.
template <class View>
void PostViewMessage(View* view, unsigned message, CSite* site) {
    if (!view)
        return;
    QMetaObject::invokeMethod(
        view, [view, message, site] { view->OnViewMessage(message, site); },
        Qt::QueuedConnection);
}
