// Shift-JIS <-> UTF-8 through iconv's CP932.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/win/codepage.h"

namespace plat {
namespace {

std::string Convert(const char* to, const char* from, std::string_view text) {
    std::string out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep the ASCII part.
        for (char c : text) out += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
        return out;
    }
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
            // An invalid or cut-off sequence: mark it and go on after its first byte.
            out += '?';
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) { return Convert("UTF-8", "CP932", sjis); }

std::string Utf8ToSjis(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8); }

}  // namespace plat
