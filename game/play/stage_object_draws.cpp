// The pictures of the stage objects, one routine per stage type (draw kind 32 + type), and the
// leaf figure that walkers, pilots and previews share. Each stays inside the active area, casts
// its shadow one layer below its own, and takes the sky's tint.
#include <algorithm>
#include <cmath>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sprite_ids.h"
#include "game/play/draw.h"
#include "game/play/draw_private.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {

namespace {

namespace sp = sprite;

constexpr int kPropState = 26;  // of the large enemies
constexpr int kPropStateTime = 27;
constexpr int kPropTimer = 28;
constexpr int kPropAlert = 46;
constexpr int kPropFall = 47;
constexpr int kPropLift = 45;
constexpr int kPropExpression = 42;
constexpr int kPropSway = 44;
constexpr int kPropSpeedUp = 36;
constexpr int kLifeBarLayer = 24;
constexpr int kConfigFogLevel = 21;
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kWhite = 0xffffffffu;

// What every stage-object draw starts from: its place on the screen and its colour.
struct Pose {
    int32_t x, y, z;
    int layer;
    int32_t age, variant;
    uint32_t flags, tint;
    bool editor;
};

bool BeginPose(Pose* p) {
    int32_t wx, wy;
    GetCurrentPosition(&wx, &wy);
    if (IsOutsideActiveArea(wx, wy)) return false;
    GetCurrentPosition3(&p->x, &p->y, &p->z);
    p->flags = static_cast<uint32_t>(GetCurrentField(kPropFlags));
    if (!(p->flags & kFlagScreenFixed)) WorldToScreen(&p->x, &p->y);
    p->layer = GetCurrentField(kPropLayer);
    p->age = GetCurrentField(kPropAge);
    p->variant = GetCurrentField(kPropVariant);
    p->editor = GetField(kPropKind, GetMasterObject()) == kEditorMasterKind;
    p->tint = GetObjectTint(&p->x, &p->y);
    if (p->editor) {
        // The editor writes the variant beside the object.
        QueueSpriteText(p->x + 10, p->y - 20, 22, 56 + (p->variant & 15));
        if (p->variant & 64)
            QueueSprite(p->x + 10, p->y - 6, 22,
                        (p->variant & 128) ? sp::kFlagButtonC : sp::kFlagButtonA);
    }
    return true;
}

int Body(const Pose& p, int x, int y, int32_t word, int depth, int32_t scale = 1000,
         int32_t angle = 0) {
    const int r = QueueRotatedSpriteAtDepth(x, y, p.layer, word, depth, scale, angle);
    SetRecordColor(r, p.tint);
    return r;
}

int Shadow(const Pose& p, int x, int y, int32_t word, int32_t scale = 1000,
           uint32_t colour = kShadowColour) {
    const int r = QueueRotatedSprite(x, y, p.layer - 1, word, scale, 0);
    SetRecordColor(r, colour);
    return r;
}

void RectShadow(const Pose& p, int halfWidth) {
    SetRecordColor(
        QueueRectangle(p.x - halfWidth, p.y - 4, p.x + halfWidth, p.y + 14, p.layer - 1, true),
        kShadowColour);
}

uint32_t WithAlpha(uint32_t colour, int64_t alpha) {
    return (colour & 0xffffff00u) | ClampChannel(alpha);
}

// Generator: a burrow that breeds walkers; one peeks out just before it breeds.
void DrawGenerator(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    Shadow(p, p.x, p.y + 12, sp::kShadow + 1);
    if (GetCurrentField(kPropHp) < 1) {
        Body(p, p.x, p.y - 8 - p.z, sp::kGeneratorBroken, p.y + 32);
        return;
    }
    Body(p, p.x, p.y - 8 - p.z, sp::kGenerator, p.y + 32);
    const int32_t t = GetCurrentField(kPropTimer);
    if (t < 40) {
        const int32_t top = t >= 33  ? sp::kGenerator + 1
                            : t > 24 ? sp::kGenerator + 2
                                     : sp::kLeafBody + ((p.age / 8) & 3);
        Body(p, p.x, p.y - 26 - p.z, top, p.y + 33);
    }
}

void DrawLifeBar(const Pose& p) {
    int w, h;
    GetScreenExtent(&w, &h);
    const int32_t half =
        std::min<int64_t>(int64_t{p.age} * 4 < 0 ? 0 : int64_t{p.age} * 4, w < 640 ? 150 : 200);
    const int left = w / 2 - half, right = w / 2 + half, top = h - 14, bottom = h - 6;
    SetRecordColor(QueueRectangle(left - 2, top - 2, right + 2, bottom + 2, kLifeBarLayer, true),
                   0x802020c0u);
    // A guard with no members has no maximum: nothing to fill.
    const int32_t max = GetCurrentField(kPropMaxHp);
    if (max < 1 || half <= 0) return;
    const int64_t hp = std::clamp<int64_t>(GetCurrentField(kPropHp), 0, max);
    const int fill = static_cast<int>(hp * (2 * half) / max);
    if (fill > 0)
        SetRecordColor(QueueRectangle(left, top, left + fill, bottom, kLifeBarLayer, true),
                       0xffc080ffu);
}

void DrawEventControl(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    const int event = p.variant & 7;
    const bool done = (p.flags & kFlagHeld) != 0;
    if (event == 1) {
        if (done || p.editor) {
            Shadow(p, p.x, p.y + 8, sp::kShadow + 5);
            const int r = Body(p, p.x, p.y - 16, 3143, p.y + 32);
            if (p.editor) SetRecordColor(r, 0x8080ffffu);
            if (done && GetGameVar(kGameVarStage) == 4) QueueScreenFill(5, kWhite);
        }
        // Only the area guard has a life to show.
        DrawLifeBar(p);
    } else if (event == 3) {
        int w, h;
        GetScreenExtent(&w, &h);
        const int level = std::clamp(GetConfigVar(kConfigFogLevel), 1, 3);
        uint32_t colour = static_cast<uint32_t>(GetGameVar(kGameVarSky));
        for (int k = 0; k <= level; ++k) {
            const uint32_t c = WithAlpha(colour, k == level ? 255 : 80);
            const int32_t shift = static_cast<int32_t>((int64_t{p.age} * (k + 1) / 2) % 256);
            for (int y = -(k * 64 % 256); y < h; y += 256)
                for (int x = -shift; x < w; x += 256)
                    SetRecordColor(QueueSprite(x, y, 1, sp::kCloud), c);
            colour = AddToColor(colour, 48, 32, 0);
        }
    } else if (event == 5) {
        if (done) {
            SetRecordColor(QueueRotatedSprite(p.x, p.y, p.layer, sp::kShadow, 1000, 0),
                           static_cast<uint32_t>(GetCurrentField(kPropColor)));
        } else {
            SetRecordColor(QueueSprite(p.x - 16, p.y - 16, 6, sp::kHole), p.tint);
            for (int k = 0; k < 16; ++k)
                QueueRotatedSprite(p.x, p.y - 8 - 6 * k, p.layer,
                                   (sp::kSpark + 1 + (k + p.age / 4) % 3) | kSpriteAdditiveBit,
                                   1000 - 40 * k, (p.age * 6000 + k * 13500) % kAngleTurn);
        }
    }
}

void DrawGate(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    const int v = p.variant & 15;  // as the gate's routine reads it
    if (v >= 8) {
        const bool on = (static_cast<uint32_t>(GetGameVar(kGameVarSwitches)) >> (16 + v - 8)) & 1u;
        if (on) {
            Body(p, p.x, p.y - 8, sp::kSwitchGateOpen, p.y + 32);
            return;
        }
        RectShadow(p, 16);
        Body(p, p.x, p.y - 8, sp::kSwitchGateShut, p.y + 32);
        if (p.editor) {
            const int r = QueueNumber(p.x - 3, p.y - 12, 22, v - 8, 1, false);
            SetRecordAngleScale(r, sp::kSmallDigit, 6);
        }
        return;
    }
    const bool on = (static_cast<uint32_t>(GetGameVar(kGameVarStageFlags)) >> (24 + (v & 3))) & 1u;
    if (on) {
        const int r =
            QueueRotatedSpriteAtDepth(p.x, p.y - 8, 6, sp::kColorGate + v + 8, p.y + 32, 1000, 0);
        SetRecordColor(r, p.tint);
    } else {
        if (v < 4) RectShadow(p, 16);
        Body(p, p.x, p.y - 8, sp::kColorGate + v, p.y + 32);
    }
}

void DrawCandle(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    Shadow(p, p.x, p.y + 12, sp::kShadow + 1);
    Body(p, p.x, p.y - 8 - p.z, sp::kCandle, p.y + 32);
    const int32_t flame = GetCurrentField(kPropFall);
    if (flame <= 0) return;
    // The flame's alpha and size flicker; the alpha stays a channel.
    const double a = 8.0 * flame + 40.0 * std::sin(p.age * kPi / 13);
    const int32_t scale = 900 + static_cast<int32_t>(200 * std::sin(p.age * kPi / 7));
    const int r = QueueRotatedSprite(p.x, p.y - 34 - p.z, 20, 0x20000c1, scale, 0);
    SetRecordColor(r, WithAlpha(kWhite, static_cast<int64_t>(a)));
}

// A buried leaf: only its top pokes out of the filled-in mound, trembling.
void DrawBuriedLeaf(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    SetRecordColor(QueueRotatedSprite(p.x, p.y + 6, 6, sp::kShadow + 2, 1200, 0), kShadowColour);
    const int32_t word = p.variant == 1 ? sp::kLeafBody + 4 : sp::kLeafBody + ((p.age / 8) & 3);
    const int32_t shake = (p.age / 2) % 2 == 0 ? -3000 : 3000;
    SetRecordColor(QueueRotatedSpriteAtDepth(p.x, p.y - 4, 9, word, p.y + 16, 800, shake),
                   AddToColor(p.tint, -48, -48, -48));
    // The mound covers the leaf's lower half.
    SetRecordColor(QueueRotatedSpriteAtDepth(p.x, p.y + 8, 9, sp::kMound, p.y + 17, 1100, 0),
                   p.tint);
}

void DrawFieldItem(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    const int32_t blink = GetCurrentField(kPropAlert);
    if (blink > 0 && blink % 8 < 4) return;
    const int kind = p.variant & 63;
    if ((p.variant & 64) && !p.editor) return;
    if (kind == 10) {
        const int32_t h = p.z + 4 + static_cast<int32_t>(4 * std::sin(p.age * kPi / 32));
        Shadow(p, p.x, p.y + 12, sp::kShadow, 1000, 0x10003084u);
        Body(p, p.x - 10, p.y - 8 - h, sp::kDoll, p.y + 8);
        SetRecordColor(
            Body(p, p.x + 8, p.y - 8 - h, sp::kCompanion + 4 * ((p.age / 8) & 7), p.y + 9),
            0xffffff80u);
        SetRecordColor(Body(p, p.x + 8, p.y - 30 - h, sp::kCompanionHead, p.y + 10), 0xffffff80u);
        return;
    }
    Shadow(p, p.x, p.y + 12, sp::kShadow);
    Body(p, p.x, p.y - 8 - p.z, sp::kFieldItem + kind, p.y + 8);
    if (p.editor && (p.variant & 64)) QueueSprite(p.x + 8, p.y - 24, 22, sp::kFlagButtonB);
}

// Leaf people: caught in a hole, or walking as their figure.
void DrawLeafPeople(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    if (p.flags & kFlagHeld) {
        // Caught: sunk in the hole to the shoulders, blinking when it is about to climb out.
        const int32_t t = GetCurrentField(kPropTimer);
        const int r = QueueRotatedSpriteAtDepth(
            p.x, p.y + 2, p.layer, sp::kHeldForm + (p.variant & 112), p.y + 32, 500, 0);
        SetRecordColor(r, 0xc0c0c0ffu);
        if (t < 60 && (p.age & 4)) Body(p, p.x, p.y - 14, sp::kBlink, p.y + 33);
        return;
    }
    const int figure = p.variant & 15;
    Shadow(p, p.x, p.y + 12, figure >= 12 ? sp::kTargetMark : sp::kShadow);
    if (figure == 13) {
        Body(p, p.x, p.y - 8 - p.z, sp::kLeafBody + 18, p.y + 32);
    } else {
        DrawLeafFigure(p.x, p.y - p.z, p.y + 32, p.layer, p.age, GetCurrentField(kPropDirection),
                       p.variant, p.tint);
    }
    if ((p.flags & kFlagWarning) && p.age < 120 && (p.age & 8)) {
        Body(p, p.x, p.y - 40 - p.z, sp::kWarningB, p.y + 34);
        Body(p, p.x, p.y - 40 - p.z, sp::kWarningA, p.y + 35);
    }
}

void DrawBreakWall(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    RectShadow(p, 16);
    Body(p, p.x, p.y - 8, sp::kBreakWall, p.y + 32);
}

// The UFO: a saucer above the map with its beam and, in the beam, whoever it has caught.
void DrawUfoLeaf(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    const int32_t state = GetCurrentField(kPropState);
    const int layer = p.z >= 8 ? p.layer + 8 : p.layer;
    const int32_t shadowScale = 1000 - std::clamp(p.z, 0, 200) * 2;
    Shadow(p, p.x, p.y + 12, sp::kShadow, shadowScale);
    const int sy = p.y - 8 - p.z;
    int32_t tilt = 0;
    if (state == 3) tilt = static_cast<int32_t>(9000 * std::sin(p.age * kPi / 4));  // caught
    const int32_t beam = GetCurrentField(kPropFall);
    if (state == 1 && beam > 0) {
        for (int d = 16; d < beam && d < 480; d += 32) {
            const int r = QueueRotatedSpriteAtDepth(
                p.x, sy + d, layer, sp::kBeam | kSpriteAdditiveBit, p.y + 30, 1000, 0);
            SetRecordColor(r, 0xffffffa0u);
        }
        for (int q = 0; q < kPlayerCount; ++q) {
            if (!IsPlayerPresent(q) || GetPlayerField(q, kPropPlayerAction) != 4) continue;
            const int py = sy + std::min<int32_t>(beam, 480) - 24;
            SetRecordColor(
                QueueRotatedSpriteAtDepth(p.x, py, layer, sp::kPlayer + 8, p.y + 31, 1000,
                                          static_cast<int32_t>(6000 * std::sin(p.age * kPi / 16))),
                kWhite);
        }
    }
    DrawLeafFigure(p.x, sy - 10, p.y + 33, layer, p.age, 2, 15, p.tint);
    const int32_t saucer = p.variant == 12 ? sp::kSaucerBig : sp::kSaucer;
    SetRecordColor(QueueRotatedSpriteAtDepth(p.x, sy, layer, saucer, p.y + 34, 1000, tilt), p.tint);
    if (p.variant == 12) {
        for (int k = 0; k < 16; ++k) {
            const double a = (p.age * 4 + k * 22.5) * kPi / 180;
            QueueRotatedSprite(p.x + static_cast<int>(28 * std::cos(a)),
                               sy + 12 + static_cast<int>(6 * std::sin(a)), layer,
                               (sp::kSpark + (k & 3)) | kSpriteAdditiveBit, 700, 0);
        }
    }
    if (state == 3 && (p.age & 8)) Body(p, p.x, sy - 28, sp::kBlink, p.y + 35);
}

void DrawKabocha(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    static constexpr int32_t kBodies[16] = {2192, 2196, 2200, 2204, 2198, 2199, 2209, 2208,
                                            2197, 2192, 2192, 2192, 2192, 2192, 2192, 2192};
    const int kind = p.variant & 15;
    const int32_t bob = (p.age / 8) & 1;
    const bool walking = kind == 0 || kind == 2 || kind == 3;
    const int32_t body = kBodies[kind] + (walking ? (p.age / 8) & 3 : 0);
    Shadow(p, p.x, p.y + 12, sp::kShadow);
    Body(p, p.x, p.y - 4 - p.z - bob, body, p.y + 32);
    // The face set is one of three; the facing is f19 in 24ths of a turn.
    const int set = std::clamp((p.variant & 112) / 16, 0, 2);
    const int32_t facing =
        static_cast<int32_t>((int64_t{GetCurrentField(kPropAngle)} / 9000 % 24 + 24) % 24);
    Body(p, p.x, p.y - 22 - p.z - bob, sp::kKabochaFace + 24 * set + facing, p.y + 33);
}

// The big one leaf: a giant walker of legs and body; dying, it shakes by time.
void DrawBigOneLeaf(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    if (p.variant != 1 && p.variant != 7) {
        Shadow(p, p.x, p.y + 12, sp::kShadow + 4, 2000);
        Body(p, p.x, p.y - 24 - p.z, sp::kBigLeafSingle, p.y + 40);
        return;
    }
    const bool dying = p.variant == 7;
    const int32_t dir = std::clamp(GetCurrentField(kPropDirection), 1, 4) - 1;
    const int32_t frame = dying                             ? (p.age / 4) & 3
                          : GetCurrentField(kPropTimer) > 0 ? (p.age / 6) & 3
                                                            : 0;
    const int shake = dying ? (p.age & 2) * 2 - 2 : 0;
    const int32_t mirror = dir == 2 ? kSpriteMirrorBit : 0;
    Shadow(p, p.x, p.y + 16, sp::kShadow + 4, 2500 - std::clamp(p.z, 0, 60) * 10);
    const int x = p.x + shake, y = p.y - p.z;
    Body(p, x, y + 8, (sp::kBigLeaf + 5 + dir * 4 + frame) | mirror, p.y + 38, 1500);
    Body(p, x, y - 30, (dying ? sp::kBigLeaf + 13 + frame : sp::kBigLeaf + frame) | mirror,
         p.y + 40, 2200);
}

// The stamping stone: its shadow shrinks as it rises.
void DrawKanameStone(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    const int32_t scale = p.z < 30 ? 1000 - 20 * std::max(p.z, 0) : 400;
    Shadow(p, p.x, p.y + 8, sp::kShadow + 4, scale);
    Body(p, p.x, p.y - 8 - p.z, sp::kKanameStone, p.y + 32, 1200);
}

// The boss: body, head and two long arms from the angles its routine sets, with what warns of
// its next blow drawn on the floor; in its second form the sparks that circle it.
void DrawBoss(int) {
    Pose p;
    if (!BeginPose(&p)) return;
    const int slot = GetCurrentObject();
    const int32_t state = GetCurrentField(kPropState);
    const int32_t t = GetCurrentField(kPropStateTime);
    const int32_t sway = GetCurrentField(kPropSway);
    int32_t ox = 0, oy = 0;
    WorldToScreen(&ox, &oy);
    const int bx = p.x, by = BossBodyY(slot) + oy;
    const int floorY = p.y + GetCurrentField(kPropLift);
    const int depth = p.y + 40;
    const uint32_t tint = p.tint;
    if (state >= 19 && state < 99) {
        // The second form: a dark sky behind it and lines to what circles it.
        const int64_t a = std::min<int64_t>(int64_t{p.age} * 4 + 64, 160);
        // Dims the field (the floor only: what stands on it draws above).
        QueueScreenFill(7, 0x18082800u | ClampChannel(a / 2));
        for (int i = 0; i < kChildLinks; ++i) {
            const int c = GetChild(slot, i);
            if (c < 1) continue;
            int32_t cx = GetField(kPropX, c), cy = GetField(kPropY, c);
            WorldToScreen(&cx, &cy);
            SetRecordColor(QueueLine(bx, by, cx, cy, p.layer - 1), WithAlpha(0x80c0ff00u, a));
        }
        // Sparks on four orbits, behind the body on the far half of their bob, else in front;
        // both above the floor's tiles, which would hide anything under them.
        for (int o = 0; o < 4; ++o) {
            const BossOrbit& orbit = kBossOrbits[o];
            const double bob = std::sin(p.age * kPi / orbit.bobFrames);
            const int layer = bob < 0 ? kBossOrbitBehind : kBossOrbitFront;
            for (int k = 0; k < 6; ++k) {
                const double a =
                    (int64_t{p.age} * orbit.speed + k * (kAngleTurn / 6)) * 2 * kPi / kAngleTurn;
                const int sx = bx + static_cast<int>(orbit.radius * std::cos(a));
                const int sy = by + static_cast<int>(orbit.radius * 0.35 * std::sin(a) + 24 * bob);
                SetRecordColor(QueueRotatedSprite(sx, sy, layer,
                                                  (sp::kSpark + ((k + o) & 7)) | kSpriteAdditiveBit,
                                                  900 + 200 * o, 0),
                               0xffe0ffffu);
            }
        }
    }
    // Warnings on the floor: where the stamp comes down, where a slam will fall, which rows burn.
    const bool blink = (p.age & 4) != 0;
    if (state == 4 && t < kStampRiseFrames) {
        Shadow(p, bx, floorY, sp::kShadow + 4, 1500 + 20 * t);
        if (blink) Body(p, bx, floorY - 8, sp::kTargetMark, floorY + 40, 2500);
        // In the second half of the rise the rings its landing sets off are marked too: the
        // danger is the band round the shadow, not only the point under it.
        if (t >= kStampRiseFrames / 2) {
            const uint32_t color = WithAlpha(0xff4040ffu, 128 + 3 * (t - kStampRiseFrames / 2));
            for (int r = 0; r < kStampRings; ++r) {
                const int32_t step = kAngleTurn / kStampRingCounts[r];
                for (int k = 0; k < kStampRingCounts[r]; ++k) {
                    int32_t mx = bx, my = floorY;
                    AddPolarOffset(&mx, &my, k * step, StampRingRadius(r));
                    SetRecordColor(QueueRotatedSpriteAtDepth(mx, my, p.layer, sp::kTargetMark,
                                                             my + 20, 1100, 0),
                                   color);
                }
            }
        }
    }
    const int32_t windup = state <= 10 ? std::max(60 - GetCurrentField(kPropSpeedUp), 10) : 15;
    if (state >= 9 && state <= 12 && t < windup) {
        for (int i = 0; i < 2; ++i) {
            if ((state == 9 && i == 1) || (state == 10 && i == 0)) continue;
            const int cx = i == 0 ? bx - 80 : bx + 80;
            for (int k = 0; k < 5; ++k)
                SetRecordColor(
                    QueueRotatedSpriteAtDepth(cx, p.y + 280 + 32 * k, p.layer, sp::kTargetMark,
                                              p.y + 300 + 32 * k, 1200, 0),
                    WithAlpha(0xff4040ffu, 96 + 16 * t % 160));
        }
    }
    if (state == 16 && t >= 60 && t < 120 && blink) {
        const int32_t rows = GetCurrentField(37);
        for (const int32_t r : {(rows >> 4) % 3, (rows & 15) % 3}) {
            const int ry = 384 - 48 * (r - 1) + oy;
            SetRecordColor(QueueRectangle(0, ry - 16, 640, ry + 16, 5, true), 0xff202060u);
        }
    }
    Shadow(p, bx, floorY + 24, sp::kShadow + 4, 3000);
    // Arms: four pieces to a segment, the hand drawn by its own object while it has one.
    for (int i = 0; i < 2; ++i) {
        int32_t pts[6];
        GetBossArm(slot, i, &pts[0], &pts[1], &pts[2], &pts[3], &pts[4], &pts[5]);
        for (int n = 0; n < 6; n += 2) {
            pts[n] += ox;
            pts[n + 1] += oy;
        }
        for (int s = 0; s < 2; ++s) {
            const int x0 = pts[2 * s], y0 = pts[2 * s + 1];
            const int x1 = pts[2 * s + 2], y1 = pts[2 * s + 3];
            const int32_t angle = VectorAngle(x0, y0, x1, y1);
            for (int k = 0; k < 4; ++k) {
                const int mx = x0 + (x1 - x0) * (2 * k + 1) / 8;
                const int my = y0 + (y1 - y0) * (2 * k + 1) / 8;
                SetRecordColor(
                    QueueRotatedSpriteAtDepth(mx, my, p.layer, sp::kBossPart + 2 + s * 2 + (k & 1),
                                              depth - 1, 1100 - 60 * s, angle),
                    tint);
            }
        }
        // The hand: its own object's colour (a hand about to strike glows) and hit flash.
        const int hand = GetChild(slot, i);
        if (state < 19) {
            uint32_t colour = tint;
            if (hand > 0) {
                colour = static_cast<uint32_t>(GetField(kPropColor, hand));
                if (GetField(57, hand) & 2) colour = kWhite;
            }
            SetRecordColor(QueueRotatedSpriteAtDepth(pts[4], pts[5], p.layer, sp::kBossPart + 7,
                                                     depth, 1400, 0),
                           colour);
        }
    }
    Body(p, bx, by, sp::kBossPart, depth + 1, 1800, sway / 4);
    // The head glows while the boss shouts (f42 counts it down).
    const int32_t shout = GetCurrentField(kPropExpression);
    const int hx = bx + static_cast<int>(std::sin(sway * 2 * kPi / kAngleTurn) * 40);
    Body(p, hx, by - 52, sp::kBossPart + 1, depth + 2, 1400, sway / 2);
    if (shout > 0)
        SetRecordColor(QueueRotatedSpriteAtDepth(hx, by - 52, p.layer,
                                                 (sp::kBossPart + 1) | kSpriteAdditiveBit,
                                                 depth + 3, 1400 + shout * 10, sway / 2),
                       WithAlpha(0xff6060ffu, shout * 8));
}

}  // namespace

