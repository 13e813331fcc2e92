// input_watch: opens the engine's window and prints what the engine reads as it changes: keys
// by DirectInput code, the mouse buttons and each pad's word (keyboard and pad 1 together as the
// game reads them, and every pad alone).
//
//     input_watch [--rumble] [--text] [--frames N]
//
// --rumble vibrates pad 1 at full power for a second at the start. --text shows a key input
// (with the input method on) and prints its text as it changes, and how it ended. --frames N
// stops after N frames (else closing the window ends it).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/engine_lock.h"
#include "engine/core/engine_system.h"
#include "engine/input/input.h"
#include "engine/input/key_input.h"
#include "engine/tessra.h"

namespace {

void PrintWord(const char* what, int word) {
    static const char* const kDirections[4] = {"down", "left", "right", "up"};
    std::printf("%s 0x%08X", what, static_cast<unsigned>(word));
    for (int bit = 0; bit < 4; ++bit)
        if (word & (1 << bit)) std::printf(" %s", kDirections[bit]);
    for (int n = 0; n < 24; ++n)
        if (word & (1 << (4 + n))) std::printf(" button%d", n);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool rumble = false;
    bool text = false;
    long frames = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rumble") == 0) {
            rumble = true;
        } else if (std::strcmp(argv[i], "--text") == 0) {
            text = true;
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: input_watch [--rumble] [--text] [--frames N]\n");
            return 2;
        }
    }
    ChangeWindowMode(1);
    SetWindowTitle("input_watch");
    SetLogEnabled(0);
    // A watcher may run beside the game or another watcher.
    tessra::GetSystemStateBlock()->settings.allowDoubleStart = 1;
    if (StartEngine() != 0) {
        std::fprintf(stderr, "input_watch: the engine did not start\n");
        return 1;
    }
    const int pads = GetPadCount();
    std::printf("pads: %d\n", pads);
    if (rumble) {
        const int result = tessra::StartPadVibration(1, 10000, 1000);
        std::printf(result == 0 ? "rumble: pad 1 for a second\n"
                                : "rumble: pad 1 cannot vibrate\n");
    }
    int input = -1;
    char typed[64] = {};
    if (text) {
        tessra::EnterEngineLock();
        input = tessra::MakeKeyInputHandle(32, 1, 0, 0);
        tessra::SetActiveKeyInput(input);
        tessra::SetImeEnabled(1);
        tessra::LeaveEngineLock();
        // Drawn into the back screen and presented whole, so the window never shows a frame
        // half drawn.
        SetRenderTarget(-2);
    }
    std::fflush(stdout);

    bool keys[256] = {};
    int mouse = 0;
    int words[9] = {};  // 0: keyboard with pad 1; 1..8: each pad alone
    for (long frame = 0; frames < 0 || frame < frames; ++frame) {
        if (ProcessMessage() != 0) break;
        for (int code = 0; code < 256; ++code) {
            const bool down = IsKeyDown(code) != 0;
            if (down != keys[code]) std::printf("key 0x%02X %s\n", code, down ? "down" : "up");
            keys[code] = down;
        }
        const int buttons = GetMouseButtons();
        if (buttons != mouse) std::printf("mouse 0x%02X\n", static_cast<unsigned>(buttons));
        mouse = buttons;
        for (int device = 0; device <= pads && device <= 8; ++device) {
            const int word = GetPadInput(device == 0 ? 0x1001 : device);
            if (word != words[device]) {
                char what[32];
                std::snprintf(what, sizeof what, device == 0 ? "keyboard+pad1" : "pad%d", device);
                PrintWord(what, word);
            }
            words[device] = word;
        }
        if (input != -1) {
            tessra::EnterEngineLock();
            char now[64];
            tessra::ReadKeyInputText(input, now, sizeof now);
            tessra::KeyInputStatus status{};
            tessra::ReadKeyInputStatus(input, &status);
            EraseDrawTarget();
            DrawRectangle(8, 8, 400, 40, MakeColor(24, 32, 64), 1);
            DrawRectangle(8, 8, 400, 40, MakeColor(120, 140, 200), 0);
            tessra::DrawKeyInput(16, 16, input, -1);
            PresentFrame();
            tessra::LeaveEngineLock();
            if (std::strcmp(now, typed) != 0) std::printf("text \"%s\"\n", now);
            std::strcpy(typed, now);
            if (status.ended) {
                std::printf(status.cancelled ? "text cancelled\n" : "text entered\n");
                tessra::EnterEngineLock();
                tessra::SetActiveKeyInput(input);
                tessra::LeaveEngineLock();
            }
        }
        std::fflush(stdout);
        WaitMillisecondsEntry(16);
    }
    ShutdownEngine();
    return 0;
}
