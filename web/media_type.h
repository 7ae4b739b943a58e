#pragma once
// The media type a stored file is served with, from its extension: a copy has no server to
// say it, and browsers refuse module scripts, workers and style sheets of the wrong type.

#include <string_view>

// Letter case does not count; "application/octet-stream" for an unknown extension.
std::string_view MediaTypeOfFile(std::string_view fileName);
