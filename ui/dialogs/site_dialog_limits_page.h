#pragma once
// CSiteDialogLimitsPage ("Limits") bounds a crawl by disk space (M), by time (minutes) and by
// file size (K). A size of 0 sets no bound on its side.

#include <cstdint>

#include "ui/controls/group_enabler.h"
#include "ui/dialogs/site_dialog_page.h"

class CSpinEdit;
class QCheckBox;
class QGridLayout;
class QGroupBox;

class CSiteDialogLimitsPage : public CSiteDialogPage {
    Q_OBJECT
public:
    static constexpr int kValueMax = 999999;

    explicit CSiteDialogLimitsPage(QWidget* parent = nullptr);

    bool OnKillActive() override;
    QWidget* FirstControl() const override;

    int m_restrictDiskSpace = 0;
    int m_restrictTime = 0;
    std::int64_t m_maxDiskSpace = 1; // M
    int m_maxTime = 1;               // minutes
    int m_restrictFileSizes = 0;
    int m_maxFileSize = 0; // K
    int m_minFileSize = 0; // K

protected:
    void BuildControls() override;
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    QGridLayout* AddLimitGroup(QGroupBox*& box, QCheckBox*& check, const QString& name,
                               const QString& checkText, const char* icon,
                               const QString& explanation);
    void Refresh();
    void OnRestrictClicked();

    QGroupBox* m_spaceBox = nullptr;
    QGroupBox* m_timeBox = nullptr;
    QGroupBox* m_sizesBox = nullptr;
    QCheckBox* m_restrictSpaceCheck = nullptr;
    QCheckBox* m_restrictTimeCheck = nullptr;
    QCheckBox* m_restrictSizesCheck = nullptr;
    CSpinEdit* m_spaceEdit = nullptr;
    CSpinEdit* m_timeEdit = nullptr;
    CSpinEdit* m_minSizeEdit = nullptr;
    CSpinEdit* m_maxSizeEdit = nullptr;
    CGroupEnabler m_spaceEnabler;
    CGroupEnabler m_timeEnabler;
    CGroupEnabler m_sizesEnabler;
};
