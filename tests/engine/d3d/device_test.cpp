// Direct3D set-up: the device choice, the depth and texture formats, the format requests and
// size limits, the exact device calls and log lines, release and re-acquisition.
#include <gtest/gtest.h>

#include "engine/base/sjis.h"
#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "platform/testing.h"

namespace tessra {
namespace {

using plat::Direct3DDeviceEntry;
using plat::Direct3DProfile;

class DeviceTest : public D3DFixture {};

Direct3DDeviceEntry Device(const plat::GUID& guid, plat::DWORD depths, const char* name) {
    Direct3DDeviceEntry e = plat::DefaultDirect3DProfile().devices[0];
    e.desc.deviceGUID = guid;
    e.desc.dwDeviceRenderBitDepth = depths;
    e.name = name;
    return e;
}

TEST_F(DeviceTest, FirstTnlHalDeviceWinsOverHalDevices) {
    struct Case {
        const char* name;
        std::vector<Direct3DDeviceEntry> devices;
        const char* chosen;
    };
    const Case cases[] = {
        {"hal then tnl",
         {Device(plat::IID_IDirect3DHALDevice, plat::DDBD_16, "hal"),
          Device(plat::IID_IDirect3DTnLHalDevice, plat::DDBD_16, "tnl")},
         "tnl"},
        {"tnl then hal",
         {Device(plat::IID_IDirect3DTnLHalDevice, plat::DDBD_16, "tnl"),
          Device(plat::IID_IDirect3DHALDevice, plat::DDBD_16, "hal")},
         "tnl"},
        {"software device passed over",
         {Device(plat::IID_IDirect3DRGBDevice, plat::DDBD_16, "rgb"),
          Device(plat::IID_IDirect3DHALDevice, plat::DDBD_16, "hal")},
         "hal"},
        {"tnl without the depth",
         {Device(plat::IID_IDirect3DHALDevice, plat::DDBD_16, "hal"),
          Device(plat::IID_IDirect3DTnLHalDevice, plat::DDBD_32, "tnl")},
         "hal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Direct3DProfile p = plat::DefaultDirect3DProfile();
        p.devices = c.devices;
        plat::testing::SetDirect3DProfile(p);
        if (GetDirectDrawObject() == nullptr) { ASSERT_EQ(StartScreens(16), 0); }
        ASSERT_EQ(InitializeDirect3D(), 0);
        const bool tnl = D3D().deviceDesc.deviceGUID == plat::IID_IDirect3DTnLHalDevice;
        EXPECT_EQ(tnl ? "tnl" : "hal", std::string(c.chosen));
        TakeCalls();
        TerminateDirect3D();
    }
}

TEST_F(DeviceTest, ThirtyTwoBitScreenWithSixteenBitOnlyDeviceFails) {
    Direct3DProfile p = plat::DefaultDirect3DProfile();
    p.devices[0].desc.dwDeviceRenderBitDepth = plat::DDBD_16;
    plat::testing::SetDirect3DProfile(p);
    ASSERT_EQ(StartScreens(32), 0);
    EXPECT_EQ(InitializeDirect3D(), -1);
    EXPECT_EQ(D3D().object, nullptr);
    EXPECT_EQ(GetDirect3DDevice(), nullptr);
    EXPECT_EQ(ReleaseAllTexturesIfReady(), -1);
    const std::string log = TakeLog();
    EXPECT_NE(
        log.find(SjisText("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n")),
        std::string::npos)
        << log;
}

TEST_F(DeviceTest, SetUpFailuresLeaveNoDirect3DWithTheirLogLines) {
    struct Case {
        const char* name;
        const char* method;  // injected failure
        int nth;
        const char* line;  // empty: none of its own
    };
    const Case cases[] = {
        {"no object", "QueryInterface", 1, "Direct3Dオブジェクトの作成に失敗しました\n"},
        {"no depth format", "EnumZBufferFormats", 1,
         "使用可能なＺバッファが見つかりませんでした\n"},
        {"no device", "CreateDevice", 1, "３Ｄデバイスの作成に失敗しました\n"},
        {"clamp refused", "SetTextureStageState", 0, "３Ｄデバイスの削除は正常に終了しました\n"},
        {"no texture format", "EnumTextureFormats", 1,
         "使用可能なテクスチャフォーマットが見つかりませんでした\n"},
    };
    ASSERT_EQ(StartScreens(16), 0);
    // The stage-0 clamp call of set-up is the last stage call before the format enumeration.
    ASSERT_EQ(InitializeDirect3D(), 0);
    int clampCall = 0;
    for (const std::string& call : TakeCalls()) {
        if (call.rfind("SetTextureStageState", 0) == 0) ++clampCall;
        if (call == "EnumTextureFormats()") break;
    }
    TerminateDirect3D();
    TakeLog();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::testing::InjectDirect3DResult(c.method, c.nth != 0 ? c.nth : clampCall,
                                            plat::DDERR_GENERIC);
        EXPECT_EQ(InitializeDirect3D(), -1);
        EXPECT_EQ(D3D().object, nullptr);
        EXPECT_EQ(D3D().initialized, 0u);
        const std::string log = TakeLog();
        EXPECT_NE(log.find(SjisText(c.line)), std::string::npos) << log;
        for (int i = 0; i < kDeviceRecordCount; ++i) EXPECT_EQ(DeviceRecords()[i].valid, 0u);
        TakeCalls();
    }
    // And a set-up afterwards works.
    EXPECT_EQ(InitializeDirect3D(), 0);
}

struct FormatCase {
    const char* name;
    std::vector<plat::DDPixelFormat> formats;
    int bits;
    // Expected red mask of entries 0..8 (0: empty) and alpha masks of 2..5.
    uint32_t red[9];
};

class FormatTableTest : public D3DFixture, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatTableTest, EntriesFromEnumerationAndCopies) {
    const FormatCase& c = GetParam();
    Direct3DProfile p = plat::DefaultDirect3DProfile();
    p.textureFormats = c.formats;
    plat::testing::SetDirect3DProfile(p);
    ASSERT_EQ(StartScreens(c.bits), 0);
    ASSERT_EQ(InitializeDirect3D(), 0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(D3D().formats[i].color.redMask, c.red[i]) << "entry " << i;
        EXPECT_EQ(D3D().formats[i].pixelFormat.redMask, c.red[i]) << "entry " << i;
    }
    // The draw-target entries are always copies of 0, 1 and 3.
    EXPECT_EQ(D3D().formats[6].color.bitDepth, D3D().formats[0].color.bitDepth);
    EXPECT_EQ(D3D().formats[7].color.bitDepth, D3D().formats[1].color.bitDepth);
    EXPECT_EQ(D3D().formats[8].color.alphaMask, D3D().formats[3].color.alphaMask);
}

const plat::DDPixelFormat k565 = plat::kPixelFormat565, k555 = plat::kPixelFormat555,
                          k4444 = plat::kPixelFormatArgb4444, k1555 = plat::kPixelFormatArgb1555,
                          kX32 = plat::kPixelFormatXrgb32, kA32 = plat::kPixelFormatArgb32;
const plat::DDPixelFormat kLum = {32, plat::DDPF_LUMINANCE, 0, 16, 0xF800, 0, 0, 0};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    D3D, FormatTableTest,
    ::testing::Values(
        FormatCase{"default", {k565, k555, k4444, k1555, kX32, kA32}, 16,
                   {0xF800, 0xFF0000, 0xF00, 0xFF0000, 0x7C00, 0xFF0000, 0xF800, 0xFF0000, 0xFF0000}},
        FormatCase{"second equals screen", {k555, k565}, 16,
                   {0xF800, 0xF800, 0, 0, 0, 0, 0xF800, 0xF800, 0}},
        FormatCase{"neither equals screen: first", {k555, kLum, k555}, 16,
                   {0x7C00, 0x7C00, 0, 0, 0, 0, 0x7C00, 0x7C00, 0}},
        FormatCase{"no 32-bit: entry 1 copies 0", {k565, k4444}, 16,
                   {0xF800, 0xF800, 0xF00, 0xF00, 0xF00, 0xF00, 0xF800, 0xF800, 0xF00}},
        FormatCase{"alpha test from 0xF000 without 0x8000", {k565, kX32, k4444, kA32}, 32,
                   {0xF800, 0xFF0000, 0xF00, 0xFF0000, 0xF00, 0xFF0000, 0xF800, 0xFF0000, 0xFF0000}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });
// clang-format on

TEST_F(DeviceTest, NoPlainSixteenBitFormatFailsSetUp) {
    Direct3DProfile p = plat::DefaultDirect3DProfile();
    p.textureFormats = {kX32, k4444};
    plat::testing::SetDirect3DProfile(p);
    ASSERT_EQ(StartScreens(16), 0);
    EXPECT_EQ(InitializeDirect3D(), -1);
}

TEST_F(DeviceTest, FormatIndexOfRequests) {
    struct Case {
        uint8_t alpha, drawValid, alphaTest, bits;
        int index;
    };
    const Case cases[] = {
        {1, 0, 1, 16, 2}, {0, 1, 1, 16, 8}, {1, 1, 0, 32, 8}, {0, 1, 0, 24, 7}, {0, 1, 0, 16, 6},
        {0, 0, 0, 32, 1}, {0, 0, 0, 16, 0}, {0, 0, 1, 16, 4}, {0, 0, 1, 32, 5}, {1, 0, 0, 32, 3},
    };
    for (const Case& c : cases) {
        const uint8_t request[6] = {1, c.alpha, c.drawValid, 0, c.alphaTest, c.bits};
        EXPECT_EQ(GetTextureFormatIndex(request), c.index)
            << int(c.alpha) << int(c.drawValid) << int(c.alphaTest) << int(c.bits);
    }
}

TEST_F(DeviceTest, TextureSizeLimitsTakeTheSmallerSides) {
    struct Case {
        plat::DWORD minW, minH, maxW, maxH;
        uint32_t lo, hi;
    };
    const Case cases[] = {
        {1, 8, 2048, 1024, 1, 1024}, {0, 0, 0, 0, 32, 256}, {64, 32, 512, 512, 32, 512}};
    ASSERT_EQ(StartScreens(16), 0);
    for (const Case& c : cases) {
        Direct3DProfile p = plat::DefaultDirect3DProfile();
        p.devices[0].desc.dwMinTextureWidth = c.minW;
        p.devices[0].desc.dwMinTextureHeight = c.minH;
        p.devices[0].desc.dwMaxTextureWidth = c.maxW;
        p.devices[0].desc.dwMaxTextureHeight = c.maxH;
        plat::testing::SetDirect3DProfile(p);
        ASSERT_EQ(InitializeDirect3D(), 0);
        EXPECT_EQ(D3D().minTextureSize, c.lo);
        EXPECT_EQ(D3D().maxTextureSize, c.hi);
        TerminateDirect3D();
    }
}

const char* const kSetUpLog =
    "Direct3D 関連の初期化を行います\n"
    "Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n"
    "Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n"
    "３Ｄデバイスを作成します... ３Ｄデバイスの作成に成功しました\n"
    "\tテクスチャ最大幅:2048 最小幅:1 \n"
    "\t描画制限: D_D3DPTEXTURECAPS_POW2 = 1  D_D3DPTEXTURECAPS_SQUAREONLY = 0 \n"
    "\tテクスチャピクセルフォーマット\n"
    "\t\t通常グラフィック用\n"
    "\t\t\t BIT:16  RED:5  GREEN:6  BLUE:5 \n"
    "\t\t\t RED:00f800 GREEN:0007e0 BLUE:00001f \n\n"
    "\t\t\t BIT:32  RED:8  GREEN:8  BLUE:8 \n"
    "\t\t\t RED:ff0000 GREEN:00ff00 BLUE:0000ff \n\n"
    "\t\tアルファチャンネル付きグラフィック用\n"
    "\t\t\t BIT:16  ALPHA:4  RED:4  GREEN:4  BLUE:4 \n"
    "\t\t\t ALPHA:0000f000 RED:00000f00 GREEN:000000f0 BLUE:0000000f \n\n"
    "\t\t\t BIT:32  ALPHA:8  RED:8  GREEN:8  BLUE:8 \n"
    "\t\t\t ALPHA:ff000000 RED:00ff0000 GREEN:0000ff00 BLUE:000000ff \n\n"
    "Direct3D 関連の初期化は正常に終了しました\n";

// Device creation, then SetDefaultRenderStates pushing the whole cache (the viewport is left
// out while no render target is chosen), then the set-up's own clamp calls.
const char* const kCreationCalls[] = {
    "QueryInterface(IID_IDirect3D7)",
    "EnumDevices()",
    "EnumZBufferFormats(IID_IDirect3DHALDevice)",
    "CreateDevice(IID_IDirect3DTnLHalDevice, 640x480x16)",
    "SetTextureStageState(0, 12, 3)",
    "SetTextureStageState(1, 12, 3)",
    "SetTextureStageState(2, 12, 3)",
    "SetTextureStageState(3, 12, 3)",
    "SetTextureStageState(0, 16, 1)",
    "SetTextureStageState(0, 17, 1)",
    "SetTextureStageState(1, 16, 1)",
    "SetTextureStageState(1, 17, 1)",
    "SetTextureStageState(2, 16, 1)",
    "SetTextureStageState(2, 17, 1)",
    "SetTextureStageState(3, 16, 1)",
    "SetTextureStageState(3, 17, 1)",
    "SetRenderState(144, 0)",
    "SetRenderState(22, 1)",
    "SetRenderState(137, 0)",
    "SetRenderState(4, 0)",
    "SetRenderState(9, 1)",
    "SetRenderState(41, 0)",
    "SetRenderState(26, 0)",
    // SetDefaultRenderStates
    "SetRenderState(41, 0)",
    "SetTextureStageState(0, 12, 3)",
    "SetTextureStageState(0, 11, 0)",
    "SetTextureStageState(1, 12, 3)",
    "SetTextureStageState(1, 11, 1)",
    "SetTextureStageState(2, 12, 3)",
    "SetTextureStageState(2, 11, 1)",
    "SetTextureStageState(3, 12, 3)",
    "SetTextureStageState(3, 11, 0)",
    "SetRenderState(4, 0)",
    "SetRenderState(9, 1)",
    "SetRenderState(41, 0)",
    "SetRenderState(137, 0)",
    "SetRenderState(22, 1)",
    "SetRenderState(26, 0)",
    "SetTextureStageState(0, 16, 1)",
    "SetTextureStageState(0, 17, 1)",
    "SetRenderState(25, 0)",
    "SetRenderState(24, 0)",
    "SetRenderState(15, 0)",
    "SetRenderState(27, 0)",
    "SetRenderState(60, 0)",
    "SetRenderState(19, 0)",
    "SetRenderState(20, 0)",
    "SetTexture(0, null)",
    "SetTextureStageState(0, 4, 2)",
    "SetTextureStageState(0, 5, 0)",
    "SetTextureStageState(0, 6, 0)",
    "SetTextureStageState(0, 1, 2)",
    "SetTextureStageState(0, 2, 0)",
    "SetTextureStageState(0, 3, 0)",
    "SetTexture(1, null)",
    "SetTextureStageState(1, 4, 1)",
    "SetTextureStageState(1, 5, 2)",
    "SetTextureStageState(1, 6, 0)",
    "SetTextureStageState(1, 1, 1)",
    "SetTextureStageState(1, 2, 2)",
    "SetTextureStageState(1, 3, 0)",
    "SetRenderState(7, 1)",
    "SetRenderState(14, 0)",
    "SetRenderState(23, 4)",
    "SetRenderState(4, 0)",
    "SetRenderState(9, 1)",
    // the set-up's clamp, stage 3 first
    "SetTextureStageState(3, 12, 3)",
    "SetTextureStageState(2, 12, 3)",
    "SetTextureStageState(1, 12, 3)",
    "SetTextureStageState(0, 12, 3)",
    "EnumTextureFormats()",
};

TEST_F(DeviceTest, SetUpMakesTheseCallsAndWritesThisLog) {
    ASSERT_EQ(StartScreens(16), 0);
    ASSERT_EQ(InitializeDirect3D(), 0);
    EXPECT_EQ(TakeLog(), SjisText(kSetUpLog));
    EXPECT_EQ(JoinLines(TakeCalls()), JoinLines(std::vector<std::string>(
                                          std::begin(kCreationCalls), std::end(kCreationCalls))));
    const Direct3DDeviceRecord* r = Record();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(D3D().initialized, 1u);
    EXPECT_EQ(D3D().targetIsFront, 1u);
    EXPECT_EQ(D3D().screenCopyMethodPlain, -1);
    EXPECT_EQ(r->defaultTarget, GetPrimarySurface());
    EXPECT_EQ(r->zEnable, 1u);
    EXPECT_EQ(r->zFunc, 4u);
    EXPECT_EQ(r->batchKind, 0u);  // the untextured states were applied
    // The vertex presets every draw relies on.
    for (const Vertex3DTex& v : r->area1) ASSERT_TRUE(v.z == 0.0f && v.rhw == 1.0f);
    for (const Vertex3DBlend& v : r->area2) ASSERT_TRUE(v.rhw == 1.0f && v.specular == 0xFFFFFFFFu);
    // A second set-up while the object is held does nothing.
    EXPECT_EQ(InitializeDirect3D(), -1);
    EXPECT_TRUE(TakeCalls().empty());
}

// The mode change sets Direct3D up by itself, only in full screen with 3-D allowed, and then
// new graphs asked as textures are texture graphs; otherwise they are 2-D surfaces.
TEST_F(DeviceTest, ModeChangeSetsUpDirect3DOnlyInFullScreenWithThreeDAllowed) {
    struct Case {
        const char* name;
        int fullScreen, no3D;
        bool usableDevice;
        bool device;
    };
    const Case cases[] = {
        {"full screen", 1, 0, true, true},
        {"window", 0, 0, true, false},
        {"3-D switched off", 1, 1, true, false},
        {"no usable device: 2-D drawing", 1, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Direct3DProfile p = plat::DefaultDirect3DProfile();
        if (!c.usableDevice) p.devices.clear();
        plat::testing::SetDirect3DProfile(p);
        ResetScreenStateForTests();
        SwitchWindowModeScreen(c.fullScreen);
        SetNo3DFlag(c.no3D);
        ASSERT_EQ(ChangeResolution(640, 480, 16, -1), 0);
        ASSERT_EQ(InitDirectDraw(), 0);
        EXPECT_EQ(GetDirect3DDevice() != nullptr, c.device);
        EXPECT_EQ(DrawState.direct3DReady, c.device ? 1 : 0);
        const int graph = CreateBlankGraph(64, 32, 1, 0, 0);
        ASSERT_GT(graph, 0);
        EXPECT_EQ(GetGraphRecord(graph)->format.texture, c.device ? 1 : 0);
        ReleaseGraph(graph, 0);
        ShutdownDirectDraw();
        EXPECT_EQ(GetDirect3DDevice(), nullptr) << "the screens' shut-down ends Direct3D";
    }
}

// A switch to a window and back tears the device down and sets it up again.
TEST_F(DeviceTest, WindowSwitchTearsDirect3DDownAndTheReturnSetsItUp) {
    SwitchWindowModeScreen(1);
    SetNo3DFlag(0);
    ASSERT_EQ(ChangeResolution(640, 480, 32, -1), 0);
    ASSERT_EQ(InitDirectDraw(), 0);
    ASSERT_NE(GetDirect3DDevice(), nullptr);
    SwitchWindowModeScreen(0);
    EXPECT_EQ(GetDirect3DDevice(), nullptr);
    EXPECT_EQ(DrawState.direct3DReady, 0);
    SwitchWindowModeScreen(1);
    EXPECT_NE(GetDirect3DDevice(), nullptr);
    EXPECT_EQ(DrawState.direct3DReady, 1);
    const int graph = CreateBlankGraph(64, 32, 1, 0, 0);
    ASSERT_GT(graph, 0);
    EXPECT_EQ(GetGraphRecord(graph)->format.texture, 1);
    ReleaseGraph(graph, 0);
}

TEST_F(DeviceTest, TearDownAndQuietFailures) {
    EXPECT_EQ(TerminateDirect3D(), -1);
    EXPECT_EQ(AcquireDirect3DObject(), 0);
    EXPECT_EQ(ReleaseDirect3DObject(), -1);
    EXPECT_EQ(FlushCurrentVertexBatch(), -1);
    EXPECT_EQ(EndSceneCurrent(), -1);
    EXPECT_EQ(TakeLog(), "");
    StartDirect3D(16);
    EXPECT_EQ(TerminateDirect3D(), 0);
    EXPECT_EQ(TakeLog(), SjisText("Direct3D 関連の終了処理を行います\n"
                                  "３Ｄデバイスの削除は正常に終了しました\n"
                                  "Direct3D 関連の終了処理は正常に終了しました\n"));
    EXPECT_EQ(GetDirect3DDevice(), nullptr);
    EXPECT_EQ(D3D().initialized, 0u);
}

TEST_F(DeviceTest, DeviceRecordsAreFourAndRecreationNeedsARecordWithoutDevice) {
    StartDirect3D(16);
    for (int i = 1; i < kDeviceRecordCount; ++i)
        EXPECT_EQ(Create3DDeviceForMode(GetPrimarySurface()), i);
    TakeLog();
    TakeCalls();
    EXPECT_EQ(Create3DDeviceForMode(GetPrimarySurface()), -1);
    EXPECT_EQ(TakeLog(), "");
    EXPECT_EQ(Create3DDevice(Dev()), 0);  // it has its device
    EXPECT_TRUE(TakeCalls().empty());
    // A valid record without a device: released without a device call, still logged.
    DeviceRecords()[2].device->Release();
    DeviceRecords()[2].device = nullptr;
    EXPECT_EQ(ReleaseAllDirect3DDevices(), 0);
    EXPECT_EQ(DeviceRecords()[2].valid, 0u);
    size_t lines = 0;
    const std::string log = TakeLog();
    for (size_t at = 0; (at = log.find(SjisText("３Ｄデバイスの削除は正常に終了しました\n"), at)) !=
                        std::string::npos;
         ++at) {
        ++lines;
    }
    EXPECT_EQ(lines, 4u);
}

TEST_F(DeviceTest, ReleaseThenAcquireKeepsStatesAndRecreatesTextures) {
    StartDirect3D(16);
    GraphRecord* g = NewTextureGraph(64, 32, 16);
    ASSERT_NE(g, nullptr);
    const int32_t piece = static_cast<int32_t>(g->pieces[0]);
    ASSERT_EQ(SetTextureFilter(Dev(), 1), 0);
    ASSERT_EQ(SetTextureStageOps(Dev(), 2, 0, 0), 0);
    EXPECT_EQ(ReleaseDirect3DObject(), 0);
    EXPECT_EQ(TakeLog(), SjisText("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました\n"
                                  "Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します\n"
                                  "Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\n"));
    EXPECT_EQ(GetDirect3DDevice(), nullptr);
    EXPECT_EQ(D3D().initialized, 1u);
    EXPECT_EQ(
        GetImageDataRecord(Surface3DEntries().Find(piece, kTextureHandleKind)->image)->surface,
        nullptr);
    EXPECT_EQ(ReleaseDirect3DObject(), 0);
    EXPECT_NE(TakeLog().find(SjisText("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\n")),
              std::string::npos);
    TakeCalls();

    EXPECT_EQ(AcquireDirect3DObject(), 0);
    ASSERT_NE(GetDirect3DDevice(), nullptr);
    const Direct3DDeviceRecord* r = Record();
    EXPECT_EQ(r->filterMode, 1u);
    EXPECT_EQ(r->blendMode, 2u);
    const Surface3DData* e = Surface3DEntries().Find(piece, kTextureHandleKind);
    ASSERT_NE(e, nullptr);
    EXPECT_NE(GetImageDataRecord(e->image)->surface, nullptr);
    // The cached states reach the new device.
    plat::DWORD value = 0;
    GetDirect3DDevice()->GetTextureStageState(0, plat::D3DTSS_MAGFILTER, &value);
    EXPECT_EQ(value, plat::D3DTFG_LINEAR);
    GetDirect3DDevice()->GetRenderState(plat::D3DRENDERSTATE_DESTBLEND, &value);
    EXPECT_EQ(value, plat::D3DBLEND_ONE);
    const std::string log = TakeLog();
    EXPECT_NE(log.find(SjisText("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました\n"
                                "３Ｄデバイスを作成します... ３Ｄデバイスの作成に成功しました\n")),
              std::string::npos)
        << log;
    // Held already: the line ends with a line end.
    EXPECT_EQ(AcquireDirect3DObject(), 0);
    EXPECT_EQ(TakeLog(), SjisText("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n"
                                  "Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されています\n"));
}

TEST_F(DeviceTest, AcquireWhoseDeviceCannotBeRecreatedFallsBackToNoDirect3D) {
    StartDirect3D(16);
    ASSERT_NE(NewTextureGraph(64, 32, 16), nullptr);
    ASSERT_EQ(ReleaseDirect3DObject(), 0);
    plat::testing::InjectDirect3DResult("CreateDevice", 1, plat::DDERR_GENERIC);
    EXPECT_EQ(AcquireDirect3DObject(), -1);
    EXPECT_EQ(D3D().object, nullptr);
    EXPECT_EQ(D3D().initialized, 0u);
    EXPECT_EQ(GetDirect3DDevice(), nullptr);
    EXPECT_EQ(Surface3DEntries().liveCount, 0);
    EXPECT_EQ(ReleaseAllTexturesIfReady(), -1);
    // The next set-up starts afresh.
    EXPECT_EQ(InitializeDirect3D(), 0);
}

TEST_F(DeviceTest, SetUpKeepsTheTextureSizeSetting) {
    SetTextureDivisionFlag(0);
    StartDirect3D(16);
    EXPECT_EQ(SingleTextureMode(), 1u);
    SetTextureDivisionFlag(1);
    EXPECT_EQ(SingleTextureMode(), 0u);
}

}  // namespace
}  // namespace tessra
