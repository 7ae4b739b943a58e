#pragma once
// Bodies in each Content-Encoding a server may send, for tests of compressed answers.

#include <brotli/encode.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
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

// `bytes` bytes of `fill`, coded without ever holding them: a small answer that decodes
// to a huge file. Fed to the encoders a megabyte at a time.
inline constexpr std::size_t kRunPieceBytes = std::size_t{1} << 20;

// zlib's fastest level codes a run at only about 230 to 1; its best at about 1030 to 1.
inline std::string GzipOfRun(std::size_t bytes, char fill = '\0', int level = Z_BEST_COMPRESSION) {
    const std::string piece(kRunPieceBytes, fill);
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out;
    char buffer[16384];
    for (std::size_t left = bytes;;) {
        const std::size_t given = std::min(left, piece.size());
        left -= given;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        stream.avail_in = static_cast<uInt>(given);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            status = deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
        if (left == 0)
            break;
    }
    deflateEnd(&stream);
    return out;
}

inline std::string BrotliOfRun(std::size_t bytes, char fill = '\0') {
    const std::string piece(kRunPieceBytes, fill);
    BrotliEncoderState* state = BrotliEncoderCreateInstance(nullptr, nullptr, nullptr);
    BrotliEncoderSetParameter(state, BROTLI_PARAM_QUALITY, 5);
    std::string out;
    std::uint8_t buffer[16384];
    for (std::size_t left = bytes;;) {
        std::size_t availableIn = std::min(left, piece.size());
        left -= availableIn;
        const auto* nextIn = reinterpret_cast<const std::uint8_t*>(piece.data());
        const BrotliEncoderOperation operation =
            left == 0 ? BROTLI_OPERATION_FINISH : BROTLI_OPERATION_PROCESS;
        do {
            std::size_t availableOut = sizeof buffer;
            std::uint8_t* nextOut = buffer;
            BrotliEncoderCompressStream(state, operation, &availableIn, &nextIn, &availableOut,
                                        &nextOut, nullptr);
            out.append(reinterpret_cast<const char*>(buffer), sizeof buffer - availableOut);
        } while (availableIn > 0 || BrotliEncoderHasMoreOutput(state) ||
                 (operation == BROTLI_OPERATION_FINISH && !BrotliEncoderIsFinished(state)));
        if (left == 0)
            break;
    }
    BrotliEncoderDestroyInstance(state);
    return out;
}

inline std::string ZstdOfRun(std::size_t bytes, char fill = '\0') {
    const std::string piece(kRunPieceBytes, fill);
    ZSTD_CCtx* context = ZSTD_createCCtx();
    std::string out;
    char buffer[16384];
    for (std::size_t left = bytes;;) {
        const std::size_t given = std::min(left, piece.size());
        left -= given;
        ZSTD_inBuffer input{piece.data(), given, 0};
        const ZSTD_EndDirective mode = left == 0 ? ZSTD_e_end : ZSTD_e_continue;
        std::size_t remaining = 0;
        do {
            ZSTD_outBuffer output{buffer, sizeof buffer, 0};
            remaining = ZSTD_compressStream2(context, &output, &input, mode);
            out.append(buffer, output.pos);
        } while (input.pos < input.size || (mode == ZSTD_e_end && remaining != 0));
        if (left == 0)
            break;
    }
    ZSTD_freeCCtx(context);
    return out;
}

// Bombs: a few kilobytes that decode to kBombBytes of zeros. Each is made once per test
// binary, as making one takes a fraction of a second.
inline constexpr std::size_t kBombBytes = std::size_t{100} << 20;

// Sent as "gzip, gzip": a single gzip layer cannot pass about 1030 to 1.
inline const std::string& DoubleGzipBomb() {
    static const std::string body = Gzip(GzipOfRun(kBombBytes));
    return body;
}

inline const std::string& BrotliBomb() {
    static const std::string body = BrotliOfRun(kBombBytes);
    return body;
}

inline const std::string& ZstdBomb() {
    static const std::string body = ZstdOfRun(kBombBytes);
    return body;
}

// A text that compresses well but is not all one byte.
inline std::string Verbose(std::size_t bytes) {
    std::string text;
    for (int i = 0; text.size() < bytes; ++i)
        text += "line " + std::to_string(i % 97) + " of a long and repetitive file\n";
    return text;
}

} // namespace codings
