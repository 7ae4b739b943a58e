#pragma once
// Decodes a body sent with a Content-Encoding as it arrives, and tells whether the coded
// stream reached its end. A stream cut short still decodes to plausible text, and its
// Content-Length may well be met: only the coding itself (a gzip trailer, the last
// block of a deflate stream, the end of a brotli stream or a zstd frame) says that the
// text is whole.
//
// Memory stays bounded by the codings' windows (zstd's is held to 8 MB) however far a
// body expands; the decoded text leaves in pieces of at most kDecodedPieceBytes. Disk is
// bounded too: a body whose text grows past kExpansionFloorBytes while it is more than
// kMostExpansion times the coded bytes read so far is a bomb, and decoding stops before
// the piece that would pass both bounds. The test looks at what arrived so far, so a
// bomb stops after at most kExpansionFloorBytes of text, however long its wire stream.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

inline constexpr std::size_t kDecodedPieceBytes = 8192;
// No honest answer expands this much: text over the floor at more than this many times
// its coded size stops the decoding.
inline constexpr std::uint64_t kMostExpansion = 1000;
inline constexpr std::uint64_t kExpansionFloorBytes = std::uint64_t{64} << 20;

enum class DecodeResult {
    Ok,
    Refused,    // the sink returned false
    Unreadable, // the bytes are not of the coding the answer named
    Expanding,  // the text grew beyond reason for its coded size (see above)
};

class CContentDecoder {
public:
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    // The decoder for a Content-Encoding value: "gzip" (or "x-gzip"), "deflate", "br",
    // "zstd", "identity", or a list of them in the order they were applied ("gzip, br").
    // Null when the value names a coding not known here, or more codings than any
    // server applies.
    static std::unique_ptr<CContentDecoder> ForCodings(std::string_view contentEncoding);

    ~CContentDecoder();
    CContentDecoder(const CContentDecoder&) = delete;
    CContentDecoder& operator=(const CContentDecoder&) = delete;

    // Decodes the next bytes of the body and passes the text they complete to sink. Once
    // a call returns anything but Ok, the decoder is of no further use.
    DecodeResult Decode(const char* data, std::size_t size, const Sink& sink);
    // Whether every coding's stream has reached its end. Bytes that follow the end are
    // ignored, except further gzip members and zstd frames, which are decoded too.
    bool Ended() const;

    // One coding's decoder; the list holds them in the order they are undone.
    class Stage;

private:
    CContentDecoder() = default;
    DecodeResult DecodeFrom(std::size_t stage, const char* data, std::size_t size,
                            const Sink& sink);

    std::vector<std::unique_ptr<Stage>> m_stages;
    std::uint64_t m_codedBytes = 0;   // given to Decode
    std::uint64_t m_decodedBytes = 0; // passed to the sink
};
