#pragma once
// The HTTP layer over libcurl. One CInternetSession holds the options every transfer
// uses; each worker owns one CHttpConnection (a curl easy handle), which keeps its
// keep-alive connection while consecutive requests stay on one server and port.
//
// Requests never follow redirects, never use a cache, verify HTTPS certificates and
// take the proxy from libcurl's usual environment variables. They accept gzip, deflate,
// brotli and zstd and deliver decoded bodies; a coded stream that stops before its end
// fails as a cut transfer (CURLE_PARTIAL_FILE), and one that is not of its coding as
// CURLE_BAD_CONTENT_ENCODING, whatever Content-Length says. A body that expands beyond
// reason (see CContentDecoder) is cut as soon as it does and fails as
// CURLE_FILESIZE_EXCEEDED; the sink has then had at most kExpansionFloorBytes of it.
// They speak HTTP/1.1 only, so header names arrive in the server's own letter case
// (HTTP/2 lowers them, and the worker looks for "Location:" exactly).
//
// Threads: the session may be used by any number of threads at once; a connection by
// one thread at a time.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/server_gate.h"

class CCookieJar;

// Transfer options; set at every site start, read at every request.
struct CSessionOptions {
    int connectTimeoutSeconds = 30;
    // A transfer that receives nothing for this long fails.
    int requestTimeoutSeconds = 30;
    // Connection attempts per request (at least one). Only a failure to reach the
    // server is tried again, never one after the request went out.
    int connectRetries = 3;
    // Sent as User-Agent; empty sends "Quarn/" and the program's version.
    std::string userAgent;
    // "Name: value" lines every request carries; a line with a line break is not sent.
    std::vector<std::string> extraHeaders;
};

class CInternetSession {
public:
    // Initialises libcurl once for the process. False when libcurl is unusable or does
    // not speak HTTPS.
    static bool Initialise();

    void SetOptions(const CSessionOptions& options);
    CSessionOptions GetOptions() const;
    // Which servers are busy, for every worker of the crawl.
    CServerGate& Gate() { return m_gate; }
    // The crawl's cookie jar; null sends no cookies and keeps none. Connections made
    // from then on use it.
    void SetCookieJar(std::shared_ptr<CCookieJar> jar);
    // Whether a crawl whose login expired pauses (the window) or stops.
    void SetPauseWhenLoginExpires(bool pause) { m_pauseOnLoginExpiry = pause; }
    bool PausesWhenLoginExpires() const { return m_pauseOnLoginExpiry.load(); }
    std::shared_ptr<CCookieJar> CookieJar() const;

private:
    mutable std::mutex m_mutex;
    CSessionOptions m_options;
    std::atomic<bool> m_pauseOnLoginExpiry{false};
    std::shared_ptr<CCookieJar> m_jar;
    CServerGate m_gate;
};

// The value of the header called name (any letter case) in a raw header block, without
// the spaces and tabs around it; empty when absent.
std::string_view HeaderValue(std::string_view rawHeaders, std::string_view name);

// One answer's status and the headers the worker reads.
struct CHttpAnswer {
    // The HTTP status; 0 when none arrived.
    int status = 0;
    // libcurl's error number (CURLcode); 0 when the exchange completed.
    int curlError = 0;
    // A connection to the server stood and the request went out on it: a failure since
    // is the server's (a cut or silent answer), not the address's.
    bool reached = false;
    // The abort flag stopped the request; curlError is then set too.
    bool aborted = false;
    // The status line and header lines as received, separated by CR LF (the last
    // answer's only, when several arrived).
    std::string rawHeaders;
    // Last-Modified in seconds since 1970 (UTC); 0 when absent or unreadable.
    std::int64_t lastModified = 0;
    // Content-Length; 0 when absent.
    std::int64_t contentLength = 0;
    // Content-Type in lower case; empty when absent.
    std::string contentType;
    // Content-Encoding in lower case; empty when absent. When set, contentLength counts
    // encoded bytes, not the file's.
    std::string contentEncoding;
    // ETag as sent, quotes included; empty when absent.
    std::string etag;
    // Retry-After in seconds from now (a date is converted); -1 when absent or unreadable.
    std::int64_t retryAfter = -1;
    // The error's text when curlError is set.
    std::string errorText;
};

// What to do with a 200 answer's body once its headers are known.
enum class BodyUse {
    Keep, // pass it to the sink
    Drop, // read it and throw it away, which keeps the connection for the next request
    Stop, // end the transfer now; the connection is closed
};

class CHttpConnection;

// One request and what its caller wants to hear of it.
struct CHttpRequest {
    using BodySink = std::function<bool(const char* data, std::size_t size)>;

    std::string_view verb = "GET";
    std::string_view scheme = "http";
    std::string_view objectName;
    // A conditional GET: If-Modified-Since (seconds since 1970; 0 sends none) and
    // If-None-Match (sent when not empty). An unchanged file answers 304. A server that
    // ignores the condition but sends a Last-Modified no later than ifModifiedSince is
    // taken as a 304 too, and its body is not read.
    std::int64_t ifModifiedSince = 0;
    std::string ifNoneMatch;
    // Sees a 200 answer's headers before its first body byte (not called when the body
    // is empty).
    std::function<BodyUse(const CHttpAnswer& headers)> onHeaders;
    BodySink sink;
};

class CHttpConnection {
public:
    // Receives the body in pieces of at most 8192 bytes; returning false stops the
    // transfer (the answer then has curlError set to CURLE_WRITE_ERROR). Only the body
    // of a 200 answer arrives here: other answers' bodies (error pages, redirects) are
    // read and dropped, which keeps the connection open for the next request.
    using BodySink = std::function<bool(const char* data, std::size_t size)>;

    CHttpConnection(CInternetSession& session, std::string host, int port, std::string user,
                    std::string password);
    ~CHttpConnection();
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    const std::string& Host() const { return m_host; }
    int Port() const { return m_port; }
    // The cookie jar the session had when the connection was made.
    const CCookieJar* Jar() const { return m_jar.get(); }

    // Sends verb ("HEAD" or "GET") for objectName (the path without its leading "/")
    // over scheme ("http" or "https") and waits for the answer; a GET's body goes to
    // sink. abort is polled during the transfer (at least about once a second while
    // the server is silent); when it becomes true the request ends with aborted set.
    //
    // objectName goes out as given, dot segments included, except that bytes a request
    // line cannot carry (controls, space, "#", bytes above 127) are sent
    // percent-encoded; an existing "%xx" is left alone. Transfer failures come back
    // in the answer; an exception thrown by sink is passed on once the transfer stopped.
    CHttpAnswer Request(std::string_view verb, std::string_view scheme, std::string_view objectName,
                        const BodySink& sink, const std::atomic<bool>& abort);
    // The same, with the conditions and the header hook of request.
    CHttpAnswer Request(const CHttpRequest& request, const std::atomic<bool>& abort);

private:
    CInternetSession& m_session;
    std::string m_host;
    int m_port;
    std::string m_user;
    std::string m_password;
    // Held so that the jar outlives the easy handle attached to it.
    std::shared_ptr<CCookieJar> m_jar;
    struct Transfer; // the easy handle and what its callbacks fill
    std::unique_ptr<Transfer> m_transfer;
};
