#pragma once
// CAutoCompleteCombo: an editable combo box that completes typed text inline. After each
// edit by the user it looks for the first entry that begins with the typed text (ignoring
// case) and fills in the rest of it, selected, so that the next key replaces it. Delete and
// Backspace do not complete, or the user could never erase the completed part.
//
// Qt's own completer is switched off so only this behaviour applies, and Return does not
// add the text to the list: the owner decides what the list holds.

#include <QComboBox>

class CAutoCompleteCombo : public QComboBox {
    Q_OBJECT
public:
    explicit CAutoCompleteCombo(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextEdited(const QString& typed);

    bool m_complete = true;
};
