#pragma once
// The little JSON the program writes: strings, and objects whose members are all strings
// (one per line in a JSON lines file).

#include <map>
#include <optional>
#include <string>
#include <string_view>

// Appends text as a JSON string, quotes included. UTF-8 goes as it is; a byte that is not
// part of a UTF-8 character (an address from a page in another encoding) is written as
// the Latin-1 character of its value, so that the result is always valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

// The members of a JSON object whose values are all strings, as UTF-8; nothing when text
// is anything else (surrounding white space aside).
std::optional<std::map<std::string, std::string>> ReadJsonStringObject(std::string_view text);
