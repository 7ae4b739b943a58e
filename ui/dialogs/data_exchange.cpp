#include "ui/dialogs/data_exchange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <climits>

#include "ui/controls/spin_edit.h"

QString CDataExchange::NotAnIntegerMessage() {
    return QStringLiteral("Please enter an integer.");
}

QString CDataExchange::OutOfRangeMessage(std::int64_t minimum, std::int64_t maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

void CDataExchange::Text(QLineEdit* edit, QString& value, int maxChars) {
    if (m_failed)
        return;
    if (!m_saving) {
        // A longer text from the project file is shown whole, not cut; saving refuses it.
        if (maxChars > 0)
            edit->setMaxLength(std::max<int>(maxChars, static_cast<int>(value.size())));
        edit->setText(value);
        return;
    }
    const QString typed = edit->text();
    if (maxChars > 0 && typed.size() > maxChars) {
        Fail(edit, QStringLiteral("Please enter no more than %1 characters.").arg(maxChars));
        return;
    }
    value = typed;
}

void CDataExchange::Text(QComboBox* combo, QString& value) {
    if (m_failed)
        return;
    if (m_saving)
        value = combo->currentText();
    else
        combo->setEditText(value);
}

void CDataExchange::Check(QAbstractButton* box, int& value) {
    if (m_failed)
        return;
    if (m_saving)
        value = box->isChecked() ? 1 : 0;
    else
        box->setChecked(value != 0);
}

void CDataExchange::Integer(CSpinEdit* edit, int& value, int minimum, int maximum) {
    std::int64_t wide = value;
    Integer(edit, wide, minimum, maximum);
    if (m_saving)
        value = static_cast<int>(std::clamp<std::int64_t>(wide, INT_MIN, INT_MAX));
}

void CDataExchange::Integer(CSpinEdit* edit, std::int64_t& value, std::int64_t minimum,
                            std::int64_t maximum) {
    if (m_failed)
        return;
    if (!m_saving) {
        edit->SetText(QString::number(value));
        return;
    }
    const auto typed = ParseTypedInteger(edit->Text());
    if (!typed) {
        Fail(edit, NotAnIntegerMessage());
        return;
    }
    value = *typed;
    if (value < minimum || value > maximum)
        Fail(edit, OutOfRangeMessage(minimum, maximum));
}

void CDataExchange::Fail(QWidget* control, const QString& message) {
    m_failed = true;
    QMessageBox::warning(m_page, QStringLiteral("Quarn"), message);
    control->setFocus(Qt::OtherFocusReason);
    if (auto* spin = qobject_cast<CSpinEdit*>(control))
        spin->SelectAll();
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
}
