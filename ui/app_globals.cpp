#include "ui/app_globals.h"

#include "engine/controller.h"
#include "model/project.h"

CController* g_pController = nullptr;
CProject* g_pProject = nullptr;
std::vector<QPixmap> g_imageList;
QFont g_font;
QString g_strInstallDir;
bool g_bSplitterMove = false;
bool g_bUseProxy = false;

CSitesView* g_pSitesView = nullptr;
CQuarnView* g_pQuarnView = nullptr;
CBrowserView* g_pBrowserView = nullptr;
CLabelCtrl* g_pStatusText = nullptr;
CProgressCtrlEx* g_pSitesProgress = nullptr;
CProgressCtrlEx* g_pFilesProgress = nullptr;
CSplitterWndEx* g_pMainSplitter = nullptr;
CSplitterWndEx* g_pLeftSplitter = nullptr;

void PostToController(unsigned message, CSite* site, std::uintptr_t lParam) {
    if (g_pController)
        g_pController->Post(message, reinterpret_cast<MessageParam>(site), lParam);
}

int ControllerState() {
    return g_pController ? g_pController->GetState() : 0;
}

bool IsSiteInProject(const CSite* site) {
    if (!site || !g_pProject)
        return false;
    for (const auto& group : g_pProject->GetGroups())
        for (const auto& member : group->m_sites)
            if (member.get() == site)
                return true;
    return false;
}

QString HelpStartPage() {
    return QStringLiteral("qrc:/html/products/quarn/index.htm");
}

QString SitesDir() {
    return QString::fromStdString(g_strSitesDir.Get());
}

void SetSitesDir(const QString& dir) {
    g_strSitesDir.Set(dir.toStdString());
}
