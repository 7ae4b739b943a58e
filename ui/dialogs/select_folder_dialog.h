#pragma once
// CSelectFolderDialog: picks a folder, or takes one typed by the user, and offers to create
// a folder that does not exist. It is the toolkit's own (not the desktop's) file dialog in
// directory mode, rearranged: the file name box gives way to a "Current Folder" box that
// follows the browsed folder, and the accept button reads "Select" and runs SelectFolder.
// Select is always enabled, and Enter in the "Current Folder" box acts as Select.
//
// GetFolder is the chosen folder with exactly one trailing separator, or empty when the
// dialog was cancelled.

#include <QChar>
#include <QFileDialog>
#include <QString>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

// The questions and messages of the Select flow, so that the flow can run without windows.
struct SelectFolderPrompts {
    std::function<void()> invalidFolder;
    // True when the user wants the missing folder created.
    std::function<bool(const QString& path)> askCreate;
    std::function<void(const QString& path)> couldNotCreate;
};

// The Select flow: typed is the "Current Folder" text, shown the folder the list shows.
// Returns the result folder (the path and one separator), or nothing when the dialog has
// to stay open. A doubled separator anywhere is refused, so network paths are too.
std::optional<QString> SelectFolder(const QString& typed, const QString& shown, QChar separator,
                                    const SelectFolderPrompts& prompts);

class CSelectFolderDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit CSelectFolderDialog(const QString& initialFolder, QWidget* parent = nullptr);

    QString GetFolder() const { return m_folder; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_currentFolder = nullptr;
    QPushButton* m_selectButton = nullptr;
    QString m_folder;
};
