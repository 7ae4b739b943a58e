#include "ui/dialogs/select_folder_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

std::optional<QString> SelectFolder(const QString& typed, const QString& shown, QChar separator,
                                    const SelectFolderPrompts& prompts) {
    QString path = typed.isEmpty() ? shown : typed;
    if (path.contains(QString(2, separator))) {
        if (prompts.invalidFolder)
            prompts.invalidFolder();
        return std::nullopt;
    }
    // A lone separator is the root of the file system and stays as it is.
    if (path.size() > 1 && path.endsWith(separator))
        path.chop(1);

    if (!QFileInfo::exists(path) && prompts.askCreate && prompts.askCreate(path)) {
        QDir().mkpath(path);
        if (!QFileInfo::exists(path)) {
            if (prompts.couldNotCreate)
                prompts.couldNotCreate(path);
            return std::nullopt;
        }
    }
    return path.endsWith(separator) ? path : path + separator;
}

CSelectFolderDialog::CSelectFolderDialog(const QString& initialFolder, QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Select Directory"), initialFolder) {
    // The desktop's own dialog could not be rearranged.
    setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
    setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    setLabelText(QFileDialog::FileName, QStringLiteral("Current Folder"));

    m_currentFolder = new QLineEdit(initialFolder, this);
    m_currentFolder->setObjectName(QStringLiteral("currentFolder"));

    // The new box takes the place of the file name box; the file type row goes.
    auto* fileNameEdit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* grid = qobject_cast<QGridLayout*>(layout());
    int row = -1, column = -1, rowSpan = 1, columnSpan = 1;
    if (fileNameEdit && grid && grid->indexOf(fileNameEdit) >= 0) {
        grid->getItemPosition(grid->indexOf(fileNameEdit), &row, &column, &rowSpan, &columnSpan);
        fileNameEdit->hide();
        grid->addWidget(m_currentFolder, row, column, rowSpan, columnSpan);
    } else if (grid) {
        grid->addWidget(m_currentFolder, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (auto* label = findChild<QLabel*>(QStringLiteral("fileNameLabel")))
        label->setBuddy(m_currentFolder);
    if (auto* label = findChild<QLabel*>(QStringLiteral("fileTypeLabel")))
        label->hide();
    if (auto* combo = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        combo->hide();
    if (auto* list = findChild<QWidget*>(QStringLiteral("treeView")))
        QWidget::setTabOrder(list, m_currentFolder);

    connect(this, &QFileDialog::directoryEntered, m_currentFolder, [this](const QString& folder) {
        m_currentFolder->setText(QDir::toNativeSeparators(folder));
    });

    // The file dialog enables its accept button by the hidden file name box and the list's
    // selection, so it would stay off for a folder that does not exist yet. Select always
    // takes the "Current Folder" text, so it stays on.
    if (auto* box = findChild<QDialogButtonBox*>()) {
        m_selectButton = box->button(QDialogButtonBox::Open);
        if (m_selectButton) {
            m_selectButton->setEnabled(true);
            m_selectButton->installEventFilter(this);
        }
    }
    m_currentFolder->installEventFilter(this);
}

bool CSelectFolderDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_selectButton && event->type() == QEvent::EnabledChange &&
        !m_selectButton->isEnabled()) {
        m_selectButton->setEnabled(true);
    } else if (watched == m_currentFolder && event->type() == QEvent::KeyPress) {
        // Taken here, not left to the default button, so Enter selects exactly once.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QFileDialog::eventFilter(watched, event);
}

void CSelectFolderDialog::accept() {
    const QString caption = QStringLiteral("Quarn");
    SelectFolderPrompts prompts;
    prompts.invalidFolder = [this, &caption] {
        QMessageBox box(QMessageBox::Critical, caption, QStringLiteral("Invalid Folder"),
                        QMessageBox::Ok, this);
        box.exec();
    };
    prompts.askCreate = [this, &caption](const QString& path) {
        QMessageBox box(QMessageBox::Question, caption,
                        path + QStringLiteral("\n\nThis path does not exist. Do you want to "
                                              "create it?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    };
    prompts.couldNotCreate = [this, &caption](const QString& path) {
        QMessageBox box(QMessageBox::NoIcon, caption,
                        QStringLiteral("Could not create folder:\n") + path, QMessageBox::Ok, this);
        box.exec();
    };

    const QString shown = QDir::toNativeSeparators(directory().absolutePath());
    const auto folder = SelectFolder(m_currentFolder->text(), shown, QDir::separator(), prompts);
    if (!folder)
        return;
    m_folder = *folder;
    // Past QFileDialog::accept, which would judge the hidden file name box instead.
    QDialog::accept();
}
