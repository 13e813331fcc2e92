// The engine's life headless: start-up, the pump with its message thread, an injected close,
// shut-down with its log, the refusals (24 bits, a second instance) and the fatal exit.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/core/engine_core_support.h"
#include "engine/core/engine_lock.h"
#include "engine/core/engine_system.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font_table.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/input/input.h"
#include "engine/input/key_input.h"
#include "engine/input/text_input_state.h"
#include "engine/pending/pending_calls.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "platform/testing.h"
#include "platform/win/file.h"
#include "platform/win/system.h"
#include "platform/win/window.h"

using namespace tessra_test;
using namespace tessra::sjis_literals;
using tessra::GetSystemStateBlock;

namespace {

class EngineStartupTest : public EngineFixture {};

// The graphs the fonts keep their glyphs in: one a font while Direct3D draws (the full-screen
// start), none otherwise.
int FontCacheGraphs() {
    const tessra::FontTable& fonts = tessra::GetFontTable();
    int n = 0;
    for (int32_t slot = 0; slot < fonts.topSlot; ++slot)
        n += fonts.records[slot] != nullptr && fonts.records[slot]->cacheGraph > 0;
    return n;
}

// What a running engine's fonts hold, and nothing else is left allocated: each font (at least
// the default one) has its scratch surface, a surface record and its image data; under Direct3D
// its cache graph instead: the graph's record, and a texture entry with its image data a piece.
int FontBlocks() {
    const int fonts = tessra::GetFontTable().liveCount;
    EXPECT_GE(fonts, 1);
    if (tessra::GetDirect3DDevice() == nullptr) {
        EXPECT_EQ(tessra::GetSurface2DTable().liveCount, fonts);
        EXPECT_EQ(FontCacheGraphs(), 0);
        return 2 * tessra::GetSurface2DTable().liveCount;
    }
    EXPECT_EQ(tessra::GetSurface2DTable().liveCount, 0);
    EXPECT_EQ(FontCacheGraphs(), fonts);
    const tessra::GraphTable& graphs = tessra::GetGraphTable();
    EXPECT_EQ(graphs.liveCount, fonts);
    int pieces = 0;
    for (int32_t slot = 0; slot < graphs.topSlot; ++slot)
        if (graphs.records[slot] != nullptr) pieces += graphs.records[slot]->pieceCount;
    EXPECT_EQ(tessra::GetImageDataTable().count, pieces);
    return fonts + 2 * pieces;
}

TEST_F(EngineStartupTest, RunsPumpsClosesAndShutsDown) {
    ASSERT_EQ(StartEngine(), 0);
    tessra::EngineRuntimeState& run = GetSystemStateBlock()->run;
    ASSERT_NE(GetEngineWindow(), nullptr);
    EXPECT_NE(run.messageThread, nullptr);
    EXPECT_TRUE(plat::IsScreenSaverInhibited());

    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(ProcessMessage(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Every pass ends with the active key input taking what was typed: a pass of ours, and the
    // message thread's own.
    tessra::EnterEngineLock();
    const int input = tessra::MakeKeyInputHandle(8, 0, 0, 0);
    ASSERT_EQ(tessra::SetActiveKeyInput(input), 0);
    tessra::PutInputChar('a');
    tessra::LeaveEngineLock();
    ASSERT_EQ(ProcessMessage(), 0);
    auto typed = [input] {
        char text[16] = {};
        tessra::EnterEngineLock();
        tessra::ReadKeyInputText(input, text, sizeof text);
        tessra::LeaveEngineLock();
        return std::string(text);
    };
    EXPECT_EQ(typed(), "a");
    tessra::EnterEngineLock();
    tessra::PutInputChar('b');
    tessra::LeaveEngineLock();
    EXPECT_TRUE(WaitFor([&] { return typed() == "ab"; }));

    plat::testing::InjectClose();
    ASSERT_TRUE(WaitFor([] { return ProcessMessage() == -1; }));
    EXPECT_EQ(ProcessMessage(), -1);
    EXPECT_EQ(ProcessMessage(), -1);
    EXPECT_EQ(run.ending.load(), 4);  // closed from outside

    EXPECT_EQ(ShutdownEngine(), 0);
    // None of shut-down's waits ran to its bound: each ended on what it waited for. (The log,
    // not the wall clock, says so; a loaded machine may be slow but must not hit a bound.)
    EXPECT_EQ(ReadLog().find("待機の上限に達したので続行します"_sjis), std::string::npos);
    EXPECT_EQ(tessra::InspectEngineLock().initialised, 0u);
    EXPECT_EQ(GetEngineWindow(), nullptr);
    EXPECT_EQ(run.threadEnded.load(), 1);
    EXPECT_FALSE(plat::IsScreenSaverInhibited());

    const std::string log = ReadLog();
    EXPECT_NE(log.find("システムの情報を出力します\r\n"_sjis), std::string::npos);
    EXPECT_NE(log.find("二重起動はされていませんでした\r\n"_sjis), std::string::npos);
    EXPECT_NE(log.find("ウインドウを閉じようとしています\r\n"_sjis), std::string::npos);
    EXPECT_NE(log.find("ＣＯＭを終了... 完了\r\n"_sjis), std::string::npos);
    // The clock test ran and its verdict is the clock in use.
    EXPECT_NE(log.find("精度結果 更新回数 マルチメディアタイマー："_sjis), std::string::npos);
    const bool counterChosen =
        log.find("パフォーマンスカウンターを使用します"_sjis) != std::string::npos;
    EXPECT_NE(counterChosen,
              log.find("マルチメディアタイマーを使用します"_sjis) != std::string::npos);
    EXPECT_EQ(run.performanceCounter, counterChosen ? 1 : 0);
    // Every line end is CR LF.
    for (size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "bare LF at " << i;
    // It ends with the allocation dump, and no block is left.
    const size_t dump = log.rfind("Alloc memory dump");
    ASSERT_NE(dump, std::string::npos);
    EXPECT_EQ(log.compare(dump, 36, "Alloc memory dump\tTotal size:0(0.000"), 0)
        << log.substr(dump);
    EXPECT_NE(log.find("Alloc num:0", dump), std::string::npos);
}

// A message thread that outlives shut-down's bounded wait is left behind; when the engine starts
// again it must end at its next pass instead of pumping beside the new thread.
TEST_F(EngineStartupTest, AbandonedMessageThreadNeverPumpsAgain) {
    ASSERT_EQ(StartEngine(), 0);
    ASSERT_TRUE(WaitFor([] { return tessra::CountRunningMessageThreads() == 1; }));
    // A helper holds the engine lock, so the message thread stays queued for it.
    std::atomic<bool> holding{false}, release{false};
    std::thread holder([&] {
        tessra::EnterEngineLock();
        holding = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        tessra::LeaveEngineLock();
    });
    ASSERT_TRUE(WaitFor([&] { return holding.load(); }));
    ASSERT_TRUE(WaitFor([] { return tessra::InspectEngineLock().waiterCount == 1; }));
    // With the fake clock each 1 ms sleep moves it on, so shut-down's waits reach their bounds
    // at once; the shut-down runs its body directly, as a fatal error does.
    // (On a loaded machine the thread may see the quit flag in time after all and end
    // normally; what follows holds either way.)
    plat::testing::SetFakeClock(1000);
    tessra::ShutdownEngineBody();
    plat::testing::UseRealClock();
    ASSERT_EQ(tessra::StartEngineBody(), 0);  // quit is 0 again; the old thread still waits
    release = true;
    holder.join();
    EXPECT_TRUE(WaitFor([] { return tessra::CountRunningMessageThreads() == 1; }));
    EXPECT_EQ(ShutdownEngine(), 0);
    EXPECT_TRUE(WaitFor([] { return tessra::CountRunningMessageThreads() == 0; }));
    EXPECT_EQ(GetSystemStateBlock()->run.threadEnded.load(), 1);
}

// The rule itself, without timing: a message thread of a retired generation that gets the lock
// leaves it at once and ends, though the quit flag says to go on.
TEST_F(EngineStartupTest, RetiredMessageThreadEndsOnGettingTheLock) {
    tessra::EngineRuntimeState& run = GetSystemStateBlock()->run;
    run.quit = 0;
    run.threadEnded = 0;
    tessra::EnterEngineLock();
    const uintptr_t generation = tessra::NewMessageThreadGeneration();
    std::thread thread(
        [generation] { tessra::RunMessageThread(reinterpret_cast<void*>(generation)); });
    ASSERT_TRUE(WaitFor([] { return tessra::InspectEngineLock().waiterCount == 1; }));
    tessra::NewMessageThreadGeneration();  // as a new start, or an abandoning shut-down, does
    tessra::LeaveEngineLock();
    EXPECT_TRUE(WaitFor([] { return tessra::CountRunningMessageThreads() == 0; }));
    run.quit = 1;  // ends it in any case, so the join below cannot hang
    thread.join();
    EXPECT_EQ(run.threadEnded.load(), 0);  // that flag belongs to the current thread
    EXPECT_EQ(tessra::InspectEngineLock().waiterCount, 0);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
}

// Started in a directory deeper than the old 260-character buffers, the engine still writes its
// log there.
TEST_F(EngineStartupTest, DeepStartDirectoryKeepsTheLog) {
    const std::string name(100, 'd');
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(::mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(::chdir(name.c_str()), 0);
    }
    plat::ClearPathCache();
    const std::filesystem::path here = std::filesystem::current_path();
    ASSERT_EQ(StartEngine(), 0);
    EXPECT_EQ(ShutdownEngine(), 0);
    std::ifstream in(here / "Log.txt", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("システムの情報を出力します"_sjis), std::string::npos);
    EXPECT_EQ(GetSystemStateBlock()->settings.startDirectory, plat::ToDrivePath(here.string()));
}

// The system-information texts without a line end of their own run on into the next text.
TEST_F(EngineStartupTest, SystemInformationTextsRunOnAsWritten) {
    ASSERT_EQ(StartEngine(), 0);
    const std::string log = ReadLog();
    const std::string os = GetSystemStateBlock()->info.osText;
    EXPECT_NE(log.find(std::string("ＯＳ  "_sjis) + os + "ＣＰＵ"_sjis), std::string::npos);
    plat::CpuInfo cpu{};
    plat::GetCpuInfo(&cpu);
    if (cpu.hasCpuid) {
        EXPECT_NE(log.find(std::string("ＣＰＵベンダ："_sjis) + cpu.vendor + "ＭＭＸ"_sjis),
                  std::string::npos);
        EXPECT_NE(log.find(std::string("ＣＰＵ名："_sjis) + cpu.name +
                           (cpu.hasTsc ? "ＣＰＵ動作速度：大体"_sjis : "ＣＯＭの初期化"_sjis)),
                  std::string::npos);
    }
    if (cpu.hasTsc) {
        EXPECT_NE(log.find("GHzＣＯＭの初期化... 成功しました\r\n"_sjis), std::string::npos);
    }
    ShutdownEngine();
}

// How many subsystem calls had been made, and whether input's DirectInput object existed, when
// the sound device opened and closed.
size_t g_callsAtSoundOpen = 0;
size_t g_callsAtSoundClose = 0;
bool g_inputAtSoundOpen = false;
bool g_inputAtSoundClose = true;
// Whether a key input was still held when the sound device closed.
bool g_keyInputAtSoundClose = false;
void NoteSoundDevice(bool opened) {
    const bool input = plat::testing::LiveInputObjects().objects > 0;
    (opened ? g_callsAtSoundOpen : g_callsAtSoundClose) = tessra::PeekPendingCalls().size();
    (opened ? g_inputAtSoundOpen : g_inputAtSoundClose) = input;
    if (!opened) g_keyInputAtSoundClose = tessra::GetTextInputState().records[0].used != 0;
}

// Text input is ready once its display settings are set.
bool CharInputReady() {
    return tessra::GetTextInputState().display.blinkInterval != 0;
}

// Whether input's DirectInput object existed when each stand-in was called, in call order.
// Stand-ins may be called on the message thread too.
std::mutex g_inputAtCallMutex;
std::vector<std::pair<std::string, bool>> g_inputAtCall;

void NoteInputAtCall(const char* name) {
    const bool input = plat::testing::LiveInputObjects().objects > 0;
    std::lock_guard<std::mutex> lock(g_inputAtCallMutex);
    g_inputAtCall.emplace_back(name, input);
}

// The screens' start is seen through the host the core gave them: the screen log starts inside
// the first mode change.
size_t g_callsAtGraphicsStart = 0;
bool g_graphicsStartSeen = false;
bool g_charInputAtGraphicsStart = true;
int (*g_coreInitScreenLog)() = nullptr;
int NoteGraphicsStart() {
    if (!g_graphicsStartSeen) {
        g_graphicsStartSeen = true;
        g_callsAtGraphicsStart = tessra::PeekPendingCalls().size();
        g_charInputAtGraphicsStart = CharInputReady();
    }
    return g_coreInitScreenLog != nullptr ? g_coreInitScreenLog() : 0;
}
void WatchGraphicsStart() {
    g_callsAtGraphicsStart = 0;
    g_graphicsStartSeen = false;
    tessra::ScreenHost host = *tessra::GetScreenHost();
    g_coreInitScreenLog = host.initScreenLog;
    host.initScreenLog = NoteGraphicsStart;
    tessra::SetScreenHost(&host);
}

TEST_F(EngineStartupTest, CallsSubsystemsInOrder) {
    g_callsAtSoundOpen = g_callsAtSoundClose = 0;
    plat::testing::SetSoundDeviceHook(NoteSoundDevice);
    WatchGraphicsStart();
    {
        std::lock_guard<std::mutex> lock(g_inputAtCallMutex);
        g_inputAtCall.clear();
    }
    tessra::SetPendingCallObserver(NoteInputAtCall);
    const uint64_t socketCalls = plat::testing::SocketCallCount();
    ASSERT_EQ(StartEngine(), 0);
    tessra::SetPendingCallObserver(nullptr);
    // The network layer is never started: start-up makes no socket call and starts no poller.
    EXPECT_EQ(plat::testing::SocketCallCount(), socketCalls);
    EXPECT_FALSE(plat::testing::SocketPollerRunning());
    // Sound starts after input, graphics after sound; text input after graphics.
    EXPECT_TRUE(g_inputAtSoundOpen);
    ASSERT_TRUE(g_graphicsStartSeen);
    EXPECT_LE(g_callsAtSoundOpen, g_callsAtGraphicsStart);
    EXPECT_FALSE(g_charInputAtGraphicsStart);
    // The warm-up: a blank graph as target, then two drawn pictures; the three graphs and their
    // images are freed. Presents wait for the vertical blank from then on.
    EXPECT_EQ(tessra::GetVsyncWaitFlag(), 1);
    EXPECT_EQ(tessra::GetDrawTarget(), -4);
    EXPECT_EQ(tessra::GetScreenState().targetSurface, tessra::GetScreenState().primary);
    EXPECT_EQ(tessra::GetGraphTable().liveCount, FontCacheGraphs());
    EXPECT_EQ(tessra::GetAllocStats().count, FontBlocks());
    tessra::TakePendingCalls();
    {
        std::lock_guard<std::mutex> lock(g_inputAtCallMutex);
        g_inputAtCall.clear();
    }
    tessra::SetPendingCallObserver(NoteInputAtCall);
    tessra::EnterEngineLock();
    const int keyInput = tessra::MakeKeyInputHandle(4, 0, 0, 0);
    tessra::LeaveEngineLock();
    ASSERT_EQ(tessra::HandleSlot(keyInput), 0);
    ShutdownEngine();
    tessra::SetPendingCallObserver(nullptr);
    tessra::TakePendingCalls();
    // Nor does the shut-down of the unstarted network layer.
    EXPECT_EQ(plat::testing::SocketCallCount(), socketCalls);
    EXPECT_FALSE(plat::testing::SocketPollerRunning());
    // The screens stop, then input, then sound (before the key-input handles).
    const std::string log = ReadLog();
    const size_t screensDown = log.find("DirectDraw 関連の終了処理は正常に終了しました"_sjis);
    ASSERT_NE(screensDown, std::string::npos);
    const size_t inputDown = log.find("DirectInput 関連の終了処理... 完了"_sjis, screensDown);
    ASSERT_NE(inputDown, std::string::npos);
    EXPECT_NE(log.find("DirectSound の終了処理は正常に終了しました"_sjis, inputDown),
              std::string::npos);
    EXPECT_EQ(tessra::GetDirectDrawObject(), nullptr);
    EXPECT_FALSE(g_inputAtSoundClose);
    // The key inputs go with the window, after sound.
    EXPECT_TRUE(g_keyInputAtSoundClose);
    EXPECT_EQ(tessra::GetTextInputState().records[0].used, 0);
    EXPECT_FALSE(plat::testing::SoundDeviceOpen());
}

// Input does not fail softly: a device it cannot make ends the program through the fatal path,
// which shuts the engine down, before sound has started.
TEST_F(EngineStartupTest, FailedStepUndoesAndFails) {
    EXPECT_EXIT(
        {
            plat::testing::FailInputStep(plat::testing::InputStep::kCreateDevice,
                                         plat::testing::InputDeviceKind::kKeyboard, 1);
            StartEngine();
            std::exit(0);
        },
        ::testing::ExitedWithCode(255), "");
    const std::string log = ReadLog();
    const size_t failed = log.find("キーボードデバイスの取得に失敗しました\r\n"_sjis);
    ASSERT_NE(failed, std::string::npos);
    EXPECT_EQ(log.find("DirectSound の初期化"_sjis), std::string::npos);
    EXPECT_NE(log.find("ウインドウを閉じようとしています"_sjis, failed), std::string::npos);
}

// A step that fails after sound started ends sound again with the rest.
TEST_F(EngineStartupTest, FailedGraphicsStartEndsSound) {
    // No DirectDraw object can be made: a fatal error, which shuts the engine down.
    EXPECT_EXIT(
        {
            plat::testing::FailDirectDrawCreations(-1);
            StartEngine();
        },
        ::testing::ExitedWithCode(255), "");
    const std::string log = ReadLog();
    EXPECT_NE(log.find("DirectDrawオブジェクトの作成に失敗しました"_sjis), std::string::npos);
    const size_t started = log.find("DirectSound の初期化は正常に終了しました\r\n"_sjis);
    ASSERT_NE(started, std::string::npos);
    EXPECT_NE(log.find("DirectSound の終了処理は正常に終了しました\r\n"_sjis, started),
              std::string::npos);
}

TEST_F(EngineStartupTest, WindowFailuresFailStartUpCleanly) {
    struct Case {
        void (*inject)(int);
        const char* line;
    };
    for (const Case& c :
         {Case{plat::testing::FailClassRegistrations, "ウインドウクラスの登録に失敗しました\r\n"},
          Case{plat::testing::FailWindowCreations, "ウインドウの作成に失敗しました\r\n"}}) {
        c.inject(1);
        EXPECT_EQ(StartEngine(), -1);
        EXPECT_EQ(GetEngineWindow(), nullptr);
        EXPECT_NE(ReadLog().find(tessra::SjisText(c.line)), std::string::npos) << c.line;
        EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
        EXPECT_FALSE(plat::IsScreenSaverInhibited());
    }
    // Nothing was left behind: the engine starts afterwards.
    EXPECT_EQ(StartEngine(), 0);
    EXPECT_EQ(ShutdownEngine(), 0);
}

TEST_F(EngineStartupTest, ResetKeepsLockAllocatorAndSettings) {
    // The caller's hold on the lock, a live block and the game's settings all outlive the reset.
    tessra::EnterEngineLock();
    tessra::EnterEngineLock();
    void* block = tessra::AllocTagged(16, "keep", 1);
    const int blocks = tessra::GetAllocStats().count;
    SetWindowTitle("keep me");
    ASSERT_EQ(StartEngine(), 0);
    EXPECT_EQ(tessra::InspectEngineLock().depth, 2u);
    EXPECT_EQ(tessra::InspectEngineLock().owner, tessra::EngineLockThreadId());
    EXPECT_EQ(tessra::GetAllocStats().count, blocks + FontBlocks());
    char title[64] = {};
    plat::GetWindowTextA(GetEngineWindow(), title, sizeof title);
    EXPECT_STREQ(title, "keep me");
    tessra::LeaveEngineLock();
    tessra::LeaveEngineLock();
    tessra::FreeTagged(block);
    ShutdownEngine();
}

struct DepthCase {
    int windowMode;
    int desktopBits;
    int screenBits;
    int expected;
};

void PrintTo(const DepthCase& c, std::ostream* os) {
    *os << "window " << c.windowMode << ", desktop " << c.desktopBits << " bits, screen "
        << c.screenBits << " bits";
}

class ColorDepthTest : public EngineFixture, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(ColorDepthTest, RefusesTwentyFourBits) {
    const DepthCase c = GetParam();
    plat::testing::SetVirtualDesktop(1280, 1024, c.desktopBits);
    // A depth the screens would never set by themselves, to reach the start-up's own refusal.
    tessra::GetScreenState().workingColorBits = static_cast<uint32_t>(c.screenBits);
    ChangeWindowMode(c.windowMode);
    EXPECT_EQ(StartEngine(), c.expected);
    if (c.expected == -1) {
        EXPECT_EQ(GetEngineWindow(), nullptr);
        EXPECT_NE(ReadLog().find("テッセラは２４ビットカラーモードに対応していません\r\n"_sjis),
                  std::string::npos);
    } else {
        EXPECT_NE(GetEngineWindow(), nullptr);
        ShutdownEngine();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ColorDepthTest,
                         ::testing::Values(DepthCase{1, 24, 16, -1}, DepthCase{0, 24, 16, 0},
                                           DepthCase{1, 32, 24, -1}, DepthCase{0, 32, 24, -1},
                                           DepthCase{1, 32, 16, 0}));

TEST_F(EngineStartupTest, SecondInstanceIsRefused) {
    int toChild[2], fromChild[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(fromChild), 0);
    const std::string key = "engine_core_second_" + std::to_string(getpid());
    plat::testing::SetInstanceLockKey(key);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first instance: holds the window class until the parent is done.
        close(toChild[1]);
        close(fromChild[0]);
        // The log file belongs to the parent's check; two engines writing one Log.txt would
        // interleave and lose lines.
        SetLogEnabled(0);
        const char ok = StartEngine() == 0 ? 'y' : 'n';
        if (write(fromChild[1], &ok, 1) != 1) _exit(2);
        char c;
        while (read(toChild[0], &c, 1) > 0) {
        }
        _exit(0);
    }
    close(toChild[0]);
    close(fromChild[1]);
    char ok = 0;
    ASSERT_EQ(read(fromChild[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_EQ(StartEngine(), -1);
    EXPECT_EQ(GetSystemStateBlock()->run.quit.load(), 1);
    EXPECT_NE(ReadLog().find("二重起動されています、ソフトを終了します\r\n"_sjis),
              std::string::npos);
    close(toChild[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
}

TEST_F(EngineStartupTest, FatalErrorExitsWith255) {
    EXPECT_EXIT(
        {
            StartEngine();
            // As a body would: fatal errors are raised inside a public call, under the lock.
            tessra::EnterEngineLock();
            tessra::FatalError("DirectDraw の初期化に失敗しました");
        },
        ::testing::ExitedWithCode(255), "");
    const std::string log = ReadLog();
    EXPECT_NE(log.find("DirectDraw の初期化に失敗しました\r\n"), std::string::npos);
    EXPECT_NE(log.find("Alloc memory dump"), std::string::npos);
}

TEST_F(EngineStartupTest, LockFreeAfterFailedFileSize) {
    EXPECT_EQ(GetEngineFileSize("no such file.dat"), -1);
    EXPECT_EQ(tessra::InspectEngineLock().locked, 0u);
}

}  // namespace

namespace {

// A scripted pair of clocks: each pump pass is one step, and each clock reads a function of the
// step count.
struct ScriptedClocks {
    int step = 0;
    int endAtStep = -1;  // the pump reports the end at this step
    int64_t (*counter)(int step);
    uint32_t (*milliseconds)(int step);
};

tessra::ClockRace Race(ScriptedClocks& clocks) {
    tessra::ClockProbe probe{};
    probe.context = &clocks;
    probe.readCounter = [](void* c) {
        auto* s = static_cast<ScriptedClocks*>(c);
        return s->counter(s->step);
    };
    probe.readMilliseconds = [](void* c) {
        auto* s = static_cast<ScriptedClocks*>(c);
        return s->milliseconds(s->step);
    };
    probe.pump = [](void* c) {
        auto* s = static_cast<ScriptedClocks*>(c);
        ++s->step;
        return s->step == s->endAtStep ? -1 : 0;
    };
    return tessra::RaceClocks(probe);
}

TEST(ClockChoiceTest, MoreFrequentClockWinsAndATieGoesToTheCounter) {
    struct Case {
        const char* name;
        int64_t (*counter)(int);
        uint32_t (*milliseconds)(int);
        int endAtStep;
        int timerChanges, counterChanges;
        bool counterChosen;
    };
    // clang-format off
    const Case cases[] = {
        {"tie at 60", [](int s) -> int64_t { return s; }, [](int s) -> uint32_t { return s; },
         -1, 60, 60, true},
        {"timer first to 60", [](int s) -> int64_t { return s / 2; },
         [](int s) -> uint32_t { return s; }, -1, 60, 30, false},
        {"counter first to 60", [](int s) -> int64_t { return s; },
         [](int s) -> uint32_t { return s / 3; }, -1, 20, 60, true},
        {"a second passes", [](int) -> int64_t { return 7; },
         [](int s) -> uint32_t { return 5000u + 100u * s; }, -1, 9, 0, false},
        {"the clock wraps inside the second", [](int) -> int64_t { return 7; },
         [](int s) -> uint32_t { return 0xFFFFFF00u + 100u * s; }, -1, 9, 0, false},
        {"the pump ends it", [](int s) -> int64_t { return s; },
         [](int s) -> uint32_t { return 2 * s; }, 5, 4, 4, true},
        {"nothing changes before the end", [](int) -> int64_t { return 1; },
         [](int) -> uint32_t { return 1; }, 1, 0, 0, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedClocks clocks;
        clocks.counter = c.counter;
        clocks.milliseconds = c.milliseconds;
        clocks.endAtStep = c.endAtStep;
        const tessra::ClockRace race = Race(clocks);
        EXPECT_EQ(race.timerChanges, c.timerChanges);
        EXPECT_EQ(race.counterChanges, c.counterChanges);
        EXPECT_EQ(race.counterChosen, c.counterChosen);
    }
}

}  // namespace
