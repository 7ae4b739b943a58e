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
    case CURLE_LOGIN_DENIED:
        return "Login denied";
    default:
        return curl_easy_strerror(static_cast<CURLcode>(curlCode));
    }
}
