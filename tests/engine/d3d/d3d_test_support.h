// Direct3D back-end tests: the screens started in full screen on a hidden window, the log read
// back without stamps, and Direct3D set up on the stand-in device.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/graph_table.h"
#include "platform/d3d7/d3d7.h"
#include "platform/win/window.h"

namespace tessra {

class D3DFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Full screen at the depth, with 3-D switched off so that Direct3D is left to the test; 0
    // when the screens stand.
    int StartScreens(int bits, int width = 640, int height = 480);
    // Screens at the depth and Direct3D on them; asserts both succeed.
    void StartDirect3D(int bits);

    // The log written since the last mark (line ends as LF, no stamps), and a new mark.
    std::string TakeLog();
    // The device calls since the last take (recording is on from SetUp).
    std::vector<std::string> TakeCalls();

    // A graph record of the size with texture pieces made by CreateGraphTextures; the record is
    // the test's (not in the graph table).
    GraphRecord* NewTextureGraph(int width, int height, int bits, uint8_t alpha = 0,
                                 uint8_t alphaTest = 0, uint8_t drawValid = 0);

    // The 32-bit back screen: cleared to 0, and a pixel's colour once the scene has ended.
    void ClearBackScreen();
    uint32_t BackPixel(int x, int y);

    Direct3DDeviceRecord* Record() { return CurrentRecord(); }
    int32_t Dev() const { return D3D().currentDevice; }

    plat::HWND window_ = nullptr;
    std::string dir_;
    size_t logMark_ = 0;
    std::vector<GraphRecord*> graphs_;
};

// Joined with "\n", for readable failures.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace tessra
