#include "engine/render_protocol.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "web/byte_text.h"

namespace {
constexpr std::string_view kReady = "READY";
constexpr std::string_view kRender = "RENDER ";
constexpr std::string_view kRequest = "REQUEST ";
constexpr std::string_view kDocument = "DOCUMENT ";
constexpr std::string_view kEndSettled = "END OK";
constexpr std::string_view kEndAtLimit = "END LIMIT";
constexpr std::string_view kEndFailed = "END FAILED";

// Spaces and control characters would end a token or a line early; '%' is left as it is,
// the address being escaped already.
std::string EscapeAddress(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    AppendPercentEscaped(out, address,
                         [](unsigned char byte) { return byte > 0x20 && byte != 0x7f; });
    return out;
}

// A reason is text for a person: line breaks become spaces.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return out;
}

template <typename Number> std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}
} // namespace

std::string FormatRenderRequest(const CRenderRequest& request) {
    return std::string(kRender) + std::to_string(request.timeLimit.count()) +
           (request.wantDocument ? " 1 " : " 0 ") + EscapeAddress(request.address) + "\n";
}

std::optional<CRenderRequest> ParseRenderRequest(std::string_view line) {
    if (!line.starts_with(kRender))
        return std::nullopt;
    line.remove_prefix(kRender.size());
    const auto space = line.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    const auto limit = ParseNumber<std::uint32_t>(line.substr(0, space));
    line.remove_prefix(space + 1);
    if (!limit || line.size() < 3 || (line[0] != '0' && line[0] != '1') || line[1] != ' ')
        return std::nullopt;
    CRenderRequest request;
    request.timeLimit = std::chrono::milliseconds(*limit);
    request.wantDocument = line[0] == '1';
    request.address = std::string(line.substr(2));
    if (request.address.find_first_of(" \r\n\t") != std::string::npos)
        return std::nullopt;
    return request;
}

std::string FormatReadyLine() {
    return std::string(kReady) + "\n";
}

std::string FormatRequestLine(std::string_view address) {
    return std::string(kRequest) + EscapeAddress(address) + "\n";
}

std::string FormatDocument(std::string_view document) {
    std::string out = std::string(kDocument) + std::to_string(document.size()) + "\n";
    out.append(document);
    out += '\n';
    return out;
}

std::string FormatEndLine(CRenderEnd end, std::string_view reason) {
    switch (end) {
    case CRenderEnd::Settled:
        return std::string(kEndSettled) + "\n";
    case CRenderEnd::AtLimit:
        return std::string(kEndAtLimit) + "\n";
    case CRenderEnd::Failed:
        break;
    }
    const std::string text = OneLine(reason);
    return std::string(kEndFailed) + " " + (text.empty() ? std::string("unknown") : text) + "\n";
}

void CRenderAnswerReader::BeginPage(std::string pageAddress) {
    m_pageAddress = std::move(pageAddress);
    m_page = {};
    m_seen.clear();
    m_ended = false;
}

CRenderedPage CRenderAnswerReader::TakePage() {
    CRenderedPage page = std::move(m_page);
    m_page = {};
    m_seen.clear();
    return page;
}

bool CRenderAnswerReader::Fail(std::string error) {
    if (m_error.empty())
        m_error = std::move(error);
    return false;
}

bool CRenderAnswerReader::Feed(std::string_view bytes) {
    if (!m_error.empty())
        return false;
    while (!bytes.empty()) {
        if (m_inDocument) {
            if (m_documentLeft > 0) {
                const std::size_t take = std::min(m_documentLeft, bytes.size());
                m_page.document.append(bytes.substr(0, take));
                m_documentLeft -= take;
                bytes.remove_prefix(take);
                continue;
            }
            if (bytes.front() != '\n')
                return Fail("the document was longer than it said");
            bytes.remove_prefix(1);
            m_inDocument = false;
            continue;
        }
        const auto newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        if (m_pending.size() + piece.size() > kMaxLineBytes)
            return Fail("a line was too long");
        if (newline == std::string_view::npos) {
            m_pending.append(piece);
            return true;
        }
        bytes.remove_prefix(newline + 1);
        bool taken;
        if (m_pending.empty()) {
            taken = TakeLine(piece);
        } else {
            m_pending.append(piece);
            const std::string line = std::move(m_pending);
            m_pending.clear();
            taken = TakeLine(line);
        }
        if (!taken)
            return false;
    }
    return true;
}

bool CRenderAnswerReader::TakeLine(std::string_view line) {
    if (line == kReady) {
        m_sawReady = true;
        return true;
    }
    if (line.starts_with(kRequest)) {
        const std::string address(line.substr(kRequest.size()));
        if (address.empty())
            return Fail("a request without an address");
        if (address == m_pageAddress || !m_seen.insert(address).second)
            return true;
        if (m_page.requests.size() >= kMaxRequests)
            return Fail("the page asked for too many addresses");
        m_page.requests.push_back(address);
        return true;
    }
    if (line.starts_with(kDocument)) {
        const auto size = ParseNumber<std::size_t>(line.substr(kDocument.size()));
        if (!size)
            return Fail("an unreadable document size");
        if (*size > kMaxDocumentBytes || !m_page.document.empty())
            return Fail("the document was too large");
        m_page.document.reserve(std::min<std::size_t>(*size, kMaxLineBytes * 16));
        m_documentLeft = *size;
        m_inDocument = true;
        return true;
    }
    if (line == kEndSettled) {
        m_ended = true;
        return true;
    }
    if (line == kEndAtLimit) {
        m_page.cutAtLimit = true;
        m_ended = true;
        return true;
    }
    if (line.starts_with(kEndFailed)) {
        std::string_view reason = line.substr(kEndFailed.size());
        if (!reason.empty() && reason.front() == ' ')
            reason.remove_prefix(1);
        m_page.failure = reason.empty() ? std::string("The page could not be run") : reason;
        m_ended = true;
        return true;
    }
    return Fail("an unknown answer");
}
