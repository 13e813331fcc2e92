// The public layer: each entry takes the engine lock, runs its body and gives the body's result;
// the scope object releases the lock on every return path.
#include "engine/tessra.h"

#include "engine/base/archive.h"
#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/random.h"
#include "engine/core/engine_lock.h"
#include "engine/core/engine_system.h"
#include "engine/core/window.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/graphics/color_format.h"
#include "engine/graphics/graphics_core.h"
#include "engine/input/input.h"
#include "engine/screen/screen.h"
#include "engine/sound/sound.h"
#include "platform/win/time.h"

using tessra::EngineLockScope;

namespace {

// The one body of every entry: takes the engine lock, calls body with the entry's arguments and
// gives its result; the scope releases the lock on every return path. A new entry is one line:
//     int SetSomething(int flag) { return Locked(tessra::SetSomethingBody, flag); }
template <typename Body, typename... Args>
auto Locked(Body body, Args... args) {
    EngineLockScope lock;
    return body(args...);
}

}  // namespace

int StartEngine() {
    return Locked(tessra::StartEngineBody);
}
int ProcessMessage() {
    return Locked(tessra::ProcessMessageBody);
}
plat::HWND__* GetEngineWindow() {
    return Locked(tessra::GetEngineWindowBody);
}
int ChangeWindowMode(int windowed) {
    return Locked(tessra::ChangeWindowModeBody, windowed);
}
int SetWindowTitle(const char* title) {
    return Locked(tessra::SetWindowTitleBody, title);
}
int SetLogEnabled(int enabled) {
    return Locked(tessra::SetLogEnabledBody, enabled);
}
int SetRunWhenInactive(int flag) {
    return Locked(tessra::SetRunWhenInactiveBody, flag);
}
int SetWindowIcon(int resourceId) {
    return Locked(tessra::SetWindowIconBody, resourceId);
}
int SetWindowScale(double scale) {
    return Locked(tessra::SetWindowScaleBody, scale);
}

intptr_t OpenEngineFile(const char* fileName) {
    return Locked([&] { return tessra::OpenViaFileTable(fileName, 0, 1); });
}
int CloseEngineFile(intptr_t handle) {
    return Locked(tessra::CloseViaFileTable, handle);
}
int64_t ReadEngineFile(void* buffer, int64_t size, intptr_t handle) {
    return Locked([&] {
        return size < 0 ? 0
                        : tessra::ReadViaFileTable(buffer, static_cast<size_t>(size), 1, handle);
    });
}
int SetUseArchive(int flag) {
    return Locked(tessra::SetUseArchiveBody, flag);
}
int SetArchiveExtension(const char* extension) {
    return Locked(tessra::SetArchiveExtensionBody, extension);
}
int SetArchiveKey(const char* keyText) {
    return Locked(tessra::SetArchiveKeyBody, keyText);
}

int SetMouseVisible(int flag) {
    return Locked(tessra::SetMouseVisibleBody, flag);
}
int GetMousePosition(int* x, int* y) {
    return Locked(tessra::GetMousePositionBody, x, y);
}
int SetMousePosition(int x, int y) {
    return Locked(tessra::SetMousePositionBody, x, y);
}
int GetMouseButtons() {
    return Locked(tessra::ReadMouseButtonState);
}
int IsKeyDown(int scanCode) {
    return Locked(tessra::TestKeyStateDown, scanCode);
}
int GetPadCount() {
    return Locked(tessra::CountJoypads);
}
int GetPadInput(int inputDevice) {
    return Locked(tessra::ComposePadStateBits, inputDevice);
}

uint32_t GetTimeMs() {
    return Locked(plat::timeGetTime);
}
int GetLocalDateTime(int* sixInts) {
    return Locked(tessra::GetLocalDateTimeBody, sixInts);
}
uint32_t GetEngineRandom(uint32_t max) {
    return Locked(tessra::GetMtRandom, max);
}
int SeedEngineRandom(uint32_t seed) {
    return Locked(tessra::SeedMtRandom, seed);
}

