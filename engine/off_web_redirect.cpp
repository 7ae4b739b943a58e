#include "engine/off_web_redirect.h"

#include "web/byte_text.h"
#include "web/url.h"

bool LeavesTheWeb(std::string_view target) {
    // A browser skips leading controls and spaces before it looks for a scheme.
    std::string_view trimmed = target;
    while (!trimmed.empty() && static_cast<unsigned char>(trimmed.front()) <= 0x20)
        trimmed.remove_prefix(1);
    std::string browserScheme;
    AppendLowerAscii(browserScheme, SchemeNameOf(trimmed));
    for (const std::string& scheme : {CUrl::SchemeOf(target), browserScheme}) {
        if (!scheme.empty() && scheme != "http" && scheme != "https")
            return true;
    }
    return false;
}

std::string OffWebRedirectStub(std::string_view target) {
    // Controls, spaces and bytes above 127 as an address bar shows them, markup as text.
    std::string printable;
    AppendPercentEscaped(printable, target,
                         [](unsigned char byte) { return byte > 0x20 && byte < 0x7F; });
    std::string text;
    for (const char c : printable) {
        const char* reference = c == '&'    ? "&amp;"
                                : c == '<'  ? "&lt;"
                                : c == '>'  ? "&gt;"
                                : c == '"'  ? "&quot;"
                                : c == '\'' ? "&#39;"
                                            : nullptr;
        if (reference != nullptr)
            text += reference;
        else
            text += c;
    }
    return "<html>\r\n<head>\r\n</head>\r\n<body>\r\nRedirects to <code>" + text +
           "</code>, which the copy does not open.\r\n</body>\r\n</html>\r\n";
}