void DrawLeafFigure(int x, int y, int depth, int layer, int frame, int pose, int figure,
                    uint32_t colour) {
    // Heads by walker kind, each kind its own hue; those with four frames walk through them.
    struct Head {
        int32_t sprite;
        int frames;
        int32_t scale;
    };
    static constexpr Head kHeads[16] = {
        {2200, 4, 1000}, {2212, 2, 1000}, {2204, 4, 1000}, {2196, 4, 1000},
        {2208, 4, 1000}, {2323, 1, 1100}, {2192, 4, 1000}, {2213, 1, 1000},
        {2202, 1, 1250}, {2207, 1, 1000}, {2211, 1, 1000}, {2199, 1, 1000},
        {2203, 1, 700},  {2210, 1, 800},  {2195, 1, 1000}, {2194, 1, 1000},
    };
    const int kind = figure & 15;
    const int body = (figure >> 4) & 3;  // 1 red, 2 metal, 3 fat
    const bool white = (figure & 64) != 0;
    const Head& head = kHeads[kind];
    const int step = (frame / 6) & 3;
    // Metal leaves wear their steel whatever their kind: shots glance off them.
    const int32_t face = body == 2 ? sp::kHeldForm + 2 * 16 : head.sprite + step % head.frames;
    const int32_t word = face | (pose == 3 ? kSpriteMirrorBit : 0);
    const uint32_t c = white ? kWhite : colour;
    int32_t scale = head.scale;
    if (body == 3) scale = scale * 27 / 20;
    if (kind < 12 && kind != 3 && kind != 7) {
        const int32_t legs = (body == 3 ? sp::kLegsB : sp::kLegsA) + step;
        SetRecordColor(
            QueueRotatedSpriteAtDepth(x, y + 6 * scale / 1000, layer, legs, depth - 1, scale, 0),
            c);
    }
    const int hy = y - 10 * scale / 1000;
    SetRecordColor(QueueRotatedSpriteAtDepth(x, hy, layer, word, depth, scale, 0), c);
    if (white) return;
    if (body == 1) {
        // Red leaves glow red over their own hue.
        const int r =
            QueueRotatedSpriteAtDepth(x, hy, layer, word | kSpriteAdditiveBit, depth + 1, scale, 0);
        SetRecordColor(r, 0xff2010a0u);
    } else if (body == 2) {
        // Metal glints.
        const int r =
            QueueRotatedSpriteAtDepth(x - 5, hy - 6, layer, sp::kSparkle | kSpriteAdditiveBit,
                                      depth + 1, 600, (frame * 3000) % kAngleTurn);
        SetRecordColor(r, WithAlpha(kWhite, 96 + 96 * ((frame / 8) & 1)));
    }
}

