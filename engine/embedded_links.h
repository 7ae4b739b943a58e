#pragma once
// Addresses held inside larger values: the candidates of a srcset, the target of a
// refresh, and the url() values and @import rules of a style sheet. Each rewriter hands
// every address, as written, to a callback that returns its new text (the same text to
// keep it), and keeps every other byte of the value.

#include <functional>
#include <string>
#include <string_view>

using LinkRewriter = std::function<std::string(std::string_view)>;

// "a.png 1x, b.png 2x": each candidate's address; descriptors and separators stay.
std::string RewriteSrcset(std::string_view value, const LinkRewriter& rewrite);

// "5; url=next.htm": the address after the delay. A value without one is kept.
std::string RewriteRefresh(std::string_view value, const LinkRewriter& rewrite);

// Every url() (quoted or not) and every @import string of a style sheet; comments and
// other strings are skipped, and values with escapes are left as written. Returns
// whether anything changed; only then does out hold the new text.
bool RewriteStyleSheet(std::string_view css, const LinkRewriter& rewrite, std::string& out);
