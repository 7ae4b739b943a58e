#pragma once
// How an element's value is written when the plain form would not bring it back: the
// element's tags carry the marker (<PASSWORD escaped>...</PASSWORD escaped>), and "&",
// "<", ">", control bytes and a leading space are written as character references. Every
// other value stays plain, so files holding none of these read as they always did, and an
// earlier version's "&amp;" is never taken for "&".

#include <string>
#include <string_view>

// Ends the text of both tags of an escaped value.
inline constexpr std::string_view kEscapedTagMarker = " escaped";

// True for a value a plain line would garble: one holding "<" or a control byte (line
// breaks, tabs and form feeds are dropped on reading, a zero byte ends the text) or
// starting with a space (leading spaces are dropped).
bool ValueNeedsEscaping(std::string_view value);

void AppendEscapedValue(std::string& out, std::string_view value);

// Undoes AppendEscapedValue. A "&" that starts no reference it knows stays as it is.
std::string UnescapeValue(std::string_view text);
