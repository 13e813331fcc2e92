// The engine's current draw state: the one global record every back-end reads at call time,
// its defaults, and the setters and getters through which the rest of the engine changes it.
// Selecting the draw target and applying the draw area belong to the 2-D front end.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace tessra {

// How a draw combines with what is already there; the blend parameter weights it (0..255).
enum BlendMode : int32_t {
    kBlendNone = 0,
    kBlendAlpha = 1,
    kBlendAdd = 2,
    kBlendSubtract = 3,
    kBlendMultiply = 4,
};

// Scaled and rotated draws: nearest or bilinear.
enum DrawFilterMode : int32_t {
    kFilterNearest = 0,
    kFilterBilinear = 1,
};

inline constexpr int32_t kBackScreen = -2;
inline constexpr int32_t kFrontScreen = -4;

struct DrawStateRecord {
    int32_t drawTarget;  // kBackScreen, kFrontScreen or a graph handle
    Rect clientRect;     // the window's client area in screen coordinates, or zeros
    Rect DrawArea;       // clip rectangle inside the draw target; right, bottom exclusive
    float drawAreaF[4];  // the same as floats
    int32_t targetWidth;
    int32_t targetHeight;
    int32_t zBufferUse;
    int32_t zWrite;
    int32_t zCompareFunction;  // 4: less or equal
    float vertexDepth2D;       // z of 2-D vertices on Direct3D
    int32_t filterMode;        // a DrawFilterMode
    int32_t blendMode;         // a BlendMode
    int32_t blendParam;        // 0..255
    int32_t blendGraph;        // graph whose pixels weight the blend, or -1
    int32_t blendGraphParam[2];
    uint8_t brightness[3];  // blue, green, red; all 255 draws unchanged
    int32_t maskEnabled;
    int32_t maskActive;         // draws go into the mask screen's image
    int32_t newGraphColorBits;  // 0: the screen's depth
    int32_t use3D;
    int32_t drawValidSetting;
    int32_t blankGraphAlpha;
    int32_t alphaTestDefault;
    int32_t systemMemoryOption;
    uint32_t transColor;  // 0xRRGGBB colour key of new graphs
    int32_t auxFlag;
    int32_t graphicsOff;  // never set in this program
    int32_t drawAreaEmpty;
    int32_t direct3DReady;
};

inline DrawStateRecord DrawState = {kFrontScreen,
                                    {0, 0, 0, 0},
                                    {0, 0, 640, 480},
                                    {0, 0, 640, 480},
                                    640,
                                    480,
                                    0,
                                    0,
                                    4,
                                    0.2f,
                                    kFilterNearest,
                                    kBlendNone,
                                    0,
                                    -1,
                                    {0, 0},
                                    {255, 255, 255},
                                    1,
                                    0,
                                    0,
                                    1,
                                    0,
                                    0,
                                    1,
                                    0,
                                    0,
                                    0,
                                    0,
                                    0,
                                    0};

// The brightness as one 0xRRGGBB word.
inline uint32_t DrawBrightnessPacked() {
    return (uint32_t(DrawState.brightness[2]) << 16) | (uint32_t(DrawState.brightness[1]) << 8) |
           DrawState.brightness[0];
}

// Puts every field to the defaults the graphics core starts with (the screen's size for the
// target and draw area).
void ResetDrawState();

// Setters: a call with the values already in force returns 0 and does nothing else; so does
// every setter while graphics are switched off. Parameters and brightness are clamped to 0..255.
int StoreDrawFilterMode(int mode);
int StoreBlendModeAndParam(int mode, int param);
// -1 for a handle other than -1 that names no live graph.
int SelectBlendGraph(int graph, int param1, int param2);
int SetDrawBrightnessPacked(uint32_t rgb);
int StoreDrawBrightness(int r, int g, int b);
int StoreUse3DSetting(int flag);
int StoreTransparentColor(int r, int g, int b);  // refused (0, nothing stored) on 8-bit screens
int SetNewGraphDrawValidFlag(int flag);
int SetGraphOptionForcedWithDirectDraw(int flag);
int SetGraphOptionInverted(int flag);
int SetWindowClientScreenRect(const Rect* rect);
int StoreBlankGraphAlphaFlag(int flag);

// Getters.
int GetDrawTarget();
int GetDrawClipRect(Rect* rect);
int GetDrawFilterMode();
int GetGraphicsAuxFlag();
// Width, height and colour bits of the screen mode; 640, 480 and 16 while unset.
int GetScreenSizeAndBits(int* width, int* height, int* bits);
int IsDirect3DDrawActive();

// Fills every piece of a graph with the colour. 0, or -1 for a bad graph or piece.
int FillGraphWithColor(int graph, int r, int g, int b, int a);

}  // namespace tessra
