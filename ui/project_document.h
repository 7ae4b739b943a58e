#pragma once
// CProjectDocument: the open project as a document: New, Open, Save and Save As, the
// question before unsaved changes are dropped, the window title and the recent files.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "ui/recent_file_list.h"

class CProject;
class QWidget;

class CProjectDocument {
public:
    enum class Answer { Yes, No, Cancel };

    CProjectDocument();
    ~CProjectDocument();

    CProject& Project() { return *m_project; }
    CRecentFileList& RecentFiles() { return m_recent; }

    // The window that owns the document's dialogs.
    void SetWindow(QWidget* window) { m_window = window; }

    // Each returns false when the user cancelled or the action failed (the user was told).
    bool New();
    bool Open(const QString& path);
    bool OpenWithDialog();
    bool Save();
    bool SaveAs();
    // Before the project is dropped: asks whether to save unsaved changes and saves on Yes.
    // False when the user cancels or the save fails.
    bool SaveModified();

    // "Untitled - Quarn", "name.xml - Quarn".
    QString WindowTitle() const;

    // After a new or opened project: the views rebuild from it.
    std::function<void()> onNewProject;
    // Whenever the title may have changed.
    std::function<void()> onTitleChanged;

    // The dialogs, replaceable by tests.
    std::function<Answer(const QString& text)> askSaveChanges;
    std::function<QString(const QString& suggestion)> askSavePath;
    std::function<QString()> askOpenPath;
    std::function<void(const QString& text)> showError;

private:
    bool SaveTo(const QString& path);
    bool CanDropProject();

    std::unique_ptr<CProject> m_project;
    CRecentFileList m_recent;
    QWidget* m_window = nullptr;
};

// The file-dialog filter: "Quarn Files (*.xml)".
QString ProjectFileFilter();
