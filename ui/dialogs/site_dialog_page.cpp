#include "ui/dialogs/site_dialog_page.h"

#include "ui/dialogs/data_exchange.h"

CSiteDialogPage::CSiteDialogPage(const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption) {}

void CSiteDialogPage::Create() {
    if (m_created)
        return;
    m_created = true;
    BuildControls();
    OnInitDialog();
}

bool CSiteDialogPage::UpdateData(bool save) {
    CDataExchange dx(save, this);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CSiteDialogPage::OnInitDialog() {
    UpdateData(false);
}

void CSiteDialogPage::OnSetActive() {
    if (m_firstSetActive)
        m_firstSetActive = false;
    else
        UpdateData(false);
}

bool CSiteDialogPage::OnKillActive() {
    return UpdateData(true);
}
