#include "game/core/sound_cue.h"

#include <cstdio>

#include "engine/tessra.h"
#include "game/core/config.h"

namespace velmora {

const int32_t kBgmLoopStartMs[kBgmCount] = {1700, 0, 2600, 2900, 4400,  16400,
                                            1,    1, 4500, 2600, 18600, 0};

namespace {

// Engine play types.
constexpr int kPlayBackground = 1;
constexpr int kPlayLoop = 3;

SoundTable g_sound = [] {
    SoundTable t{};
    for (int i = 0; i < kSeCount; ++i) t.seHandle[i] = -1;
    for (int i = 0; i < kBgmCount; ++i) t.bgmHandle[i] = -1;
    t.currentBgm = kNoBgm;
    return t;
}();

bool IsSeNumber(int n) {
    return n >= 0 && n < kSeCount;
}
bool IsBgmNumber(int n) {
    return n >= 0 && n < kBgmCount;
}

int LoadNumberedSound(const char* format, int n) {
    char name[64];
    std::snprintf(name, sizeof name, format, n);
    return LoadSoundFile(name, 3, -1);
}

}  // namespace

const SoundTable& GetSoundTable() {
    return g_sound;
}

void LoadSounds(void (*tick)()) {
    if (tick) tick();
    SetSoundDataKeepMode(0);  // effects are short: decode them whole
    for (int n = 0; n < kSeCount; ++n) {
        int handle = LoadNumberedSound("dat\\velm3\\se%02d.wav", n);
        if (handle == -1) handle = LoadNumberedSound("dat\\velm3\\se%02d.ogg", n);
        g_sound.seHandle[n] = handle;
    }
    SetSoundDataKeepMode(3);  // music is streamed
    for (int n = 0; n < kBgmCount; ++n) {
        g_sound.bgmHandle[n] = LoadNumberedSound("dat\\velmbgm%02d.ogg", n);
        if (kBgmLoopStartMs[n] >= 1) SetSoundLoopPosition(kBgmLoopStartMs[n], g_sound.bgmHandle[n]);
        if (tick) tick();
    }
    ApplySoundVolumes();
    g_sound.currentBgm = kNoBgm;
}

void ApplySoundVolumes() {
    const int seVolume = GetConfigVar(kCfgSeVolume);
    const int bgmVolume = GetConfigVar(kCfgMusicVolume);
    for (int n = 0; n < kSeCount; ++n) {
        SetSoundVolume(seVolume * 100, g_sound.seHandle[n]);
        g_sound.seCooldown[n] = 0;
    }
    for (int n = 0; n < kBgmCount; ++n) {
        g_sound.bgmVolume[n] = bgmVolume;
        SetSoundVolume(bgmVolume * 100, g_sound.bgmHandle[n]);
    }
}

int PlaySeAt(int x, int y, int n) {
    if (!IsSeNumber(n)) return 0;
    if (x < -320 || x > 320 || y < -240 || y > 240) return 0;
    if (g_sound.seCooldown[n] != 0) return 0;
    g_sound.seCooldown[n] = kSeCooldownFrames;
    return PlaySoundHandle(g_sound.seHandle[n], kPlayBackground, 1);
}

int PlaySe(int n) {
    return PlaySeAt(0, 0, n);
}

bool IsSePlaying(int n) {
    return IsSeNumber(n) && IsSoundPlaying(g_sound.seHandle[n]) == 1;
}

void StopAllSe() {
    for (int n = 0; n < kSeCount; ++n) {
        if (IsSoundPlaying(g_sound.seHandle[n]) == 1) StopSoundHandle(g_sound.seHandle[n]);
    }
}

void PlayBgmTrack(int n) {
    // A track number can come from a stage file: anything outside the table changes nothing.
    if (n != kNoBgm && !IsBgmNumber(n)) return;
    if (n == g_sound.currentBgm) return;
    // The music switch (word 22) is not consulted here: only PlayBgmOnce honours it, and the
    // options silence the music through its volume (word 23).
    if (IsBgmNumber(g_sound.currentBgm)) g_sound.bgmFadeStep[g_sound.currentBgm] = -1;
    if (n >= 0) {
        const int type = kBgmLoopStartMs[n] >= 1 ? kPlayLoop : kPlayBackground;
        PlaySoundHandle(g_sound.bgmHandle[n], type, 1);
        g_sound.bgmVolume[n] = GetConfigVar(kCfgMusicVolume);
        g_sound.bgmFadeStep[n] = 1;
    }
    g_sound.currentBgm = n;
}

int GetCurrentBgm() {
    return g_sound.currentBgm;
}

void FadeOutBgm() {
    if (IsBgmNumber(g_sound.currentBgm)) g_sound.bgmFadeStep[g_sound.currentBgm] = -5;
    g_sound.currentBgm = kNoBgm;
}

void FadeBgmSlowly() {
    if (IsBgmNumber(g_sound.currentBgm)) g_sound.bgmFadeStep[g_sound.currentBgm] = -1;
}

void SetBgmVolume(int volume) {
    if (IsBgmNumber(g_sound.currentBgm)) g_sound.bgmVolume[g_sound.currentBgm] = volume;
}

void UpdateSound() {
    const int musicVolume = GetConfigVar(kCfgMusicVolume);
    for (int n = 0; n < kBgmCount; ++n) {
        if (g_sound.bgmFadeStep[n] == 0) continue;
        if (IsSoundPlaying(g_sound.bgmHandle[n]) != 1) continue;
        int volume = g_sound.bgmVolume[n] + g_sound.bgmFadeStep[n];
        if (volume < 1) {
            volume = 0;
            StopSoundHandle(g_sound.bgmHandle[n]);
        }
        if (volume > musicVolume) volume = musicVolume;
        g_sound.bgmVolume[n] = volume;
        SetSoundVolume(volume * 100, g_sound.bgmHandle[n]);
    }
    for (int n = 0; n < kSeCount; ++n) {
        if (g_sound.seCooldown[n] > 0) --g_sound.seCooldown[n];
    }
    // A track that should loop from a point the engine cannot keep is restarted by hand; no
    // entry of the table asks for it today.
    const int current = g_sound.currentBgm;
    if (current >= 1 && IsBgmNumber(current) && kBgmLoopStartMs[current] < 0 &&
        IsSoundPlaying(g_sound.bgmHandle[current]) != 1) {
        PlaySoundHandle(g_sound.bgmHandle[current], kPlayBackground, 1);
    }
}

void PlayBgmOnce(int n) {
    if (GetConfigVar(kCfgMusicSwitch) >= 1 && IsBgmNumber(n)) {
        PlaySoundHandle(g_sound.bgmHandle[n], kPlayBackground, 1);
    }
}

}  // namespace velmora
