#include "engine/http_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <exception>
#include <utility>

#include "engine/content_decoder.h"
#include "engine/cookie_jar.h"
#include "web/byte_text.h"

#if LIBCURL_VERSION_NUM < 0x075500
#error "libcurl 7.85 or later is needed (CURLOPT_PROTOCOLS_STR, CURLOPT_PREREQFUNCTION)"
#endif

namespace {

constexpr std::size_t kBodyPieceBytes = 8192;

// The request target as libcurl must see it: its URL parser refuses spaces and
// controls and would cut the text at "#", and a request line carries ASCII only.
void AppendRequestTarget(std::string& url, std::string_view objectName) {
    AppendPercentEscaped(url, objectName, [](unsigned char byte) {
        return byte > 0x20 && byte < 0x7F && byte != '#';
    });
}

std::string RequestUrl(std::string_view scheme, const std::string& host, int port,
                       std::string_view objectName) {
    std::string url;
    url.reserve(scheme.size() + host.size() + objectName.size() + 16);
    url += scheme;
    url += "://";
    const bool ipv6Literal = host.find(':') != std::string::npos && !host.starts_with('[');
    if (ipv6Literal)
        url += '[';
    url += host;
    if (ipv6Literal)
        url += ']';
    url += ':';
    url += std::to_string(port);
    url += '/';
    AppendRequestTarget(url, objectName);
    return url;
}

// Failures to reach the server at all, worth another connection attempt. A time-out
// counts only while no connection stood (the caller checks), since the stall limit
// gives the same code once the request is out.
bool IsConnectFailure(CURLcode code) {
    return code == CURLE_COULDNT_CONNECT || code == CURLE_OPERATION_TIMEDOUT;
}

// Every value of the header called name, joined as one list ("gzip, br").
std::string HeaderList(std::string_view rawHeaders, std::string_view name) {
    std::string list;
    while (!rawHeaders.empty()) {
        const std::size_t end = std::min(rawHeaders.find("\r\n"), rawHeaders.size());
        const std::string_view value = HeaderValue(rawHeaders.substr(0, end), name);
        rawHeaders.remove_prefix(std::min(end + 2, rawHeaders.size()));
        if (value.empty())
            continue;
        if (!list.empty())
            list += ", ";
        list += value;
    }
    return list;
}

// The status and the headers of the answer libcurl holds.
void ReadAnswerHeaders(CURL* curl, const std::string& rawHeaders, CHttpAnswer& answer) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    answer.status = static_cast<int>(status);
    if (answer.status == 0)
        return;
    curl_off_t value = -1;
    if (curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &value) == CURLE_OK && value > 0)
        answer.lastModified = value;
    value = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &value) == CURLE_OK &&
        value > 0)
        answer.contentLength = value;
    const char* contentType = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK &&
        contentType != nullptr)
        AppendLowerAscii(answer.contentType, contentType);
    AppendLowerAscii(answer.contentEncoding, HeaderList(rawHeaders, "Content-Encoding"));
    if (answer.contentEncoding == "identity")
        answer.contentEncoding.clear();
    answer.etag = HeaderValue(rawHeaders, "ETag");
    const std::string retryAfter(HeaderValue(rawHeaders, "Retry-After"));
    if (!retryAfter.empty() && retryAfter.find_first_not_of("0123456789") == std::string::npos) {
        answer.retryAfter = retryAfter.size() > 9 ? 999999999 : std::stoll(retryAfter);
    } else if (!retryAfter.empty()) {
        const time_t when = curl_getdate(retryAfter.c_str(), nullptr);
        if (when != -1)
            answer.retryAfter = std::max<std::int64_t>(0, when - std::time(nullptr));
    }
}

} // namespace

