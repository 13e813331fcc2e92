// Blend modes and texture stages: the 24 stage records as the device receives them, the
// border ramp, the alpha variants, the blend graph and the untextured states.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_state.h"
#include "platform/testing.h"

namespace tessra {
namespace {

class BlendTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        StartDirect3D(16);
        image_ = NewTextureGraph(32, 32, 16);
        blend_ = NewTextureGraph(32, 32, 16);
        ASSERT_TRUE(image_ && blend_);
    }
    plat::DirectDrawSurface* SurfaceOf(GraphRecord* g) {
        return GetImageDataRecord(Piece(g)->image)->surface;
    }
    Surface3DData* Piece(GraphRecord* g) {
        return Surface3DEntries().Find(static_cast<int32_t>(g->pieces[0]), kTextureHandleKind);
    }
    plat::DWORD Stage(int stage, plat::DWORD state) {
        plat::DWORD v = 0;
        GetDirect3DDevice()->GetTextureStageState(static_cast<plat::DWORD>(stage), state, &v);
        return v;
    }
    plat::DWORD Render(plat::DWORD state) {
        plat::DWORD v = 0;
        GetDirect3DDevice()->GetRenderState(state, &v);
        return v;
    }
    GraphRecord* image_ = nullptr;
    GraphRecord* blend_ = nullptr;
};

// "OP(A,B)" with the names of the stage tables; "-" for an argument left alone.
struct Op {
    int op, a1, a2;
};
Op ParseOp(const std::string& text) {
    static const std::map<std::string, int> names = {
        {"DISABLE", 1}, {"SELECTARG1", 2}, {"SELECTARG2", 3}, {"MODULATE", 4},
        {"ADD", 7},     {"DIFFUSE", 0},    {"CURRENT", 1},    {"TEXTURE", 2},
        {"TFACTOR", 3}, {"SPECULAR", 4},   {"-", -1}};
    const size_t open = text.find('('), comma = text.find(','), close = text.find(')');
    return Op{names.at(text.substr(0, open)), names.at(text.substr(open + 1, comma - open - 1)),
              names.at(text.substr(comma + 1, close - comma - 1))};
}

struct StageRow {
    int blendTex, modColor, modAlpha, variant, count;
    // Per stage "alpha op; colour op", the blend graph's stage and the two others by letter.
    std::vector<std::string> stages;
};

std::string Expand(const std::string& s) {
    if (s == "B") return "ADD(TEXTURE,TFACTOR);SELECTARG2(-,DIFFUSE)";
    if (s == "S") return "MODULATE(SPECULAR,CURRENT);SELECTARG1(CURRENT,-)";
    if (s == "D") return "MODULATE(DIFFUSE,CURRENT);SELECTARG1(CURRENT,-)";
    return s;
}

// clang-format off
const StageRow kRows[] = {
    {0,0,0,0,1,{"SELECTARG2(-,DIFFUSE);SELECTARG1(TEXTURE,-)"}},
    {0,0,0,1,1,{"SELECTARG1(TEXTURE,-);SELECTARG1(TEXTURE,-)"}},
    {0,0,0,2,1,{"SELECTARG1(TEXTURE,-);SELECTARG1(TEXTURE,-)"}},
    {0,0,1,0,1,{"SELECTARG2(-,DIFFUSE);SELECTARG1(TEXTURE,-)"}},
    {0,0,1,1,1,{"MODULATE(TEXTURE,DIFFUSE);SELECTARG1(TEXTURE,-)"}},
    {0,0,1,2,1,{"MODULATE(TEXTURE,DIFFUSE);SELECTARG1(TEXTURE,-)"}},
    {0,1,0,0,1,{"SELECTARG2(-,DIFFUSE);MODULATE(TEXTURE,DIFFUSE)"}},
    {0,1,0,1,1,{"SELECTARG1(TEXTURE,-);MODULATE(TEXTURE,DIFFUSE)"}},
    {0,1,0,2,1,{"SELECTARG1(TEXTURE,-);MODULATE(TEXTURE,DIFFUSE)"}},
    {0,1,1,0,1,{"SELECTARG2(-,DIFFUSE);MODULATE(TEXTURE,DIFFUSE)"}},
    {0,1,1,1,1,{"MODULATE(TEXTURE,DIFFUSE);MODULATE(TEXTURE,DIFFUSE)"}},
    {0,1,1,2,1,{"MODULATE(TEXTURE,DIFFUSE);MODULATE(TEXTURE,DIFFUSE)"}},
    {1,0,0,0,2,{"B","SELECTARG1(CURRENT,-);SELECTARG1(TEXTURE,-)"}},
    {1,0,0,1,3,{"B","S","MODULATE(TEXTURE,CURRENT);SELECTARG1(TEXTURE,-)"}},
    {1,0,0,2,2,{"B","MODULATE(TEXTURE,CURRENT);SELECTARG1(TEXTURE,-)"}},
    {1,0,1,0,2,{"B","MODULATE(DIFFUSE,CURRENT);SELECTARG1(TEXTURE,-)"}},
    {1,0,1,1,4,{"B","S","MODULATE(TEXTURE,CURRENT);SELECTARG1(TEXTURE,-)","D"}},
    {1,0,1,2,3,{"B","MODULATE(TEXTURE,CURRENT);SELECTARG1(TEXTURE,-)","D"}},
    {1,1,0,0,2,{"B","SELECTARG1(CURRENT,-);MODULATE(TEXTURE,DIFFUSE)"}},
    {1,1,0,1,3,{"B","S","MODULATE(TEXTURE,CURRENT);MODULATE(TEXTURE,DIFFUSE)"}},
    {1,1,0,2,2,{"B","MODULATE(TEXTURE,CURRENT);MODULATE(TEXTURE,DIFFUSE)"}},
    {1,1,1,0,2,{"B","MODULATE(DIFFUSE,CURRENT);MODULATE(TEXTURE,DIFFUSE)"}},
    {1,1,1,1,4,{"B","S","MODULATE(TEXTURE,CURRENT);MODULATE(TEXTURE,DIFFUSE)","D"}},
    {1,1,1,2,3,{"B","MODULATE(TEXTURE,CURRENT);MODULATE(TEXTURE,DIFFUSE)","D"}},
};
// clang-format on

