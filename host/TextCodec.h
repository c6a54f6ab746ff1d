#pragma once
// Conversions between the script's UTF-8 text and the host's wide strings (node names, interface
// names). Invalid UTF-8 bytes become U+FFFD rather than failing, so any script text is usable.
#include <string>
#include <string_view>

namespace velmora::host {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// Shortest decimal text that reads back as the same float.
std::string formatFloat(float v);

}  // namespace velmora::host
