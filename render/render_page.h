#pragma once
// CRenderPage: a browser page that runs unattended. It stays on the address it was given
// (a script's or a refresh's move elsewhere is recorded, not followed), and dialogs,
// file choosers, logins and permission requests are answered at once, so nothing a page
// does can wait for a person.

#include <QWebEnginePage>

class CRequestRecorder;

class CRenderPage : public QWebEnginePage {
public:
    CRenderPage(QWebEngineProfile* profile, CRequestRecorder& recorder, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override {
        return {};
    }

private:
    CRequestRecorder& m_recorder;
    bool m_loadAllowed = true; // the first navigation is the load the runner asked for
    bool m_landed = false;
};
