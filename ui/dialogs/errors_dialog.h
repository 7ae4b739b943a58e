#pragma once
// CErrorsDialog: the addresses of a site that failed for good, one row each with the time,
// the HTTP status in a narrow column (empty when no answer came; the tip holds the code),
// what went wrong in words and the address. Clear empties the site's list but leaves its
// error counts.

#include "ui/dialogs/site_list_dialog.h"

class QTreeWidget;

class CErrorsDialog : public CSiteListDialog {
    Q_OBJECT
public:
    explicit CErrorsDialog(CSite& site, QWidget* parent = nullptr);

protected:
    void Fill() override;
    void ClearSite() override;

private:
    QTreeWidget* m_list = nullptr;
};
