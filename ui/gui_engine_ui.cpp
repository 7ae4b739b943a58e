#include "ui/gui_engine_ui.h"

#include <QApplication>
#include <QThread>

#include "engine/controller.h"
#include "ui/app_globals.h"
#include "ui/controls/label_ctrl.h"
#include "ui/controls/progress_ctrl_ex.h"
#include "ui/dialogs/message_dialog.h"
#include "ui/quarn_view.h"
#include "ui/sites_view.h"

CGuiEngineUi::CGuiEngineUi(QObject* parent) : QObject(parent) {}

std::optional<QString> ControllerStateWord(int state) {
    switch (state) {
    case kControllerRunning:
        return QStringLiteral("Quarning");
    case kControllerPaused:
        return QStringLiteral("Paused");
    case kControllerIdle:
        return QStringLiteral("Ready");
    case kControllerQuitting:
        return std::nullopt;
    default:
        return QStringLiteral("???");
    }
}

void CGuiEngineUi::RunOnUiThread(std::function<void()> work, bool wait) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    const bool block = wait && !m_closing.load();
    QMetaObject::invokeMethod(this, std::move(work),
                              block ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void CGuiEngineUi::ControllerStateChanged(int state) {
    RunOnUiThread(
        [state] {
            if (const auto word = ControllerStateWord(state); word && g_pStatusText)
                g_pStatusText->SetText(*word);
        },
        false);
}

void CGuiEngineUi::SetStatusBarText(const std::string& text) {
    if (g_pController && g_pController->GetState() == kControllerQuitting)
        return;
    RunOnUiThread(
        [this, text = QString::fromStdString(text)] {
            if (onStatusBarText)
                onStatusBarText(text);
        },
        true);
}

void CGuiEngineUi::SetProgress(CProgressCtrlEx* const& bar, int lower, int upper, int position) {
    // The bar is looked up on this thread: the window may have gone meanwhile.
    RunOnUiThread(
        [&bar, lower, upper, position] {
            if (bar) {
                bar->SetRange(lower, upper);
                bar->SetPos(position);
            }
        },
        true);
}

void CGuiEngineUi::SetSitesProgress(int lower, int upper, int position) {
    SetProgress(g_pSitesProgress, lower, upper, position);
}

void CGuiEngineUi::SetFilesProgress(int lower, int upper, int position) {
    SetProgress(g_pFilesProgress, lower, upper, position);
}

void CGuiEngineUi::ShowMessage(const std::string& text) {
    // A modal box would stop a worker for as long as it is open; queue it instead.
    QMetaObject::invokeMethod(
        this, [message = QString::fromStdString(text)] { ::ShowMessage(message); },
        Qt::QueuedConnection);
}

void CGuiEngineUi::Beep() {
    QMetaObject::invokeMethod(this, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

void CGuiEngineUi::PostToSitesView(unsigned message, CSite* site) {
    QMetaObject::invokeMethod(
        this, [message, site] { PostViewMessage(g_pSitesView, message, site); },
        Qt::QueuedConnection);
}

void CGuiEngineUi::PostToStatusView(unsigned message, CSite* site) {
    QMetaObject::invokeMethod(
        this, [message, site] { PostViewMessage(g_pQuarnView, message, site); },
        Qt::QueuedConnection);
}
