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

int StartEngine() {
    EngineLockScope lock;
    return tessra::StartEngineBody();
}
int ProcessMessage() {
    EngineLockScope lock;
    return tessra::ProcessMessageBody();
}
plat::HWND__* GetEngineWindow() {
    EngineLockScope lock;
    return tessra::GetEngineWindowBody();
}
int ChangeWindowMode(int windowed) {
    EngineLockScope lock;
    return tessra::ChangeWindowModeBody(windowed);
}
int SetWindowTitle(const char* title) {
    EngineLockScope lock;
    return tessra::SetWindowTitleBody(title);
}
int SetLogEnabled(int enabled) {
    EngineLockScope lock;
    return tessra::SetLogEnabledBody(enabled);
}
int SetRunWhenInactive(int flag) {
    EngineLockScope lock;
    return tessra::SetRunWhenInactiveBody(flag);
}
int SetWindowIcon(int resourceId) {
    EngineLockScope lock;
    return tessra::SetWindowIconBody(resourceId);
}
int SetWindowScale(double scale) {
    EngineLockScope lock;
    return tessra::SetWindowScaleBody(scale);
}

intptr_t OpenEngineFile(const char* fileName) {
    EngineLockScope lock;
    return tessra::OpenViaFileTable(fileName, 0, 1);
}
int CloseEngineFile(intptr_t handle) {
    EngineLockScope lock;
    return tessra::CloseViaFileTable(handle);
}
int64_t ReadEngineFile(void* buffer, int64_t size, intptr_t handle) {
    EngineLockScope lock;
    return size < 0 ? 0 : tessra::ReadViaFileTable(buffer, static_cast<size_t>(size), 1, handle);
}
int SetUseArchive(int flag) {
    EngineLockScope lock;
    return tessra::SetUseArchiveBody(flag);
}
int SetArchiveExtension(const char* extension) {
    EngineLockScope lock;
    return tessra::SetArchiveExtensionBody(extension);
}
int SetArchiveKey(const char* keyText) {
    EngineLockScope lock;
    return tessra::SetArchiveKeyBody(keyText);
}

int SetMouseVisible(int flag) {
    EngineLockScope lock;
    return tessra::SetMouseVisibleBody(flag);
}
int GetMousePosition(int* x, int* y) {
    EngineLockScope lock;
    return tessra::GetMousePositionBody(x, y);
}
int SetMousePosition(int x, int y) {
    EngineLockScope lock;
    return tessra::SetMousePositionBody(x, y);
}
int GetMouseButtons() {
    EngineLockScope lock;
    return tessra::ReadMouseButtonState();
}
int IsKeyDown(int scanCode) {
    EngineLockScope lock;
    return tessra::TestKeyStateDown(scanCode);
}
int GetPadCount() {
    EngineLockScope lock;
    return tessra::CountJoypads();
}
int GetPadInput(int inputDevice) {
    EngineLockScope lock;
    return tessra::ComposePadStateBits(inputDevice);
}

uint32_t GetTimeMs() {
    EngineLockScope lock;
    return plat::timeGetTime();
}
int GetLocalDateTime(int* sixInts) {
    EngineLockScope lock;
    return tessra::GetLocalDateTimeBody(sixInts);
}
uint32_t GetEngineRandom(uint32_t max) {
    EngineLockScope lock;
    return tessra::GetMtRandom(max);
}
int SeedEngineRandom(uint32_t seed) {
    EngineLockScope lock;
    return tessra::SeedMtRandom(seed);
}

int SetVsyncWait(int flag) {
    EngineLockScope lock;
    return tessra::StoreVsyncWaitFlag(flag);
}
int GetScreenDimensions(int* width, int* height) {
    EngineLockScope lock;
    return tessra::ReadScreenSize(width, height);
}
const plat::DDPixelFormat* QueryScreenPixelFormat() {
    EngineLockScope lock;
    return tessra::GetScreenPixelFormat();
}
uint32_t MakeColor(int r, int g, int b) {
    EngineLockScope lock;
    return tessra::MakeScreenColor(r, g, b);
}
int WaitVerticalBlank(int count) {
    EngineLockScope lock;
    return tessra::WaitVerticalBlanks(count);
}
int PresentFrame() {
    EngineLockScope lock;
    return tessra::PresentBackBuffer();
}
int SetScreenMode(int width, int height, int colorBits, int refreshRate) {
    EngineLockScope lock;
    return tessra::ChangeResolution(width, height, colorBits, refreshRate);
}
int SaveScreenToBmp(int x1, int y1, int x2, int y2, const char* fileName) {
    EngineLockScope lock;
    return tessra::WriteScreenRectToBmp(x1, y1, x2, y2, fileName);
}
int SetTextureSizeFitting(int flag) {
    EngineLockScope lock;
    return tessra::SetTextureDivisionFlag(flag);
}

int MakeBlankGraph(int width, int height) {
    EngineLockScope lock;
    return tessra::CreateBlankGraphDefault(width, height);
}
int DeleteGraphHandle(int graph, int logFlag) {
    EngineLockScope lock;
    return tessra::ReleaseGraph(graph, logFlag);
}
int DeleteAllGraphHandles(int logFlag) {
    EngineLockScope lock;
    return tessra::ReleaseAllGraphs(logFlag);
}
int LoadGraphFile(const char* fileName) {
    EngineLockScope lock;
    return tessra::LoadGraphFromFileDefault(fileName);
}
int CreateSubGraph(int x, int y, int width, int height, int sourceGraph) {
    EngineLockScope lock;
    return tessra::DeriveGraph(x, y, width, height, sourceGraph);
}
int CopyScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag) {
    EngineLockScope lock;
    return tessra::CopyDrawScreenToGraph(x1, y1, x2, y2, graph, flag);
}
int GetGraphExtent(int graph, int* width, int* height) {
    EngineLockScope lock;
    return tessra::QueryGraphExtent(graph, width, height);
}