std::string_view HeaderValue(std::string_view rawHeaders, std::string_view name) {
    while (!rawHeaders.empty()) {
        const std::size_t end = std::min(rawHeaders.find("\r\n"), rawHeaders.size());
        const std::string_view line = rawHeaders.substr(0, end);
        rawHeaders.remove_prefix(std::min(end + 2, rawHeaders.size()));
        if (line.size() > name.size() && line[name.size()] == ':' &&
            EqualsIgnoringAsciiCase(line.substr(0, name.size()), name)) {
            // Spaces and tabs around a value are not part of it.
            std::string_view value = line.substr(name.size() + 1);
            const std::size_t first = value.find_first_not_of(" \t");
            if (first == std::string_view::npos)
                return {};
            value.remove_prefix(first);
            return value.substr(0, value.find_last_not_of(" \t") + 1);
        }
    }
    return {};
}

bool CInternetSession::Initialise() {
    static std::once_flag once;
    static bool usable = false;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            return;
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        if (info == nullptr || (info->features & CURL_VERSION_SSL) == 0)
            return;
        for (const char* const* protocol = info->protocols; protocol && *protocol; ++protocol) {
            if (std::strcmp(*protocol, "https") == 0)
                usable = true;
        }
    });
    return usable;
}

void CInternetSession::SetOptions(const CSessionOptions& options) {
    std::lock_guard lock(m_mutex);
    m_options = options;
}

CSessionOptions CInternetSession::GetOptions() const {
    std::lock_guard lock(m_mutex);
    return m_options;
}

void CInternetSession::SetCookieJar(std::shared_ptr<CCookieJar> jar) {
    std::lock_guard lock(m_mutex);
    m_jar = std::move(jar);
}

std::shared_ptr<CCookieJar> CInternetSession::CookieJar() const {
    std::lock_guard lock(m_mutex);
    return m_jar;
}

// The easy handle lives as long as the connection object so that libcurl keeps the
// server's connection open between requests. The callbacks run inside
// curl_easy_perform on the requesting thread and fill the per-request fields.
struct CHttpConnection::Transfer {
    CURL* curl = nullptr;
    curl_slist* headers = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    const CHttpRequest* request = nullptr;
    const std::atomic<bool>* abort = nullptr;
    std::string rawHeaders;
    // The 200 answer's headers were shown to the request's onHeaders, with this outcome.
    bool decided = false;
    BodyUse use = BodyUse::Keep;
    // Undoes the answer's Content-Encoding for the sink; unreadable: the body is not of
    // that coding; expanding: it decodes to far more than any honest answer.
    std::unique_ptr<CContentDecoder> decoder;
    bool unreadable = false;
    bool expanding = false;
    // The blank line after the final answer's headers arrived; what follows it (chunked
    // trailers) is not part of the block.
    bool headerBlockEnded = false;
    bool connected = false;
    std::exception_ptr sinkException;

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer() {
        if (curl != nullptr)
            curl_easy_cleanup(curl);
        curl_slist_free_all(headers);
    }

    void StartRequest(const CHttpRequest& started, const std::atomic<bool>& requestAbort) {
        request = &started;
        abort = &requestAbort;
        rawHeaders.clear();
        decided = false;
        use = BodyUse::Keep;
        decoder.reset();
        unreadable = false;
        expanding = false;
        headerBlockEnded = false;
        connected = false;
        sinkException = nullptr;
        errorBuffer[0] = '\0';
    }

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static int OnConnected(void* self, char*, char*, int, int);
};

