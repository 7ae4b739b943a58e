#pragma once
// The dialogs that take one entry for a site's server, directory, file or address filter list.
//
// A server, directory or file entry may hold one "*" at most, an address pattern no ","
// (which ends a list entry); OK with an entry that breaks its rule shows a message and leaves
// the dialog open with the text as typed. Otherwise the entry is tidied (spaces go, or for an
// address only those at either end; a directory also takes the form /dir/sub/), written back
// into the edit box, and the dialog accepts. The caller reads Entry() after Accepted; it
// checks for duplicates and stores the entry itself.

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
// Why an entry cannot be taken, as the message says it; empty when it can.
QString OneWildcardAtMost(const QString& text);
QString NoComma(const QString& text);

class CAddEntryDialog : public QDialog {
    Q_OBJECT
public:
    QString Entry() const { return m_entry; }

    // Applies the entry's rule; accepts only when it passes.
    void accept() override;

protected:
    using Normaliser = QString (*)(const QString&);
    using Checker = QString (*)(const QString&);
    CAddEntryDialog(const QString& title, Normaliser normalise, QWidget* parent,
                    Checker check = &OneWildcardAtMost);

private:
    Normaliser m_normalise;
    Checker m_check;
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

// Any number of "*" is allowed: an address pattern is matched by its own rule.
class CAddAddressDialog : public CAddEntryDialog {
    Q_OBJECT
public:
    explicit CAddAddressDialog(QWidget* parent = nullptr);
};
