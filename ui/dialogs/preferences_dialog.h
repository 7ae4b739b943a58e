#pragma once
// CPreferencesDialog: edits the sites directory, the beep after a run and whether the window
// panes may be sized. "Check for new versions" shows cleared and greyed, as this build has no
// update check; the stored "Updates" choice is left as it is.
//
// OK takes effect at once: the in-memory preferences change and the splitters of the main
// window are locked or unlocked (the values are written back at exit). Cancel changes
// nothing.

#include <QDialog>
#include <QString>

class CImageButton;
class QCheckBox;
class QLineEdit;

class CPreferencesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxSitesDirChars = 255;

    explicit CPreferencesDialog(QWidget* parent = nullptr);

    void accept() override;

private:
    void OnBrowse();

    CImageButton* m_browse = nullptr;
    CImageButton* m_ok = nullptr;
    CImageButton* m_cancel = nullptr;
    QLineEdit* m_sitesDirEdit = nullptr;
    QCheckBox* m_updatesCheck = nullptr;
    QCheckBox* m_sizingCheck = nullptr;
    QCheckBox* m_beepCheck = nullptr;

    QString m_sitesDir;
    bool m_beep = true;
    bool m_allowSizing = true;
};