std::size_t CHttpConnection::Transfer::OnHeader(char* data, std::size_t size, std::size_t count,
                                                void* self) {
    auto& transfer = *static_cast<Transfer*>(self);
    const std::size_t bytes = size * count;
    std::string_view line(data, bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    // Every answer starts with its status line: a 100 Continue, a proxy's CONNECT reply
    // or a 401 before the login are thrown away when the next answer begins.
    if (line.starts_with("HTTP/")) {
        transfer.rawHeaders.clear();
        transfer.headerBlockEnded = false;
    } else if (line.empty()) {
        transfer.headerBlockEnded = true;
        return bytes;
    }
    if (!transfer.headerBlockEnded) {
        transfer.rawHeaders += line;
        transfer.rawHeaders += "\r\n";
    }
    return bytes;
}

std::size_t CHttpConnection::Transfer::OnBody(char* data, std::size_t size, std::size_t count,
                                              void* self) {
    auto& transfer = *static_cast<Transfer*>(self);
    const std::size_t bytes = size * count;
    constexpr std::size_t kStop = 0; // any count other than bytes makes libcurl stop
    if (bytes == 0)
        return 0;
    if (transfer.abort->load())
        return kStop;
    long status = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
        return bytes;
    const CHttpRequest& request = *transfer.request;
    // Exceptions must not unwind through libcurl; they are thrown again after it returns.
    try {
        if (!transfer.decided) {
            transfer.decided = true;
            CHttpAnswer headers;
            ReadAnswerHeaders(transfer.curl, transfer.rawHeaders, headers);
            if (request.onHeaders)
                transfer.use = request.onHeaders(headers);
            if (transfer.use == BodyUse::Keep && request.sink && !headers.contentEncoding.empty()) {
                transfer.decoder = CContentDecoder::ForCodings(headers.contentEncoding);
                transfer.unreadable = !transfer.decoder;
            }
        }
        if (transfer.use == BodyUse::Stop || transfer.unreadable)
            return kStop;
        if (transfer.use == BodyUse::Drop || !request.sink)
            return bytes;
        if (transfer.decoder) {
            const DecodeResult result = transfer.decoder->Decode(data, bytes, request.sink);
            transfer.unreadable = result == DecodeResult::Unreadable;
            transfer.expanding = result == DecodeResult::Expanding;
            return result == DecodeResult::Ok ? bytes : kStop;
        }
        for (std::size_t done = 0; done < bytes;) {
            const std::size_t piece = std::min(kBodyPieceBytes, bytes - done);
            if (!request.sink(data + done, piece))
                return kStop;
            done += piece;
        }
    } catch (...) {
        transfer.sinkException = std::current_exception();
        return kStop;
    }
    return bytes;
}

int CHttpConnection::Transfer::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t,
                                          curl_off_t) {
    return static_cast<Transfer*>(self)->abort->load() ? 1 : 0;
}

int CHttpConnection::Transfer::OnConnected(void* self, char*, char*, int, int) {
    static_cast<Transfer*>(self)->connected = true;
    return CURL_PREREQFUNC_OK;
}

CHttpConnection::CHttpConnection(CInternetSession& session, std::string host, int port,
                                 std::string user, std::string password)
    : m_session(session), m_host(std::move(host)), m_port(port), m_user(std::move(user)),
      m_password(std::move(password)), m_jar(session.CookieJar()),
      m_transfer(std::make_unique<Transfer>()) {
    if (!CInternetSession::Initialise())
        return;
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return;
    Transfer& transfer = *m_transfer;
    transfer.curl = curl;
    transfer.headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    transfer.headers = curl_slist_append(transfer.headers, "Pragma: no-cache");

    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, transfer.headers);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    // The codings the connection decodes itself: libcurl takes a stream cut short for a
    // whole one when Content-Length is met. The stored file is the decoded body.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate, br, zstd");
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kBodyPieceBytes));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &Transfer::OnConnected);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &transfer);
    if (m_jar)
        m_jar->AttachTo(curl);
    if (!m_user.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str());
        // With two methods allowed libcurl asks first without a login and answers the
        // server's challenge; the handle then remembers the method for later requests.
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC | CURLAUTH_DIGEST);
    }
}

CHttpConnection::~CHttpConnection() = default;

CHttpAnswer CHttpConnection::Request(std::string_view verb, std::string_view scheme,
                                     std::string_view objectName, const BodySink& sink,
                                     const std::atomic<bool>& abort) {
    CHttpRequest request;
    request.verb = verb;
    request.scheme = scheme;
    request.objectName = objectName;
    request.sink = sink;
    return Request(request, abort);
}

