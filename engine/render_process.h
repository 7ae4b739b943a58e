#pragma once
// CRenderProcess: an IPageRenderer that runs pages in quarn-render, a helper process
// holding the browser, spoken to over its standard input and output (render_protocol.h).
// A page can crash or hang the browser but not the engine: a helper that stops, stalls
// past the deadline or sends too much is killed, the page fails with a reason, and the
// next Render starts a fresh helper.
//
// Threads: Render from one thread at a time (the crawl's); Cancel from any thread.
// POSIX only.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "engine/page_renderer.h"
#include "engine/render_protocol.h"

class CRenderProcess : public IPageRenderer {
public:
    struct CTimes {
        // Added to a page's limit before the helper counts as stalled.
        std::chrono::milliseconds margin{10000};
        // Added again while a fresh helper starts its browser.
        std::chrono::milliseconds startup{30000};
        // Pages one helper renders before a fresh one replaces it, so that what the
        // browser holds on to stays bounded.
        int pagesPerHelper = 100;
    };

    explicit CRenderProcess(std::string program);
    CRenderProcess(std::string program, CTimes times);
    ~CRenderProcess() override;
    CRenderProcess(const CRenderProcess&) = delete;
    CRenderProcess& operator=(const CRenderProcess&) = delete;

    CRenderedPage Render(const std::string& address, std::chrono::milliseconds timeLimit,
                         bool wantDocument) override;
    void Cancel() override;

private:
    using Clock = std::chrono::steady_clock;
    enum class CWait { Answered, Stopped, Stalled, Cancelled, Broken };

    bool Start(std::string& failure);
    // Reads until the reader has what done() asks for, the helper goes, or the deadline.
    template <typename Done> CWait ReadUntil(Clock::time_point deadline, Done done);
    // Closes its input and gives it a moment to leave by itself before killing it.
    void Stop();
    void Kill();
    CRenderedPage Failed(std::string reason);

    std::string m_program;
    CTimes m_times;
    pid_t m_pid = -1;
    int m_toHelper = -1;
    int m_fromHelper = -1;
    int m_pages = 0;
    CRenderAnswerReader m_reader;

    // Cancel writes a byte here; Render polls the other end beside the helper's output.
    int m_cancelPipe[2] = {-1, -1};
    std::mutex m_cancelMutex;
    bool m_rendering = false; // guarded by m_cancelMutex
};

// The helper program: $QUARN_RENDER when set, else quarn-render beside the running
// program; empty when there is none.
std::string FindRenderProgram();

// Renderers running quarn-render, as FindRenderProgram finds it when a crawl begins; none
// when it cannot be found.
PageRendererFactory RenderProcessFactory();
