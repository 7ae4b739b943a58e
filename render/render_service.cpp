#include "render/render_service.h"

#include <unistd.h>

#include <QApplication>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cerrno>
#include <thread>

#include "engine/file_store.h"
#include "render/page_run.h"
#include "render/render_page.h"

namespace {
// The size of a common laptop screen: layout, lazy loading and intersection observers
// need a real viewport.
constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 900;
// A browser that cannot shut down within this after its input closed is left behind.
constexpr auto kExitGrace = std::chrono::seconds(5);
} // namespace

CRenderService::CRenderService(int answerFd) : m_answerFd(answerFd) {
    // No storage name: off the record, nothing written to disk.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setUrlRequestInterceptor(&m_recorder);
    m_profile->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    // A download is not a page's file; leaving the request unaccepted refuses it.
    connect(m_profile, &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest* download) { download->cancel(); });
    m_blank = new CRenderPage(m_profile, m_recorder, this);
    m_view = std::make_unique<QWebEngineView>();
    m_view->resize(kViewWidth, kViewHeight);
    m_view->setPage(m_blank);
}

CRenderService::~CRenderService() {
    // Pages before their profile, as the browser requires.
    m_view.reset();
    delete m_run;
    delete m_blank;
    delete m_profile;
}

void CRenderService::Start() {
    connect(
        m_blank, &QWebEnginePage::loadFinished, this,
        [this] {
            Send(FormatReadyLine());
            ReadInput();
        },
        Qt::SingleShotConnection);
    m_view->show();
    m_blank->load(QUrl(QStringLiteral("about:blank")));
}

void CRenderService::ReadInput() {
    std::thread([this] {
        std::string pending;
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            pending.append(buffer, static_cast<std::size_t>(got));
            for (auto newline = pending.find('\n'); newline != std::string::npos;
                 newline = pending.find('\n')) {
                const QByteArray line = QByteArray::fromStdString(pending.substr(0, newline));
                pending.erase(0, newline + 1);
                QMetaObject::invokeMethod(
                    this, [this, line] { Take(line); }, Qt::QueuedConnection);
            }
            if (pending.size() > CRenderAnswerReader::kMaxLineBytes)
                pending.clear();
        }
        // The engine is gone or done with us.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        std::this_thread::sleep_for(kExitGrace);
        _exit(0);
    }).detach();
}

void CRenderService::Take(const QByteArray& line) {
    auto request = ParseRenderRequest(
        std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    if (!request) {
        Send(FormatEndLine(CRenderEnd::Failed, "The script runner could not read the request"));
        return;
    }
    m_waiting.push_back(std::move(*request));
    RunNext();
}

void CRenderService::RunNext() {
    if (m_run || m_waiting.empty())
        return;
    m_run = new CPageRun(std::move(m_waiting.front()), m_profile, m_recorder, this);
    m_waiting.pop_front();
    // A fresh page each time: nothing of the last page's scripts, timers or workers goes on.
    m_view->setPage(m_run->Page());
    connect(m_run, &CPageRun::Finished, this, [this](const QByteArray& answer) {
        Send(answer.toStdString());
        m_view->setPage(m_blank);
        m_run->deleteLater();
        m_run = nullptr;
        RunNext();
    });
    m_run->Start();
}

void CRenderService::Send(const std::string& bytes) {
    // The engine is gone: nobody is left to answer, and the input thread must not outlive
    // the objects it posts to.
    if (WriteAllTo(m_answerFd, bytes))
        _exit(0);
}