TEST_F(BlendTest, AllTwentyFourStageRecordsReachTheDevice) {
    Direct3DDeviceRecord* r = Record();
    for (const StageRow& row : kRows) {
        SCOPED_TRACE(::testing::Message()
                     << row.blendTex << row.modColor << row.modAlpha << row.variant);
        r->texture = SurfaceOf(image_);
        r->blendTexture = row.blendTex ? SurfaceOf(blend_) : nullptr;
        r->blendBorderParam = 0;
        r->blendBorderRange = 200;
        r->modulateColor = static_cast<uint32_t>(row.modColor);
        r->modulateAlpha = static_cast<uint32_t>(row.modAlpha);
        r->textureAlpha = row.variant == 1;
        r->textureAlphaTest = row.variant == 2;
        r->blendMode = 1;
        r->forceStates = 1;
        ASSERT_EQ(SetBlendModeStates(Dev()), 0);
        r->forceStates = 0;
        EXPECT_EQ(r->stageCount, static_cast<uint32_t>(row.count));
        EXPECT_EQ(r->batchKind, row.blendTex ? 2u : 1u);
        ASSERT_EQ(row.stages.size(), static_cast<size_t>(row.count));
        for (int i = 0; i < row.count; ++i) {
            std::string text = Expand(row.stages[i]);
            const size_t semi = text.find(';');
            Op alpha = ParseOp(text.substr(0, semi)), color = ParseOp(text.substr(semi + 1));
            if (row.blendTex && i == 0) alpha.op = 7;  // the ramp of a range above 1 keeps ADD
            if (row.blendTex && i == 1) alpha.op = 4;  // ...and MODULATE for ranges above 128
            EXPECT_EQ(Stage(i, plat::D3DTSS_ALPHAOP), static_cast<plat::DWORD>(alpha.op)) << i;
            EXPECT_EQ(Stage(i, plat::D3DTSS_COLOROP), static_cast<plat::DWORD>(color.op)) << i;
            if (alpha.a1 >= 0) {
                EXPECT_EQ(Stage(i, plat::D3DTSS_ALPHAARG1), plat::DWORD(alpha.a1));
            }
            if (alpha.a2 >= 0) {
                EXPECT_EQ(Stage(i, plat::D3DTSS_ALPHAARG2), plat::DWORD(alpha.a2));
            }
            if (color.a1 >= 0) {
                EXPECT_EQ(Stage(i, plat::D3DTSS_COLORARG1), plat::DWORD(color.a1));
            }
            if (color.a2 >= 0) {
                EXPECT_EQ(Stage(i, plat::D3DTSS_COLORARG2), plat::DWORD(color.a2));
            }
        }
        if (row.count < 4) {
            EXPECT_EQ(Stage(row.count, plat::D3DTSS_ALPHAOP), plat::D3DTOP_DISABLE);
            EXPECT_EQ(Stage(row.count, plat::D3DTSS_COLOROP), plat::D3DTOP_DISABLE);
        }
    }
}

