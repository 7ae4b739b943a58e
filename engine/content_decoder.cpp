#include "engine/content_decoder.h"

#include <brotli/decode.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <utility>

#include "web/byte_text.h"

class CContentDecoder::Stage {
public:
    virtual ~Stage() = default;
    virtual DecodeResult Decode(const char* data, std::size_t size, const Sink& out) = 0;
    virtual bool Ended() const = 0;
};

namespace {

using Sink = CContentDecoder::Sink;

// Servers nest codings rarely and never deeply; a longer list is an attack on the stack.
constexpr std::size_t kMostCodings = 5;

// Moves bytes from data into held until it holds want of them, for a decision that needs
// that many first bytes; true once it does.
bool Gather(std::string& held, std::size_t want, const char*& data, std::size_t& size) {
    const std::size_t taken = std::min(size, want - std::min(want, held.size()));
    held.append(data, taken);
    data += taken;
    size -= taken;
    return held.size() >= want;
}

// Decodes bytes that were held back, through the same decode as the rest.
template <typename Decode> DecodeResult DecodeHeld(std::string& held, Decode&& decode) {
    const std::string bytes = std::exchange(held, {});
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    return decode(data, size);
}

// A coding whose body may hold several members one after another (gzip members, zstd
// frames). After a member's end the next bytes are decoded only when they start another
// member; anything else there is not part of the body and is ignored, as browsers do.
class MemberStage : public CContentDecoder::Stage {
public:
    DecodeResult Decode(const char* data, std::size_t size, const Sink& out) final {
        while (size > 0 && !m_ignoringRest) {
            if (!m_memberEnded) {
                const std::size_t before = size;
                if (const DecodeResult result = DecodeMember(data, size, out);
                    result != DecodeResult::Ok)
                    return result;
                if (size == before && !m_memberEnded)
                    break; // no progress; never spin
                continue;
            }
            if (!Gather(m_following, MagicSize(), data, size))
                break;
            if (!StartsMember(m_following)) {
                m_ignoringRest = true;
                break;
            }
            StartNextMember();
            m_memberEnded = false;
            if (const DecodeResult result = DecodeHeld(m_following,
                                                       [&](const char*& held, std::size_t& left) {
                                                           return DecodeMember(held, left, out);
                                                       });
                result != DecodeResult::Ok)
                return result;
        }
        return DecodeResult::Ok;
    }

    bool Ended() const final { return m_memberEnded; }

protected:
    // Decodes from data until the member ends (leaving data at what follows it, with
    // MemberEnded called) or all of it is taken.
    virtual DecodeResult DecodeMember(const char*& data, std::size_t& size, const Sink& out) = 0;
    virtual std::size_t MagicSize() const = 0;
    virtual bool StartsMember(std::string_view magic) const = 0;
    virtual void StartNextMember() = 0;
    void MemberEnded() { m_memberEnded = true; }

private:
    bool m_memberEnded = false;
    bool m_ignoringRest = false;
    std::string m_following; // bytes after a member's end, until its magic can be told
};

// gzip and deflate. "deflate" should be a zlib stream, but many servers send the bare
// deflate data, which browsers accept too; the first two bytes tell which.
class ZlibStage final : public MemberStage {
public:
    explicit ZlibStage(bool gzip) : m_gzip(gzip) {}
    ~ZlibStage() override {
        if (m_started)
            inflateEnd(&m_stream);
    }

protected:
    DecodeResult DecodeMember(const char*& data, std::size_t& size, const Sink& out) override {
        if (!m_started) {
            if (!m_gzip && !Gather(m_head, 2, data, size))
                return DecodeResult::Ok;
            // gzip's automatic detection also takes a zlib stream labelled gzip.
            const int windowBits = m_gzip            ? MAX_WBITS + 32
                                   : HasZlibHeader() ? MAX_WBITS
                                                     : -MAX_WBITS;
            if (inflateInit2(&m_stream, windowBits) != Z_OK)
                return DecodeResult::Unreadable;
            m_started = true;
            if (!m_head.empty()) {
                if (const DecodeResult result = DecodeHeld(
                        m_head, [&](const char*& held,
                                    std::size_t& left) { return Inflate(held, left, out); });
                    result != DecodeResult::Ok)
                    return result;
            }
        }
        return Inflate(data, size, out);
    }
    // Only gzip has members; a deflate stream ends once.
    std::size_t MagicSize() const override { return 2; }
    bool StartsMember(std::string_view magic) const override {
        return m_gzip && magic == "\x1F\x8B";
    }
    void StartNextMember() override { inflateReset(&m_stream); }

private:
    bool HasZlibHeader() const {
        const auto method = static_cast<unsigned char>(m_head[0]);
        const auto flags = static_cast<unsigned char>(m_head[1]);
        return (method & 0x0F) == Z_DEFLATED && (method >> 4) + 8 <= MAX_WBITS &&
               (method * 256 + flags) % 31 == 0;
    }

