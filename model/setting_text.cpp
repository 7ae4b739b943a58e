#include "model/setting_text.h"

#include "model/file_path.h"
#include "model/shared_text.h"

std::string FormatBoolSetting(bool value) {
    return value ? "TRUE" : "FALSE";
}

bool ParseBoolSetting(std::string_view text) {
    return text == "TRUE";
}

std::int64_t ParseIntSetting(std::string_view text, std::int64_t min, std::int64_t max) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulate towards the sign so that the most negative value fits.
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            if (value < (min + digit) / 10)
                return min;
            value = value * 10 - digit;
        } else {
            if (value > (max - digit) / 10)
                return max;
            value = value * 10 + digit;
        }
    }
    return value < min ? min : value > max ? max : value;
}

std::string DefaultContentDirectory(std::string_view siteName) {
    return g_strSitesDir.Get() + kPathSeparator + std::string(siteName);
}
