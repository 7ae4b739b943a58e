#include "ui/controls/spin_edit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>
#include <limits>

std::optional<std::int64_t> ParseTypedInteger(const QString& text) {
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        negative = trimmed[i++] == u'-';
    if (i == trimmed.size())
        return std::nullopt;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -value : value;
}

CSpinEdit::CSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(true);
}

void CSpinEdit::SetRange(std::int64_t minimum, std::int64_t maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
    updateGeometry();
}

QString CSpinEdit::Text() const {
    return lineEdit()->text();
}

void CSpinEdit::SetText(const QString& text) {
    lineEdit()->setText(text);
}

void CSpinEdit::SelectAll() {
    lineEdit()->selectAll();
}

QSize CSpinEdit::sizeHint() const {
    ensurePolished();
    const QString widest = QString::number(m_minimum).size() > QString::number(m_maximum).size()
                               ? QString::number(m_minimum)
                               : QString::number(m_maximum);
    // One spare digit's room, as the edit box's own margins are not all counted by the style.
    const int textWidth = fontMetrics().horizontalAdvance(widest + QLatin1Char('0'));
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize content(textWidth, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize CSpinEdit::minimumSizeHint() const {
    return sizeHint();
}

void CSpinEdit::stepBy(int steps) {
    std::int64_t value = m_position;
    if (const auto typed = ParseTypedInteger(Text()))
        value = std::clamp(*typed, m_minimum, m_maximum);
    m_position = std::clamp(value + steps, m_minimum, m_maximum);
    SetText(QString::number(m_position));
    SelectAll();
}

QValidator::State CSpinEdit::validate(QString& input, int&) const {
    if (m_digitsOnly &&
        std::any_of(input.cbegin(), input.cend(), [](QChar c) { return c < u'0' || c > u'9'; }))
        return QValidator::Invalid;
    return QValidator::Acceptable;
}

// The arrows never grey out; at the end of the range they simply do nothing more.
QAbstractSpinBox::StepEnabled CSpinEdit::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}
