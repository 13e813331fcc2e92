#include "engine/d3d/d3d_test_support.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "platform/testing.h"

namespace tessra {
namespace {

plat::LRESULT PlainProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                        plat::LPARAM lParam) {
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

void D3DFixture::SetUp() {
    plat::testing::Reset();
    plat::testing::UsePrivateInstanceLockKey();
    plat::testing::SetVirtualDesktop(1280, 1024, 32, 60);
    plat::testing::SetFakeClock(5000);
    plat::testing::SetRetracePollAdvance(500);
    ResetScreenStateForTests();
    SetTextureDivisionFlag(1);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("d3d_") + info->test_suite_name() + "_" + info->name() + "_" +
                       std::to_string(::getpid());
    for (char& ch : name) {
        if (ch == '/') ch = '_';
    }
    dir_ = ::testing::TempDir() + name;
    std::filesystem::create_directories(dir_);
    LogState& log = GetLogState();
    log.noTimeStamp = 1;
    log.dateStampedName = 0;
    log.userWindow = 0;
    ASSERT_EQ(SetLogStartDirectory(dir_.c_str()), 0);
    SetLogEnabledBody(1);
    InitLogFile();
    plat::WNDCLASSA c{};
    c.lpfnWndProc = PlainProc;
    c.lpszClassName = "D3DTestClass";
    ASSERT_NE(plat::RegisterClassA(&c), 0);
    window_ = plat::CreateWindowExA(0, "D3DTestClass", "d3d", plat::WS_POPUP, 0, 0, 640, 480,
                                    nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    GetGraphicsCoreState().window = window_;
    plat::testing::RecordDirect3DCalls(true);
}

void D3DFixture::TearDown() {
    for (GraphRecord* g : graphs_) {
        DeleteGraphTextures(g);
        FreeTagged(g);
    }
    graphs_.clear();
    TerminateDirect3D();
    ShutdownDirectDraw();
    GetGraphicsCoreState().window = nullptr;
    if (plat::IsWindow(window_)) plat::DestroyWindow(window_);
    plat::UnregisterClassA("D3DTestClass", nullptr);
    SetLogStartDirectory(nullptr);
    GetLogState().noTimeStamp = 0;
    SetTextureDivisionFlag(1);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

int D3DFixture::StartScreens(int bits, int width, int height) {
    SwitchWindowModeScreen(1);
    // The mode change would set Direct3D up itself; these tests make the set-up their own call.
    SetNo3DFlag(1);
    EXPECT_EQ(ChangeResolution(width, height, bits, -1), 0);
    const int r = InitDirectDraw();
    DrawState.drawTarget = kBackScreen;
    DrawState.DrawArea = {0, 0, width, height};
    TakeLog();
    TakeCalls();
    return r;
}

void D3DFixture::StartDirect3D(int bits) {
    ASSERT_EQ(StartScreens(bits), 0);
    ASSERT_EQ(InitializeDirect3D(), 0);
    ASSERT_NE(GetDirect3DDevice(), nullptr);
    // As the graphics core's start does after set-up.
    UpdateDrawDiffuseColor();
    TakeLog();
    TakeCalls();
}

void D3DFixture::ClearBackScreen() {
    plat::DirectDrawSurface* s = GetBackSurface();
    for (int y = 0; y < s->Height(); ++y)
        std::memset(s->Bits() + y * s->Pitch(), 0, s->Width() * 4);
}

uint32_t D3DFixture::BackPixel(int x, int y) {
    EndSceneCurrent();
    plat::DirectDrawSurface* s = GetBackSurface();
    uint32_t v;
    std::memcpy(&v, s->Bits() + y * s->Pitch() + x * 4, 4);
    return v & 0xFFFFFF;
}

std::string D3DFixture::TakeLog() {
    std::ifstream in(dir_ + "/Log.txt", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string all = ss.str();
    std::string out;
    for (size_t i = logMark_ < all.size() ? logMark_ : all.size(); i < all.size(); ++i) {
        if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') continue;
        out += all[i];
    }
    logMark_ = all.size();
    return out;
}

std::vector<std::string> D3DFixture::TakeCalls() {
    std::vector<std::string> calls = plat::testing::Direct3DCallLog();
    plat::testing::ClearDirect3DCallLog();
    return calls;
}

GraphRecord* D3DFixture::NewTextureGraph(int width, int height, int bits, uint8_t alpha,
                                         uint8_t alphaTest, uint8_t drawValid) {
    auto* g = static_cast<GraphRecord*>(AllocTaggedZeroed(sizeof(GraphRecord), "", 0));
    g->handle = 0x08000000 | 0x1234;
    g->width = width;
    g->height = height;
    g->format.texture = 1;
    g->format.alpha = alpha;
    g->format.alphaTest = alphaTest;
    g->format.drawValid = drawValid;
    g->format.colorBits = static_cast<uint8_t>(bits);
    graphs_.push_back(g);
    if (CreateGraphTextures(g) != 0) return nullptr;
    return g;
}

}  // namespace tessra
