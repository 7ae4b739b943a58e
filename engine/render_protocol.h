#pragma once
// The lines between the engine and quarn-render, the helper that runs pages in a browser.
// Both sides use these functions, so neither writes a line the other cannot read.
//
//   helper, once its browser is up:     READY
//   engine, one page:                   RENDER <limit ms> <0|1 want document> <address>
//   helper, each address the page asked for, once:   REQUEST <address>
//   helper, when the document was asked:  DOCUMENT <byte count>, then exactly those
//                                         bytes and a newline
//   helper, last:                       END OK | END LIMIT | END FAILED <reason>
//
// Every line ends in "\n". Addresses arrive escaped as in a URL; the formatters escape any
// space or control character that slips through, so a page cannot split a line. The
// engine sends the next RENDER only after END.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/page_renderer.h"

struct CRenderRequest {
    std::string address;
    std::chrono::milliseconds timeLimit{0};
    bool wantDocument = false;
};

std::string FormatRenderRequest(const CRenderRequest& request);
// The line without its "\n"; nothing when it is not a well-formed RENDER line.
std::optional<CRenderRequest> ParseRenderRequest(std::string_view line);

enum class CRenderEnd { Settled, AtLimit, Failed };

std::string FormatReadyLine();
std::string FormatRequestLine(std::string_view address);
std::string FormatDocument(std::string_view document);
std::string FormatEndLine(CRenderEnd end, std::string_view reason = {});

// Reads the helper's answers as its bytes arrive, in pieces of any size, into one
// CRenderedPage. Holds no more than the limits below: a hostile page must not be able to
// fill the engine's memory through the helper.
class CRenderAnswerReader {
public:
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;
    static constexpr std::size_t kMaxDocumentBytes = 64 * 1024 * 1024;
    static constexpr std::size_t kMaxRequests = 100000;

    // Starts a page: what it asked for is kept, but never the page's own address.
    void BeginPage(std::string pageAddress);
    // False once the stream broke the protocol or a limit; Error() says how.
    bool Feed(std::string_view bytes);

    bool SawReady() const { return m_sawReady; }
    bool PageEnded() const { return m_ended; }
    const std::string& Error() const { return m_error; }
    CRenderedPage TakePage();

private:
    bool TakeLine(std::string_view line);
    bool Fail(std::string error);

    std::string m_pending;          // bytes of a line not yet complete
    std::size_t m_documentLeft = 0; // document bytes still to come, then its newline
    bool m_inDocument = false;
    bool m_sawReady = false;
    bool m_ended = false;
    std::string m_error;
    std::string m_pageAddress;
    std::unordered_set<std::string> m_seen;
    CRenderedPage m_page;
};
