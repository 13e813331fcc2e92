// Controls that tests use to steer the platform layer. Nothing of the program calls these.
// Each test case runs in its own process; Reset() puts every control back to its default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/win/types.h"

namespace plat {
struct Direct3DProfile;
}

namespace plat::testing {

// Puts every control of this header back to its default (real clocks, no injected failures,
// no scripted answers, the real desktop, the default instance-lock key).
void Reset();

// --- Clocks ----------------------------------------------------------------------------------
// Switches timeGetTime, GetTickCount, the performance counter and GetLocalTime's seconds to a
// fake clock that starts at the given millisecond count and moves only when advanced (or slept,
// see below). The performance counter then counts microseconds of the fake clock.
void SetFakeClock(uint32_t milliseconds);
// Moves the fake clock on (the 32-bit millisecond count wraps).
void AdvanceFakeClock(uint32_t milliseconds);
// Moves the fake clock on by microseconds.
void AdvanceFakeClockMicroseconds(uint64_t microseconds);
// With the fake clock on, Sleep(n) advances it by n instead of sleeping (the default), or sleeps
// for real and leaves it alone.
void SetSleepAdvancesFakeClock(bool advances);
// With onlyThisThread, only the calling thread's sleeps move the fake clock and other threads
// (a message thread that sleeps between its passes) sleep for real; false puts every thread back.
void SetFakeClockSleeperThread(bool onlyThisThread);
void UseRealClock();
bool IsFakeClock();
// A fixed local date and time for GetLocalTime; it moves on with the clock from that moment.
void SetFakeLocalTime(int year, int month, int day, int hour, int minute, int second);
void UseRealLocalTime();

// --- Injected window events --------------------------------------------------------------------
// Each goes through the same path as SDL's own event (when SDL video runs, as an SDL event) and
// becomes window messages at the main thread's next PeekMessageA. A 0 window means every window.
void InjectFocusLoss(HWND window = nullptr);
void InjectFocusGain(HWND window = nullptr);
void InjectClose(HWND window = nullptr);
// Changes the virtual desktop to that size and depth and tells the windows (WM_DISPLAYCHANGE).
void InjectDisplayChange(int width, int height, int bitsPerPixel);
// A key pressed and released (SDL scan code, as in SDL_scancode.h); a repeat is the key's
// auto-repeat while held.
void InjectKeyDown(int sdlScancode, bool repeat = false);
void InjectKeyUp(int sdlScancode);
// Typed text, UTF-8.
void InjectTextInput(const char* utf8);
// Mouse motion to a client position, and a button (1 left, 2 middle, 3 right) going down or up.
void InjectMouseMotion(HWND window, int x, int y);
void InjectMouseButton(HWND window, int button, bool down, int x, int y);

// --- Desktop ---------------------------------------------------------------------------------
// A virtual desktop size, colour depth (as reported, 24 stays 24 here so tests can ask for it)
// and refresh rate in place of the display's.
void SetVirtualDesktop(int width, int height, int bitsPerPixel, int refreshRate = 60);
void ClearVirtualDesktop();

// --- Single instance ---------------------------------------------------------------------------
// The key that instance locks are taken under, in place of the class name; parallel tests use
// a key of their own so they do not refuse each other.
void SetInstanceLockKey(const std::string& key);
// A key unique to this process.
void UsePrivateInstanceLockKey();
// The lock file path that a class name maps to under the current key.
std::string InstanceLockPath(const char* className);

// --- Forced failures -------------------------------------------------------------------------
// The next n window-class registrations, or window creations, fail.
void FailClassRegistrations(int count);
void FailWindowCreations(int count);

// --- Message boxes ---------------------------------------------------------------------------
// Answers (IDOK, IDYES, IDNO, IDCANCEL) given to the next boxes, in order, before the
// environment's answer; they are used with or without a display.
void PushMessageBoxAnswer(int answer);
struct ShownMessageBox {
    HWND owner;
    std::string text;     // Shift-JIS, as given
    std::string caption;  // Shift-JIS, as given
    UINT type;
    int answer;
};
std::vector<ShownMessageBox> ShownMessageBoxes();

// --- Process starts --------------------------------------------------------------------------
// While on, WinExec records the command line and answers success without starting anything.
void RecordProcessStarts(bool record);
struct ProcessStart {
    std::string commandLine;
    UINT showCommand;
};
std::vector<ProcessStart> RecordedProcessStarts();

// --- Input devices -----------------------------------------------------------------------------
// Steps of the DirectInput stand-in that a test can make fail.
enum class InputStep {
    kObject7,     // creating the version-7 object
    kObject8,     // creating the version-8 object
    kInitialize,  // an object's Initialize
    kCreateDevice,
    kDataFormat,
    kCooperativeLevel,
    kProperty,
    kEventNotification,
    kAcquire,
    kDeviceState,  // the read fails and the device loses its acquisition
    kCreateEffect,
};
enum class InputDeviceKind { kAny, kKeyboard, kMouse, kPad };
// The next `count` calls of that step on a device of that kind fail (the object steps ignore
// the kind).
void FailInputStep(InputStep step, InputDeviceKind kind, int count);

// Virtual pads are SDL's virtual joysticks: game controllers (SDL's six controller axes and its
// controller buttons) or plain joysticks (six axes, 32 buttons, one hat). With rumble, each call
// of their rumble motors is recorded; with haptic, each gets a recorded stand-in for a haptic
// device, as no virtual haptic device exists.
enum : unsigned { kVirtualPadController = 1, kVirtualPadRumble = 2, kVirtualPadHaptic = 4 };
// Attaches `count` pads with those traits; the result is the number of the first (virtual pads
// are numbered from 0 in the order added), -1 when SDL refuses.
int AddVirtualPads(int count, unsigned traits);
// Axis, button and hat values as SDL takes them (axes -32768..32767, SDL_HAT_* values); they
// reach the pad's state when the main thread next takes SDL's events.
void SetVirtualPadAxis(int pad, int axis, int value);
void SetVirtualPadButton(int pad, int button, bool down);
void SetVirtualPadHat(int pad, int hat, uint8_t sdlHatValue);
void UnplugVirtualPad(int pad);
// The force-feedback calls since the last take, oldest first: "rumble pad P low L high H" (a
// virtual pad's motors), "haptic pad P new|run|stop|destroy constant|sine ..." (the recorded
// haptic device) and "effect pad P start|stop constant|sine" (a pad with neither).
std::vector<std::string> TakeForceFeedbackCalls();
// DirectInput objects, devices and effects made and not yet released.
struct LiveInputCounts {
    int objects;
    int devices;
    int effects;
};
LiveInputCounts LiveInputObjects();
// How many times a device of that kind went from unacquired to acquired.
int InputAcquisitions(InputDeviceKind kind);
// The last event handle offered to a device's SetEventNotification, refused or not.
HANDLE LastOfferedInputEvent(InputDeviceKind kind);

// --- Cursor ----------------------------------------------------------------------------------
// The cursor display count and whether a cursor is set (what ShowCursor and SetCursor left).
int CursorDisplayCount();
bool CursorShown();

// --- Display: DirectDraw, GDI and the presenter --------------------------------------------------
// The next n creations of the DirectDraw object fail; a negative count: every one from now on.
void FailDirectDrawCreations(int count);
// How the display refuses a mode of its table: not at all, only when a refresh rate is asked
// (the same mode without one is taken), or in every form. Applies to DirectDraw's
// SetDisplayMode and to ChangeDisplaySettingsA.
enum class ModeRefusal { None, WithRefresh, Always };
void RefuseDisplayMode(int width, int height, int bits, ModeRefusal how);
// A 16-bit display (mode or desktop) in 5:5:5 instead of 5:6:5.
void UseRgb555For16BitDisplay(bool use555);
// The mode that ChangeDisplaySettingsA set; false while the desktop's is in force.
bool DisplaySettingsMode(int* width, int* height, int* bits, int* refresh);
// The next n queries of that interface fail (a negative count: every one from now on).
enum class DirectDrawInterface { kDirectDraw4, kSurface4, kSurface7 };
void FailDirectDrawInterfaceQueries(DirectDrawInterface which, int count);
// The next n surface locks fail (a negative count: every one from now on).
void FailSurfaceLocks(int count);
// Display calls a test can make fail from a chosen call on. BitBlt fails with FALSE and sets the
// last error to ERROR_INVALID_PARAMETER (87); the others return DDERR_GENERIC.
enum class DisplayCall { kGetDC, kReleaseDC, kBltFast, kLock, kCreateSurface, kBitBlt };
// The n-th call of that kind (1 for the next, counted from now) fails, and the count - 1 after
// it (a negative count: every one from then on).
void FailDisplayCallAt(DisplayCall call, int nth, int count = 1);
// Surfaces created without DDSCAPS_SYSTEMMEMORY report video memory.
void SetSurfacesInVideoMemory(bool video);
// Every live surface becomes lost.
void LoseAllSurfaces();
// With the fake clock on, each GetVerticalBlankStatus and GetScanLine first moves the clock on
// by this many microseconds, so that a loop polling the retrace under a fake clock ends.
void SetRetracePollAdvance(uint32_t microseconds);

// With the fake clock on, each picture presented to the window moves it on by this many
// microseconds, as a present that takes that long would.
void SetPresentCost(uint32_t microseconds);
// Pictures presented to the window since Reset(), and the last one as 0xRRGGBB values.
uint64_t PresentCount();
struct PresentedPicture {
    int width = 0;
    int height = 0;
    int bits = 0;               // the picture's own depth (16 or 32)
    std::vector<uint32_t> rgb;  // width x height, rows top-down
};
PresentedPicture LastPresentedPicture();
// Whether a full-screen cooperative level switched the presenter to full screen.
bool PresenterFullScreen();

// --- Direct3D ----------------------------------------------------------------------------------
// What enumeration and device creation report, in place of DefaultDirect3DProfile().
void SetDirect3DProfile(const Direct3DProfile& profile);
// While on, every call of the Direct3D object and its devices adds a line to the call log:
// the method's name and its arguments, as "SetRenderState(27, 1)".
void RecordDirect3DCalls(bool record);
std::vector<std::string> Direct3DCallLog();
void ClearDirect3DCallLog();
// The n-th call (1 for the next, counted from now) of the named method ("DrawPrimitive",
// "QueryInterface", ...) returns the result without doing anything else.
void InjectDirect3DResult(const char* method, int nth, int32_t result);
// Devices that only record and answer: draws reach no pixels.
void SetDirect3DStandAlone(bool standAlone);

// --- Sound output ------------------------------------------------------------------------------
// The mixer without an audio device or thread: the device opens no SDL audio, and the test mixes
// by hand with StepMixer.
void UseSteppedMixer(bool stepped);
// Mixes the next `frames` frames of the open device (44,100 Hz, 16-bit stereo, interleaved left
// and right); silence when no device is open.
std::vector<int16_t> StepMixer(int frames);
// While on, each Sleep(n) under the fake clock mixes n ms of the stepped mixer and drops it, so a
// wait for a sound to end comes to its end.
void SetSleepStepsMixer(bool on);
// No audio output: the device's Initialize fails as with no sound card.
void SetNoSoundDevice(bool none);
// The next n device-object creations, sound-buffer creations, or buffer duplicates fail.
void FailSoundDeviceCreations(int count);
void FailSoundBufferCreations(int count);
void FailSoundBufferDuplicates(int count);
// The next n Play calls on secondary buffers fail.
void FailSoundBufferPlays(int count);
// The buffers of the open device (0 without one), and whether a device is open.
int LiveSoundBufferCount();
bool SoundDeviceOpen();
// Called when a device opens its output (true) and when it closes (false), on the calling thread;
// null for none.
void SetSoundDeviceHook(void (*hook)(bool opened));

// --- Media graph --------------------------------------------------------------------------------
// Steps of the media-graph stand-in (platform/dshow) that a test can make fail.
enum class MediaStep {
    kCreateFilterGraph,
    kCreateMultiMediaStream,
    kInitialize,
    kMediaControl,    // the graph's IID_IMediaControl
    kAddVideoStream,  // AddMediaStream of the primary video stream
    kAddAudioStream,  // AddMediaStream of the primary audio stream
    kOpenFile,
    kMediaSeeking,
    kBasicAudio,
    kGetVideoStream,  // GetMediaStream of the primary video stream
    kAMMediaStream,   // the video stream's IID_IAMMediaStream
    kDirectDrawMediaStream,
    kCreateSample,
    kGetSampleSurface,
    kCount
};
// The next n calls of that step fail (a negative count: every one from now on).
void FailMediaStep(MediaStep step, int count);

// --- Fonts -------------------------------------------------------------------------------------
// Fonts made from now on take their faces from the factory instead of fontconfig and FreeType;
// an empty factory (the default) puts those back.
void SetGlyphFaceFactory(GlyphFaceFactory factory);
// The OEM code page GetOEMCP answers: 932 until set, 949 for a Korean system.
void SetOemCodePage(UINT codePage);

// --- Input method ----------------------------------------------------------------------------
// What the one composition context holds from now on, in place of what SDL's editing gave.
struct FakeImeContext {
    std::string composition;  // Shift-JIS
    std::string result;       // Shift-JIS
    uint32_t cursorBytes = 0;
    std::vector<uint32_t> clauses;  // empty: one clause over the composition
    bool open = false;
    std::vector<uint8_t> candidateList;  // empty: no candidates (size 0)
    int failingCandidateReads = 0;       // the next n reads of a list fail
};
void SetImeContext(const FakeImeContext& context);
// Whether WINNLSEnableIME last left the input method on; contexts taken and not released.
bool ImeEnabled();
int ImeContextsHeld();
// The ISC_SHOWUI* bits of the last WM_IME_SETCONTEXT that reached the default procedure: the
// system windows it was asked to show.
LPARAM ImeSystemWindowFlags();
// The input-method calls since the last take: "WINNLSEnableIME 0|1", "ImmNotifyIME cancel",
// "ImmSetOpenStatus 0|1", "ImmSetCompositionStringA <index> <text>".
std::vector<std::string> TakeImeCalls();
// SDL's editing event: a composition (UTF-8) with its cursor in characters; text longer than
// SDL's short event takes SDL's extended one.
void InjectTextEditing(const char* utf8, int start);

// --- Sockets ---------------------------------------------------------------------------------
// The socket calls made since the process started (every call of platform/winsock/winsock.h
// but WSAGetLastError), and whether its poller thread runs.
uint64_t SocketCallCount();
bool SocketPollerRunning();
// Called on the poller thread after each of its polls, with the number of sockets found ready,
// before the layer looks at them; null for none.
void SetSocketPollHook(void (*hook)(int ready));
// The descriptor under a socket of the layer, -1 for none.
int SocketDescriptor(uintptr_t socket);

}  // namespace plat::testing
