#include "ui/dialogs/errors_dialog.h"

#include <QHeaderView>
#include <algorithm>
#include <QTreeWidget>

#include "model/clock.h"
#include "model/site.h"

namespace {
struct Column {
    const char* title;
    Qt::Alignment alignment;
    int widthPx;
};
constexpr Column kColumns[] = {
    {"Time", Qt::AlignCenter, 50},
    {"Code", Qt::AlignCenter, 0}, // as narrow as a status code allows
    {"Error", Qt::AlignLeft | Qt::AlignVCenter, 75},
    {"URL", Qt::AlignLeft | Qt::AlignVCenter, 300},
};
constexpr int kCodeColumn = 1;
constexpr int kErrorColumn = 2;

constexpr int kCellPaddingPx = 14;
// The error column grows to show a transfer error's words whole, up to this.
constexpr int kWidestDescriptionPx = 260;

// A failure without an answer carries an internal number, not a status the user could look
// up: the code column stays empty and only its tip shows the number.
QString CodeText(int code) {
    return code > 0 ? QString::number(code) : QString();
}

} // namespace

CErrorsDialog::CErrorsDialog(CSite& site, QWidget* parent)
    : CSiteListDialog(QStringLiteral("Errors"), site, parent) {
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("errorList"));
    m_list->setColumnCount(static_cast<int>(std::size(kColumns)));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    ShowAsGrid(m_list);
    m_list->header()->setSectionsMovable(true);
    // The columns keep their widths; the address column does not swallow the rest.
    m_list->header()->setStretchLastSection(false);
    auto* header = m_list->headerItem();
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        header->setText(i, QString::fromLatin1(kColumns[i].title));
        header->setTextAlignment(i, kColumns[i].alignment);
        m_list->setColumnWidth(i, kColumns[i].widthPx);
    }
    // The widths were chosen for a smaller font than most desktops use; the time at least
    // is shown whole.
    const int timeWidth = m_list->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) +
                          kCellPaddingPx;
    m_list->setColumnWidth(0, std::max(kColumns[0].widthPx, timeWidth));
    m_list->setColumnWidth(kCodeColumn,
                           std::max(m_list->fontMetrics().horizontalAdvance(QStringLiteral("000")),
                                    m_list->header()->fontMetrics().horizontalAdvance(
                                        QString::fromLatin1(kColumns[kCodeColumn].title))) +
                               kCellPaddingPx);

    SetContent(m_list);
    Fill();
}

void CErrorsDialog::Fill() {
    m_list->clear();
    int descriptionWidth = m_list->columnWidth(kErrorColumn);
    for (const CErrorEntry& entry : m_site.GetErrors()) {
        const QString texts[] = {
            QString::fromStdString(FormatTimeOfDay(entry.time)),
            CodeText(entry.code),
            QString::fromStdString(ErrorDescription(entry)),
            QString::fromStdString(entry.address),
        };
        descriptionWidth =
            std::max(descriptionWidth,
                     std::min(kWidestDescriptionPx,
                              m_list->fontMetrics().horizontalAdvance(texts[kErrorColumn]) +
                                  kCellPaddingPx));
        auto* row = new QTreeWidgetItem(m_list);
        for (int i = 0; i < static_cast<int>(std::size(texts)); ++i) {
            row->setText(i, texts[i]);
            row->setTextAlignment(i, kColumns[i].alignment);
            // Narrow columns cut the text; the tip shows it whole.
            row->setToolTip(i, texts[i]);
        }
        row->setToolTip(kCodeColumn, QString::number(entry.code));
    }
    m_list->setColumnWidth(kErrorColumn, descriptionWidth);
}

void CErrorsDialog::ClearSite() {
    m_site.ClearErrors();
}
