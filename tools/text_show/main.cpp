// text_show [OUT.png]: draws text through the engine's fonts into a memory image, as the game's
// screens would show it, and writes the picture as a PNG (text.png by default).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen_state.h"
#include "tools/databuild/canvas.h"
#include "tools/databuild/databuild.h"

using namespace tessra;
using namespace tessra::sjis_literals;

namespace {

constexpr int kWidth = 600, kHeight = 168;

// A line drawn into a transparent 32-bit image and laid over the canvas by its alpha (plain and
// edged fonts write opaque pixels, anti-aliased ones their coverage).
void DrawLine(databuild::Canvas* canvas, int font, int x, int y, const char* text, uint32_t color,
              uint32_t edge) {
    MEMIMG image{};
    if (InitMemImg(&image, kWidth, kHeight, -1, 0, kMemImgKindXrgb, 0, 1, 0) != 0) return;
    FillMemImgRect(&image, nullptr, 0);
    const bool antiAliased = (GetFontRecord(font)->type & 2) != 0;
    // Plain and edged pixels carry no alpha: mark them with a value no glyph writes.
    constexpr uint32_t kEmpty = 0x01000000;
    if (!antiAliased) FillMemImgRect(&image, nullptr, kEmpty);
    RenderTextWithCache(kTextDraw, x, y, text, color, &image, nullptr, font, edge, -1, nullptr);
    for (int py = 0; py < kHeight; ++py) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.pixels + py * image.pitch);
        for (int px = 0; px < kWidth; ++px) {
            const uint32_t v = row[px];
            const int a = antiAliased ? static_cast<int>(v >> 24) : (v == kEmpty ? 0 : 255);
            if (a == 0) continue;
            const uint32_t under = canvas->Get(px, py);
            auto mix = [&](int shiftOut, int shiftIn) {
                const int b = static_cast<int>((under >> shiftOut) & 255);
                const int f = static_cast<int>((v >> shiftIn) & 255);
                return (b * (255 - a) + f * a) / 255;
            };
            canvas->Set(px, py, databuild::Rgb(mix(24, 16), mix(16, 8), mix(8, 0)));
        }
    }
    ReleaseMemImg(&image);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string out = argc > 1 ? argv[1] : "text.png";
    // The software screens at 32 bits: fonts need no display.
    ScreenStateRecord& s = GetScreenState();
    s.noDirectDraw = 1;
    s.windowMode = 1;
    s.workingColorBits = 32;
    s.displayColorBits = 32;

    databuild::Canvas canvas(kWidth, kHeight, 0);
    for (int y = 0; y < kHeight; ++y) {
        const int t = y * 256 / kHeight;
        for (int x = 0; x < kWidth; ++x) {
            canvas.Set(x, y,
                       databuild::Mix(databuild::Rgb(24, 32, 72), databuild::Rgb(92, 56, 88), t));
        }
    }
    // The game's default font: "MS UI Gothic" 12, thickness 2, edged.
    StoreDefaultFontFace("MS UI Gothic", -1);
    StoreDefaultFontSize(12);
    StoreDefaultFontThickness(2);
    StoreDefaultFontType(1);
    const int small = QueryDefaultFontHandle();
    const int large = CreateFontToHandle("MS UI Gothic", 24, 4, 0, -1, -1, 0, -1, -1);
    const int smooth = CreateFontToHandle("MS UI Gothic", 24, 4, 3, -1, 2, 0, -1, -1);
    if (!IsFontHandleValid(small) || !IsFontHandleValid(large) || !IsFontHandleValid(smooth)) {
        std::fprintf(stderr, "text_show: no font could be made\n");
        return 1;
    }
    const char* loading = "NOW LOADING";
    const char* sentence = "穴を掘って敵を埋めろ！　宝石は全部で１２個。"_sjis;
    const uint32_t white = 0xFFFFFF, dark = 0x202020, gold = 0xFFD860;
    DrawLine(&canvas, small, 8, 8, loading, white, dark);
    DrawLine(&canvas, small, 8, 26, sentence, white, dark);
    DrawLine(&canvas, large, 8, 48, loading, gold, 0);
    DrawLine(&canvas, large, 8, 76, sentence, white, 0);
    DrawLine(&canvas, smooth, 8, 108, loading, gold, 0x402000);
    DrawLine(&canvas, smooth, 8, 136, sentence, white, 0x101840);

    std::vector<uint8_t> png;
    if (!databuild::EncodePng(canvas, false, &png) || !databuild::WriteFileAtomic(out, png)) {
        std::fprintf(stderr, "text_show: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %dx%d\n", out.c_str(), kWidth, kHeight);
    return 0;
}
