#include "ui/dialogs/log_dialog.h"

#include <QPlainTextEdit>

#include "model/site.h"

namespace {
// The site separates its lines with "\r\r\n"; each separator is one line break here.
QString DisplayText(const std::string& log) {
    return QString::fromStdString(log).replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
}
} // namespace

CLogDialog::CLogDialog(CSite& site, QWidget* parent)
    : CSiteListDialog(QStringLiteral("Log"), site, parent) {
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("logText"));
    m_text->setReadOnly(true);
    // Long lines wrap, as in a multi-line box with only a vertical bar.
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    SetContent(m_text);
    Fill();
}

void CLogDialog::Fill() {
    m_text->setPlainText(DisplayText(m_site.GetLog()));
}

void CLogDialog::ClearSite() {
    m_site.ClearLog();
}