TEST_F(BlendTest, BorderRampRows) {
    struct Case {
        int param, range;
        int stage0, stage1;
        uint32_t factorAlpha;
    };
    const Case cases[] = {
        {0, 64, 7, 6, 64},   {255, 64, 10, 6, 255}, {100, 64, 10, 6, 62},
        {0, 2, 7, 6, 64},    {0, 128, 7, 5, 128},   {255, 65, 10, 5, 255},
        {0, 200, 7, 4, 255}, {128, 200, 10, 4, 1},  {255, 129, 10, 4, 255},
    };
    Direct3DDeviceRecord* r = Record();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.param << " " << c.range);
        r->texture = SurfaceOf(image_);
        r->blendTexture = SurfaceOf(blend_);
        r->blendBorderParam = c.param;
        r->blendBorderRange = c.range;
        r->textureAlpha = r->textureAlphaTest = 0;
        r->stagesDirty = 1;
        ASSERT_EQ(SetBlendModeStates(Dev()), 0);
        EXPECT_EQ(Stage(0, plat::D3DTSS_ALPHAOP), static_cast<plat::DWORD>(c.stage0));
        EXPECT_EQ(Stage(1, plat::D3DTSS_ALPHAOP), static_cast<plat::DWORD>(c.stage1));
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_TEXTUREFACTOR), (c.factorAlpha << 24) | 0xFFFFFFu);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHABLENDENABLE), 1u);
        EXPECT_EQ(r->discardBatch, c.param == 255 ? 1u : 0u);
    }
}

TEST_F(BlendTest, BlendGraphWithRangeZeroOrOneIsAnAlphaTest) {
    struct Case {
        int param, range;
        uint32_t alpha;
        uint32_t ref;
    };
    const Case cases[] = {{0, 0, 1, 1}, {0, 0, 0, 0}, {0, 1, 0, 0}, {90, 1, 1, 90}};
    Direct3DDeviceRecord* r = Record();
    for (const Case& c : cases) {
        r->texture = SurfaceOf(image_);
        r->blendTexture = SurfaceOf(blend_);
        r->blendBorderParam = c.param;
        r->blendBorderRange = c.range;
        r->textureAlpha = c.alpha;
        r->stagesDirty = 1;
        ASSERT_EQ(SetBlendModeStates(Dev()), 0);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHATESTENABLE), 1u);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHAFUNC), plat::D3DCMP_GREATEREQUAL);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHAREF), c.ref);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHABLENDENABLE), 0u);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_TEXTUREFACTOR), 0x00FFFFFFu);
    }
}

TEST_F(BlendTest, RepeatedCallSendsNothing) {
    ApplyDrawState3D(Piece(image_), 0x01);
    TakeCalls();
    EXPECT_EQ(SetBlendModeStates(Dev()), -1);
    ApplyDrawState3D(Piece(image_), 0x01);
    EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(BlendTest, DrawStateChoosesKeyAlphaAndBlendFactors) {
    struct Case {
        const char* name;
        uint8_t alpha, alphaTest;
        int blendMode, filter;
        uint32_t flags;
        uint32_t colorKey, textureAlpha, textureAlphaTest, alphaBlend, src, dest;
    };
    // clang-format off
    const Case cases[] = {
        {"opaque keyed",                 0, 0, 0, 0, 0x01, 1, 0, 0, 0, 0, 0},
        {"alpha channel, mode 0",        1, 0, 0, 0, 0x01, 0, 1, 0, 1, 5, 6},
        {"alpha test, mode 0",           0, 1, 0, 0, 0x01, 0, 0, 1, 0, 5, 6},
        {"alpha test, linear",           0, 1, 0, 1, 0x01, 0, 1, 0, 1, 5, 6},
        {"alpha test, linear, kept",     0, 1, 0, 1, 0x03, 0, 0, 1, 0, 5, 6},
        {"alpha test, add",              0, 1, 2, 0, 0x01, 0, 1, 0, 1, 5, 2},
        {"not transparent",              1, 0, 1, 0, 0x00, 0, 0, 0, 1, 5, 6},
    };
    // clang-format on
    Direct3DDeviceRecord* r = Record();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageDataRecord* img = GetImageDataRecord(Piece(image_)->image);
        img->format.alpha = c.alpha;
        img->format.alphaTest = c.alphaTest;
        DrawState.blendMode = c.blendMode;
        DrawState.filterMode = c.filter;
        ApplyDrawState3D(Piece(image_), c.flags);
        EXPECT_EQ(r->colorKeyEnable, c.colorKey);
        EXPECT_EQ(r->textureAlpha, c.textureAlpha);
        EXPECT_EQ(r->textureAlphaTest, c.textureAlphaTest);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHABLENDENABLE), c.alphaBlend);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_ALPHATESTENABLE), c.textureAlphaTest);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_SRCBLEND), c.src);
        EXPECT_EQ(Render(plat::D3DRENDERSTATE_DESTBLEND), c.dest);
    }
    DrawState.blendMode = 0;
    DrawState.filterMode = 0;
}

