#include "engine/transfer_error.h"

#include <curl/curl.h>

std::string TransferErrorText(int curlCode) {
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        return "Scheme not supported";
    case CURLE_URL_MALFORMAT:
        return "Malformed address";
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "Proxy not found";
    case CURLE_COULDNT_RESOLVE_HOST:
        return "Host not found";
    case CURLE_COULDNT_CONNECT:
        return "Could not connect to the server";
    case CURLE_WEIRD_SERVER_REPLY:
        return "Unreadable answer from the server";
    case CURLE_PARTIAL_FILE:
        return "Transfer ended early";
    case CURLE_OPERATION_TIMEDOUT:
        return "Timed out";
    case CURLE_TOO_MANY_REDIRECTS:
        return "Too many redirects";
    case CURLE_GOT_NOTHING:
        return "Empty answer from the server";
    case CURLE_SEND_ERROR:
        return "Connection lost while sending";
    case CURLE_RECV_ERROR:
        return "Connection lost while receiving";
    case CURLE_SSL_CONNECT_ERROR:
        return "Secure connection failed";
    case CURLE_PEER_FAILED_VERIFICATION:
        return "Server certificate not trusted";
    case CURLE_BAD_CONTENT_ENCODING:
        return "Unreadable compressed answer";
    case CURLE_FILESIZE_EXCEEDED: // libcurl is given no size limit: only a bomb gives this
        return "Answer expands beyond reason";
    case CURLE_LOGIN_DENIED:
        return "Login denied";
    default:
        return curl_easy_strerror(static_cast<CURLcode>(curlCode));
    }
}

bool WorthRetrying(int code) {
    if (code > 0)
        return code == 408 || code == 429 || (code >= 500 && code <= 599 && code != 501);
    switch (static_cast<CURLcode>(-code)) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_LOGIN_DENIED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_WRITE_ERROR: // our own: the file could not be saved
        return false;
    default:
        return true;
    }
}
