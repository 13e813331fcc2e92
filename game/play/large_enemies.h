// The large enemies: the UFO leaf (type 10), the big one leaf (type 12) and the boss (type 14)
// with its hands and satellites. Each routine runs once a frame for its object from the class-3
// dispatch; f26 is the state and f27 the frames spent in it.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kPropEnemyState = 26;
inline constexpr int kPropEnemyStateTime = 27;
// The boss's kind word (stage type 14).
inline constexpr int32_t kBossKindWord = 0x3000000e;

void UpdateUfoLeaf(int slot);
void UpdateBigOneLeaf(int slot);
void UpdateBoss(int slot);
// Fills the stage-type rows 10, 12 and 14 of the object routine table.
void InstallLargeEnemyRoutines();

// The boss's arm geometry, shared by its routine (where the hands hang) and its picture.
inline constexpr int32_t kBossUpperArm = 120;
inline constexpr int32_t kBossForearm = 220;
// Where the body is drawn: y + z + lift (z is negative above the ground line).
int32_t BossBodyY(int slot);
// Shoulder, elbow and hand of arm i (0 left, 1 right) in world pixels.
void GetBossArm(int slot, int i, int32_t* sx, int32_t* sy, int32_t* ex, int32_t* ey, int32_t* hx,
                int32_t* hy);
// The stamp's landing: four rings of blasts round the point, ring r at radius 96 + 32r with
// kStampRingCounts[r] blasts a pass. Its routine sets them off; its picture marks them.
inline constexpr int kStampRings = 4;
inline constexpr int kStampRingCounts[kStampRings] = {6, 7, 8, 9};
inline constexpr int32_t StampRingRadius(int r) {
    return 96 + 32 * r;
}
// The frames the stamp rises before it comes down.
inline constexpr int32_t kStampRiseFrames = 85;
// The four orbits of sparks around the boss's second form: radius, turn a frame, bob period.
struct BossOrbit {
    int32_t radius, speed, bobFrames;
};
inline constexpr int kBossOrbitBehind = 8;
inline constexpr int kBossOrbitFront = 10;
inline constexpr BossOrbit kBossOrbits[4] = {
    {160, 1800, 32}, {144, -2400, 24}, {160, 1200, 48}, {192, -1200, 48}};

}  // namespace velmora
