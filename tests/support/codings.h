#pragma once
// Bodies in each Content-Encoding a server may send, for tests of compressed answers.

#include <brotli/encode.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdint>
#include <string>

namespace codings {

// zlib's deflate with the given window bits: 15 + 16 gives gzip, 15 zlib, -15 bare deflate.
inline std::string Deflated(const std::string& text, int windowBits) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

inline std::string Gzip(const std::string& text) {
    return Deflated(text, 16 + MAX_WBITS);
}

// "deflate" as the standard has it: a zlib stream.
inline std::string Zlib(const std::string& text) {
    return Deflated(text, MAX_WBITS);
}

inline std::string Brotli(const std::string& text) {
    std::size_t size = BrotliEncoderMaxCompressedSize(text.size());
    std::string out(size, '\0');
    BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC,
                          text.size(), reinterpret_cast<const std::uint8_t*>(text.data()), &size,
                          reinterpret_cast<std::uint8_t*>(out.data()));
    out.resize(size);
    return out;
}

inline std::string Zstd(const std::string& text) {
    std::string out(ZSTD_compressBound(text.size()), '\0');
    out.resize(ZSTD_compress(out.data(), out.size(), text.data(), text.size(), 3));
    return out;
}

// A text that compresses well but is not all one byte.
inline std::string Verbose(std::size_t bytes) {
    std::string text;
    for (int i = 0; text.size() < bytes; ++i)
        text += "line " + std::to_string(i % 97) + " of a long and repetitive file\n";
    return text;
}

} // namespace codings