int EraseDrawTarget() {
    EngineLockScope lock;
    return tessra::ClearDrawTargetAndRepaint();
}
int PutGraph(int x, int y, int graph, int transparent) {
    EngineLockScope lock;
    return tessra::DrawGraphAt(x, y, graph, transparent);
}
int PutGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent) {
    EngineLockScope lock;
    return tessra::DrawGraphStretched(x1, y1, x2, y2, graph, transparent);
}
int PutGraphRotated(int x, int y, double scale, double angle, int graph, int transparent,
                    int turn) {
    EngineLockScope lock;
    return tessra::DrawGraphRotatedF(x, y, scale, angle, graph, transparent, turn);
}
int PutGraphMirrored(int x, int y, int graph, int transparent) {
    EngineLockScope lock;
    return tessra::DrawGraphMirrored(x, y, graph, transparent);
}
int PutGraphRotatedAbout(int x1, int y1, int x2, int y2, int px, int py, double scale, double angle,
                         int graph, int transparent) {
    EngineLockScope lock;
    return tessra::DrawGraphRotatedAbout(x1, y1, x2, y2, px, py, scale, angle, graph, transparent);
}
int DrawLineSegment(int x1, int y1, int x2, int y2, uint32_t color) {
    EngineLockScope lock;
    return tessra::DrawLineClipped(x1, y1, x2, y2, color);
}
int DrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    EngineLockScope lock;
    return tessra::FillOrFrameRectangle(x1, y1, x2, y2, color, fill);
}
int DrawEllipseShape(int x, int y, int radiusX, int radiusY, uint32_t color, int fill) {
    EngineLockScope lock;
    return tessra::DrawOvalInBounds(x, y, radiusX, radiusY, color, fill);
}
int DrawTextAt(int x, int y, const char* text, uint32_t color, uint32_t edgeColor) {
    EngineLockScope lock;
    return tessra::DrawStringWithDefaultFont(x, y, text, color, edgeColor);
}

int SetDrawFilterMode(int mode) {
    EngineLockScope lock;
    return tessra::StoreDrawFilterMode(mode);
}
int SetBlendMode(int mode, int param) {
    EngineLockScope lock;
    return tessra::StoreBlendModeAndParam(mode, param);
}
int SetDrawBrightness(int r, int g, int b) {
    EngineLockScope lock;
    return tessra::StoreDrawBrightness(r, g, b);
}
int SetRenderTarget(int target) {
    EngineLockScope lock;
    return tessra::SetDrawTargetAndArea(target);
}
int SetDrawClipRect(int x1, int y1, int x2, int y2) {
    EngineLockScope lock;
    return tessra::ApplyDrawClipRect(x1, y1, x2, y2);
}
int SetTransparentColor(int r, int g, int b) {
    EngineLockScope lock;
    return tessra::StoreTransparentColor(r, g, b);
}
int SetNewGraphAlphaChannel(int flag) {
    EngineLockScope lock;
    return tessra::StoreBlankGraphAlphaFlag(flag);
}

int SetDefaultFontSize(int size) {
    EngineLockScope lock;
    return tessra::StoreDefaultFontSize(size);
}
int SetDefaultFontThickness(int thickness) {
    EngineLockScope lock;
    return tessra::StoreDefaultFontThickness(thickness);
}
int SetDefaultFontFace(const char* faceName, int charSet) {
    EngineLockScope lock;
    return tessra::StoreDefaultFontFace(faceName, charSet);
}
int SetDefaultFontType(int type) {
    EngineLockScope lock;
    return tessra::StoreDefaultFontType(type);
}

int LoadSoundFile(const char* fileName, int bufferCount, int streamValue) {
    EngineLockScope lock;
    return tessra::CreateSoundFromFile(fileName, bufferCount, streamValue);
}
int PlaySoundHandle(int sound, int playType, int fromStart) {
    EngineLockScope lock;
    return tessra::PlaySoundOnNextBuffer(sound, playType, fromStart);
}
int StopSoundHandle(int sound) {
    EngineLockScope lock;
    return tessra::StopSoundBuffers(sound);
}
int IsSoundPlaying(int sound) {
    EngineLockScope lock;
    return tessra::QuerySoundPlaying(sound);
}
int SetSoundVolume(int volume, int sound) {
    EngineLockScope lock;
    return tessra::ApplySoundVolume(volume, sound);
}
int SetSoundLoopPosition(int loopStartMs, int sound) {
    EngineLockScope lock;
    return tessra::SetLoopStartMs(loopStartMs, sound);
}
int SetSoundDataKeepMode(int mode) {
    EngineLockScope lock;
    return tessra::StoreSoundDataKeepMode(mode);
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
    EngineLockScope lock;
    const intptr_t handle = tessra::OpenViaFileTable(fileName, 0, 1);
    if (handle == 0) return -1;
    tessra::SeekViaFileTable(handle, 0, tessra::kSeekEnd);
    const int64_t size = tessra::TellViaFileTable(handle);
    tessra::CloseViaFileTable(handle);
    return size;
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
