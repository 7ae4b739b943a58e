#pragma once
// The dialogs that take one entry for a site's server, directory or file filter list.
//
// An entry may hold one "*" at most; OK with more shows a message and leaves the dialog
// open with the text as typed. Otherwise the entry is tidied (spaces go; a directory also
// takes the form /dir/sub/), written back into the edit box, and the dialog accepts. The
// caller reads Entry() after Accepted; it checks for duplicates and stores the entry itself.

#include <QDialog>
#include <QString>

class CImageButton;
class QLineEdit;

// The number of "*" anywhere in the text.
int CountWildcards(const QString& text);
// The text without any space character.
QString RemoveSpaces(const QString& text);
// Spaces removed, "\" made "/", runs of "/" made one, then a "/" put in front and at the end
// unless the text already begins (ends) with "/" or "*". An empty entry becomes "/".
QString NormaliseDirectoryEntry(const QString& text);

class CAddEntryDialog : public QDialog {
    Q_OBJECT
public:
    QString Entry() const { return m_entry; }

    // Applies the wildcard rule; accepts only when it passes.
    void accept() override;

protected:
    using Normaliser = QString (*)(const QString&);
    CAddEntryDialog(const QString& title, Normaliser normalise, QWidget* parent);

private:
    Normaliser m_normalise;
    QLineEdit* m_edit = nullptr;
    CImageButton* m_ok = nullptr;
    QString m_entry;
};

class CAddServerDialog : public CAddEntryDialog {
    Q_OBJECT
public:
    explicit CAddServerDialog(QWidget* parent = nullptr);
};

class CAddDirectoryDialog : public CAddEntryDialog {
    Q_OBJECT
public:
    explicit CAddDirectoryDialog(QWidget* parent = nullptr);
};

class CAddFileDialog : public CAddEntryDialog {
    Q_OBJECT
public:
    explicit CAddFileDialog(QWidget* parent = nullptr);
};
