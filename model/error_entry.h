#pragma once
// One address that failed for good, as the Errors list shows it.

#include <cstdint>
#include <string>

// The code of an address whose file could not be stored (libcurl's CURLE_WRITE_ERROR,
// negated like every transfer error).
inline constexpr int kErrorNotStored = -23;
// No server answered at the address's host and port (CURLE_COULDNT_CONNECT).
inline constexpr int kErrorCannotConnect = -7;

struct CErrorEntry {
    int code = 0;          // last HTTP status, or a negative transfer error
    std::int64_t time = 0; // calendar seconds when the entry was made
    std::string address;   // the full address text
    // What happened, in words, where the code does not say it (a connection, transfer or
    // save failure); empty for a plain HTTP answer.
    std::string reason;
};

// The words the Errors list shows for an entry: its reason, or the status code's text.
std::string ErrorDescription(const CErrorEntry& entry);
