// A synthetic face and a fixture for tests that make fonts through their handles: no DirectDraw
// object is needed (the software screens), the log is the test's own, and every font, surface and
// default is gone afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/base/log_test_support.h"
#include "engine/font/font.h"
#include "platform/testing.h"

namespace tessra::font_test {

// Ascent 10, descent 3. "A": three pixels of one row, coverage 255, 136 and 0, one pixel right of
// the pen and 7 above the baseline, advancing 6. U+6F22: a 2x2 block advancing 12. Digits and
// letters other than "A": one full pixel at the pen's top row, advancing 2. Space: advance 4.
class TestFace final : public plat::GlyphFace {
public:
    explicit TestFace(int maxAdvance) : maxAdvance_(maxAdvance) {}
    plat::FaceMetrics Metrics() const override { return {10, 3, maxAdvance_, 6}; }
    bool Render(char32_t c, bool oneBit, plat::GlyphImage* out) override;

private:
    int maxAdvance_;
};

class FontFixture : public LogFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // The screens' working depth (8, 16 or 32) in window mode, so screen colours have the
    // standard formats; at 8 bits palette entry i is grey level i.
    void SetDepth(int bits);

    int faceWidth = 8;  // the widest advance of the face
    int faceRequests = 0;
};

}  // namespace tessra::font_test
