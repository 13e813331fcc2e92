// Where a pad's force-feedback effects play: on an SDL haptic device when the pad has one that
// knows the effect, else on the pad's rumble motors (a constant force on the low-frequency
// motor, a periodic one on the high-frequency motor), else nowhere, only noted.
#include <SDL.h>

#include <deque>
#include <map>
#include <mutex>

#include "platform/dinput/internal.h"
#include "platform/testing.h"

namespace plat::dinput {
namespace {

// SDL gives a rumble at most this long; a running one is renewed when half of it has gone.
constexpr Uint32 kRumbleSliceMs = 0xFFFF;

struct PadForce {
    SDL_Haptic* haptic = nullptr;
    bool hapticTried = false;
    bool recordedHaptic = false;  // a test's stand-in for a haptic device
    int recordedPad = 0;
    int nextRecordedId = 0;
    Uint16 low = 0, high = 0;  // rumble motors as last issued
    Uint32 issuedAt = 0;
};

std::mutex g_mutex;
std::map<int, PadForce> g_pads;  // by SDL instance id

// The noted calls have a lock of their own, never held while SDL is called: SDL calls a
// virtual pad's rumble callback, which notes the call, with its own joystick lock held.
std::mutex g_callsMutex;
std::deque<std::string> g_calls;
constexpr size_t kMaxCalls = 4096;

void AppendCall(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_callsMutex);
    g_calls.push_back(line);
    while (g_calls.size() > kMaxCalls) g_calls.pop_front();
}

const char* KindName(EffectKind kind) {
    return kind == EffectKind::kConstant ? "constant" : "sine";
}

int PadNumber(int instance) {
    const int count = PadCount();
    for (int i = 0; i < count; ++i)
        if (PadInstanceAt(i) == instance) return i;
    return -1;
}

std::string PadText(int instance) {
    return "pad " + std::to_string(PadNumber(instance));
}

// g_mutex held.
SDL_Haptic* HapticOf(int instance, PadForce& pad) {
    if (pad.hapticTried) return pad.haptic;
    pad.hapticTried = true;
    SDL_Joystick* joystick = PadJoystick(instance);
    if (joystick == nullptr) return nullptr;
    if (SDL_WasInit(SDL_INIT_HAPTIC) == 0 && SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0)
        return nullptr;
    if (SDL_JoystickIsHaptic(joystick) != 1) return nullptr;
    pad.haptic = SDL_HapticOpenFromJoystick(joystick);
    return pad.haptic;
}

void IssueRumble(int instance, PadForce& pad) {
    SDL_Joystick* joystick = PadJoystick(instance);
    if (joystick == nullptr) return;
    const bool on = pad.low != 0 || pad.high != 0;
    SDL_JoystickRumble(joystick, pad.low, pad.high, on ? kRumbleSliceMs : 0);
    pad.issuedAt = SDL_GetTicks();
}

Uint16 MotorLevel(int32_t magnitude) {
    if (magnitude < 0) magnitude = -magnitude;
    if (magnitude > 10000) magnitude = 10000;
    return static_cast<Uint16>(magnitude * 65535 / 10000);
}

SDL_HapticEffect HapticEffectOf(const EffectSpec& spec) {
    SDL_HapticEffect e;
    SDL_memset(&e, 0, sizeof e);
    const Sint16 level = static_cast<Sint16>(MotorLevel(spec.magnitude) / 2);
    if (spec.kind == EffectKind::kConstant) {
        e.type = SDL_HAPTIC_CONSTANT;
        e.constant.direction.type = SDL_HAPTIC_CARTESIAN;
        e.constant.direction.dir[0] = 1;
        e.constant.length = SDL_HAPTIC_INFINITY;
        e.constant.level = level;
    } else {
        e.type = SDL_HAPTIC_SINE;
        e.periodic.direction.type = SDL_HAPTIC_POLAR;
        e.periodic.length = SDL_HAPTIC_INFINITY;
        e.periodic.period = static_cast<Uint16>(spec.periodMs > 0xFFFF ? 0xFFFF : spec.periodMs);
        e.periodic.magnitude = level;
        e.periodic.attack_length =
            static_cast<Uint16>(spec.attackMs > 0xFFFF ? 0xFFFF : spec.attackMs);
        e.periodic.fade_length = static_cast<Uint16>(spec.fadeMs > 0xFFFF ? 0xFFFF : spec.fadeMs);
    }
    return e;
}

}  // namespace

