// The one way from a UTF-8 text in the source to its Shift-JIS (code page 932) bytes, which is
// what the engine and the game show and store:
//
//     using namespace tessra::sjis_literals;
//     AppendLog("ウインドウを閉じようとしています\n"_sjis);
//
// Header-only on purpose: the game reaches it through engine/tessra.h and its tests do not link
// the engine.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/win/codepage.h"

namespace tessra {

// The Shift-JIS form of a UTF-8 text, converted once and kept for the life of the process,
// so the pointer may be stored. A text with no Shift-JIS form is a mistake in the source:
// it stops the program with a message naming it.
inline const char* SjisText(std::string_view utf8) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::string> cache;  // nodes never move
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(std::string(utf8));
    if (found != cache.end()) return found->second.c_str();
    std::string sjis;
    if (!plat::TryUtf8ToSjis(utf8, &sjis)) {
        std::fprintf(stderr, "no Shift-JIS form for the text \"%.*s\"\n",
                     static_cast<int>(utf8.size()), utf8.data());
        std::abort();
    }
    return cache.emplace(std::string(utf8), std::move(sjis)).first->second.c_str();
}

namespace sjis_literals {

inline const char* operator""_sjis(const char* text, size_t size) {
    return SjisText(std::string_view(text, size));
}

}  // namespace sjis_literals
}  // namespace tessra
