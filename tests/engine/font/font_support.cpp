#include "font_support.h"

#include "engine/font/font.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"

namespace tessra::font_test {

bool TestFace::Render(char32_t c, bool, plat::GlyphImage* out) {
    if (c == U' ' || c == U'\u3000') {
        *out = {0, 0, 0, 0, 4, {}};
        return true;
    }
    if (c == U'A') {
        *out = {3, 1, 1, 7, 6, {255, 136, 0}};
        return true;
    }
    if (c == U'\u6F22') {
        *out = {2, 2, 0, 9, 12, {255, 255, 255, 255}};
        return true;
    }
    if ((c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'B' && c <= U'Z')) {
        *out = {1, 1, 0, 10, 2, {255}};
        return true;
    }
    return false;
}

void FontFixture::SetUp() {
    LogFixture::SetUp();
    plat::testing::Reset();
    ResetScreenStateForTests();
    GetScreenState().noDirectDraw = 1;
    SetDepth(32);
    plat::testing::SetGlyphFaceFactory([this](const plat::FontRequest&) {
        ++faceRequests;
        return std::make_unique<TestFace>(faceWidth);
    });
}

void FontFixture::TearDown() {
    FontTable& table = GetFontTable();
    for (int32_t slot = 0; slot < kFontSlots; ++slot) {
        if (table.records[slot] != nullptr) {
            ReleaseFontHandle(MakeEngineHandle(kFontHandleKind, table.records[slot]->check, slot));
        }
    }
    ResetFontDefaults();
    DeleteAllSurfaces2D();
    ResetScreenStateForTests();
    plat::testing::Reset();
    LogFixture::TearDown();
}

void FontFixture::SetDepth(int bits) {
    ScreenStateRecord& s = GetScreenState();
    s.windowMode = 1;
    s.workingColorBits = static_cast<uint32_t>(bits);
    s.displayColorBits = static_cast<uint32_t>(bits);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        s.paletteEntries[i] = {v, v, v, 0};
    }
}

}  // namespace tessra::font_test
