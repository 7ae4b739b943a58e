#include "ui/project_document.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "engine/controller.h"
#include "model/project.h"
#include "ui/app_globals.h"

namespace {

std::filesystem::path ToFsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

} // namespace

QString ProjectFileFilter() {
    return QStringLiteral("Quarn Files (*.xml)");
}

CProjectDocument::CProjectDocument() : m_project(std::make_unique<CProject>()) {
    askSaveChanges = [this](const QString& text) {
        const auto button = QMessageBox::question(
            m_window, QStringLiteral("Quarn"), text,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (button == QMessageBox::Yes)
            return Answer::Yes;
        return button == QMessageBox::No ? Answer::No : Answer::Cancel;
    };
    askSavePath = [this](const QString& suggestion) {
        return QFileDialog::getSaveFileName(m_window, QStringLiteral("Save As"), suggestion,
                                            ProjectFileFilter());
    };
    askOpenPath = [this] {
        return QFileDialog::getOpenFileName(m_window, QStringLiteral("Open"), QString(),
                                            ProjectFileFilter());
    };
    showError = [this](const QString& text) {
        QMessageBox::warning(m_window, QStringLiteral("Quarn"), text);
    };
}

CProjectDocument::~CProjectDocument() = default;

// The controller points at the project's sites while it runs; dropping them then would
// leave it with dangling sites.
bool CProjectDocument::CanDropProject() {
    const int state = ControllerState();
    if (state != kControllerRunning && state != kControllerPaused)
        return true;
    showError(QStringLiteral(
        "Site(s) are currently being quarned.  Stop them before closing the project."));
    return false;
}

bool CProjectDocument::New() {
    if (!CanDropProject() || !SaveModified())
        return false;
    m_project->NewProject();
    if (onNewProject)
        onNewProject();
    if (onTitleChanged)
        onTitleChanged();
    return true;
}

bool CProjectDocument::Open(const QString& path) {
    if (!CanDropProject() || !SaveModified())
        return false;
    std::string error;
    const bool opened = m_project->Open(ToFsPath(path), error);
    if (opened)
        m_recent.Add(path);
    else
        m_recent.Remove(QFileInfo(path).absoluteFilePath());
    if (onNewProject)
        onNewProject();
    if (onTitleChanged)
        onTitleChanged();
    if (!opened)
        showError(QString::fromStdString(error));
    return opened;
}

bool CProjectDocument::OpenWithDialog() {
    const QString path = askOpenPath();
    return !path.isEmpty() && Open(path);
}

bool CProjectDocument::Save() {
    if (m_project->GetPath().empty())
        return SaveAs();
    return SaveTo(QString::fromStdU16String(m_project->GetPath().u16string()));
}

bool CProjectDocument::SaveAs() {
    QString suggestion = QString::fromStdString(m_project->GetTitle());
    if (m_project->GetPath().empty())
        suggestion += QStringLiteral(".xml");
    else
        suggestion = QString::fromStdU16String(m_project->GetPath().u16string());
    QString path = askSavePath(suggestion);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xml");
    return SaveTo(path);
}

bool CProjectDocument::SaveTo(const QString& path) {
    std::string error;
    if (!m_project->SaveAs(ToFsPath(path), error)) {
        showError(QString::fromStdString(error));
        return false;
    }
    m_recent.Add(path);
    if (onTitleChanged)
        onTitleChanged();
    return true;
}

bool CProjectDocument::SaveModified() {
    if (!m_project->IsModified())
        return true;
    const QString text = QStringLiteral("Save changes to %1?")
                             .arg(QString::fromStdString(m_project->GetTitle()));
    switch (askSaveChanges(text)) {
    case Answer::Yes:
        return Save();
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

QString CProjectDocument::WindowTitle() const {
    return QString::fromStdString(m_project->GetTitle()) + QStringLiteral(" - Quarn");
}
