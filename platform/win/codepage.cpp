// Shift-JIS <-> UTF-8 through iconv's CP932, and Korean (CP949) to UTF-8.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/win/codepage.h"

namespace plat {
namespace {

// Bytes of the character that starts at p (left bytes remain), so that one character that does
// not convert becomes one '?', not one per byte.
size_t Utf8CharLength(const unsigned char* p, size_t left) {
    size_t n = p[0] >= 0xF0 && p[0] <= 0xF4 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC2 ? 2 : 1;
    if (p[0] > 0xF4 || n > left) return 1;
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 1;
    }
    return n;
}

size_t SjisCharLength(const unsigned char* p, size_t left) {
    bool lead = IsSjisLeadByte(p[0]);
    bool trail = left >= 2 && p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F;
    return lead && trail ? 2 : 1;
}

// Korean: a lead byte 0x81-0xFE and a trail byte 0x41-0xFE form one character.
size_t Cp949CharLength(const unsigned char* p, size_t left) {
    const bool lead = p[0] >= 0x81 && p[0] <= 0xFE;
    const bool trail = left >= 2 && p[1] >= 0x41 && p[1] <= 0xFE;
    return lead && trail ? 2 : 1;
}

// The one converter: false when anything was marked.
bool Convert(const char* to, const char* from, std::string_view text,
             size_t (*charLength)(const unsigned char*, size_t), std::string* result) {
    std::string& out = *result;
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep the ASCII part.
        for (char c : text) out += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
        return false;
    }
    bool exact = true;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // A character with no counterpart, or an invalid or cut-off sequence: mark it and
            // go on after it.
            out += '?';
            exact = false;
            size_t skip = charLength(reinterpret_cast<const unsigned char*>(in), inLeft);
            in += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return exact;
}

}  // namespace

bool TrySjisToUtf8(std::string_view sjis, std::string* out) {
    return Convert("UTF-8", "CP932", sjis, SjisCharLength, out);
}

bool TryUtf8ToSjis(std::string_view utf8, std::string* out) {
    return Convert("CP932", "UTF-8", utf8, Utf8CharLength, out);
}

bool TryCodePageToUtf8(unsigned codePage, std::string_view text, std::string* out) {
    if (codePage == 932) return TrySjisToUtf8(text, out);
    if (codePage == 949) return Convert("UTF-8", "CP949", text, Cp949CharLength, out);
    out->clear();
    return false;
}

std::string SjisToUtf8(std::string_view sjis) {
    std::string out;
    TrySjisToUtf8(sjis, &out);
    return out;
}

bool Utf8ToUtf32(std::string_view utf8, std::u32string* out) {
    out->clear();
    for (size_t i = 0; i < utf8.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(utf8.data()) + i;
        const size_t n = Utf8CharLength(p, utf8.size() - i);
        uint32_t c = p[0];
        if (n == 1 && c >= 0x80) return false;
        if (n == 2) c = (c & 0x1F) << 6 | (p[1] & 0x3F);
        if (n == 3) c = (c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        if (n == 4) c = (c & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
        out->push_back(static_cast<char32_t>(c));
        i += n;
    }
    return true;
}

namespace {

// UTF-8 to UTF-16 (surrogate pairs above the basic plane); false on a malformed sequence.
bool Utf8ToUtf16(std::string_view utf8, std::u16string* out) {
    out->clear();
    std::u32string characters;
    if (!Utf8ToUtf32(utf8, &characters)) return false;
    for (char32_t c : characters) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(c));
        }
    }
    return true;
}

bool Utf16ToUtf8(std::u16string_view utf16, std::string* out) {
    out->clear();
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t c = utf16[i];
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 >= utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] >= 0xE000)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c < 0xE000) {
            return false;
        }
        if (c < 0x80) {
            *out += static_cast<char>(c);
        } else if (c < 0x800) {
            *out += static_cast<char>(0xC0 | c >> 6);
            *out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out += static_cast<char>(0xE0 | c >> 12);
            *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | c >> 18);
            *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

}  // namespace

int MultiByteToWideChar(UINT, DWORD, const char* text, int length, WCHAR* out, int outUnits) {
    if (text == nullptr || out == nullptr || outUnits <= 0) return 0;
    const bool terminated = length < 0;
    const std::string_view in =
        terminated ? std::string_view(text) : std::string_view(text, static_cast<size_t>(length));
    std::string utf8;
    std::u16string wide;
    if (!TrySjisToUtf8(in, &utf8) || !Utf8ToUtf16(utf8, &wide)) return 0;
    if (terminated) wide.push_back(u'\0');
    if (wide.size() > static_cast<size_t>(outUnits)) return 0;
    std::copy(wide.begin(), wide.end(), out);
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT, DWORD, const WCHAR* text, int length, char* out, int outBytes,
                        const char*, BOOL* usedDefault) {
    if (usedDefault != nullptr) *usedDefault = FALSE;
    if (text == nullptr || out == nullptr || outBytes <= 0) return 0;
    const bool terminated = length < 0;
    const std::u16string_view in = terminated
                                       ? std::u16string_view(text)
                                       : std::u16string_view(text, static_cast<size_t>(length));
    std::string utf8, sjis;
    if (!Utf16ToUtf8(in, &utf8) || !TryUtf8ToSjis(utf8, &sjis)) {
        if (usedDefault != nullptr) *usedDefault = TRUE;
        return 0;
    }
    if (terminated) sjis.push_back('\0');
    if (sjis.size() > static_cast<size_t>(outBytes)) return 0;
    std::copy(sjis.begin(), sjis.end(), out);
    return static_cast<int>(sjis.size());
}

std::string Utf8ToSjis(std::string_view utf8) {
    std::string out;
    TryUtf8ToSjis(utf8, &out);
    return out;
}

}  // namespace plat
