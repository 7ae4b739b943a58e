#pragma once
// Short words for why a transfer failed before (or while) an answer arrived, as the
// Errors list shows them beside the negative code (minus libcurl's error number).

#include <string>

// "Could not connect to the server", "Host not found", "Timed out", ...; libcurl's own
// text for an error without words of ours.
std::string TransferErrorText(int curlCode);

// Whether a fetch that failed with code (an HTTP status, or minus libcurl's error number)
// may succeed when asked again: time-outs, lost connections, cut transfers, 408, 429 and
// server errors but 501. Any other answer is the server's last word, as is an address
// that cannot be used.
bool WorthRetrying(int code);
