#pragma once
// CMessageDialog: the program's own one-button message box, captioned "Quarn". Running it
// beeps first, then waits until OK, Esc or the close box ends it.
//
// ShowMessage is the way the rest of the program tells the user something. It runs on the
// user-interface thread only; the engine reaches it through its UI hooks, which carry the
// call over to this thread.

#include <QDialog>
#include <QString>

class CImageButton;
class QLabel;

class CMessageDialog : public QDialog {
    Q_OBJECT
public:
    explicit CMessageDialog(QWidget* parent = nullptr);

    void SetMessage(const QString& text);
    QString Message() const;

    // Beeps, then runs the dialog modally.
    int exec() override;

private:
    QLabel* m_text = nullptr;
    CImageButton* m_ok = nullptr;
};

// Shows text in a CMessageDialog without a parent and returns when the user closed it.
void ShowMessage(const QString& text);
