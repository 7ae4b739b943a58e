#pragma once
// CSpinEdit: an edit box with up and down arrows attached. Unlike QSpinBox it keeps the text
// as typed: the arrows and the arrow keys step the number in the box within the spin range,
// but nothing stops the user typing a value outside that range (or, unless the box takes
// digits only, something that is no number at all). Checking the value is left to the page,
// which refuses it with a message when the page is left.

#include <QAbstractSpinBox>
#include <cstdint>
#include <optional>

class CSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit CSpinEdit(QWidget* parent = nullptr);

    // The range the arrows step within.
    void SetRange(std::int64_t minimum, std::int64_t maximum);
    std::int64_t Minimum() const { return m_minimum; }
    std::int64_t Maximum() const { return m_maximum; }
    // Refuses any typed character that is not a digit.
    void SetDigitsOnly(bool digitsOnly) { m_digitsOnly = digitsOnly; }

    QString Text() const;
    void SetText(const QString& text);
    void SelectAll();

    // Room for the longest number of the range.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    std::int64_t m_minimum = 0;
    std::int64_t m_maximum = 100;
    // Where the arrows continue from when the box holds no number.
    std::int64_t m_position = 0;
    bool m_digitsOnly = false;
};

// A typed integer as the pages read it: optional white space, an optional sign, digits, and
// nothing else. Empty when the text is no integer; values beyond 64 bits are clamped.
std::optional<std::int64_t> ParseTypedInteger(const QString& text);