CHttpAnswer CHttpConnection::Request(const CHttpRequest& request, const std::atomic<bool>& abort) {
    CHttpAnswer answer;
    Transfer& transfer = *m_transfer;
    CURL* curl = transfer.curl;
    if (curl == nullptr) {
        answer.curlError = CURLE_FAILED_INIT;
        answer.errorText = curl_easy_strerror(CURLE_FAILED_INIT);
        return answer;
    }

    const CSessionOptions options = m_session.GetOptions();
    const std::string url = RequestUrl(request.scheme, m_host, m_port, request.objectName);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // HTTPGET also clears NOBODY and any custom verb left by the previous request.
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    if (request.verb == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (request.verb != "GET") {
        const std::string customVerb(request.verb);
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, customVerb.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_TIMECONDITION,
                     static_cast<long>(request.ifModifiedSince > 0 ? CURL_TIMECOND_IFMODSINCE
                                                                   : CURL_TIMECOND_NONE));
    curl_easy_setopt(curl, CURLOPT_TIMEVALUE_LARGE,
                     static_cast<curl_off_t>(std::max<std::int64_t>(0, request.ifModifiedSince)));
    // The fixed headers, plus this request's own; the fixed ones stand again however the
    // request ends.
    struct RequestHeaders {
        CURL* curl;
        curl_slist* fixed;
        curl_slist* own = nullptr;
        ~RequestHeaders() {
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, fixed);
            curl_slist_free_all(own);
        }
    } requestHeaders{curl, transfer.headers};
    const bool conditionSent = !request.ifNoneMatch.empty() &&
                               request.ifNoneMatch.find_first_of("\r\n") == std::string::npos;
    if (conditionSent || !options.extraHeaders.empty()) {
        for (const curl_slist* header = transfer.headers; header; header = header->next)
            requestHeaders.own = curl_slist_append(requestHeaders.own, header->data);
        // A line break would let a header start another one.
        for (const std::string& header : options.extraHeaders) {
            if (header.find_first_of("\r\n") == std::string::npos)
                requestHeaders.own = curl_slist_append(requestHeaders.own, header.c_str());
        }
        if (conditionSent)
            requestHeaders.own = curl_slist_append(
                requestHeaders.own, ("If-None-Match: " + request.ifNoneMatch).c_str());
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER,
                     requestHeaders.own != nullptr ? requestHeaders.own : transfer.headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                     static_cast<long>(std::max(0, options.connectTimeoutSeconds)));
    // The stall limit also bounds the wait for the answer's headers.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::max(0, options.requestTimeoutSeconds)));
    const std::string userAgent =
        options.userAgent.empty() ? std::string("Quarn/" QUARN_VERSION) : options.userAgent;
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.c_str());

    const int attempts = std::max(1, options.connectRetries);
    CURLcode code = CURLE_OK;
    for (int attempt = 1;; ++attempt) {
        if (abort.load()) {
            code = CURLE_ABORTED_BY_CALLBACK;
            transfer.errorBuffer[0] = '\0';
            break;
        }
        transfer.StartRequest(request, abort);
        code = curl_easy_perform(curl);
        if (transfer.sinkException)
            std::rethrow_exception(std::exchange(transfer.sinkException, nullptr));
        if (code == CURLE_OK || attempt >= attempts || transfer.connected ||
            !IsConnectFailure(code))
            break;
    }
    ReadAnswerHeaders(curl, transfer.rawHeaders, answer);
    // A body the request did not want is no failure.
    if (transfer.use == BodyUse::Stop && code == CURLE_WRITE_ERROR)
        code = CURLE_OK;
    // Whatever Content-Length said, only the coding tells whether the whole body came.
    const bool codingFailed = (transfer.unreadable && code == CURLE_WRITE_ERROR) ||
                              (code == CURLE_OK && transfer.decoder && !transfer.decoder->Ended());
    if (codingFailed) {
        code = transfer.unreadable ? CURLE_BAD_CONTENT_ENCODING : CURLE_PARTIAL_FILE;
        transfer.errorBuffer[0] = '\0';
    } else if (transfer.expanding && code == CURLE_WRITE_ERROR) {
        code = CURLE_FILESIZE_EXCEEDED;
        transfer.errorBuffer[0] = '\0';
    }
    answer.curlError = code;
    answer.reached = transfer.connected;
    answer.aborted = code != CURLE_OK && abort.load();
    if (code != CURLE_OK) {
        answer.errorText =
            transfer.errorBuffer[0] != '\0' ? transfer.errorBuffer : curl_easy_strerror(code);
    }
    if (answer.status != 0)
        answer.rawHeaders = std::move(transfer.rawHeaders);
    return answer;
}
