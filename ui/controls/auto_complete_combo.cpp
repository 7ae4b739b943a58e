#include "ui/controls/auto_complete_combo.h"

#include <QKeyEvent>
#include <QLineEdit>

CAutoCompleteCombo::CAutoCompleteCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    // Keys reach the combo box first and are passed on to its line edit; watch both so the
    // flag is right whichever got the key.
    installEventFilter(this);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &CAutoCompleteCombo::OnTextEdited);
}

bool CAutoCompleteCombo::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        m_complete = key != Qt::Key_Delete && key != Qt::Key_Backspace;
    }
    return QComboBox::eventFilter(watched, event);
}

void CAutoCompleteCombo::OnTextEdited(const QString& typed) {
    // An emptied box is not completed: the first entry would fill it again at once.
    if (!m_complete || typed.isEmpty())
        return;
    QLineEdit* edit = lineEdit();
    const int selectionEnd =
        edit->hasSelectedText() ? edit->selectionEnd() : edit->cursorPosition();
    const int selectionStart =
        edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();

    const int index = findText(typed, Qt::MatchStartsWith);
    if (index < 0)
        return;
    const QString completed = itemText(index);
    setCurrentIndex(index);
    // The index may not have changed, and then the combo box leaves the text alone.
    edit->setText(completed);

    if (selectionEnd < typed.size())
        edit->setSelection(selectionStart, selectionEnd - selectionStart);
    else
        edit->setSelection(typed.size(), completed.size() - typed.size());
}
