// The headless game harness: the real game on the real engine under SDL's dummy drivers, in a
// run folder of the test's own (the built dat/ and a prepared settings file), with a fake clock
// that moves only by the game's own waits. A script runs at the top of every frame (play loop and
// quit box alike): it presses buttons and keys for that frame, reads the game's state and may
// stop the game.
//
//     velmora_test::GameHarness h;            // settings: windowed 640 x 480, timer pacing
//     ASSERT_EQ(h.Start(), 0);                // start-up, loading screen and resources
//     h.Run([&](velmora_test::Frame& f) {     // the outer loop of scenes, as the program runs it
//         if (f.scene == 10) f.Press(velmora::kButtonDown);
//         if (f.total == 200) f.Stop();
//     });
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velmora_test {

struct HarnessSettings {
    int screenMode = 2;            // settings word 16: 2 window, 1 desktop full screen, 0 640 x 480
    int windowSize = 1;            // word 17: row of the window-size table
    int frameSkip = 0;             // word 18
    int pacing = 1;                // word 19: 1 timer, 0 vertical blank
    int colorDepth = 0;            // word 20: 0 for 32 bits, 1 for 16
    std::map<int, int32_t> words;  // any other settings words
    bool writeSettings = true;     // false: no settings file (the first-run questions come)
    // A settings file image to start with in place of the words above (an earlier run's file).
    std::vector<uint8_t> settingsImage;
    int desktopWidth = 1920;
    int desktopHeight = 1080;
    bool editor = false;  // Run starts in the stage editor, as "--editor" does
};

class GameHarness;

// What a script sees and does in one frame.
struct Frame {
    GameHarness* harness;
    int scene;      // frame of the current scene (0 first); in the quit box, the scene's last
    int64_t total;  // frames begun since start, quit box included
    bool inQuitBox;
    // Buttons of the game's button word held from this frame on (until released).
    void Press(uint32_t buttons);
    void Release(uint32_t buttons);
    // Buttons held for this frame only: pressed now, released at the next frame.
    void Tap(uint32_t buttons);
    // A key by SDL scan code, held from this frame on.
    void KeyDown(int sdlScancode);
    void KeyUp(int sdlScancode);
    // The mouse, in window client pixels: moved to (x, y), and a button (1 left, 3 right, as SDL
    // numbers them) pressed or let go there. Both reach the game at this frame's pump.
    void InjectMouseMotion(int x, int y);
    void InjectMouseButton(int button, bool down);
    // Ends the game: the window is closed, so the loops end at their next message pump.
    void Stop();
};

class GameHarness {
public:
    explicit GameHarness(const HarnessSettings& settings = {});
    ~GameHarness();
    GameHarness(const GameHarness&) = delete;
    GameHarness& operator=(const GameHarness&) = delete;

    // Start-up as the program does it (size test, settings, screen, engine, loading screen) and
    // the resources: InitGame's result (-1 after a fatal box), or -2 when the resources failed.
    int Start();
    // The outer loop of scene set-up and play; the last scene code (-1 after a quit, -2 for a
    // restart). The script runs at the top of every frame.
    int32_t Run(const std::function<void(Frame&)>& script);
    // One scene: its set-up for the code, then the play loop; the play loop's result, or the
    // set-up's when it gives no scene to play.
    int32_t RunScene(int32_t code, const std::function<void(Frame&)>& script);
    // Ends the run as the program does after its last scene code: the engine shut down (the
    // destructor does it too) and, for a restart code (below -1), the program started again
    // (plat::testing::RecordProcessStarts keeps that start from running). Start() may follow,
    // in the same folder.
    void Shutdown(int32_t lastScene = -1);

    const std::filesystem::path& Dir() const { return dir_; }
    bool Started() const { return started_; }

    // Input state as the script left it; used by Frame.
    void ApplyInput();
    void SetHeldButtons(uint32_t held) { held_ = held; }
    uint32_t HeldButtons() const { return held_; }
    uint32_t& TapButtons() { return tap_; }
    void SetKey(int sdlScancode, bool down);
    void SetMouse(int x, int y) { mouseX_ = x, mouseY_ = y; }
    int MouseX() const { return mouseX_; }
    int MouseY() const { return mouseY_; }

private:
    std::filesystem::path dir_;
    bool started_ = false;
    uint32_t held_ = 0;
    uint32_t tap_ = 0;
    uint32_t applied_ = 0;
    std::map<int, bool> keys_;
    bool editor_ = false;
    int mouseX_ = 0, mouseY_ = 0;
};

// The game's button word bit for a key, and back: the keys that make each button.
int KeyOfButton(uint32_t button);

// A new game (scene code 1) run until its first stage is in play, player 0 kept unhurt and every
// play icon owned (only the notices a script raises show); then `script` runs every frame with the
// frames since, until it stops the game (or a bound of 6,000 frames). Fails the test when play
// never began.
void RunInPlay(GameHarness& h, const std::function<void(Frame&, int64_t)>& script);

// The tests' invincibility switch: holds player p's blink after a hit (player property 58), so
// nothing counts it as hittable, and keeps its life full. Call it from a script every frame; it
// works through the pool's accessors only, and nothing in the game or its settings changes.
void HoldPlayerUnhurt(int p);

}  // namespace velmora_test