int SetVsyncWait(int flag) {
    return Locked(tessra::StoreVsyncWaitFlag, flag);
}
int GetScreenDimensions(int* width, int* height) {
    return Locked(tessra::ReadScreenSize, width, height);
}
const plat::DDPixelFormat* QueryScreenPixelFormat() {
    return Locked(tessra::GetScreenPixelFormat);
}
uint32_t MakeColor(int r, int g, int b) {
    return Locked(tessra::MakeScreenColor, r, g, b);
}
int WaitVerticalBlank(int count) {
    return Locked(tessra::WaitVerticalBlanks, count);
}
int PresentFrame() {
    return Locked(tessra::PresentBackBuffer);
}
int SetScreenMode(int width, int height, int colorBits, int refreshRate) {
    return Locked(tessra::ChangeResolution, width, height, colorBits, refreshRate);
}
int SaveScreenToBmp(int x1, int y1, int x2, int y2, const char* fileName) {
    return Locked(tessra::WriteScreenRectToBmp, x1, y1, x2, y2, fileName);
}
int SetTextureSizeFitting(int flag) {
    return Locked(tessra::SetTextureDivisionFlag, flag);
}

int MakeBlankGraph(int width, int height) {
    return Locked(tessra::CreateBlankGraphDefault, width, height);
}
int DeleteGraphHandle(int graph, int logFlag) {
    return Locked(tessra::ReleaseGraph, graph, logFlag);
}
int DeleteAllGraphHandles(int logFlag) {
    return Locked(tessra::ReleaseAllGraphs, logFlag);
}
int LoadGraphFile(const char* fileName) {
    return Locked(tessra::LoadGraphFromFileDefault, fileName);
}
int CreateSubGraph(int x, int y, int width, int height, int sourceGraph) {
    return Locked(tessra::DeriveGraph, x, y, width, height, sourceGraph);
}
int CopyScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag) {
    return Locked(tessra::CopyDrawScreenToGraph, x1, y1, x2, y2, graph, flag);
}
int GetGraphExtent(int graph, int* width, int* height) {
    return Locked(tessra::QueryGraphExtent, graph, width, height);
}

int EraseDrawTarget() {
    return Locked(tessra::ClearDrawTargetAndRepaint);
}
int PutGraph(int x, int y, int graph, int transparent) {
    return Locked(tessra::DrawGraphAt, x, y, graph, transparent);
}
int PutGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent) {
    return Locked(tessra::DrawGraphStretched, x1, y1, x2, y2, graph, transparent);
}
int PutGraphRotated(int x, int y, double scale, double angle, int graph, int transparent,
                    int turn) {
    return Locked(tessra::DrawGraphRotatedF, x, y, scale, angle, graph, transparent, turn);
}
int PutGraphMirrored(int x, int y, int graph, int transparent) {
    return Locked(tessra::DrawGraphMirrored, x, y, graph, transparent);
}
int PutGraphRotatedAbout(int x1, int y1, int x2, int y2, int px, int py, double scale, double angle,
                         int graph, int transparent) {
    return Locked(tessra::DrawGraphRotatedAbout, x1, y1, x2, y2, px, py, scale, angle, graph,
                  transparent);
}
int DrawLineSegment(int x1, int y1, int x2, int y2, uint32_t color) {
    return Locked(tessra::DrawLineClipped, x1, y1, x2, y2, color);
}
int DrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    return Locked(tessra::FillOrFrameRectangle, x1, y1, x2, y2, color, fill);
}
int DrawEllipseShape(int x, int y, int radiusX, int radiusY, uint32_t color, int fill) {
    return Locked(tessra::DrawOvalInBounds, x, y, radiusX, radiusY, color, fill);
}
int DrawTextAt(int x, int y, const char* text, uint32_t color, uint32_t edgeColor) {
    return Locked(tessra::DrawStringWithDefaultFont, x, y, text, color, edgeColor);
}

