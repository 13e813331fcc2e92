// The render-state cache, the vertex batch and the scene on the recording device.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_state.h"
#include "engine/screen/screen_state.h"
#include "platform/testing.h"

namespace tessra {
namespace {

class StateTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        StartDirect3D(16);
    }
    int Count(const std::vector<std::string>& calls, const std::string& prefix) {
        return static_cast<int>(std::count_if(
            calls.begin(), calls.end(), [&](const auto& c) { return c.rfind(prefix, 0) == 0; }));
    }
    // n untextured vertices of a primitive type, in a scene.
    void Append(uint32_t primitive, uint32_t n) {
        BeginScene3D();
        auto* v = static_cast<Vertex3DColor*>(AppendBatchVertices(Record(), Dev(), primitive, n));
        for (uint32_t i = 0; i < n; ++i) v[i] = Vertex3DColor{float(i), 0, 0, 1, 0xFFFFFFFFu};
    }
};

TEST_F(StateTest, FlushSendsTheBatchOnceAndAnEmptyOneNotAtAll) {
    Direct3DDeviceRecord* r = Record();
    EXPECT_EQ(FlushVertexBatch(Dev()), 0);
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(r->batchWritePtr, r->vertexArea[r->batchKind]);
    Append(plat::D3DPT_TRIANGLELIST, 6);
    Append(plat::D3DPT_TRIANGLELIST, 3);
    EXPECT_EQ(r->batchCount, 9u);
    EXPECT_EQ(FlushCurrentVertexBatch(), 0);
    const auto calls = TakeCalls();
    EXPECT_EQ(JoinLines(calls), "BeginScene()\nDrawPrimitive(4, 0x44, 9, 0)\n");
    EXPECT_EQ(r->batchCount, 0u);
    EXPECT_EQ(r->batchWritePtr, r->vertexArea[r->batchKind]);
    // Discarded: dropped without a draw.
    Append(plat::D3DPT_TRIANGLELIST, 3);
    r->discardBatch = 1;
    EXPECT_EQ(FlushVertexBatch(Dev()), 0);
    EXPECT_EQ(Count(TakeCalls(), "DrawPrimitive"), 0);
    EXPECT_EQ(r->batchCount, 0u);
    r->discardBatch = 0;
}

TEST_F(StateTest, BatchIsHandedOverOnAPrimitiveChangeAndAtCapacity) {
    Direct3DDeviceRecord* r = Record();
    Append(plat::D3DPT_TRIANGLELIST, 6);
    Append(plat::D3DPT_LINELIST, 2);
    EXPECT_EQ(JoinLines(TakeCalls()), "BeginScene()\nDrawPrimitive(4, 0x44, 6, 0)\n");
    EXPECT_EQ(r->batchCount, 2u);
    FlushVertexBatch(Dev());
    TakeCalls();
    const uint32_t capacity = VertexKindTable[r->batchKind].capacity;  // 3225 for kind 0
    EXPECT_EQ(capacity, 3225u);
    Append(plat::D3DPT_TRIANGLELIST, 3222);
    Append(plat::D3DPT_TRIANGLELIST, 3);  // exactly full
    EXPECT_TRUE(TakeCalls().empty());
    Append(plat::D3DPT_TRIANGLELIST, 3);
    EXPECT_EQ(JoinLines(TakeCalls()), "DrawPrimitive(4, 0x44, 3225, 0)\n");
    EXPECT_EQ(r->batchCount, 3u);
}

TEST_F(StateTest, SceneOpensOnceAndClosesAfterAFlush) {
    BeginScene3D();
    BeginScene3D();
    Append(plat::D3DPT_TRIANGLELIST, 3);
    EXPECT_EQ(EndSceneCurrent(), 0);
    EXPECT_EQ(EndSceneCurrent(), 0);
    EXPECT_EQ(JoinLines(TakeCalls()), "BeginScene()\nDrawPrimitive(4, 0x44, 3, 0)\nEndScene()\n");
    EXPECT_EQ(Record()->sceneBegun, 0u);
}

