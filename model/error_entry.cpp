#include "model/error_entry.h"

#include "web/status_text.h"

std::string ErrorDescription(const CErrorEntry& entry) {
    return entry.reason.empty() ? StatusText(entry.code) : entry.reason;
}
