// Code page 932 (Shift-JIS) and UTF-8, for text that crosses to SDL and the terminal; code page
// 949 (Korean) only towards UTF-8, for the glyphs of Hangul fonts.
#pragma once

#include <string>
#include <string_view>

#include "platform/win/types.h"

namespace plat {

// The one test for a Shift-JIS lead byte (0x81-0x9F, 0xE0-0xFC): it and the byte after it form
// one character, and that trail byte is never a separator or a letter.
inline bool IsSjisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Characters that do not convert become '?'.
std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

// The same conversions, answering false when a character did not convert (or no converter
// exists); out then holds the text with its '?' marks.
bool TrySjisToUtf8(std::string_view sjis, std::string* out);
bool TryUtf8ToSjis(std::string_view utf8, std::string* out);
// Text of code page 932 or 949 to UTF-8, as TrySjisToUtf8; false for any other code page.
bool TryCodePageToUtf8(unsigned codePage, std::string_view text, std::string* out);

// UTF-8 to its characters; false on a malformed sequence (out then holds those before it).
bool Utf8ToUtf32(std::string_view utf8, std::u32string* out);

// Code page 932 (CP_ACP, as the engine's text is) to UTF-16 and back. A length of -1 takes the
// text up to its terminating 0 and writes the terminator too. The result is the number of units
// (bytes) written, or 0 when the output does not fit or a character does not convert.
constexpr UINT CP_ACP = 0;
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length, WCHAR* out,
                        int outUnits);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* text, int length, char* out,
                        int outBytes, const char* defaultChar, BOOL* usedDefault);

}  // namespace plat
