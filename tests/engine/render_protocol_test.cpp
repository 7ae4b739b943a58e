// The lines between the engine and quarn-render: requests survive the trip, answers are
// read the same however the pipe cuts them, and a helper cannot push past the limits.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render_protocol.h"

namespace {
// Feeds the stream in pieces of `piece` bytes.
CRenderAnswerReader ReadInPieces(const std::string& stream, std::size_t piece,
                                 const std::string& page = "http://h/") {
    CRenderAnswerReader reader;
    reader.BeginPage(page);
    for (std::size_t at = 0; at < stream.size(); at += piece)
        EXPECT_TRUE(reader.Feed(std::string_view(stream).substr(at, piece))) << reader.Error();
    return reader;
}
} // namespace

TEST(RenderProtocol, RequestLineRoundTrips) {
    const CRenderRequest sent{"http://h/a%20b/c.html?q=1&r=%C3%A9", std::chrono::milliseconds(7500),
                              true};
    const std::string line = FormatRenderRequest(sent);
    ASSERT_EQ(line.back(), '\n');
    const auto got = ParseRenderRequest(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->address, sent.address);
    EXPECT_EQ(got->timeLimit, sent.timeLimit);
    EXPECT_EQ(got->wantDocument, sent.wantDocument);
}

TEST(RenderProtocol, AddressWithBreaksStaysOneToken) {
    const std::string odd = "http://h/a b\nEND OK\r\tc\x7f";
    for (const std::string& line : {FormatRenderRequest({odd, std::chrono::milliseconds(1), false}),
                                    FormatRequestLine(odd)}) {
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_EQ(line.find_first_of("\r\t\x7f"), std::string::npos) << line;
    }
    const std::string request = FormatRenderRequest({odd, std::chrono::milliseconds(1), false});
    const auto parsed = ParseRenderRequest(std::string_view(request).substr(0, request.size() - 1));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->address.find(' '), std::string::npos);
}

TEST(RenderProtocol, MalformedRequestsAreRefused) {
    for (const char* line :
         {"", "RENDER", "RENDER 10", "RENDER 10 1", "RENDER 10 1 ", "RENDER x 1 http://h/",
          "RENDER -5 1 http://h/", "RENDER 10 2 http://h/", "RENDER 10 11 http://h/",
          "RENDER 99999999999999 0 http://h/", "render 10 1 http://h/", "RENDER 10 1 http://h/ x"})
        EXPECT_FALSE(ParseRenderRequest(line)) << line;
}

TEST(RenderProtocol, AnswerReadsAlikeHoweverThePipeCutsIt) {
    // The document holds what would be lines of the protocol; they are its bytes only.
    const std::string document = "<!DOCTYPE html>\n<p>one\nREQUEST http://h/x\nEND OK\n</p>\n\n";
    const std::vector<std::string> requests{"http://h/a.js", "http://h/data/list.json",
                                            "http://h/img/far.png"};
    std::string stream;
    for (const auto& address : requests)
        stream += FormatRequestLine(address);
    stream += FormatDocument(document);
    stream += FormatEndLine(CRenderEnd::AtLimit);

    for (std::size_t piece :
         {stream.size(), std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{64}}) {
        CRenderAnswerReader reader = ReadInPieces(stream, piece);
        ASSERT_TRUE(reader.PageEnded()) << piece;
        const CRenderedPage page = reader.TakePage();
        EXPECT_EQ(page.requests, requests) << piece;
        EXPECT_EQ(page.document, document) << piece;
        EXPECT_TRUE(page.cutAtLimit);
        EXPECT_TRUE(page.failure.empty());
    }
}

TEST(RenderProtocol, OwnAddressAndRepeatsAreLeftOut) {
    const std::string page = "http://h/p.html";
    const std::string stream = FormatRequestLine("http://h/a.js") + FormatRequestLine(page) +
                               FormatRequestLine("http://h/b.js") +
                               FormatRequestLine("http://h/a.js") +
                               FormatEndLine(CRenderEnd::Settled);
    CRenderAnswerReader reader = ReadInPieces(stream, stream.size(), page);
    ASSERT_TRUE(reader.PageEnded());
    EXPECT_EQ(reader.TakePage().requests,
              (std::vector<std::string>{"http://h/a.js", "http://h/b.js"}));
}

TEST(RenderProtocol, FailureReasonArrivesOnOneLine) {
    const std::string stream = FormatEndLine(CRenderEnd::Failed, "no\nway") + "READY\n";
    CRenderAnswerReader reader = ReadInPieces(stream, stream.size());
    ASSERT_TRUE(reader.PageEnded());
    // The reason's line break did not end the line early: what follows is still READY.
    EXPECT_TRUE(reader.SawReady());
    const CRenderedPage page = reader.TakePage();
    EXPECT_NE(page.failure.find("no"), std::string::npos);
    EXPECT_NE(page.failure.find("way"), std::string::npos);
}

TEST(RenderProtocol, HelperCannotPushPastTheLimits) {
    struct Case {
        const char* what;
        std::string stream;
    };
    const std::vector<Case> cases{
        {"endless line", std::string(CRenderAnswerReader::kMaxLineBytes + 1, 'a')},
        {"huge document",
         "DOCUMENT " + std::to_string(CRenderAnswerReader::kMaxDocumentBytes + 1) + "\n"},
        {"document longer than said", "DOCUMENT 3\nabcd\nEND OK\n"},
        {"bad size", "DOCUMENT 1e3\n"},
        {"unknown answer", "HELLO\n"},
        {"request without address", "REQUEST \n"},
    };
    for (const auto& c : cases) {
        CRenderAnswerReader reader;
        reader.BeginPage("http://h/");
        // Cut in two so that a limit must hold across pieces too.
        const std::size_t half = c.stream.size() / 2;
        const bool whole = reader.Feed(std::string_view(c.stream).substr(0, half)) &&
                           reader.Feed(std::string_view(c.stream).substr(half));
        EXPECT_FALSE(whole) << c.what;
        EXPECT_FALSE(reader.Error().empty()) << c.what;
        EXPECT_FALSE(reader.Feed("END OK\n")) << c.what << ": a broken stream stays broken";
        EXPECT_FALSE(reader.PageEnded()) << c.what;
    }
}
