#pragma once
// CSiteDialogOptionsPage ("Options"): the connection and request time-outs (seconds), the
// number of retries after an error, whether HEAD is asked before every transfer, whether
// robots.txt is obeyed, whether the crawl uses the login made in the browser pane, and
// whether each stored page's scripts are run in a browser (to find the files they load, or
// to store the page as they leave it) with the seconds they may take.

#include "ui/dialogs/site_dialog_page.h"

class CSpinEdit;
class QCheckBox;
class QLabel;

class CSiteDialogOptionsPage : public CSiteDialogPage {
    Q_OBJECT
public:
    static constexpr int kTimeoutMin = 1;
    static constexpr int kTimeoutMax = 999999;
    static constexpr int kRetriesMax = 999;
    // The arrows reach 0 and 999999 everywhere, one step past what the time-outs and the
    // retries accept.
    static constexpr int kSpinMax = 999999;

    explicit CSiteDialogOptionsPage(QWidget* parent = nullptr);

    QWidget* FirstControl() const override;

    int m_connectionTimeout = 1; // seconds
    int m_requestTimeout = 1;    // seconds
    int m_retries = 0;
    int m_headProbe = 0;
    int m_obeyRobots = 0;
    int m_useBrowserCookies = 0;
    int m_runScripts = 0;
    int m_snapshotPages = 0;
    int m_scriptTime = 5; // seconds

protected:
    void BuildControls() override;
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    // The script time counts only while scripts run.
    void EnableScriptTime();

    CSpinEdit* m_connectionTimeoutEdit = nullptr;
    CSpinEdit* m_requestTimeoutEdit = nullptr;
    CSpinEdit* m_retriesEdit = nullptr;
    QCheckBox* m_headProbeCheck = nullptr;
    QCheckBox* m_obeyRobotsCheck = nullptr;
    QCheckBox* m_useBrowserCookiesCheck = nullptr;
    QCheckBox* m_runScriptsCheck = nullptr;
    QCheckBox* m_snapshotPagesCheck = nullptr;
    QLabel* m_scriptTimeLabel = nullptr;
    CSpinEdit* m_scriptTimeEdit = nullptr;
};
