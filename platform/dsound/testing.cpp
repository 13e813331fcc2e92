// The sound device's test controls (platform/testing.h): the stepped mixer, "no device" and the
// forced failures.
#include <atomic>

#include "platform/dsound/internal.h"
#include "platform/testing.h"
#include "platform/win/time.h"

namespace plat {
namespace detail {
namespace {

std::atomic<bool> g_stepped{false};
std::atomic<bool> g_noDevice{false};
std::atomic<int> g_failDevices{0};
std::atomic<int> g_failBuffers{0};
std::atomic<int> g_failDuplicates{0};
std::atomic<int> g_failPlays{0};
std::atomic<void (*)(bool)> g_deviceHook{nullptr};
uint64_t g_sleepRemainder = 0;  // frames x 1000 not yet mixed by sleeps

bool TakeOne(std::atomic<int>& counter) {
    int n = counter.load();
    while (n > 0) {
        if (counter.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

// Mixes what n ms of sleep would have played, and drops it.
void MixForSleep(DWORD milliseconds) {
    std::lock_guard<std::mutex> lock(MixerMutex());
    g_sleepRemainder += static_cast<uint64_t>(milliseconds) * kMixerRate;
    int frames = static_cast<int>(g_sleepRemainder / 1000);
    g_sleepRemainder %= 1000;
    int16_t scratch[1024 * 2];
    while (frames > 0) {
        const int n = frames < 1024 ? frames : 1024;
        MixLocked(OpenDevice(), scratch, n);
        frames -= n;
    }
}

}  // namespace

bool SteppedMixer() {
    return g_stepped.load();
}
bool NoSoundDevice() {
    return g_noDevice.load();
}
bool TakeForcedDeviceFailure() {
    return TakeOne(g_failDevices);
}
bool TakeForcedBufferFailure() {
    return TakeOne(g_failBuffers);
}
bool TakeForcedDuplicateFailure() {
    return TakeOne(g_failDuplicates);
}
bool TakeForcedPlayFailure() {
    return TakeOne(g_failPlays);
}

void NoteDeviceOpened(bool opened) {
    if (auto hook = g_deviceHook.load()) hook(opened);
}

void ResetSoundControls() {
    g_deviceHook = nullptr;
    g_stepped = false;
    g_noDevice = false;
    g_failDevices = 0;
    g_failBuffers = 0;
    g_failDuplicates = 0;
    g_failPlays = 0;
    SetSleepObserver(nullptr);
}

}  // namespace detail

namespace testing {

void UseSteppedMixer(bool stepped) {
    detail::g_stepped = stepped;
}

std::vector<int16_t> StepMixer(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames > 0 ? frames : 0) * kMixerChannels);
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    if (frames > 0) detail::MixLocked(detail::OpenDevice(), out.data(), frames);
    return out;
}

void SetSleepStepsMixer(bool on) {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    detail::g_sleepRemainder = 0;
    detail::SetSleepObserver(on ? detail::MixForSleep : nullptr);
}

void SetNoSoundDevice(bool none) {
    detail::g_noDevice = none;
}

void FailSoundDeviceCreations(int count) {
    detail::g_failDevices = count;
}

void FailSoundBufferCreations(int count) {
    detail::g_failBuffers = count;
}

void FailSoundBufferDuplicates(int count) {
    detail::g_failDuplicates = count;
}

void FailSoundBufferPlays(int count) {
    detail::g_failPlays = count;
}

int LiveSoundBufferCount() {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    const detail::DeviceState* d = detail::OpenDevice();
    return d != nullptr ? static_cast<int>(d->buffers.size()) : 0;
}

void SetSoundDeviceHook(void (*hook)(bool opened)) {
    detail::g_deviceHook = hook;
}

bool SoundDeviceOpen() {
    std::lock_guard<std::mutex> lock(detail::MixerMutex());
    return detail::OpenDevice() != nullptr;
}

}  // namespace testing
}  // namespace plat
