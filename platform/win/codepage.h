// Code page 932 (Shift-JIS) and UTF-8, for text that crosses to SDL and the terminal.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// Characters that do not convert become '?'.
std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

}  // namespace plat
