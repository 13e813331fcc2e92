#include "game/core/game_vars.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "game/core/object_pool.h"

namespace velmora {
namespace {

int g_masterSlot = kScratchSlot;

struct Xorshift128 {
    uint32_t x = 123456789;
    uint32_t y = 362436069;
    uint32_t z = 521288629;
    uint32_t w = 88675123;

    uint32_t Next() {
        const uint32_t t = x ^ (x << 11);
        x = y;
        y = z;
        z = w;
        w = w ^ (w >> 19) ^ t ^ (t >> 8);
        return w;
    }
};

Xorshift128 g_random;
Xorshift128 g_secondRandom;
uint32_t g_lcg = 0;

struct ActiveArea {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
ActiveArea g_area;

constexpr uint32_t kScrambleSeed = 52917;

constexpr int32_t kWave32[16] = {0, 3, 5, 7, 8, 9, 10, 11, 11, 11, 10, 9, 8, 7, 5, 3};
constexpr int32_t kWave16[16] = {0, 1, 2, 3, 3, 2, 1, 0, 0, -1, -2, -3, -3, -2, -1, 0};

int32_t Wrap(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

int32_t Modulo(int64_t a, int64_t m) {
    const int64_t r = a % m;
    return static_cast<int32_t>(r < 0 ? r + m : r);
}

}  // namespace

int GetMasterObject() {
    return g_masterSlot;
}

void SetMasterObject(int slot) {
    g_masterSlot = slot >= 0 && slot < kPoolSlots ? slot : kScratchSlot;
}

int32_t GetGameVar(int n) {
    return GetField(n, g_masterSlot);
}
int32_t SetGameVar(int n, int32_t v) {
    return SetField(n, g_masterSlot, v);
}
int32_t AddGameVar(int n, int32_t d) {
    return AddField(n, g_masterSlot, d);
}
int32_t IncGameVar(int n) {
    return IncField(n, g_masterSlot);
}
int32_t DecGameVar(int n) {
    return DecField(n, g_masterSlot);
}

int32_t IncGameVarUpTo(int n, int32_t max) {
    const int32_t v = GetGameVar(n);
    return v < max ? IncGameVar(n) : v;
}

void AddScore(int p, int32_t d) {
    if (p < 0 || p > 3) return;
    const int64_t sum = static_cast<int64_t>(GetGameVar(kGameVarScore0 + p)) + d;
    SetGameVar(kGameVarScore0 + p, static_cast<int32_t>(std::clamp<int64_t>(sum, 0, kMaxScore)));
}

void AwardIcon(int n) {
    if (n >= 0 && n < 32) {
        const uint32_t owned = static_cast<uint32_t>(GetGameVar(kGameVarIconsOwned));
        const uint32_t bit = 1u << n;
        if (owned & bit) return;
        SetGameVar(kGameVarIconsOwned, static_cast<int32_t>(owned | bit));
        SetGameVar(kGameVarItemNotice, n + 1);
    } else if (n >= 32 && n < 64) {
        SetGameVar(kGameVarItemNotice, n + 1);
    }
}

int32_t Random(int32_t n) {
    // n + 1 would be 0 (a division by zero) for n = -1; no range below 0 makes sense.
    if (n <= 0) return 0;
    return static_cast<int32_t>(g_random.Next() % (static_cast<uint32_t>(n) + 1u));
}

void SeedRandom(uint32_t v) {
    g_random.x = v;
}
void SeedSecondRandom(uint32_t seed) {
    g_secondRandom.x = seed;
}
uint32_t NextXorshift() {
    return g_secondRandom.Next();
}

void SeedLcg(uint32_t seed) {
    g_lcg = seed;
}

int32_t NextLcg() {
    g_lcg = g_lcg * 1103515245u + 13245u;
    return static_cast<int32_t>(g_lcg & 0xffffu);
}

void ScrambleBuffer(const uint8_t* src, uint8_t* dst, size_t offset, size_t n) {
    if (!src || !dst) return;
    SeedLcg(kScrambleSeed);
    for (size_t i = 0; i < offset; ++i) NextLcg();
    for (size_t i = 0; i < n; ++i)
        dst[i] = static_cast<uint8_t>(src[offset + i] ^ (NextLcg() & 0xff));
}

int32_t NormaliseAngle(int32_t a) {
    return Modulo(a, kAngleTurn);
}

int32_t MirrorAngle(int32_t a) {
    const int32_t n = NormaliseAngle(a);
    return n < kAngleHalfTurn ? kAngleHalfTurn - n : 3 * kAngleHalfTurn - n;
}

void PolarOffset(int32_t* x, int32_t* y, int32_t a, int32_t r) {
    const float rad = static_cast<float>(a * std::numbers::pi / kAngleHalfTurn);
    if (x) *x = static_cast<int32_t>(std::cos(static_cast<double>(rad)) * r);
    if (y) *y = static_cast<int32_t>(std::sin(static_cast<double>(rad)) * r);
}

void AddPolarOffset(int32_t* x, int32_t* y, int32_t a, int32_t r) {
    int32_t dx = 0, dy = 0;
    PolarOffset(&dx, &dy, a, r);
    if (x) *x = Wrap(static_cast<int64_t>(*x) + dx);
    if (y) *y = Wrap(static_cast<int64_t>(*y) + dy);
}

int32_t VectorAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int64_t u = static_cast<int64_t>(x2) - x1;
    const int64_t v = static_cast<int64_t>(y2) - y1;
    if (u == 0) return v < 0 ? 3 * kAngleQuarterTurn : kAngleQuarterTurn;
    if (v == 0) return u < 0 ? kAngleHalfTurn : 0;
    const double a = std::atan2(static_cast<double>(v), static_cast<double>(u)) * kAngleHalfTurn /
                     std::numbers::pi;
    return Modulo(static_cast<int64_t>(a), kAngleTurn);
}

int32_t TurnToward(int32_t a, int32_t target, int32_t n) {
    // Stepping one unit at a time: within a half turn each step closes on the target and stops
    // there; farther off, each step moves away numerically (the short way round the wrap) and
    // the gap only grows. Either way the n steps add up to one move, done here at once.
    int64_t cur = NormaliseAngle(a);
    if (n > 0) {
        const int64_t d = static_cast<int64_t>(target) - cur;
        if (d >= kAngleHalfTurn || d <= -kAngleHalfTurn)
            cur += d < 0 ? n : -static_cast<int64_t>(n);
        else if (d != 0)
            cur += d < 0 ? -std::min<int64_t>(n, -d) : std::min<int64_t>(n, d);
    }
    return Modulo(cur, kAngleTurn);
}

int32_t DistanceSq(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const uint32_t dx = static_cast<uint32_t>(x1) - static_cast<uint32_t>(x2);
    const uint32_t dy = static_cast<uint32_t>(y1) - static_cast<uint32_t>(y2);
    return static_cast<int32_t>(dx * dx + dy * dy);
}

int32_t ExactLog2(int32_t v) {
    // 64-bit so the search ends above 2^30 instead of overflowing.
    int64_t p = 1;
    int32_t k = 0;
    while (p < v) {
        p <<= 1;
        ++k;
    }
    return p == v ? k : -1;
}

int32_t ExactLog(int32_t base, int32_t v) {
    int64_t p = 1;
    for (int32_t k = 0; k < 16; ++k) {
        if (p == v) return k;
        p *= base;
        if (p > INT32_MAX || p < INT32_MIN) break;  // can never come back within range
    }
    return -1;
}

bool RectsOverlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2,
                  int32_t w2, int32_t h2) {
    if (w1 <= 0 || h1 <= 0 || w2 <= 0 || h2 <= 0) return false;
    return int64_t{x1} < int64_t{x2} + w2 && int64_t{x2} < int64_t{x1} + w1 &&
           int64_t{y1} < int64_t{y2} + h2 && int64_t{y2} < int64_t{y1} + h1;
}

bool TestBit(uint32_t v, int n) {
    return n >= 0 && n < 32 && ((v >> n) & 1u) != 0;
}

int32_t WaveTable32(int32_t i) {
    const int32_t k = i & 31;
    return k < 16 ? kWave32[k] : -kWave32[k - 16];
}

int32_t WaveTable16(int32_t i) {
    return kWave16[i & 15];
}

void SetActiveArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    g_area = {left, top, right, bottom};
}

bool IsOutsideActiveArea(int32_t x, int32_t y) {
    return x < g_area.left || x > g_area.right || y < g_area.top || y > g_area.bottom;
}

}  // namespace velmora