void InstallStageObjectDraws() {
    ObjectRoutineTable[kDrawKindStageObject + 1] = &DrawGenerator;
    ObjectRoutineTable[kDrawKindStageObject + 3] = &DrawEventControl;
    ObjectRoutineTable[kDrawKindStageObject + 4] = &DrawGate;
    ObjectRoutineTable[kDrawKindStageObject + 5] = &DrawCandle;
    ObjectRoutineTable[kDrawKindStageObject + 6] = &DrawBuriedLeaf;
    ObjectRoutineTable[kDrawKindStageObject + 7] = &DrawFieldItem;
    ObjectRoutineTable[kDrawKindStageObject + 8] = &DrawLeafPeople;
    ObjectRoutineTable[kDrawKindStageObject + 9] = &DrawBreakWall;
    ObjectRoutineTable[kDrawKindStageObject + 10] = &DrawUfoLeaf;
    ObjectRoutineTable[kDrawKindStageObject + 11] = &DrawKabocha;
    ObjectRoutineTable[kDrawKindStageObject + 12] = &DrawBigOneLeaf;
    ObjectRoutineTable[kDrawKindStageObject + 13] = &DrawKanameStone;
    ObjectRoutineTable[kDrawKindStageObject + 14] = &DrawBoss;
}

void DrawStageObjectAt(int x, int y, int layer, int variant, int type) {
    if (type < 1 || type >= 96) return;
    constexpr int kSlot = kNoObject;
    int32_t saved[kPoolProperties];
    for (int n = 0; n < kPoolProperties; ++n) saved[n] = GetField(n, kSlot);
    const int current = GetCurrentObject();
    int32_t ox = 0, oy = 0;
    WorldToScreen(&ox, &oy);
    SetCurrentObject(kSlot);
    SetPosition3(x - ox, y - oy, 0, kSlot);
    SetField(kPropColor, kSlot, -1);
    SetField(kPropLayer, kSlot, layer);
    SetField(kPropVariant, kSlot, variant);
    SetField(kPropAge, kSlot, GetGameVar(kGameVarAge));
    RunObjectRoutine(kDrawKindStageObject + type, kSlot);
    for (int n = 0; n < kPoolProperties; ++n) SetField(n, kSlot, saved[n]);
    SetCurrentObject(current);
}

}  // namespace velmora
