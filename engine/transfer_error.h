#pragma once
// Short words for why a transfer failed before (or while) an answer arrived, as the
// Errors list shows them beside the negative code (minus libcurl's error number).

#include <string>

// "Could not connect to the server", "Host not found", "Timed out", ...; libcurl's own
// text for an error without words of ours.
std::string TransferErrorText(int curlCode);