    DecodeResult Inflate(const char*& data, std::size_t& size, const Sink& out) {
        char piece[kDecodedPieceBytes];
        do {
            const auto given = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
            m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
            m_stream.avail_in = given;
            m_stream.next_out = reinterpret_cast<Bytef*>(piece);
            m_stream.avail_out = sizeof piece;
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            const std::size_t taken = given - m_stream.avail_in;
            data += taken;
            size -= taken;
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                return DecodeResult::Unreadable;
            const std::size_t produced = sizeof piece - m_stream.avail_out;
            if (produced > 0 && !out(piece, produced))
                return DecodeResult::Refused;
            if (status == Z_STREAM_END) {
                MemberEnded();
                break;
            }
            if (status == Z_BUF_ERROR) // nothing more to do without more input
                break;
            // A filled piece may leave text waiting even when all input went in.
        } while (size > 0 || m_stream.avail_out == 0);
        return DecodeResult::Ok;
    }

    z_stream m_stream{};
    const bool m_gzip;
    bool m_started = false;
    std::string m_head; // deflate: the first bytes, until the header can be told
};

class ZstdStage final : public MemberStage {
public:
    ZstdStage() : m_context(ZSTD_createDCtx()) {
        // The window HTTP's zstd coding stays within (RFC 9659); a frame asking for more
        // memory is refused.
        constexpr int kWindowLog = 23;
        if (m_context != nullptr &&
            ZSTD_isError(ZSTD_DCtx_setParameter(m_context, ZSTD_d_windowLogMax, kWindowLog))) {
            ZSTD_freeDCtx(m_context);
            m_context = nullptr;
        }
    }
    ~ZstdStage() override { ZSTD_freeDCtx(m_context); }

protected:
    DecodeResult DecodeMember(const char*& data, std::size_t& size, const Sink& out) override {
        if (m_context == nullptr)
            return DecodeResult::Unreadable;
        ZSTD_inBuffer input{data, size, 0};
        DecodeResult result = DecodeResult::Ok;
        for (;;) {
            char piece[kDecodedPieceBytes];
            ZSTD_outBuffer output{piece, sizeof piece, 0};
            // Stops at the end of a frame, leaving what follows in input.
            const std::size_t hint = ZSTD_decompressStream(m_context, &output, &input);
            if (ZSTD_isError(hint)) {
                result = DecodeResult::Unreadable;
                break;
            }
            if (output.pos > 0 && !out(piece, output.pos)) {
                result = DecodeResult::Refused;
                break;
            }
            if (hint == 0) { // the frame is complete and all its text is out
                MemberEnded();
                break;
            }
            if (input.pos == input.size && output.pos < output.size)
                break;
        }
        data += input.pos;
        size -= input.pos;
        return result;
    }
    // Frames and skippable frames.
    std::size_t MagicSize() const override { return 4; }
    bool StartsMember(std::string_view magic) const override {
        return magic == "\x28\xB5\x2F\xFD" ||
               ((static_cast<unsigned char>(magic[0]) & 0xF0) == 0x50 &&
                magic.substr(1) == "\x2A\x4D\x18");
    }
    void StartNextMember() override {}

private:
    ZSTD_DCtx* m_context;
};

// A brotli stream ends once; nothing after its end belongs to the body.
class BrotliStage final : public CContentDecoder::Stage {
public:
    BrotliStage() : m_state(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {}
    ~BrotliStage() override { BrotliDecoderDestroyInstance(m_state); }

    DecodeResult Decode(const char* data, std::size_t size, const Sink& out) override {
        if (m_state == nullptr)
            return DecodeResult::Unreadable;
        std::size_t availableIn = size;
        const auto* nextIn = reinterpret_cast<const std::uint8_t*>(data);
        while (!m_ended) {
            std::uint8_t piece[kDecodedPieceBytes];
            std::size_t availableOut = sizeof piece;
            std::uint8_t* nextOut = piece;
            const BrotliDecoderResult result = BrotliDecoderDecompressStream(
                m_state, &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
            if (result == BROTLI_DECODER_RESULT_ERROR)
                return DecodeResult::Unreadable;
            const std::size_t produced = sizeof piece - availableOut;
            if (produced > 0 && !out(reinterpret_cast<const char*>(piece), produced))
                return DecodeResult::Refused;
            m_ended = result == BROTLI_DECODER_RESULT_SUCCESS;
            if (result == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT)
                break;
        }
        return DecodeResult::Ok;
    }

    bool Ended() const override { return m_ended; }

private:
    BrotliDecoderState* m_state;
    bool m_ended = false;
};

std::unique_ptr<CContentDecoder::Stage> StageFor(std::string_view coding) {
    if (coding == "gzip" || coding == "x-gzip")
        return std::make_unique<ZlibStage>(true);
    if (coding == "deflate")
        return std::make_unique<ZlibStage>(false);
    if (coding == "br")
        return std::make_unique<BrotliStage>();
    if (coding == "zstd")
        return std::make_unique<ZstdStage>();
    return nullptr;
}

} // namespace

std::unique_ptr<CContentDecoder> CContentDecoder::ForCodings(std::string_view contentEncoding) {
    std::unique_ptr<CContentDecoder> decoder(new CContentDecoder);
    while (!contentEncoding.empty()) {
        const std::size_t comma = std::min(contentEncoding.find(','), contentEncoding.size());
        std::string coding;
        AppendLowerAscii(coding, TrimSpaces(contentEncoding.substr(0, comma)));
        contentEncoding.remove_prefix(std::min(comma + 1, contentEncoding.size()));
        if (coding.empty() || coding == "identity")
            continue;
        auto stage = StageFor(coding);
        if (!stage || decoder->m_stages.size() == kMostCodings)
            return nullptr;
        // The coding applied last is undone first.
        decoder->m_stages.insert(decoder->m_stages.begin(), std::move(stage));
    }
    return decoder;
}

CContentDecoder::~CContentDecoder() = default;

DecodeResult CContentDecoder::Decode(const char* data, std::size_t size, const Sink& sink) {
    if (size == 0)
        return DecodeResult::Ok;
    m_codedBytes += size;
    return DecodeFrom(0, data, size, sink);
}

bool CContentDecoder::Ended() const {
    return std::all_of(m_stages.begin(), m_stages.end(),
                       [](const auto& stage) { return stage->Ended(); });
}

DecodeResult CContentDecoder::DecodeFrom(std::size_t stage, const char* data, std::size_t size,
                                         const Sink& sink) {
    if (stage == m_stages.size()) {
        const std::uint64_t decoded = m_decodedBytes + size;
        if (decoded > kExpansionFloorBytes && decoded > m_codedBytes * kMostExpansion)
            return DecodeResult::Expanding;
        m_decodedBytes = decoded;
        return sink(data, size) ? DecodeResult::Ok : DecodeResult::Refused;
    }
    DecodeResult later = DecodeResult::Ok;
    const DecodeResult result =
        m_stages[stage]->Decode(data, size, [&](const char* piece, std::size_t pieceSize) {
            later = DecodeFrom(stage + 1, piece, pieceSize, sink);
            return later == DecodeResult::Ok;
        });
    return later != DecodeResult::Ok ? later : result;
}
