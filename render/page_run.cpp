#include "render/page_run.h"

#include <QPointer>
#include <QWebEngineScript>
#include <climits>

#include "render/render_page.h"
#include "render/request_recorder.h"

namespace {
constexpr int kScrollStepMs = 50;
// A screen at a time for the first screens, where lazy images usually are; then one jump to
// the end, so that a long page (or an endless one, which grows as it scrolls) costs no more.
constexpr int kMaxScrollSteps = 40;
// No new address for this long after the last scroll: the page has settled.
constexpr qint64 kQuietMs = 400;
// A page whose own scripts hold its thread never answers; its document is then left out.
constexpr int kDocumentWaitMs = 2000;

// Run in an isolated world, where the page's own scripts cannot replace what is called.
const char kScrollScript[] = R"((function () {
  var e = document.scrollingElement || document.documentElement;
  if (!e) return true;
  var h = window.innerHeight || 900;
  window.scrollBy(0, h);
  return window.scrollY + h >= e.scrollHeight - 2;
})())";

const char kScrollToEndScript[] = R"((function () {
  var e = document.scrollingElement || document.documentElement;
  if (e) window.scrollTo(0, e.scrollHeight);
})())";

const char kDocumentScript[] = R"((function () {
  var root = document.documentElement;
  if (!root) return '';
  var type = document.doctype ? new XMLSerializer().serializeToString(document.doctype) + '\n' : '';
  return type + root.outerHTML;
})())";
} // namespace

CPageRun::CPageRun(CRenderRequest request, QWebEngineProfile* profile, CRequestRecorder& recorder,
                   QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_recorder(recorder),
      m_page(new CRenderPage(profile, recorder, this)) {
    m_limit.setSingleShot(true);
    m_documentWait.setSingleShot(true);
    m_scroll.setInterval(kScrollStepMs);
    m_quiet.setInterval(kScrollStepMs);
    connect(&m_limit, &QTimer::timeout, this, [this] { Finish(CRenderEnd::AtLimit); });
    connect(&m_scroll, &QTimer::timeout, this, &CPageRun::ScrollStep);
    connect(&m_quiet, &QTimer::timeout, this, &CPageRun::CheckQuiet);
    connect(&m_documentWait, &QTimer::timeout, this, [this] { Answer({}, false); });
    connect(m_page, &QWebEnginePage::loadFinished, this, &CPageRun::Loaded);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    Finish(CRenderEnd::Failed,
                           QStringLiteral("The browser's page process stopped"));
            });
}

void CPageRun::Start() {
    const QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(m_request.address));
    m_recorder.Begin(address);
    m_limit.start(static_cast<int>(std::min<long long>(m_request.timeLimit.count(), INT_MAX)));
    m_page->load(address);
}

void CPageRun::Loaded(bool ok) {
    if (m_loaded || m_finished)
        return;
    m_loaded = true;
    if (!ok) {
        Finish(CRenderEnd::Failed, QStringLiteral("The browser could not load the page"));
        return;
    }
    m_scroll.start();
}

void CPageRun::ScrollStep() {
    if (m_scrollPending || m_finished)
        return;
    m_scrollPending = true;
    QPointer<CPageRun> self(this);
    m_page->runJavaScript(QString::fromLatin1(kScrollScript), QWebEngineScript::ApplicationWorld,
                          [self](const QVariant& atEnd) {
                              if (!self || self->m_finished)
                                  return;
                              self->m_scrollPending = false;
                              const bool last = ++self->m_scrollSteps >= kMaxScrollSteps;
                              if (last && !atEnd.toBool())
                                  self->m_page->runJavaScript(
                                      QString::fromLatin1(kScrollToEndScript),
                                      QWebEngineScript::ApplicationWorld);
                              if (atEnd.toBool() || last) {
                                  self->m_scroll.stop();
                                  self->m_sinceScrolled.start();
                                  self->m_quiet.start();
                              }
                          });
}

void CPageRun::CheckQuiet() {
    if (m_sinceScrolled.elapsed() >= kQuietMs && m_recorder.QuietMs() >= kQuietMs)
        Finish(CRenderEnd::Settled);
}

void CPageRun::Finish(CRenderEnd end, const QString& reason) {
    if (m_finished)
        return;
    m_finished = true;
    m_end = end;
    m_reason = reason;
    m_limit.stop();
    m_scroll.stop();
    m_quiet.stop();
    // What the page asks after this moment is not part of its answer.
    m_requests = m_recorder.Take();
    if (!m_request.wantDocument || end == CRenderEnd::Failed) {
        Answer({}, false);
        return;
    }
    m_documentWait.start(kDocumentWaitMs);
    QPointer<CPageRun> self(this);
    m_page->runJavaScript(QString::fromLatin1(kDocumentScript), QWebEngineScript::ApplicationWorld,
                          [self](const QVariant& document) {
                              if (self)
                                  self->Answer(document.toString().toUtf8(), true);
                          });
}

void CPageRun::Answer(const QByteArray& document, bool withDocument) {
    if (m_answered)
        return;
    m_answered = true;
    m_documentWait.stop();
    std::string answer;
    for (const QString& address : std::as_const(m_requests))
        answer += FormatRequestLine(address.toStdString());
    if (withDocument)
        answer += FormatDocument(
            std::string_view(document.constData(), static_cast<std::size_t>(document.size())));
    answer += FormatEndLine(m_end, m_reason.toStdString());
    Q_EMIT Finished(QByteArray::fromStdString(answer));
}
