#pragma once
// The little JSON tessera-cli prints.
#include <string>

namespace cli {

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace cli
