// Tessra: the engine's public function layer. This is all the game may call of the engine.
//
// Every function here takes the engine lock, runs its body and releases the lock on every
// return path. Results follow the engine's convention: -1 on failure, 0 or a handle or a value
// on success, unless a comment says otherwise. Texts are Shift-JIS; `"..."_sjis` (in
// tessra::sjis_literals) turns a UTF-8 literal into its Shift-JIS bytes.
#pragma once

#include <cstdint>

#include "engine/base/sjis.h"

namespace plat {
struct HWND__;         // the platform's window handle
struct DDPixelFormat;  // a surface pixel format
}  // namespace plat
namespace tessra {
struct ColorFormat;
struct Rect;
}  // namespace tessra

// Engine life, window and messages.
int StartEngine();
int ShutdownEngine();
int ProcessMessage();             // 0, or -1 once the program is quitting
plat::HWND__* GetEngineWindow();  // the main window; null before the engine starts
int ChangeWindowMode(int windowed);
int SetWindowTitle(const char* title);
int SetLogEnabled(int enabled);
int SetRunWhenInactive(int flag);
int SetWindowIcon(int resourceId);
int SetWindowScale(double scale);

// Files and archives. A file handle is pointer-sized; 0 means the open failed.
intptr_t OpenEngineFile(const char* fileName);
int64_t GetEngineFileSize(const char* fileName);  // -1 when the file cannot be opened
int CloseEngineFile(intptr_t handle);
// Reads `size` bytes as one item. The answer counts differently by where the file lies: a plain
// file answers in items (1 when all `size` bytes were read, else 0), a file inside an archive in
// bytes (how many were read).
int64_t ReadEngineFile(void* buffer, int64_t size, intptr_t handle);
int SetUseArchive(int flag);
int SetArchiveExtension(const char* extension);
int SetArchiveKey(const char* keyText);  // nullptr: no key

// Mouse, keyboard and pads.
int SetMouseVisible(int flag);
int GetMousePosition(int* x, int* y);
int SetMousePosition(int x, int y);
int GetMouseButtons();
int IsKeyDown(int scanCode);
int GetPadCount();
int GetPadInput(int inputDevice);

// Time and random numbers.
uint32_t GetTimeMs();
int GetLocalDateTime(int* sixInts);      // year, month, day, hour, minute, second
uint32_t GetEngineRandom(uint32_t max);  // 0..max inclusive
int SeedEngineRandom(uint32_t seed);

// Screen and presentation.
int SetVsyncWait(int flag);
int GetScreenDimensions(int* width, int* height);  // 640 x 480 while no mode is set
const plat::DDPixelFormat* QueryScreenPixelFormat();
uint32_t MakeColor(int r, int g, int b);
int WaitVerticalBlank(int count);
int PresentFrame();
int SetScreenMode(int width, int height, int colorBits, int refreshRate);
int SaveScreenToBmp(int x1, int y1, int x2, int y2, const char* fileName);
int SetTextureSizeFitting(int flag);

// Graphs.
int MakeBlankGraph(int width, int height);
int DeleteGraphHandle(int graph, int logFlag);
int DeleteAllGraphHandles(int logFlag);
int LoadGraphFile(const char* fileName);
int CreateSubGraph(int x, int y, int width, int height, int sourceGraph);
int CopyScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag);
int GetGraphExtent(int graph, int* width, int* height);  // graph, or -2 / -4 for the screens

// Drawing.
int EraseDrawTarget();
int PutGraph(int x, int y, int graph, int transparent);
int PutGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);
int PutGraphRotated(int x, int y, double scale, double angle, int graph, int transparent, int turn);
int PutGraphMirrored(int x, int y, int graph, int transparent);
int PutGraphRotatedAbout(int x1, int y1, int x2, int y2, int px, int py, double scale, double angle,
                         int graph, int transparent);
int DrawLineSegment(int x1, int y1, int x2, int y2, uint32_t color);
int DrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int DrawEllipseShape(int x, int y, int radiusX, int radiusY, uint32_t color, int fill);
int DrawTextAt(int x, int y, const char* text, uint32_t color, uint32_t edgeColor);

// Draw state.
int SetDrawFilterMode(int mode);
int SetBlendMode(int mode, int param);
int SetDrawBrightness(int r, int g, int b);
int SetRenderTarget(int target);  // -2 back screen, -4 front screen, or a graph
int SetDrawClipRect(int x1, int y1, int x2, int y2);
int SetTransparentColor(int r, int g, int b);
int SetNewGraphAlphaChannel(int flag);

// Default font.
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
int SetDefaultFontFace(const char* faceName, int charSet);
int SetDefaultFontType(int type);

// Sound.
int LoadSoundFile(const char* fileName, int bufferCount, int streamValue);
int PlaySoundHandle(int sound, int playType, int fromStart);  // 0 wait, 1 background, 3 loop
int StopSoundHandle(int sound);
int IsSoundPlaying(int sound);              // 1 playing, 0 not, -1 bad handle
int SetSoundVolume(int volume, int sound);  // 0..10000
int SetSoundLoopPosition(int loopStartMs, int sound);
int SetSoundDataKeepMode(int mode);

// Called by the game directly, outside the lock: waits n milliseconds while pumping messages.
int WaitMilliseconds(int milliseconds);

// Entry points that take no lock: each passes its arguments on and returns the result.
int WaitMillisecondsEntry(int milliseconds);
int BuildColorFormatEntry(tessra::ColorFormat* format, int32_t bitDepth, uint32_t redMask,
                          uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask);
int BuildPixelFormatEntry(plat::DDPixelFormat* pixelFormat, int32_t bitDepth, uint32_t redMask,
                          uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask);
int ClipRectEntry(tessra::Rect* rect, const tessra::Rect* bound);
