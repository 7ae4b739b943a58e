// The decoder sees a body in whatever pieces the network delivers: every coding must give
// the same text, and the same verdict on its end, however the bytes are split.

#include "engine/content_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "support/codings.h"

namespace {

struct Decoded {
    DecodeResult result = DecodeResult::Ok;
    std::string text;
    bool ended = false;
};

Decoded Decode(const char* codings, const std::string& body, std::size_t pieceSize) {
    Decoded decoded;
    auto decoder = CContentDecoder::ForCodings(codings);
    if (!decoder) {
        decoded.result = DecodeResult::Unreadable;
        return decoded;
    }
    for (std::size_t at = 0; at < body.size() && decoded.result == DecodeResult::Ok;
         at += pieceSize) {
        const std::string piece = body.substr(at, pieceSize);
        decoded.result =
            decoder->Decode(piece.data(), piece.size(), [&](const char* data, std::size_t size) {
                EXPECT_LE(size, kDecodedPieceBytes);
                decoded.text.append(data, size);
                return true;
            });
    }
    decoded.ended = decoder->Ended();
    return decoded;
}

} // namespace

TEST(ContentDecoder, GivesTheWholeTextAndItsEndInAnyPieces) {
    const std::string text = codings::Verbose(100000);
    const std::string gzipTwice =
        codings::Gzip(text.substr(0, 1000)) + codings::Gzip(text.substr(1000));
    const std::string zstdTwice =
        codings::Zstd(text.substr(0, 1000)) + codings::Zstd(text.substr(1000));
    const struct {
        const char* codings;
        std::string body;
    } bodies[] = {
        {"gzip", codings::Gzip(text)},
        {"x-gzip", gzipTwice},
        {"deflate", codings::Zlib(text)},
        {"deflate", codings::Deflated(text, -MAX_WBITS)},
        {"br", codings::Brotli(text)},
        {"zstd", zstdTwice},
        {"Gzip , identity, BR", codings::Brotli(codings::Gzip(text))},
        // What follows a finished stream and is not another member is no part of it.
        {"gzip", codings::Gzip(text) + "\r\n"},
        {"deflate", codings::Zlib(text) + "\x1F\x8B junk"},
        {"br", codings::Brotli(text) + "junk"},
        {"zstd", codings::Zstd(text) + "junk"},
    };
    for (const auto& [names, body] : bodies) {
        for (const std::size_t pieceSize : {std::size_t{1}, std::size_t{3}, std::size_t{8192}}) {
            const Decoded whole = Decode(names, body, pieceSize);
            EXPECT_EQ(whole.result, DecodeResult::Ok) << names << " in " << pieceSize;
            EXPECT_TRUE(whole.text == text) << names << " in " << pieceSize;
            EXPECT_TRUE(whole.ended) << names << " in " << pieceSize;
        }
        for (const std::size_t kept : {std::size_t{1}, body.size() / 2, body.size() - 9}) {
            const Decoded cut = Decode(names, body.substr(0, kept), 7);
            EXPECT_EQ(cut.result, DecodeResult::Ok) << names << " cut to " << kept;
            EXPECT_FALSE(cut.ended) << names << " cut to " << kept;
        }
    }
}

TEST(ContentDecoder, RefusesWhatIsNotItsCoding) {
    EXPECT_EQ(Decode("gzip", "plain text, not gzip", 8192).result, DecodeResult::Unreadable);
    EXPECT_EQ(Decode("zstd", "plain text, not zstd", 8192).result, DecodeResult::Unreadable);
    EXPECT_EQ(Decode("br", std::string(64, '\xFF'), 8192).result, DecodeResult::Unreadable);
    // Codings not known here, and more layers than any server stacks.
    EXPECT_EQ(CContentDecoder::ForCodings("compress"), nullptr);
    EXPECT_EQ(CContentDecoder::ForCodings("gzip, gzip, gzip, gzip, gzip, gzip"), nullptr);
    EXPECT_NE(CContentDecoder::ForCodings("gzip, gzip, gzip, gzip, gzip"), nullptr);
}
