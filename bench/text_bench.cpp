// Characters per second of a 40-character Shift-JIS line drawn in the game's default font
// ("MS UI Gothic" 12, thickness 2, edged) into a 640x480 memory image: with every glyph cached,
// and with the cache emptied before each line so each glyph is rendered again. The reference is
// FreeType rendering the same 40 glyphs (1 bit, as the edged font asks) from the same face.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>

#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen_state.h"

namespace {

using namespace tessra::sjis_literals;

// Forty characters: kanji, kana, full-width and ASCII.
const char kLineUtf8[] = "穴を掘って敵を埋めろ！宝石は全部で１２個。NOW LOADING 3/4 ok!";

struct Scene {
    int font = -1;
    tessra::MEMIMG target{};
    std::string line;
    Scene(int depth) {
        tessra::ScreenStateRecord& s = tessra::GetScreenState();
        s.noDirectDraw = 1;
        s.windowMode = 1;
        s.workingColorBits = static_cast<uint32_t>(depth);
        s.displayColorBits = static_cast<uint32_t>(depth);
        font = tessra::CreateFontToHandle("MS UI Gothic", 12, 2, 1, -1, -1, 0, -1, -1);
        tessra::InitMemImg(&target, 640, 480, -1, 0,
                           depth == 16 ? tessra::kMemImgKind565 : tessra::kMemImgKindXrgb, 0, 0, 0);
        line = tessra::SjisText(kLineUtf8);
    }
    ~Scene() {
        tessra::ReleaseFontHandle(font);
        tessra::ReleaseMemImg(&target);
    }
    int Characters() const {
        int count = 0;
        tessra::CacheStringGlyphs(font, line.c_str(), -1, nullptr, &count);
        return count;
    }
    void Draw(int y) {
        benchmark::DoNotOptimize(tessra::RenderTextWithCache(tessra::kTextDraw, 8, y, line.c_str(),
                                                             0xFFFFFF, &target, nullptr, font, 0,
                                                             -1, nullptr));
    }
};

void TextCached(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    const int characters = scene.Characters();
    if (characters != 40) state.SkipWithError("the line is not 40 characters");
    int y = 0;
    for (auto _ : state) {
        scene.Draw(y);
        y = (y + 16) % 464;
    }
    state.counters["chars/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * characters, benchmark::Counter::kIsRate);
}

void TextUncached(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    const int characters = scene.Characters();
    int y = 0;
    for (auto _ : state) {
        tessra::ClearFontGlyphCache(scene.font);
        scene.Draw(y);
        y = (y + 16) % 464;
    }
    state.counters["chars/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * characters, benchmark::Counter::kIsRate);
}

// The face fontconfig gives for a Japanese gothic, at 12 pixels.
void FreeTypeReference(benchmark::State& state) {
    FcInit();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (match == nullptr || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch ||
        FT_Init_FreeType(&library) != 0 ||
        FT_New_Face(library, reinterpret_cast<const char*>(file), 0, &face) != 0) {
        state.SkipWithError("no Japanese face");
        return;
    }
    FT_Set_Pixel_Sizes(face, 0, 12);
    std::u32string line;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(kLineUtf8); *p;) {
        char32_t c = *p;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra == 0 ? 0x7F : (0x3F >> extra);
        for (++p; extra > 0; --extra, ++p) c = (c << 6) | (*p & 0x3F);
        line += c;
    }
    for (auto _ : state) {
        for (char32_t c : line) {
            FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
    }
    state.counters["chars/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * line.size(), benchmark::Counter::kIsRate);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
}

BENCHMARK(TextCached)->Arg(16)->Arg(32);
BENCHMARK(TextUncached)->Arg(16)->Arg(32);
BENCHMARK(FreeTypeReference);

}  // namespace

BENCHMARK_MAIN();
