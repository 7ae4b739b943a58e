#pragma once
// CPreferencesDialog: edits the sites directory, the beep after a run, whether the window
// panes may be sized, and whether to check for new versions.
//
// OK takes effect at once: the in-memory preferences change, the splitters of the main
// window are locked or unlocked, and "Updates" is written to the settings store (the other
// three are written back at exit). Cancel changes nothing, not even "Updates".

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
    bool m_checkForUpdates = true;
    bool m_beep = true;
    bool m_allowSizing = true;
};
