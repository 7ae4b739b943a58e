#pragma once
// CLogDialog: the log of a site's latest crawl, one time-stamped line per event, and on a
// second tab the files that crawl stored new or changed (read from the list it left in
// the site's folder). Clear empties the log; the list stays until the next crawl.

#include "ui/dialogs/site_list_dialog.h"

class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;

class CLogDialog : public CSiteListDialog {
    Q_OBJECT
public:
    explicit CLogDialog(CSite& site, QWidget* parent = nullptr);

    // Rows shown at most; a last row says how many more the list holds.
    static constexpr int kMaxListedFiles = 5000;

protected:
    void Fill() override;
    void ClearSite() override;

private:
    void FillChanges();

    QTabWidget* m_tabs = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QTreeWidget* m_changes = nullptr;
};
