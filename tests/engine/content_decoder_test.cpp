// The decoder sees a body in whatever pieces the network delivers: every coding must give
// the same text, and the same verdict on its end, however the bytes are split.

#include "engine/content_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "support/codings.h"

namespace {

// The text decoded from body fed in pieces of pieceSize; nothing when the decoder refused.
std::optional<std::string> Decode(const char* codings, const std::string& body,
                                  std::size_t pieceSize, bool& ended) {
    const auto decoder = CContentDecoder::ForCodings(codings);
    std::string text;
    for (std::size_t at = 0; at < body.size(); at += pieceSize) {
        const std::string piece = body.substr(at, pieceSize);
        if (decoder->Decode(piece.data(), piece.size(), [&](const char* data, std::size_t size) {
                text.append(data, size);
                return size <= kDecodedPieceBytes;
            }) != DecodeResult::Ok)
            return std::nullopt;
    }
    ended = decoder->Ended();
    return text;
}

} // namespace

TEST(ContentDecoder, GivesTheWholeTextAndItsEndInAnyPieces) {
    const std::string text = codings::Verbose(100000);
    const std::string head = text.substr(0, 1000);
    const std::string rest = text.substr(1000);
    const std::pair<const char*, std::string> bodies[] = {
        {"x-gzip", codings::Gzip(head) + codings::Gzip(rest)},
        {"deflate", codings::Deflated(text, -MAX_WBITS)},
        {"zstd", codings::Zstd(head) + codings::Zstd(rest)},
        {"Gzip , identity, BR", codings::Brotli(codings::Gzip(text))},
        // What follows a finished stream and starts no further member is no part of it.
        {"gzip", codings::Gzip(text) + "\r\n"},
        {"deflate", codings::Zlib(text) + "\x1F\x8B junk"},
        {"br", codings::Brotli(text) + "junk"},
        {"zstd", codings::Zstd(text) + "junk"},
    };
    for (const auto& [names, body] : bodies) {
        for (const std::size_t pieceSize : {1, 3, 8192}) {
            bool ended = false;
            EXPECT_TRUE(Decode(names, body, pieceSize, ended) == text) << names << pieceSize;
            EXPECT_TRUE(ended) << names << " in pieces of " << pieceSize;
            EXPECT_TRUE(Decode(names, body.substr(0, body.size() - 9), pieceSize, ended));
            EXPECT_FALSE(ended) << names << " cut, in pieces of " << pieceSize;
        }
    }
}

TEST(ContentDecoder, RefusesBytesNotOfItsCodingAndCodingsItDoesNotKnow) {
    bool ended = false;
    EXPECT_FALSE(Decode("zstd", "plain text, not zstd", 8192, ended));
    EXPECT_EQ(CContentDecoder::ForCodings("compress"), nullptr);
    // More layers than any server stacks would only wear down the stack.
    EXPECT_EQ(CContentDecoder::ForCodings("gzip, gzip, gzip, gzip, gzip, gzip"), nullptr);
}

// A body that decodes past the floor at more than the ratio to the coded bytes read so far
// stops at the floor, whatever its coding; a large one of a sane ratio, or one that stays
// under the floor, decodes whole.
TEST(ContentDecoder, StopsABombAtTheFloorAndLetsHonestBodiesThrough) {
    struct Case {
        const char* codings;
        std::string body;
        std::uint64_t textBytes;
        DecodeResult result;
    };
    constexpr std::uint64_t kFloor = kExpansionFloorBytes;
    const Case cases[] = {
        {"gzip, gzip", codings::DoubleGzipBomb(), codings::kBombBytes, DecodeResult::Expanding},
        {"br", codings::BrotliBomb(), codings::kBombBytes, DecodeResult::Expanding},
        {"zstd", codings::ZstdBomb(), codings::kBombBytes, DecodeResult::Expanding},
        {"gzip, gzip", codings::Gzip(codings::GzipOfRun(kFloor, '\0', Z_BEST_SPEED)), kFloor,
         DecodeResult::Ok},
        {"gzip, gzip", codings::Gzip(codings::GzipOfRun(kFloor + 1, '\0', Z_BEST_SPEED)),
         kFloor + 1, DecodeResult::Expanding},
        // About 230 to 1, and larger than the floor.
        {"gzip", codings::GzipOfRun(kFloor + (6 << 20), '\0', Z_BEST_SPEED), kFloor + (6 << 20),
         DecodeResult::Ok},
    };
    for (const Case& test : cases) {
        const auto decoder = CContentDecoder::ForCodings(test.codings);
        std::uint64_t decoded = 0;
        const auto sink = [&](const char*, std::size_t size) {
            decoded += size;
            return true;
        };
        DecodeResult result = DecodeResult::Ok;
        for (std::size_t at = 0; at < test.body.size() && result == DecodeResult::Ok; at += 8192) {
            const std::size_t size = std::min<std::size_t>(8192, test.body.size() - at);
            result = decoder->Decode(test.body.data() + at, size, sink);
        }
        const std::string name =
            std::string(test.codings) + " of " + std::to_string(test.textBytes) + " bytes";
        EXPECT_EQ(result, test.result) << name;
        if (test.result == DecodeResult::Ok) {
            EXPECT_EQ(decoded, test.textBytes) << name;
            EXPECT_TRUE(decoder->Ended()) << name;
        } else {
            // Stopped at the floor, not after it, and not long before.
            EXPECT_LE(decoded, kFloor) << name;
            EXPECT_GT(decoded, kFloor - kDecodedPieceBytes) << name;
        }
    }
}
