#pragma once
// CLogDialog: the log of a site's latest crawl, one time-stamped line per event.

#include "ui/dialogs/site_list_dialog.h"

class QPlainTextEdit;

class CLogDialog : public CSiteListDialog {
    Q_OBJECT
public:
    explicit CLogDialog(CSite& site, QWidget* parent = nullptr);

protected:
    void Fill() override;
    void ClearSite() override;

private:
    QPlainTextEdit* m_text = nullptr;
};
