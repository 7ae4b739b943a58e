#pragma once
// Attribute values as a browser reads them and as they are written back. A value is
// read with its character references decoded; a value written back encodes "&" and its
// quote, so that reading it again gives the same text.

#include <string>
#include <string_view>

// Decodes &amp; &lt; &gt; &quot; &apos; and numeric references (&#38; &#x26;); any other
// "&" is kept as it is.
std::string DecodeCharacterReferences(std::string_view value);

// The quote to write value in: `quote` (0 = none) when the value reads back the same in
// it, else '"' unless the value holds one and no "'".
char QuoteForValue(std::string_view value, char quote);

// Appends value with "&" and the quote character encoded as references.
void AppendAttributeValue(std::string& out, std::string_view value, char quote);

// value with each byte listed in `unsafe` percent-escaped.
std::string PercentEscapeBytes(std::string value, std::string_view unsafe);
