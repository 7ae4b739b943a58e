#pragma once
// CDataExchange: one pass of a page's data exchange. Loading writes the page's values into
// its controls; saving reads them back and checks them. The first value that fails shows
// the toolkit's warning box with the reason, puts the focus on the failing box and ends the
// pass: the controls after it are neither read nor written.

#include <QString>
#include <cstdint>

class CSpinEdit;
class QAbstractButton;
class QComboBox;
class QLineEdit;
class QWidget;

class CDataExchange {
public:
    CDataExchange(bool saving, QWidget* page) : m_saving(saving), m_page(page) {}

    bool Saving() const { return m_saving; }
    bool Failed() const { return m_failed; }

    // maxChars > 0 limits typing, and saving refuses a longer text (one that came in longer).
    void Text(QLineEdit* edit, QString& value, int maxChars = 0);
    // The edit text of an editable combo box.
    void Text(QComboBox* combo, QString& value);
    // 1 for a ticked box, 0 for an unticked one.
    void Check(QAbstractButton* box, int& value);
    // Saving takes the typed number into value, then refuses it outside minimum..maximum.
    void Integer(CSpinEdit* edit, int& value, int minimum, int maximum);
    void Integer(CSpinEdit* edit, std::int64_t& value, std::int64_t minimum, std::int64_t maximum);

    static QString NotAnIntegerMessage();
    static QString OutOfRangeMessage(std::int64_t minimum, std::int64_t maximum);

private:
    void Fail(QWidget* control, const QString& message);

    bool m_saving;
    bool m_failed = false;
    QWidget* m_page;
};
