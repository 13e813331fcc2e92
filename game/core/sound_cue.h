// The game's sound layer over the engine's sound handles: numbered effects with a cool-down,
// numbered music tracks with loop points, one current track and per-frame volume fades.
#pragma once

#include <cstdint>

namespace velmora {

constexpr int kSeCount = 30;
constexpr int kBgmCount = 12;
constexpr int kSeCooldownFrames = 4;
constexpr int kNoBgm = -1;

// Loop start in milliseconds per track; 0 plays once.
extern const int32_t kBgmLoopStartMs[kBgmCount];

struct SoundTable {
    int32_t seHandle[kSeCount];
    int32_t seCooldown[kSeCount];
    int32_t bgmHandle[kBgmCount];
    int32_t bgmVolume[kBgmCount];  // 0..100
    int32_t bgmFadeStep[kBgmCount];
    int32_t currentBgm;
};

// Loads every effect and track; `tick` (may be null) keeps the loading screen moving.
void LoadSounds(void (*tick)());
void ApplySoundVolumes();
int PlaySeAt(int x, int y, int n);  // x, y relative to the view's centre
int PlaySe(int n);
bool IsSePlaying(int n);
void StopAllSe();
void PlayBgmTrack(int n);  // -1 stops the music
int GetCurrentBgm();
void FadeOutBgm();
void FadeBgmSlowly();
void SetBgmVolume(int volume);
void UpdateSound();  // once a frame
void PlayBgmOnce(int n);

// The table as it stands, for the start-up checks and tests.
const SoundTable& GetSoundTable();

}  // namespace velmora