TEST_F(BlendTest, UntexturedDrawsTakeTheVertexColourWhateverCameBefore) {
    Direct3DDeviceRecord* r = Record();
    // A textured draw with modulation leaves TEXTURE in stage 0.
    DrawState.brightness[0] = 10;
    ApplyDrawState3D(Piece(image_), 0x01);
    EXPECT_EQ(Stage(0, plat::D3DTSS_COLORARG1), plat::D3DTA_TEXTURE);
    ApplyDrawState3D(nullptr, 0);
    EXPECT_EQ(r->batchKind, 0u);
    EXPECT_EQ(Stage(0, plat::D3DTSS_COLOROP), plat::D3DTOP_SELECTARG1);
    EXPECT_EQ(Stage(0, plat::D3DTSS_COLORARG1), plat::D3DTA_DIFFUSE);
    EXPECT_EQ(Stage(0, plat::D3DTSS_ALPHAOP), plat::D3DTOP_SELECTARG1);
    EXPECT_EQ(Stage(0, plat::D3DTSS_ALPHAARG1), plat::D3DTA_DIFFUSE);
    EXPECT_EQ(Stage(1, plat::D3DTSS_COLOROP), plat::D3DTOP_DISABLE);
    EXPECT_EQ(r->stage[0].texture, nullptr);
    // Blend mode 3 inverts: colour from the vertex, alpha from the vertex as second argument.
    DrawState.blendMode = 3;
    DrawState.blendParam = 255;
    ApplyDrawState3D(nullptr, 0);
    EXPECT_EQ(Stage(0, plat::D3DTSS_ALPHAOP), plat::D3DTOP_SELECTARG2);
    EXPECT_EQ(Stage(0, plat::D3DTSS_ALPHAARG2), plat::D3DTA_DIFFUSE);
    EXPECT_EQ(Stage(0, plat::D3DTSS_COLOROP), plat::D3DTOP_SELECTARG1);
    EXPECT_EQ(Render(plat::D3DRENDERSTATE_SRCBLEND), plat::D3DBLEND_INVDESTCOLOR);
    EXPECT_EQ(Render(plat::D3DRENDERSTATE_DESTBLEND), plat::D3DBLEND_ZERO);
    DrawState.blendMode = 0;
    DrawState.blendParam = 0;
    DrawState.brightness[0] = 255;
}

TEST_F(BlendTest, MoreStagesResendTheFilterToEach) {
    Direct3DDeviceRecord* r = Record();
    SetTextureFilter(Dev(), 1);
    r->texture = SurfaceOf(image_);
    r->stagesDirty = 1;
    SetBlendModeStates(Dev());
    ASSERT_EQ(r->stageCount, 1u);
    TakeCalls();
    r->blendTexture = SurfaceOf(blend_);
    r->blendBorderRange = 100;
    r->textureAlpha = 1;
    r->stagesDirty = 1;
    SetBlendModeStates(Dev());
    EXPECT_EQ(r->stageCount, 3u);
    std::vector<std::string> filters;
    for (const std::string& c : TakeCalls()) {
        if (c.find(", 16, ") != std::string::npos || c.find(", 17, ") != std::string::npos)
            filters.push_back(c);
    }
    EXPECT_EQ(JoinLines(filters),
              "SetTextureStageState(0, 16, 2)\nSetTextureStageState(0, 17, 2)\n"
              "SetTextureStageState(1, 16, 2)\nSetTextureStageState(1, 17, 2)\n"
              "SetTextureStageState(2, 16, 2)\nSetTextureStageState(2, 17, 2)\n");
    EXPECT_EQ(r->stage[0].texture, SurfaceOf(blend_));
    EXPECT_EQ(r->stage[2].texture, SurfaceOf(image_));
    EXPECT_EQ(r->stage[1].texture, nullptr);
}

TEST_F(BlendTest, TextureOnlyChangeBindsJustTheTexture) {
    Direct3DDeviceRecord* r = Record();
    ApplyDrawState3D(Piece(image_), 0x01);
    TakeCalls();
    ApplyDrawState3D(Piece(blend_), 0x01);
    EXPECT_EQ(JoinLines(TakeCalls()), "SetTexture(0, 32x32x16)\n");
    EXPECT_EQ(r->stage[0].texture, SurfaceOf(blend_));
}

}  // namespace
}  // namespace tessra
