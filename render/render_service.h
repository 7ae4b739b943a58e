#pragma once
// CRenderService: quarn-render's side of the protocol (engine/render_protocol.h). Reads
// RENDER lines from standard input on a thread of its own, runs them one at a time on the
// GUI thread in one off-the-record profile (no cache, no cookies kept: each helper, so
// each crawl, starts clean), and writes each page's answer to the engine. The process
// leaves when its input closes.

#include <QObject>
#include <deque>
#include <memory>
#include <string>

#include "engine/render_protocol.h"
#include "render/request_recorder.h"

class CPageRun;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

class CRenderService : public QObject {
    Q_OBJECT

public:
    // Answers go to answerFd, which is the process's real standard output.
    explicit CRenderService(int answerFd);
    ~CRenderService() override;
    // Loads a blank page first, so READY means the browser is up.
    void Start();

private:
    void ReadInput();
    void Take(const QByteArray& line);
    void RunNext();
    void Send(const std::string& bytes);

    int m_answerFd;
    CRequestRecorder m_recorder; // outlives the profile that calls it
    QWebEngineProfile* m_profile = nullptr;
    QWebEnginePage* m_blank = nullptr;
    std::unique_ptr<QWebEngineView> m_view;
    CPageRun* m_run = nullptr;
    std::deque<CRenderRequest> m_waiting;
};
