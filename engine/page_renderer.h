#pragma once
// IPageRenderer: runs one page's scripts in a browser and tells what the page asked for.
// The engine stays free of any browser: a front end gives the controller a factory of
// renderers, and the crawl asks one page at a time from its own thread.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct CRenderedPage {
    // Every address the page requested while it ran (scripts, fetches, workers, images
    // set by scripts), absolute, once each, in the order asked; the page's own address
    // is left out.
    std::vector<std::string> requests;
    // The document as the browser shows it (doctype and the root element), when asked for.
    std::string document;
    // The page had not settled when its time ran out; what it asked until then is kept.
    bool cutAtLimit = false;
    // Why the page could not be run at all (the browser failed to start, crashed or
    // stalled); empty when it ran.
    std::string failure;
};

class IPageRenderer {
public:
    virtual ~IPageRenderer() = default;
    // Loads the address, scrolls the page to its end once, and waits until it is quiet or
    // the time limit passes. Blocks the calling thread; never longer than the limit and a
    // fixed margin.
    virtual CRenderedPage Render(const std::string& address, std::chrono::milliseconds timeLimit,
                                 bool wantDocument) = 0;
    // From another thread: makes a running Render return soon (its result then says so
    // in failure).
    virtual void Cancel() = 0;
};

// Makes a renderer for one crawl: each has a fresh browser profile.
using PageRendererFactory = std::function<std::unique_ptr<IPageRenderer>()>;
