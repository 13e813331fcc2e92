// Small shared services of the game: the game variables (properties of the master object),
// scores and icon awards, the game's random numbers, the message-file keystream, angle and
// distance arithmetic and the active rectangle that culls objects leaving the view.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

// Angles are whole units of 1/216000 of a turn; 0 points along +x, a quarter turn along +y
// (down the screen).
inline constexpr int32_t kAngleTurn = 216000;
inline constexpr int32_t kAngleHalfTurn = 108000;
inline constexpr int32_t kAngleQuarterTurn = 54000;

// Game variable numbers that more than one part of the game relies on.
inline constexpr int kGameVarAge = 3;           // the master object's age
inline constexpr int kGameVarSky = 23;          // sky colour, 0xRRGGBBFF
inline constexpr int kGameVarPhase = 26;        // game phase 0..12 (5 is play)
inline constexpr int kGameVarPhaseTime = 27;    // frames spent in the phase
inline constexpr int kGameVarMusicDuck = 66;    // frames the ducking effect has played
inline constexpr int kGameVarItemNotice = 67;   // icon number + 1 to announce, 0 for none
inline constexpr int kGameVarIconsOwned = 68;   // one bit per icon 0..31
inline constexpr int kGameVarMasterFlags = 25;  // the master object's flag bits
inline constexpr int kGameVarExit = 30;         // the exit being taken (8 leaves the stage)
inline constexpr int kGameVarDifficulty = 64;   // 0 easy, 1 normal, 2 hard
inline constexpr int kGameVarLevel = 65;        // the enemies' level
inline constexpr int kGameVarPowerUps = 70;     // power-up items taken in the run
inline constexpr int kGameVarScore0 = 96;       // scores of players 0..3 are 96..99
inline constexpr int kGameVarNextLife = 104;    // the score that gives the next life
inline constexpr int kGameVarDropsTaken = 109;  // drops picked up in the stage
inline constexpr int kGameVarChain = 110;       // blast kills in the current chain
inline constexpr int kGameVarChainTimer = 111;  // frames the chain stays open
inline constexpr int kGameVarWeather = 112;
inline constexpr int kGameVarClock = 113;        // the world clock in frames
inline constexpr int kGameVarSkyIndex = 114;     // the time of day, 0..7
inline constexpr int kGameVarSkyOverride = 115;  // a sky index forced for a while, -1 none
inline constexpr int kGameVarStage = 116;        // the stage played, 0..4
inline constexpr int kGameVarStageFlags = 118;   // colour switches, keys and areas visited
inline constexpr int kGameVarSwitches = 119;     // the current area's switch bits
inline constexpr int kGameVarTimeLeft = 120;     // frames left on the stage's clock
inline constexpr int kGameVarCameraX = 122;
inline constexpr int kGameVarCameraY = 123;
inline constexpr int kGameVarShake = 124;      // frames of screen shake left
inline constexpr int kGameVarEndFrames = 125;  // frames since the run ended, 0 while it goes on
// One variable a player: player p's is the number + p.
inline constexpr int kGameVarCompanions = 76;
inline constexpr int kGameVarShotLevel = 80;
inline constexpr int kGameVarShotRange = 84;
inline constexpr int kGameVarArmour = 88;
inline constexpr int kGameVarHpLevel = 92;  // 1..10, ten hit points a level
inline constexpr int kGameVarLives = 100;

inline constexpr int32_t kMaxScore = 9999999;

// The master object carries the game variables: game variable n is its property n. Until a
// master object exists (and again after every pool reset) the variables live in a scratch row
// that no object can take, so they never alias a menu object.
int GetMasterObject();
void SetMasterObject(int slot);

// Game variable n (0..127); other numbers read 0 and store nothing. The setters return the
// value stored.
int32_t GetGameVar(int n);
int32_t SetGameVar(int n, int32_t v);
int32_t AddGameVar(int n, int32_t d);
int32_t IncGameVar(int n);
int32_t DecGameVar(int n);                   // -1 only when the value is 1 or more
int32_t IncGameVarUpTo(int n, int32_t max);  // +1 only while below max; returns the value

// Player p's score (game variable 96 + p) moves by d, kept within 0..9999999; p outside 0..3
// is ignored.
void AddScore(int p, int32_t d);
// Icons 0..31 raise the item-get notice once, when first owned; icons 32..63 raise it every
// time; other numbers are ignored.
void AwardIcon(int n);

// The effect generator (xorshift128): a value in 0..n; n of 0 or less gives 0 and leaves the
// generator where it was.
int32_t Random(int32_t n);
void SeedRandom(uint32_t v);
// A second xorshift128 state of the same start, seeded by the replay start.
void SeedSecondRandom(uint32_t seed);
uint32_t NextXorshift();

// The linear congruential generator of keystreams and checksums: each step returns the low
// 16 bits of state * 1103515245 + 13245.
void SeedLcg(uint32_t seed);
int32_t NextLcg();

// The message file's keystream: dst[i] = src[offset + i] ^ the low byte of the LCG's
// (offset + i + 1)-th value from seed 52917, for i in 0..n-1. The same call scrambles and
// unscrambles, and any stretch can be processed alone given its offset. src must hold
// offset + n bytes and dst n; they may be the same buffer.
void ScrambleBuffer(const uint8_t* src, uint8_t* dst, size_t offset, size_t n);

// Angles and distances.
int32_t NormaliseAngle(int32_t a);  // into 0..215999
int32_t MirrorAngle(int32_t a);     // reflected across the vertical axis
// x = trunc(cos(a) * r), y = trunc(sin(a) * r), the angle held in single precision.
void PolarOffset(int32_t* x, int32_t* y, int32_t a, int32_t r);
void AddPolarOffset(int32_t* x, int32_t* y, int32_t a, int32_t r);
int32_t VectorAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);  // first point to second
int32_t TurnToward(int32_t a, int32_t target, int32_t n);             // n unit steps
int32_t DistanceSq(int32_t x1, int32_t y1, int32_t x2, int32_t y2);   // wraps as 32-bit
int32_t ExactLog2(int32_t v);                                         // k when v == 2^k, else -1
int32_t ExactLog(int32_t base, int32_t v);  // the k < 16 with base^k == v, else -1
bool RectsOverlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2,
                  int32_t w2, int32_t h2);
bool TestBit(uint32_t v, int n);  // false for n outside 0..31
int32_t WaveTable32(int32_t i);
int32_t WaveTable16(int32_t i);

// The active rectangle: objects that die outside the view are culled against it. A point is
// outside when x < left, x > right, y < top or y > bottom.
void SetActiveArea(int32_t left, int32_t top, int32_t right, int32_t bottom);
bool IsOutsideActiveArea(int32_t x, int32_t y);

}  // namespace velmora