int SetDrawFilterMode(int mode) {
    return Locked(tessra::StoreDrawFilterMode, mode);
}
int SetBlendMode(int mode, int param) {
    return Locked(tessra::StoreBlendModeAndParam, mode, param);
}
int SetDrawBrightness(int r, int g, int b) {
    return Locked(tessra::StoreDrawBrightness, r, g, b);
}
int SetRenderTarget(int target) {
    return Locked(tessra::SetDrawTargetAndArea, target);
}
int SetDrawClipRect(int x1, int y1, int x2, int y2) {
    return Locked(tessra::ApplyDrawClipRect, x1, y1, x2, y2);
}
int SetTransparentColor(int r, int g, int b) {
    return Locked(tessra::StoreTransparentColor, r, g, b);
}
int SetNewGraphAlphaChannel(int flag) {
    return Locked(tessra::StoreBlankGraphAlphaFlag, flag);
}

int SetDefaultFontSize(int size) {
    return Locked(tessra::StoreDefaultFontSize, size);
}
int SetDefaultFontThickness(int thickness) {
    return Locked(tessra::StoreDefaultFontThickness, thickness);
}
int SetDefaultFontFace(const char* faceName, int charSet) {
    return Locked(tessra::StoreDefaultFontFace, faceName, charSet);
}
int SetDefaultFontType(int type) {
    return Locked(tessra::StoreDefaultFontType, type);
}

int LoadSoundFile(const char* fileName, int bufferCount, int streamValue) {
    return Locked(tessra::CreateSoundFromFile, fileName, bufferCount, streamValue);
}
int PlaySoundHandle(int sound, int playType, int fromStart) {
    return Locked(tessra::PlaySoundOnNextBuffer, sound, playType, fromStart);
}
int StopSoundHandle(int sound) {
    return Locked(tessra::StopSoundBuffers, sound);
}
int IsSoundPlaying(int sound) {
    return Locked(tessra::QuerySoundPlaying, sound);
}
int SetSoundVolume(int volume, int sound) {
    return Locked(tessra::ApplySoundVolume, volume, sound);
}
int SetSoundLoopPosition(int loopStartMs, int sound) {
    return Locked(tessra::SetLoopStartMs, loopStartMs, sound);
}
int SetSoundDataKeepMode(int mode) {
    return Locked(tessra::StoreSoundDataKeepMode, mode);
}

int ShutdownEngine() {
    int result;
    {
        EngineLockScope lock;
        result = tessra::ShutdownEngineBody();
    }
    tessra::TearDownEngineLock();
    return result;
}

int64_t GetEngineFileSize(const char* fileName) {
    return Locked([&]() -> int64_t {
        const intptr_t handle = tessra::OpenViaFileTable(fileName, 0, 1);
        if (handle == 0) return -1;
        tessra::SeekViaFileTable(handle, 0, tessra::kSeekEnd);
        const int64_t size = tessra::TellViaFileTable(handle);
        tessra::CloseViaFileTable(handle);
        return size;
    });
}

int WaitMilliseconds(int milliseconds) {
    return tessra::WaitMilliseconds(milliseconds);
}

int WaitMillisecondsEntry(int milliseconds) {
    return tessra::WaitMilliseconds(milliseconds);
}

int BuildColorFormatEntry(tessra::ColorFormat* format, int32_t bitDepth, uint32_t redMask,
                          uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask) {
    return tessra::BuildColorFormatFromMasks(format, bitDepth, redMask, greenMask, blueMask,
                                             alphaMask);
}

int BuildPixelFormatEntry(plat::DDPixelFormat* pixelFormat, int32_t bitDepth, uint32_t redMask,
                          uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask) {
    return tessra::BuildDDPixelFormat(pixelFormat, bitDepth, redMask, greenMask, blueMask,
                                      alphaMask);
}

int ClipRectEntry(tessra::Rect* rect, const tessra::Rect* bound) {
    return tessra::ClipRectToRect(rect, bound);
}
