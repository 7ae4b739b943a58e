#include "ui/dialogs/site_dialog_limits_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "ui/artwork.h"
#include "ui/controls/spin_edit.h"
#include "ui/dialogs/data_exchange.h"
#include "ui/dialogs/dialog_parts.h"

namespace {
CSpinEdit* MakeNumberEdit(const QString& objectName, QWidget* parent) {
    auto* edit = new CSpinEdit(parent);
    edit->setObjectName(objectName);
    edit->SetDigitsOnly(true);
    return edit;
}

} // namespace

CSiteDialogLimitsPage::CSiteDialogLimitsPage(QWidget* parent)
    : CSiteDialogPage(QStringLiteral("Limits"), parent) {}

// A limit group: icon and explanation on top, number rows below, a check box on its edge.
QGridLayout* CSiteDialogLimitsPage::AddLimitGroup(QGroupBox*& box, QCheckBox*& check,
                                                  const QString& name, const QString& checkText,
                                                  const char* icon, const QString& explanation) {
    box = new QGroupBox(this);
    box->setObjectName(name.toLower() + QStringLiteral("GroupBox"));
    check = AddEdgeCheckBox(box, checkText);
    check->setObjectName(QStringLiteral("restrict") + name + QStringLiteral("CheckBox"));
    connect(check, &QCheckBox::clicked, this, &CSiteDialogLimitsPage::OnRestrictClicked);
    auto* layout = new QGridLayout(box);
    layout->addWidget(MakeGroupIcon(icon, box), 0, 0, 3, 1);
    layout->addWidget(MakeExplanation(explanation, box), 0, 1, 1, 4);
    layout->setColumnStretch(4, 1);
    layout->setRowStretch(3, 1);
    return layout;
}

void CSiteDialogLimitsPage::BuildControls() {
    QGridLayout* space = AddLimitGroup(
        m_spaceBox, m_restrictSpaceCheck, QStringLiteral("Space"),
        QStringLiteral("Restrict Disk Space Usage"), art::kSpaceGroupIcon,
        QStringLiteral("Check this group to restrict the amount of disk space that is used when "
                       "quarning files from this site.  When the limit is reached, quarning for "
                       "this site will stop."));
    m_spaceEdit = MakeNumberEdit(QStringLiteral("maxSpaceEdit"), m_spaceBox);
    AddNumberRow(space, 1, QStringLiteral("Maximum:"), m_spaceEdit, QStringLiteral("M"));

    QGridLayout* time = AddLimitGroup(
        m_timeBox, m_restrictTimeCheck, QStringLiteral("Time"),
        QStringLiteral("Restrict Time Interval"), art::kTimeGroupIcon,
        QStringLiteral("Check this group to restrict the amount of time that has expired when "
                       "quarning files from this site.  When the limit is reached, quarning for "
                       "this site will stop."));
    m_timeEdit = MakeNumberEdit(QStringLiteral("maxTimeEdit"), m_timeBox);
    AddNumberRow(time, 1, QStringLiteral("Maximum:"), m_timeEdit, QStringLiteral("Minutes"));

    QGridLayout* sizes = AddLimitGroup(
        m_sizesBox, m_restrictSizesCheck, QStringLiteral("Sizes"),
        QStringLiteral("Restrict File Sizes"), art::kSizesGroupIcon,
        QStringLiteral("Check this group to restrict the sizes of files that are quarned.  Any "
                       "files that have a size which is either smaller than the minimum or "
                       "larger than the maximum will not be quarned."));
    m_minSizeEdit = MakeNumberEdit(QStringLiteral("minSizeEdit"), m_sizesBox);
    m_maxSizeEdit = MakeNumberEdit(QStringLiteral("maxSizeEdit"), m_sizesBox);
    AddNumberRow(sizes, 1, QStringLiteral("Minimum:"), m_minSizeEdit, QStringLiteral("K"));
    AddNumberRow(sizes, 2, QStringLiteral("Maximum:"), m_maxSizeEdit, QStringLiteral("K"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_spaceBox, 0, 0);
    layout->addWidget(m_timeBox, 0, 1);
    layout->addWidget(m_sizesBox, 1, 0);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    // Room above each box for the check box on its edge.
    layout->setVerticalSpacing(layout->verticalSpacing() + 6);
}

void CSiteDialogLimitsPage::OnInitDialog() {
    CSiteDialogPage::OnInitDialog();
    m_spaceEdit->SetRange(0, kValueMax);
    m_spaceEnabler.Attach(m_spaceBox);
    m_timeEdit->SetRange(0, kValueMax);
    m_timeEnabler.Attach(m_timeBox);
    m_minSizeEdit->SetRange(0, kValueMax);
    m_maxSizeEdit->SetRange(0, kValueMax);
    m_sizesEnabler.Attach(m_sizesBox);
    Refresh();
}

void CSiteDialogLimitsPage::DoDataExchange(CDataExchange& dx) {
    dx.Check(m_restrictSpaceCheck, m_restrictDiskSpace);
    dx.Check(m_restrictTimeCheck, m_restrictTime);
    dx.Integer(m_spaceEdit, m_maxDiskSpace, 0, kValueMax);
    dx.Integer(m_timeEdit, m_maxTime, 0, kValueMax);
    dx.Check(m_restrictSizesCheck, m_restrictFileSizes);
    dx.Integer(m_maxSizeEdit, m_maxFileSize, 0, kValueMax);
    dx.Integer(m_minSizeEdit, m_minFileSize, 0, kValueMax);
}

QWidget* CSiteDialogLimitsPage::FirstControl() const {
    return m_restrictSpaceCheck;
}

bool CSiteDialogLimitsPage::OnKillActive() {
    if (!UpdateData(true))
        return false;
    // Checked whether or not the sizes are switched on, so that a stored pair is never upside down.
    const auto minimum = static_cast<std::uint32_t>(m_minFileSize);
    const auto maximum = static_cast<std::uint32_t>(m_maxFileSize);
    if (minimum != 0 && maximum != 0 && maximum < minimum) {
        QMessageBox::warning(this, QStringLiteral("Quarn"),
                             QStringLiteral("Minimum file size cannot be greater than maximum "
                                            "file size."));
        return false;
    }
    return true;
}

void CSiteDialogLimitsPage::Refresh() {
    m_spaceEnabler.Enable(m_restrictDiskSpace != 0);
    m_timeEnabler.Enable(m_restrictTime != 0);
    m_sizesEnabler.Enable(m_restrictFileSizes != 0);
}

void CSiteDialogLimitsPage::OnRestrictClicked() {
    UpdateData(true);
    Refresh();
}
