#include "ui/dialogs/log_dialog.h"

#include <QDir>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include "model/crawl_changes.h"
#include "model/file_path.h"
#include "model/site.h"
#include "ui/artwork.h"
#include "ui/dialogs/dialog_parts.h"

namespace {
constexpr int kLogTab = 0;
constexpr int kChangesTab = 1;
constexpr int kStatusWidthPx = 70;
constexpr int kUrlWidthPx = 280;

// The site separates its lines with "\r\r\n"; each separator is one line break here.
QString DisplayText(const std::string& log) {
    return QString::fromStdString(log).replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
}

QTreeWidgetItem* AddRow(QTreeWidget* list, const QString& status, const QString& url,
                        const QString& localPath, const QString& shownPath) {
    auto* row = new QTreeWidgetItem(list, {status, url, shownPath});
    row->setToolTip(0, status);
    row->setToolTip(1, url);
    row->setToolTip(2, localPath);
    return row;
}

// Every file lies in the site's folder, so the column shows the part below it; the full
// path stays in the tooltip.
QString PathInFolder(const QString& path, const QString& folder) {
    const QString prefix = QDir::fromNativeSeparators(folder) + QLatin1Char('/');
    const QString normal = QDir::fromNativeSeparators(path);
    if (folder.isEmpty() || !normal.startsWith(prefix))
        return path;
    return QDir::toNativeSeparators(normal.mid(prefix.size()));
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

    m_changes = new QTreeWidget(this);
    m_changes->setObjectName(QStringLiteral("changesList"));
    m_changes->setColumnCount(3);
    m_changes->setHeaderLabels(
        {QStringLiteral("Status"), QStringLiteral("URL"), QStringLiteral("Local file")});
    m_changes->setRootIsDecorated(false);
    m_changes->setUniformRowHeights(true);
    m_changes->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_changes->setColumnWidth(0, kStatusWidthPx);
    m_changes->setColumnWidth(1, kUrlWidthPx);
    ShowAsGrid(m_changes);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("logTabs"));
    m_tabs->addTab(m_text, QStringLiteral("Log"));
    m_tabs->addTab(m_changes, QStringLiteral("Changed files"));
    // Clear acts on the log; the list belongs to the crawl that wrote it.
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this](int tab) { SetClearEnabled(tab == kLogTab); });
    // The text takes Ctrl+Tab for itself when it holds the focus.
    AddTabStepKeys(this, [this](int step) {
        m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + m_tabs->count()) %
                                m_tabs->count());
    });

    SetContent(m_tabs, QString::fromLatin1(art::kLogIcon));
    Fill();
}

void CLogDialog::Fill() {
    m_text->setPlainText(DisplayText(m_site.GetLog()));
    FillChanges();
}

void CLogDialog::FillChanges() {
    m_changes->clear();
    // A running crawl's list holds what it buffered only after this.
    m_site.Changes().Flush();
    const std::string folder = m_site.GetSiteFolder();
    int listed = 0;
    if (!folder.empty()) {
        ReadChangeList(ToFsPath(folder) / kCrawlChangesFile, [&](CListedChange&& entry) {
            if (entry.change != FileChange::New && entry.change != FileChange::Changed)
                return;
            if (++listed <= kMaxListedFiles) {
                const QString path = QString::fromStdString(entry.localPath);
                AddRow(m_changes, QString::fromUtf8(FileChangeWord(entry.change)),
                       QString::fromStdString(entry.url), path,
                       PathInFolder(path, QString::fromStdString(folder)));
            }
        });
    }
    if (listed > kMaxListedFiles)
        AddRow(m_changes, {}, QStringLiteral("... and %1 more").arg(listed - kMaxListedFiles), {},
               {});
    m_tabs->setTabText(kChangesTab, QStringLiteral("Changed files (%1)").arg(listed));
}

void CLogDialog::ClearSite() {
    m_site.ClearLog();
}
