// The engine's random generator: a Mersenne Twister (MT19937) with the 1998 seeding.
#pragma once

#include <cstdint>

namespace tessra {

inline constexpr int kMtWords = 624;

struct MtRandomState {
    int32_t readIndex;          // kMtWords: the output block is used up
    uint32_t output[kMtWords];  // already tempered
    uint32_t state[kMtWords];
    int32_t seeded;
    int32_t mmx;  // chooses the refill routine; both give the same block
};

MtRandomState& GetMtRandomState();

void InitMtRandom(uint32_t seed);
int SeedMtRandom(uint32_t seed);  // 0; the body of SeedEngineRandom
// The next raw 32-bit output; a generator never seeded is seeded with 4357 first.
uint32_t GetNextMtRandom();
// A number from 0 to max inclusive (the upper 32 bits of output * (max + 1)); the body of
// GetEngineRandom. Every max up to 0xFFFFFFFF is meaningful.
uint32_t GetMtRandom(uint32_t max);

int DetectMmx();
void RefillMtBlock();
void RefillMtBlockMmx();

}  // namespace tessra
