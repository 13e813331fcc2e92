// Shift-JIS <-> UTF-8 through iconv's CP932, and Korean (CP949) to UTF-8.
#include <iconv.h>

#include <cerrno>
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

std::string Utf8ToSjis(std::string_view utf8) {
    std::string out;
    TryUtf8ToSjis(utf8, &out);
    return out;
}

}  // namespace plat
