#include "engine/base/random.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace tessra {
namespace {

constexpr int kM = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpper = 0x80000000u;
constexpr uint32_t kLower = 0x7FFFFFFFu;

MtRandomState g_mt = {kMtWords, {}, {}, 0, 0};

inline uint32_t Twist(uint32_t self, uint32_t following, uint32_t far) {
    const uint32_t y = (self & kUpper) | (following & kLower);
    return far ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
}

inline uint32_t Temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

}  // namespace

MtRandomState& GetMtRandomState() {
    return g_mt;
}

int DetectMmx() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return 0;
    return (edx >> 23) & 1u ? 1 : 0;
#else
    return 0;
#endif
}

void RefillMtBlock() {
    uint32_t* s = g_mt.state;
    for (int k = 0; k < kMtWords; ++k) {
        s[k] = Twist(s[k], s[(k + 1) % kMtWords], s[(k + kM) % kMtWords]);
    }
    for (int k = 0; k < kMtWords; ++k) g_mt.output[k] = Temper(s[k]);
    g_mt.readIndex = 0;
}

// Two words a step, as the packed routine did; each pair reads only words that are at least
// two steps away, so the result is the same block.
void RefillMtBlockMmx() {
    uint32_t* s = g_mt.state;
    for (int k = 0; k < kMtWords; k += 2) {
        const uint32_t a = Twist(s[k], s[k + 1], s[(k + kM) % kMtWords]);
        const uint32_t b = Twist(s[k + 1], s[(k + 2) % kMtWords], s[(k + 1 + kM) % kMtWords]);
        s[k] = a;
        s[k + 1] = b;
        g_mt.output[k] = Temper(a);
        g_mt.output[k + 1] = Temper(b);
    }
    g_mt.readIndex = 0;
}

void InitMtRandom(uint32_t seed) {
    for (int i = 0; i < kMtWords; ++i) {
        uint32_t w = seed & 0xFFFF0000u;
        seed = 69069u * seed + 1u;
        w |= seed >> 16;
        seed = 69069u * seed + 1u;
        g_mt.state[i] = w;
    }
    g_mt.mmx = DetectMmx();
    g_mt.seeded = 1;
    if (g_mt.mmx) {
        RefillMtBlockMmx();
    } else {
        RefillMtBlock();
    }
}

int SeedMtRandom(uint32_t seed) {
    InitMtRandom(seed);
    return 0;
}

uint32_t GetNextMtRandom() {
    if (!g_mt.seeded) InitMtRandom(4357u);
    if (g_mt.readIndex >= kMtWords) {
        if (g_mt.mmx) {
            RefillMtBlockMmx();
        } else {
            RefillMtBlock();
        }
    }
    return g_mt.output[g_mt.readIndex++];
}

uint32_t GetMtRandom(uint32_t max) {
    // In 64 bits, so that max + 1 cannot overflow.
    const uint64_t r = GetNextMtRandom();
    return static_cast<uint32_t>((r * (static_cast<uint64_t>(max) + 1u)) >> 32);
}

}  // namespace tessra
