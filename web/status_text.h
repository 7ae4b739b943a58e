#pragma once
// Short words for HTTP status codes, as the Errors list shows them.

#include <string>

// "?" for a code the table does not hold (also 0 and negative transfer errors).
std::string StatusText(int code);
