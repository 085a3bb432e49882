#pragma once
// The little JSON tessera-cli prints (a configuration among it).
#include <string>

namespace config {

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace config