void MarkRecordedHaptic(int instance, int pad) {
    std::lock_guard<std::mutex> lock(g_mutex);
    PadForce& p = g_pads[instance];
    p.recordedHaptic = true;
    p.recordedPad = pad;
}

EffectPath OpenEffect(int instance, const EffectSpec& spec, int* hapticId) {
    *hapticId = -1;
    std::lock_guard<std::mutex> lock(g_mutex);
    PadForce& pad = g_pads[instance];
    if (pad.recordedHaptic) {
        *hapticId = pad.nextRecordedId++;
        AppendCall("haptic " + PadText(instance) + " new " + KindName(spec.kind) + " " +
                   std::to_string(spec.magnitude));
        return EffectPath::kHaptic;
    }
    if (SDL_Haptic* haptic = HapticOf(instance, pad)) {
        const unsigned wanted =
            spec.kind == EffectKind::kConstant ? SDL_HAPTIC_CONSTANT : SDL_HAPTIC_SINE;
        if (SDL_HapticQuery(haptic) & wanted) {
            SDL_HapticEffect effect = HapticEffectOf(spec);
            const int id = SDL_HapticNewEffect(haptic, &effect);
            if (id >= 0) {
                *hapticId = id;
                return EffectPath::kHaptic;
            }
        }
    }
    SDL_Joystick* joystick = PadJoystick(instance);
    if (joystick != nullptr && SDL_JoystickHasRumble(joystick)) return EffectPath::kRumble;
    return EffectPath::kRecorded;
}

void RunEffect(int instance, EffectPath path, const EffectSpec& spec, int hapticId, bool on) {
    std::lock_guard<std::mutex> lock(g_mutex);
    PadForce& pad = g_pads[instance];
    switch (path) {
        case EffectPath::kHaptic:
            if (pad.recordedHaptic) {
                AppendCall("haptic " + PadText(instance) + (on ? " run " : " stop ") +
                           KindName(spec.kind));
            } else if (pad.haptic != nullptr) {
                if (on)
                    SDL_HapticRunEffect(pad.haptic, hapticId, 1);
                else
                    SDL_HapticStopEffect(pad.haptic, hapticId);
            }
            break;
        case EffectPath::kRumble: {
            const Uint16 level = on ? MotorLevel(spec.magnitude) : 0;
            if (spec.kind == EffectKind::kConstant)
                pad.low = level;
            else
                pad.high = level;
            IssueRumble(instance, pad);
            break;
        }
        case EffectPath::kRecorded:
            AppendCall("effect " + PadText(instance) + (on ? " start " : " stop ") +
                       KindName(spec.kind));
            break;
    }
}

void CloseEffect(int instance, EffectPath path, const EffectSpec& spec, int hapticId) {
    std::lock_guard<std::mutex> lock(g_mutex);
    PadForce& pad = g_pads[instance];
    if (path == EffectPath::kHaptic) {
        if (pad.recordedHaptic) {
            AppendCall("haptic " + PadText(instance) + " destroy " + KindName(spec.kind));
        } else if (pad.haptic != nullptr) {
            SDL_HapticDestroyEffect(pad.haptic, hapticId);
        }
    } else if (path == EffectPath::kRumble) {
        Uint16& motor = spec.kind == EffectKind::kConstant ? pad.low : pad.high;
        if (motor != 0) {
            motor = 0;
            IssueRumble(instance, pad);
        }
    }
}

void RenewRumble(int instance) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_pads.find(instance);
    if (it == g_pads.end()) return;
    PadForce& pad = it->second;
    if ((pad.low != 0 || pad.high != 0) && SDL_GetTicks() - pad.issuedAt >= kRumbleSliceMs / 2)
        IssueRumble(instance, pad);
}

void NoteForceFeedback(const std::string& line) {
    AppendCall(line);
}

void ResetForceFeedback() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto& [instance, pad] : g_pads)
            if (pad.haptic != nullptr) SDL_HapticClose(pad.haptic);
        g_pads.clear();
    }
    std::lock_guard<std::mutex> lock(g_callsMutex);
    g_calls.clear();
}

}  // namespace plat::dinput

namespace plat::testing {

std::vector<std::string> TakeForceFeedbackCalls() {
    std::lock_guard<std::mutex> lock(dinput::g_callsMutex);
    std::vector<std::string> out(dinput::g_calls.begin(), dinput::g_calls.end());
    dinput::g_calls.clear();
    return out;
}

}  // namespace plat::testing