TEST_F(StateTest, CachedSettersCallTheDeviceOnceUnlessForced) {
    struct Case {
        const char* name;
        int (*set)(int32_t, uint32_t);
        uint32_t value;
        const char* call;
    };
    const Case cases[] = {
        {"colour key", SetRenderStateColorKey, 1, "SetRenderState(41, 1)"},
        {"z enable", SetRenderStateZEnable, 0, "SetRenderState(7, 0)"},
        {"z write", SetRenderStateZWrite, 1, "SetRenderState(14, 1)"},
        {"z func", SetRenderStateZFunc, 8, "SetRenderState(23, 8)"},
        {"shade", SetRenderStateShadeMode, 2, "SetRenderState(9, 2)"},
        {"perspective", SetRenderStatePerspective, 1, "SetRenderState(4, 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.set(Dev(), c.value), 0);
        EXPECT_EQ(c.set(Dev(), c.value), 0);
        EXPECT_EQ(JoinLines(TakeCalls()), std::string(c.call) + "\n");
        Record()->forceStates = 1;
        c.set(Dev(), c.value);
        c.set(Dev(), c.value);
        Record()->forceStates = 0;
        EXPECT_EQ(JoinLines(TakeCalls()), std::string(c.call) + "\n" + c.call + "\n");
    }
    // The filter goes to every stage in use.
    EXPECT_EQ(Record()->stageCount, 1u);
    EXPECT_EQ(SetTextureFilter(Dev(), 1), 0);
    EXPECT_EQ(SetTextureFilter(Dev(), 1), 0);
    EXPECT_EQ(JoinLines(TakeCalls()),
              "SetTextureStageState(0, 16, 2)\nSetTextureStageState(0, 17, 2)\n");
    EXPECT_EQ(SetTextureFilter(Dev(), 2), -1);
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(Record()->filterMode, 1u);
    // Without Direct3D every setter fails quietly.
    EXPECT_EQ(SetRenderStateColorKey(3, 1), -1);
}

TEST_F(StateTest, TextureBindingRaisesItsDirtyFlags) {
    Direct3DDeviceRecord* r = Record();
    GraphRecord* a = NewTextureGraph(32, 32, 16);
    GraphRecord* b = NewTextureGraph(32, 32, 16);
    ASSERT_TRUE(a && b);
    plat::DirectDrawSurface* ta =
        GetImageDataRecord(Surface3DEntries().Find(a->pieces[0], kTextureHandleKind)->image)
            ->surface;
    plat::DirectDrawSurface* tb =
        GetImageDataRecord(Surface3DEntries().Find(b->pieces[0], kTextureHandleKind)->image)
            ->surface;
    struct Step {
        plat::DirectDrawSurface* texture;
        uint32_t textureDirty, stagesDirty;
    };
    const Step steps[] = {{ta, 1, 1}, {tb, 1, 0}, {nullptr, 1, 1}};
    for (const Step& s : steps) {
        r->textureDirty = r->stagesDirty = 0;
        EXPECT_EQ(SetTexture3D(Dev(), s.texture), 0);
        EXPECT_EQ(r->textureDirty, s.textureDirty);
        EXPECT_EQ(r->stagesDirty, s.stagesDirty);
    }
    r->textureDirty = 0;
    SetTexture3D(Dev(), nullptr);
    EXPECT_EQ(r->textureDirty, 0u);
    EXPECT_TRUE(TakeCalls().empty());  // binding reaches the device only with the stages
}

TEST_F(StateTest, EightByEightGridIsOneStripAndWideGridsAreRefused) {
    Vertex3DTex grid[64] = {};
    BeginScene3D();
    TakeCalls();
    EXPECT_EQ(DrawVertexGrid3D(Dev(), 8, 8, grid), 0);
    // 7 strips of 16 indices, joined by a repeated index and a degenerate one each time.
    EXPECT_EQ(JoinLines(TakeCalls()), "DrawIndexedPrimitive(5, 0x144, 64, 124, 0)\n");
    EXPECT_EQ(DrawVertexGrid3D(Dev(), 1, 8, grid), -1);
    EXPECT_EQ(DrawVertexGrid3D(Dev(), 8, 1, grid), -1);
    // A row of 500 columns does not fit the index buffer.
    static Vertex3DTex wide[500 * 2];
    EXPECT_EQ(DrawVertexGrid3D(Dev(), 500, 2, wide), -1);
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(DrawVertexGrid3D(Dev(), 499, 2, wide), 0);
    EXPECT_EQ(JoinLines(TakeCalls()), "DrawIndexedPrimitive(5, 0x144, 998, 998, 0)\n");
}

// On the front screen every draw ends its scene, so that it shows at once; on the back screen
// the scene stays open for the next draw.
TEST_F(StateTest, FrontScreenDrawsEndTheSceneAndBackScreenDrawsDoNot) {
    DrawState.DrawArea = {0, 0, 640, 480};
    const float area[4] = {0, 0, 640, 480};
    std::copy(area, area + 4, DrawState.drawAreaF);
    GraphRecord* graph = NewTextureGraph(16, 16, 16);
    ASSERT_NE(graph, nullptr);
    struct Case {
        const char* name;
        int (*draw)(const GraphRecord*);
    };
    const Case cases[] = {
        {"line", [](const GraphRecord*) { return G_D3D_DrawLineSegment(10, 10, 40, 30, 0xFFFF); }},
        {"fill", [](const GraphRecord*) { return G_D3D_FillRectangle(10, 10, 40, 30, 0xFFFF); }},
        {"graph", [](const GraphRecord* g) { return G_D3D_DrawImage(20, 20, 0, 0, g, 0, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SetRenderTarget3DForDrawScreen(kFrontScreen), 0);
        TakeCalls();
        ASSERT_EQ(c.draw(graph), 0);
        const std::vector<std::string> front = TakeCalls();
        EXPECT_EQ(Count(front, "DrawPrimitive"), 1);
        EXPECT_EQ(Count(front, "EndScene"), 1);
        EXPECT_EQ(front.back(), "EndScene()");
        EXPECT_EQ(Record()->sceneBegun, 0u);
        ASSERT_EQ(SetRenderTarget3DForDrawScreen(kBackScreen), 0);
        TakeCalls();
        ASSERT_EQ(c.draw(graph), 0);
        EXPECT_EQ(Count(TakeCalls(), "EndScene"), 0);
        EXPECT_EQ(Record()->sceneBegun, 1u);
        EXPECT_GT(Record()->batchCount, 0u);
        EXPECT_EQ(EndSceneCurrent(), 0);
    }
}

TEST_F(StateTest, ViewportNeedsATargetAndIgnoresTheDepthRange) {
    Direct3DDeviceRecord* r = Record();
    const plat::D3DVIEWPORT7 v{10, 20, 100, 50, 0.0f, 1.0f};
    ASSERT_EQ(r->renderTarget, nullptr);
    EXPECT_EQ(SetViewport3D(Dev(), &v), -1);
    EXPECT_EQ(SetRenderTarget3DForDrawScreen(kBackScreen), 0);
    EXPECT_EQ(r->renderTarget, GetBackSurface());
    EXPECT_EQ(D3D().targetIsFront, 0u);
    TakeCalls();
    EXPECT_EQ(SetViewport3D(Dev(), &v), 0);
    const plat::D3DVIEWPORT7 depth{10, 20, 100, 50, 0.5f, 0.7f};
    EXPECT_EQ(SetViewport3D(Dev(), &depth), 0);
    EXPECT_EQ(JoinLines(TakeCalls()), "SetViewport(10, 20, 100, 50, 0, 1)\n");
    // The draw area with the client origin; an empty one is refused, a refused target ignored.
    DrawState.clientRect = {5, 7, 0, 0};
    const Rect area{1, 2, 11, 22};
    EXPECT_EQ(ApplyDrawAreaToViewport3D(&area), 0);
    EXPECT_EQ(JoinLines(TakeCalls()), "SetViewport(6, 9, 10, 20, 0, 1)\n");
    DrawState.clientRect = {0, 0, 0, 0};
    const Rect empty{4, 4, 4, 10};
    EXPECT_EQ(ApplyDrawAreaToViewport3D(&empty), -1);
    D3D().targetRefused = 1;
    EXPECT_EQ(ApplyDrawAreaToViewport3D(&empty), 0);
    D3D().targetRefused = 0;
    EXPECT_TRUE(TakeCalls().empty());
    // The front screen makes the target the front one.
    EXPECT_EQ(SetRenderTarget3DForDrawScreen(kFrontScreen), 0);
    EXPECT_EQ(D3D().targetIsFront, 1u);
    EXPECT_EQ(r->renderTarget, GetPrimarySurface());
    EXPECT_EQ(SetRenderTarget3DForDrawScreen(0x08001234), -1);  // no such graph
}

TEST_F(StateTest, GraphTargetsOfOnePieceAreTakenAndOthersRefused) {
    GraphTable& table = GetGraphTable();
    GraphRecord* one = NewTextureGraph(64, 64, 16, 0, 0, 1);
    GraphRecord* two = NewTextureGraph(640, 32, 16);  // not drawable: cut in two
    ASSERT_TRUE(one && two);
    ASSERT_EQ(two->pieceCount, 2);
    const int32_t slotOne = table.SlotForNew();
    one->check = table.checkCounter;
    one->handle = MakeEngineHandle(kGraphHandleKind, one->check, slotOne);
    table.Occupy(slotOne, one);
    const int32_t slotTwo = table.SlotForNew();
    two->check = table.checkCounter;
    two->handle = MakeEngineHandle(kGraphHandleKind, two->check, slotTwo);
    table.Occupy(slotTwo, two);
    EXPECT_EQ(SetRenderTarget3DForDrawScreen(one->handle), 0);
    EXPECT_EQ(D3D().targetRefused, 0u);
    EXPECT_EQ(Record()->renderTarget,
              GetImageDataRecord(Surface3DEntries().Find(one->pieces[0], kTextureHandleKind)->image)
                  ->surface);
    EXPECT_EQ(SetRenderTarget3DForDrawScreen(two->handle), -1);
    EXPECT_EQ(D3D().targetRefused, 1u);
    EXPECT_EQ(Record()->renderTarget, Record()->defaultTarget);
    EXPECT_EQ(SetRenderTarget3DForDrawScreen(kBackScreen), 0);
    EXPECT_EQ(D3D().targetRefused, 0u);
    table.Vacate(slotOne);
    table.Vacate(slotTwo);
}

}  // namespace
}  // namespace tessra
