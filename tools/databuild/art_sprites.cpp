// The painters of the sprites, by id: tiles, characters, walkers, HUD and menu pieces.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "game/core/prop_table.h"
#include "game/core/sprite_ids.h"
#include "tools/databuild/art.h"
#include "tools/databuild/art_goal.h"
#include "tools/databuild/stages.h"

namespace databuild {

namespace s = velmora::sprite;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kInk = Rgb(28, 22, 40);  // the dark edge of every figure

// A palette of the game: warm greens and earth with bright accents.
constexpr uint32_t kHue[8] = {Rgb(232, 72, 72),  Rgb(80, 120, 232), Rgb(84, 196, 96),
                              Rgb(244, 208, 72), Rgb(176, 96, 220), Rgb(72, 208, 216),
                              Rgb(248, 148, 64), Rgb(236, 236, 244)};

uint32_t Noise(uint32_t base, int amount, int x, int y, uint32_t seed) {
    return Lighten(base, int(Hash(x, y, seed) % (2 * amount + 1)) - amount);
}

void Texture(const View& v, uint32_t base, int amount, uint32_t seed) {
    for (int y = 0; y < v.h; ++y)
        for (int x = 0; x < v.w; ++x) v.Set(x, y, Noise(base, amount, x / 2, y / 2, seed));
}

void Label(const View& v, const char* text, uint32_t c, int sx = 2, int sy = 2) {
    const int w = WordsWidth(text, sx);
    DrawWords(v, (v.w - w) / 2, (v.h - 6 * sy) / 2, text, sx, sy, c);
}

// ---- Tiles: 16 kinds of ground and block, animated water, lava, flowers and sparkles ----

void Grass(const View& v, int variant, uint32_t seed) {
    Texture(v, Rgb(92, 168, 72), 10, seed);
    for (int k = 0; k < 10; ++k) {
        const int x = Hash(seed, k) % 30, y = Hash(seed, k, 1) % 28 + 2;
        v.Set(x, y, Rgb(132, 204, 96));
        v.Set(x + 1, y - 1, Rgb(132, 204, 96));
        v.Set(x, y + 1, Rgb(64, 128, 56));
    }
    if (variant % 4 == 1)
        for (int k = 0; k < 3; ++k)
            v.Disc(6 + Hash(seed, k, 2) % 20, 6 + Hash(seed, k, 3) % 20, 1.6,
                   k ? Rgb(252, 244, 140) : Rgb(248, 248, 255));
}

void Ground(const View& v, int kind, int variant, uint32_t seed) {
    static const uint32_t kBase[] = {Rgb(92, 168, 72),   Rgb(156, 112, 72),  Rgb(148, 148, 156),
                                     Rgb(224, 200, 136), Rgb(232, 240, 248), Rgb(176, 128, 80)};
    if (kind == 0) return Grass(v, variant, seed);
    Texture(v, kBase[kind], kind == 4 ? 4 : 9, seed);
    if (kind == 2) {  // paving stones
        const int off = (variant & 1) * 8;
        v.Fill(0, 15, 32, 1, Rgb(112, 112, 124));
        v.Fill((off + 12) % 32, 0, 1, 15, Rgb(112, 112, 124));
        v.Fill((off + 28) % 32, 16, 1, 16, Rgb(112, 112, 124));
    } else if (kind == 5) {  // planks
        for (int y = 7; y < 32; y += 8) v.Fill(0, y, 32, 1, Rgb(120, 80, 48));
        for (int k = 0; k < 4; ++k) v.Set(4 + 8 * k + variant % 3, k * 8 + 3, Rgb(96, 64, 40));
    } else {
        for (int k = 0; k < 6; ++k)
            v.Disc(Hash(seed, k) % 32, Hash(seed, k, 4) % 32, 1.2, Lighten(kBase[kind], -30));
    }
    if (variant % 4 == 3) v.Frame(0, 0, 32, 32, Lighten(kBase[kind], -24));
}

void Block(const View& v, int kind, int variant, uint32_t seed) {
    // Raised blocks: a lit top face and a dark front.
    static const uint32_t kBase[] = {Rgb(184, 88, 64),  Rgb(140, 140, 152), Rgb(60, 140, 64),
                                     Rgb(132, 100, 76), Rgb(168, 220, 240), Rgb(120, 132, 156)};
    const uint32_t b = kBase[kind];
    if (kind == 3) {  // a wooden fence on grass: low, so the ground shows through
        Grass(v, 0, seed);
        const uint32_t wood = Rgb(176, 124, 72);
        for (int y : {8, 18}) {
            v.Fill(0, y, 32, 4, wood);
            v.Fill(0, y + 3, 32, 1, Lighten(wood, -50));
        }
        for (int x : {5, 23}) {
            v.Fill(x, 2, 5, 26, Lighten(wood, 12));
            v.Fill(x + 4, 2, 1, 26, Lighten(wood, -50));
            v.Fill(x, 2, 5, 1, Lighten(wood, 50));
        }
        v.Fill(0, 28, 32, 2, Rgb(64, 120, 52));
        return;
    }
    Texture(v, b, 8, seed);
    v.Fill(0, 22, 32, 10, Lighten(b, -48));
    if (kind == 0) {  // bricks
        for (int y = 0; y < 22; y += 6) {
            v.Fill(0, y, 32, 1, Lighten(b, -60));
            for (int x = (y / 6 % 2) * 5; x < 32; x += 10) v.Fill(x, y, 1, 6, Lighten(b, -60));
        }
    } else if (kind == 2) {  // hedge
        for (int k = 0; k < 14; ++k)
            v.Disc(Hash(seed, k) % 30 + 1, Hash(seed, k, 5) % 20 + 1, 3,
                   Lighten(b, 20 - int(Hash(k) % 30)));
    } else if (kind == 4) {  // ice
        v.Line(4, 4, 12, 12, Rgb(248, 252, 255));
        v.Line(18, 3, 26, 11, Rgb(248, 252, 255));
    } else if (kind == 5) {  // metal with rivets
        for (int x : {4, 27})
            for (int y : {4, 17}) v.Disc(x, y, 1.5, Rgb(220, 224, 236));
    } else {
        for (int k = 0; k < 5; ++k)
            v.Line(Hash(seed, k) % 28, Hash(seed, k, 1) % 20, Hash(seed, k) % 28 + 4,
                   Hash(seed, k, 1) % 20 + 2, Lighten(b, -40));
    }
    v.Fill(0, 0, 32, 1, Lighten(b, 50));
    v.Fill(0, 22, 32, 1, Lighten(b, -70));
    if (variant & 1) v.Fill(0, 0, 1, 32, Lighten(b, 30));
}

void Animated(const View& v, int kind, int variant, int frame, uint32_t seed) {
    if (kind == 0 || kind == 1) {  // water, lava
        const uint32_t base = kind == 0 ? Rgb(56, 112, 208) : Rgb(216, 72, 24);
        const uint32_t crest = kind == 0 ? Rgb(168, 212, 252) : Rgb(252, 208, 72);
        Texture(v, base, 6, seed);
        for (int y = 0; y < 32; y += 8)
            for (int x = 0; x < 32; ++x) {
                const int yy = y + int(std::lround(2 * std::sin((x + frame * 8 + y) * kPi / 16)));
                v.Set(x, yy, crest);
            }
    } else if (kind == 2) {  // flowers nodding in the wind
        Grass(v, 0, seed);
        for (int k = 0; k < 3; ++k) {
            const int x = 6 + k * 10, y = 10 + (k % 2) * 10;
            const int sway = int(std::lround(2 * std::sin((frame + k) * kPi / 2)));
            v.Line(x, y + 8, x + sway, y, Rgb(56, 120, 48));
            v.Disc(x + sway + 0.5, y + 0.5, 3, kHue[(variant + k) % 7]);
            v.Disc(x + sway + 0.5, y + 0.5, 1, Rgb(252, 240, 120));
        }
    } else {  // magic floor
        Texture(v, Rgb(72, 56, 120), 6, seed);
        v.Frame(2, 2, 28, 28, Rgb(120, 96, 200));
        for (int k = 0; k < 4; ++k) {
            const int x = 4 + int(Hash(seed, k, frame) % 24),
                      y = 4 + int(Hash(seed, k, frame + 9) % 24);
            v.Set(x, y, Rgb(248, 240, 255));
            v.Set(x - 1, y, Rgb(200, 180, 255));
            v.Set(x + 1, y, Rgb(200, 180, 255));
            v.Set(x, y - 1, Rgb(200, 180, 255));
            v.Set(x, y + 1, Rgb(200, 180, 255));
        }
    }
}

void Tile(int n, const View& v) {
    const uint32_t seed = n;
    if (n == kGoalTile) return PaintGoalTile(v);  // the tile the game's goal exits stand on
    if (n >= 448) {                               // the last row: holes, pits and marks
        v.Fill(0, 0, 32, 32, Rgb(56, 40, 32));
        v.Ellipse(16, 16, 14, 10, Rgb(20, 14, 12));
        return;
    }
    if (n >= 192) {
        const int base = 192 + (n - 192) % 64, frame = (n - 192) / 64;
        return Animated(v, (base - 192) / 16, base % 16, frame, base);
    }
    const int row = n / 16, variant = n % 16;
    if (row < 6)
        Ground(v, row, variant, seed);
    else
        Block(v, row - 6, variant, seed);
}

// ---- Characters ----

struct Look {
    uint32_t hair, skin, coat, trim, boots;
};

constexpr Look kPlayerLook[3] = {
    {Rgb(96, 184, 72), Rgb(252, 220, 188), Rgb(232, 88, 72), Rgb(252, 236, 160), Rgb(112, 72, 48)},
    {Rgb(248, 168, 56), Rgb(252, 216, 180), Rgb(72, 120, 224), Rgb(236, 244, 255), Rgb(64, 56, 96)},
    {Rgb(168, 112, 232), Rgb(248, 212, 196), Rgb(72, 176, 120), Rgb(252, 248, 200),
     Rgb(96, 64, 48)}};

// A round-headed figure facing one of eight directions (0 right, 2 down, 4 left, 6 up).
void Figure(const View& v, const Look& look, int dir, int frame, int cx, int top) {
    const double fx = std::cos(dir * kPi / 4), fy = std::sin(dir * kPi / 4);
    const int step = (frame == 1) ? 2 : (frame == 3) ? -2 : 0;
    const int bob = (frame % 2) ? 1 : 0;
    // Legs and boots.
    v.Fill(cx - 5, top + 34 - bob, 4, 8 + step, look.boots);
    v.Fill(cx + 1, top + 34 - bob, 4, 8 - step, look.boots);
    // Body.
    v.Ellipse(cx, top + 29 - bob, 8, 8, look.coat);
    v.Fill(cx - 8, top + 29 - bob, 16, 2, look.trim);
    // Arms swing against the legs.
    v.Disc(cx - 8 + fx, top + 27 - bob - step, 2.5, look.skin);
    v.Disc(cx + 8 + fx, top + 27 - bob + step, 2.5, look.skin);
    // Head.
    const int hy = top + 13 - bob;
    v.Disc(cx, hy, 11, look.hair);
    if (fy > -0.5) {  // the face shows unless it looks away
        v.Ellipse(cx + fx * 3, hy + 3, 8, 6.5, look.skin);
        for (int e = -1; e <= 1; e += 2) {
            const double ex = cx + fx * 5 + e * 3.5 * (1 - std::abs(fx) * 0.6);
            if (std::abs(fx) > 0.9 && e * fx < 0) continue;
            v.Fill(int(ex) - 1, hy + 1, 2, 4, kInk);
            v.Set(int(ex) - 1, hy + 1, Rgb(255, 255, 255));
        }
        v.Fill(cx - 3 + int(fx * 4), hy + 6, 2, 1, Rgb(216, 120, 120));
    }
    // The digging shovel in the leading hand: raised on frame 1, struck down on frame 3.
    {
        const int hx = cx + 8 + int(fx), hy = top + 27 - bob + step;
        const int tip = frame == 1 ? -9 : frame == 3 ? 9 : 4;
        v.Line(hx, hy, hx + 2, hy + tip, Rgb(150, 100, 56));
        v.Fill(hx + 1, hy + tip + (tip < 0 ? -4 : 0), 4, 4, Rgb(188, 196, 212));
    }
    // A leaf sprout on top: the players are gardeners of the leaf folk.
    v.Ellipse(cx + 3, top + 1, 4, 2, Rgb(112, 212, 88));
    v.Line(cx, top + 3, cx + 2, top + 1, Rgb(56, 120, 48));
    v.Outline(kInk);
}

void Player(int i, const View& v) {
    const int who = i / 32, dir = (i % 32) / 4, frame = i % 4;
    Figure(v, kPlayerLook[who], dir, frame, 16, 4);
}

void Companion(int i, const View& v) {
    // The mushroom folk's body: a plump stem with arms and feet; its cap (another sprite) is
    // drawn on top of it by the game.
    const int dir = i / 4, frame = i % 4;
    const int step = frame == 1 ? 2 : frame == 3 ? -2 : 0;
    const double fx = std::cos(dir * kPi / 4), fy = std::sin(dir * kPi / 4);
    const uint32_t stem = Rgb(252, 236, 212), shade = Rgb(228, 200, 168);
    v.Fill(16, 38 + std::max(0, step), 7, 6, Rgb(160, 104, 64));
    v.Fill(25, 38 + std::max(0, -step), 7, 6, Rgb(160, 104, 64));
    v.Ellipse(24, 28, 12, 13, stem);
    v.Ellipse(27, 31, 8, 9, shade);
    v.Ellipse(23, 27, 9, 10, stem);
    v.Disc(12 + fx, 28 - step, 3.5, stem);
    v.Disc(36 + fx, 28 + step, 3.5, stem);
    if (fy > -0.5) {
        for (int e = -1; e <= 1; e += 2) {
            if (std::abs(fx) > 0.9 && e * fx < 0) continue;
            const int ex = int(24 + fx * 5 + e * 4);
            v.Fill(ex - 1, 22, 3, 5, kInk);
            v.Set(ex - 1, 22, Rgb(255, 255, 255));
        }
        v.Disc(24 + fx * 5 - 7, 29, 2, Rgb(248, 168, 168));
        v.Disc(24 + fx * 5 + 7, 29, 2, Rgb(248, 168, 168));
    }
    v.Outline(kInk);
}

void LeafCreature(const View& v, uint32_t body, int frame, double fx, int eyes) {
    const int cx = v.w / 2, cy = v.h / 2 + 2;
    const int bob = frame % 2;
    v.Ellipse(cx, cy - bob, v.w * 0.32, v.h * 0.38, body);
    v.Line(cx, cy - int(v.h * 0.38) - bob, cx, cy + int(v.h * 0.3) - bob, Lighten(body, -50));
    v.Tri(cx - 2, cy - v.h * 0.36 - bob, cx + 2, cy - v.h * 0.36 - bob, cx + 4,
          cy - v.h * 0.5 - bob, Lighten(body, -40));
    for (int e = -1; e <= eyes - 2; e += 2) {
        const int ex = cx + int(fx * 3) + e * 4;
        v.Fill(ex - 1, cy - 3 - bob, 3, 4, Rgb(255, 255, 255));
        v.Fill(ex, cy - 2 - bob, 2, 3, kInk);
    }
    v.Fill(cx - 4 + (frame == 1 ? 2 : 0), cy + int(v.h * 0.34), 3, 3, Lighten(body, -60));
    v.Fill(cx + 2 - (frame == 3 ? 2 : 0), cy + int(v.h * 0.34), 3, 3, Lighten(body, -60));
    v.Shade(20);
    v.Outline(kInk);
}

void Pumpkin(const View& v, int face, int facing) {
    const double a = facing * 2 * kPi / 24;
    const int cx = v.w / 2, cy = v.h / 2 + 1;
    v.Ellipse(cx, cy, 13, 11, Rgb(240, 140, 40));
    v.Ellipse(cx, cy, 5, 11, Rgb(252, 168, 64));
    v.Fill(cx - 1, cy - 14, 3, 4, Rgb(80, 128, 48));
    if (std::sin(a) > -0.3) {  // the face turns with the facing
        const int fx = int(std::lround(std::cos(a) * 5));
        const uint32_t glow = face == 2 ? Rgb(252, 72, 48) : Rgb(252, 236, 120);
        v.Tri(cx + fx - 7, cy - 1, cx + fx - 3, cy - 1, cx + fx - 5, cy - 5, glow);
        v.Tri(cx + fx + 3, cy - 1, cx + fx + 7, cy - 1, cx + fx + 5, cy - 5, glow);
        if (face == 1)
            v.Disc(cx + fx, cy + 5, 2.5, glow);
        else
            v.Fill(cx + fx - 5, cy + 3, 10, 2, glow);
    }
    v.Outline(kInk);
}

// ---- Menus and HUD ----

void Panel(const View& v, uint32_t top, uint32_t bottom, uint32_t edge) {
    for (int y = 0; y < v.h; ++y)
        v.Fill(0, y, v.w, 1, Mix(top, bottom, y * 256 / std::max(1, v.h - 1)));
    v.Frame(0, 0, v.w, v.h, edge);
    v.Frame(1, 1, v.w - 2, v.h - 2, Lighten(edge, 60));
}

// The editor's palette icons: one picture a tool, light on a dark plate so the button's tint
// (idle, hovered, selected) reads over them and no two tools look alike.
void PaletteIcon(const View& v, int k) {
    const uint32_t ink = Rgb(255, 255, 255), mid = Rgb(200, 200, 210), dark = Rgb(40, 44, 64);
    Panel(v, Rgb(64, 68, 96), Rgb(32, 34, 52), Rgb(180, 180, 200));
    switch (k) {
        case 0:  // area header: a list of lines
            for (int y = 8; y < 26; y += 5) {
                v.Fill(7, y, 3, 3, ink);
                v.Fill(12, y, 13, 2, mid);
            }
            break;
        case 1:  // new stage file: a page with a plus
            v.Fill(8, 5, 14, 20, ink);
            v.Tri(18, 5, 22, 5, 22, 9, dark);
            v.Fill(18, 16, 10, 3, Rgb(96, 208, 96));
            v.Fill(21, 13, 3, 10, Rgb(96, 208, 96));
            break;
        case 2:  // load: an open folder with an arrow out
            v.Fill(5, 12, 22, 13, Rgb(232, 196, 96));
            v.Fill(5, 10, 9, 3, Rgb(232, 196, 96));
            v.Tri(16, 3, 10, 10, 22, 10, ink);
            v.Fill(14, 10, 5, 6, ink);
            break;
        case 3:  // save: a disk
            v.Fill(6, 6, 20, 20, Rgb(96, 140, 232));
            v.Fill(10, 6, 12, 7, ink);
            v.Fill(9, 17, 14, 9, mid);
            v.Fill(18, 7, 3, 5, dark);
            break;
        case 4:  // area map: linked nodes
            v.Line(9, 9, 23, 12, mid);
            v.Line(23, 12, 14, 23, mid);
            v.Line(9, 9, 14, 23, mid);
            v.Disc(9, 9, 3.5, Rgb(120, 220, 120));
            v.Disc(23, 12, 3.5, ink);
            v.Disc(14, 23, 3.5, Rgb(120, 220, 120));
            break;
        case 5:  // quit: a door with an arrow
            v.Fill(7, 5, 12, 22, Rgb(176, 112, 64));
            v.Disc(16, 16, 1.5, Rgb(252, 220, 120));
            v.Tri(28, 16, 22, 11, 22, 21, Rgb(255, 112, 112));
            break;
        case 6:  // scroll: arrows four ways
            v.Tri(16, 3, 12, 9, 20, 9, ink);
            v.Tri(16, 29, 12, 23, 20, 23, ink);
            v.Tri(3, 16, 9, 12, 9, 20, ink);
            v.Tri(29, 16, 23, 12, 23, 20, ink);
            v.Fill(15, 8, 2, 16, mid);
            v.Fill(8, 15, 16, 2, mid);
            break;
        case 7:  // tile pen: a patch of ground and a brush
            v.Fill(5, 14, 14, 13, Rgb(92, 168, 72));
            v.Fill(5, 14, 7, 6, Rgb(156, 112, 72));
            v.Fill(12, 20, 7, 7, Rgb(156, 112, 72));
            v.Line(18, 18, 27, 5, ink);
            v.Line(19, 18, 28, 5, ink);
            v.Disc(18, 19, 2, Rgb(92, 168, 72));
            break;
        case 8:  // prop pen: a tree
            v.Fill(15, 18, 3, 9, Rgb(156, 112, 72));
            v.Disc(16, 13, 8, Rgb(84, 176, 80));
            v.Disc(13, 10, 3, Rgb(150, 224, 120));
            break;
        case 9:  // flag pen: a flag
            v.Fill(9, 5, 2, 22, ink);
            v.Tri(11, 6, 25, 11, 11, 16, Rgb(255, 96, 96));
            break;
        case 10:  // object pen: a leaf with eyes
            v.Ellipse(16, 16, 10, 7, Rgb(110, 200, 90));
            v.Line(7, 16, 25, 16, Rgb(60, 120, 50));
            v.Disc(13, 13, 1.5, dark);
            v.Disc(19, 13, 1.5, dark);
            break;
        case 11:  // start pen: a star
            v.Tri(16, 4, 11, 20, 21, 20, Rgb(252, 220, 96));
            v.Tri(5, 12, 27, 12, 16, 20, Rgb(252, 220, 96));
            v.Tri(16, 17, 8, 27, 12, 18, Rgb(252, 220, 96));
            v.Tri(16, 17, 24, 27, 20, 18, Rgb(252, 220, 96));
            break;
        case 12:  // eraser: a tilted block
            v.Tri(6, 20, 16, 10, 22, 16, Rgb(252, 160, 176));
            v.Tri(6, 20, 22, 16, 12, 26, Rgb(252, 160, 176));
            v.Tri(16, 10, 26, 6, 22, 16, ink);
            v.Tri(26, 6, 28, 12, 22, 16, ink);
            v.Fill(5, 27, 22, 1, mid);
            break;
        case 13:  // no tool: a plain pointer
            v.Tri(10, 5, 10, 24, 22, 18, ink);
            v.Line(14, 20, 19, 27, ink);
            v.Line(15, 20, 20, 27, ink);
            break;
        default:  // undo: a hooked arrow
            v.Ring(17, 17, 8, 2.5, ink);
            v.Fill(17, 17, 12, 12, Rgb(48, 50, 74));
            v.Tri(4, 17, 14, 17, 9, 24, ink);
            break;
    }
    v.Outline(kInk);
}

void Window(const View& v) {
    Panel(v, Rgb(40, 56, 112), Rgb(20, 24, 56), Rgb(200, 184, 120));
    for (int y = 12; y < v.h - 12; y += 24)
        for (int x = 12 + (y / 24 % 2) * 12; x < v.w - 12; x += 24) v.Set(x, y, Rgb(72, 92, 160));
    v.Frame(6, 6, v.w - 12, v.h - 12, Rgb(120, 108, 72));
}

void MenuLabel(const View& v, const char* text, uint32_t color) {
    Panel(v, Rgb(64, 48, 96), Rgb(32, 24, 56), Rgb(236, 216, 140));
    const int w = WordsWidth(text, 2);
    DrawWords(v, (v.w - w) / 2 + 1, (v.h - 12) / 2 + 1, text, 2, 2, kInk);
    DrawWords(v, (v.w - w) / 2, (v.h - 12) / 2, text, 2, 2, color);
}

// Big words in a vertical gradient, bevelled (lit above, shaded below), with a dark edge and a
// drop shadow down and to the right.
void GradientWords(const View& v, int x0, int y0, const char* word, int sx, int sy, uint32_t top,
                   uint32_t bottom) {
    Canvas letters(v.w, v.h, kKeyGreen);
    View lv{&letters, 0, 0, v.w, v.h};
    DrawWords(lv, x0, y0, word, sx, sy, Rgb(255, 255, 255));
    auto solid = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < v.w && y < v.h && letters.Get(x, y) != kKeyGreen;
    };
    const int drop = std::max(2, sx / 4);
    for (int y = 0; y < v.h; ++y)
        for (int x = 0; x < v.w; ++x) {
            if (solid(x, y)) {
                const int t = std::clamp((y - y0) * 256 / (6 * sy), 0, 256);
                uint32_t c = Mix(top, bottom, t);
                if (!solid(x, y - 2) || !solid(x - 2, y)) c = Lighten(c, 48);
                if (!solid(x, y + 2) || !solid(x + 2, y)) c = Lighten(c, -56);
                v.Set(x, y, c);
            } else if (solid(x + 1, y) || solid(x - 1, y) || solid(x, y + 1) || solid(x, y - 1)) {
                v.Set(x, y, kInk);
            } else if (solid(x - drop, y - drop)) {
                v.Set(x, y, Rgb(40, 32, 56));
            }
        }
}

// Copies a small picture into the view at `scale` times its size.
void Enlarge(const View& v, const Canvas& small, int ox, int oy, int scale, int rows) {
    for (int y = 0; y < std::min(rows, small.height); ++y)
        for (int x = 0; x < small.width; ++x)
            if (small.Get(x, y) != kKeyGreen)
                v.Fill(ox + x * scale, oy + y * scale, scale, scale, small.Get(x, y));
}

void Logo(const View& v) {
    // The name on a wooden sign wreathed in leaves, all inside the picture's edges; as wide as
    // the largest screen, the game scales it down for narrower ones.
    const char* word = "VELMORA";
    const int sx = 16, sy = 17;
    const int w = WordsWidth(word, sx);
    const int x0 = (v.w - w) / 2, y0 = 30;
    const int cx = v.w / 2, cy = v.h / 2;
    const int left = cx - w / 2 - 60, right = cx + w / 2 + 60, top = 18, bottom = v.h - 24;
    const uint32_t plank = Rgb(150, 100, 58);
    v.Fill(left - 2, top - 2, right - left + 4, bottom - top + 4, Lighten(plank, -50));
    v.Fill(left, top, right - left, bottom - top, plank);
    for (int y = top; y < bottom; y += 30) v.Fill(left, y, right - left, 2, Lighten(plank, -34));
    for (int k = 0; k < 60; ++k)
        v.Fill(left + 4 + int(Hash(k, 7) % (right - left - 20)),
               top + 3 + int(Hash(k, 8) % (bottom - top - 6)), 12, 1, Lighten(plank, -20));
    // Leaves round the sign, two shades, and flowers among them.
    const double rx = (right - left) / 2.0 + 10, ry = (bottom - top) / 2.0 + 8;
    for (int k = 0; k < 72; ++k) {
        const double a = k * 2 * kPi / 72;
        const double lx = cx + std::cos(a) * rx, ly = cy - 3 + std::sin(a) * ry;
        if (lx < 14 || lx > v.w - 14 || ly < 8 || ly > v.h - 8) continue;
        v.Ellipse(lx, ly, 14, 8, k % 2 ? Rgb(88, 168, 72) : Rgb(132, 208, 96));
    }
    for (int k = 0; k < 10; ++k) {
        const double a = (k * 2 + 1) * kPi / 10;
        const double fx = cx + std::cos(a) * rx, fy = cy - 3 + std::sin(a) * ry;
        v.Disc(fx, fy, 6, kHue[(k * 3) % 8]);
        v.Disc(fx, fy, 2.5, Rgb(252, 240, 160));
    }
    v.Outline(kInk);
    GradientWords(v, x0, y0, word, sx, sy, Rgb(255, 244, 168), Rgb(236, 112, 48));
    const char* sub = "A DIG AND BURY ADVENTURE";
    const int subX = (v.w - WordsWidth(sub, 2)) / 2, subY = y0 + 6 * sy + 10;
    DrawWords(v, subX + 2, subY + 2, sub, 2, 2, kInk);
    DrawWords(v, subX, subY, sub, 2, 2, Rgb(252, 236, 180));
}

void Digit(const View& v, int d, int sx, int sy, uint32_t c) {
    if (const FontGlyph* g = FindGlyph('0' + d)) DrawGlyph(v, 0, v.h - 6 * sy, *g, sx, sy, c);
}

void Icon(const View& v, int kind, int n) {
    // Items and icons: a round badge with a symbol, colored by number.
    const uint32_t hue = kHue[n % 8];
    const int cx = v.w / 2, cy = v.h / 2;
    switch (n % 6) {
        case 0:  // bottle
            v.Fill(cx - 3, 4, 6, 6, Rgb(200, 180, 150));
            v.Ellipse(cx, cy + 5, 10, 10, hue);
            v.Ellipse(cx - 4, cy + 2, 2.5, 4, Lighten(hue, 90));
            break;
        case 1:  // star
            for (int k = 0; k < 5; ++k) {
                const double a = -kPi / 2 + k * 2 * kPi / 5;
                v.Tri(cx, cy, cx + 13 * std::cos(a), cy + 13 * std::sin(a),
                      cx + 5 * std::cos(a + kPi / 5), cy + 5 * std::sin(a + kPi / 5), hue);
                v.Tri(cx, cy, cx + 13 * std::cos(a), cy + 13 * std::sin(a),
                      cx + 5 * std::cos(a - kPi / 5), cy + 5 * std::sin(a - kPi / 5), hue);
            }
            break;
        case 2:  // orb
            v.Disc(cx, cy, 12, hue);
            v.Disc(cx - 4, cy - 4, 4, Lighten(hue, 100));
            break;
        case 3:  // heart
            v.Disc(cx - 5, cy - 3, 6, hue);
            v.Disc(cx + 5, cy - 3, 6, hue);
            v.Tri(cx - 11, cy - 1, cx + 11, cy - 1, cx, cy + 11, hue);
            break;
        case 4:  // leaf
            v.Ellipse(cx, cy, 12, 7, hue);
            v.Line(cx - 12, cy, cx + 12, cy, Lighten(hue, -70));
            break;
        default:  // gem
            v.Tri(cx - 12, cy - 3, cx + 12, cy - 3, cx, cy + 12, hue);
            v.Fill(cx - 8, cy - 9, 16, 6, Lighten(hue, 50));
            break;
    }
    if (kind == 1) {  // icons carry a ring
        v.Ring(cx, cy, 15.5, 1.5, Rgb(252, 232, 140));
    }
    v.Shade(24);
    v.Outline(kInk);
}

void BossPart(const View& v, int n);

// Speaker portraits: the three gardeners, the mushroom folk, four leaf folk, a pumpkin, the
// great one, and six villagers.
void Portrait(const View& v, int n) {
    Panel(v, Lighten(kHue[n % 8], -40), Lighten(kHue[n % 8], -100), Rgb(236, 216, 140));
    View inner = v.Sub(2, 2, v.w - 4, v.h - 4);
    if (n == 3) {
        Canvas body(48, 48, kKeyGreen);
        Companion(2 * 4, View{&body, 0, 0, 48, 48});
        Enlarge(inner, body, 6, 14, 1, 48);
        inner.Ellipse(30, 18, 20, 12, Rgb(216, 64, 56));
        inner.Disc(22, 14, 3, Rgb(255, 255, 255));
        inner.Disc(36, 11, 2.5, Rgb(255, 255, 255));
        // The elder of the mushroom folk: a white beard and bushy brows.
        inner.Ellipse(30, 49, 10, 7, Rgb(244, 244, 248));
        inner.Tri(22, 49, 38, 49, 30, 59, Rgb(244, 244, 248));
        inner.Fill(25, 33, 5, 2, Rgb(236, 236, 240));
        inner.Fill(32, 33, 5, 2, Rgb(236, 236, 240));
        inner.Outline(kInk);
        return;
    }
    if (n >= 4 && n < 8) {
        Canvas leaf(32, 32, kKeyGreen);
        LeafCreature(View{&leaf, 0, 0, 32, 32}, kHue[(n - 4) * 2 % 8], 0, 0, 2);
        Enlarge(inner, leaf, -2, 0, 2, 32);
        return;
    }
    if (n == 8) {
        Canvas pumpkin(30, 30, kKeyGreen);
        Pumpkin(View{&pumpkin, 0, 0, 30, 30}, 0, 6);
        Enlarge(inner, pumpkin, 0, 2, 2, 30);
        return;
    }
    if (n == 9) return BossPart(inner, 1);
    Look look = kPlayerLook[n % 3];
    if (n >= 10) look.hair = kHue[(n + 2) % 8];
    Canvas big(32, 48, kKeyGreen);
    View bv{&big, 0, 0, 32, 48};
    Figure(bv, look, 2, 0, 16, 4);
    Enlarge(v, big, 0, 4, 2, 30);  // head and shoulders
}

void Shadow(const View& v) {
    v.Ellipse(v.w / 2, v.h / 2, v.w / 2 - 1, v.h / 2 - 2, Rgb(255, 255, 255));
}

void Spark(const View& v, int n, bool star) {
    const uint32_t c = kHue[(n + 3) % 8];
    const double cx = v.w / 2.0, cy = v.h / 2.0;
    if (star) {
        v.Tri(cx, 0, cx - 2, cy, cx + 2, cy, Rgb(255, 255, 255));
        v.Tri(cx, v.h, cx - 2, cy, cx + 2, cy, Rgb(255, 255, 255));
        v.Tri(0, cy, cx, cy - 2, cx, cy + 2, Rgb(255, 255, 255));
        v.Tri(v.w, cy, cx, cy - 2, cx, cy + 2, Rgb(255, 255, 255));
        v.Disc(cx, cy, 2.5 + (n % 4) * 0.5, c);
    } else {
        v.Disc(cx, cy, 6, Mix(c, Rgb(0, 0, 0), 96));
        v.Disc(cx, cy, 4, c);
        v.Disc(cx, cy, 2, Rgb(255, 255, 240));
    }
}

void Blast(const View& v, int frame) {
    const double cx = v.w / 2.0, cy = v.h / 2.0, r = 8 + frame * 3.2;
    v.Disc(cx, cy, r, Rgb(216, 64, 24));
    v.Disc(cx, cy, r * 0.75, Rgb(248, 160, 40));
    v.Disc(cx, cy, r * 0.45, frame > 5 ? Rgb(200, 200, 200) : Rgb(255, 248, 200));
    for (int k = 0; k < 8; ++k) {
        const double a = k * kPi / 4 + frame * 0.3;
        v.Disc(cx + std::cos(a) * r, cy + std::sin(a) * r, 3 + frame % 3, Rgb(252, 200, 64));
    }
}

void Gate(const View& v, int n, bool open) {
    const uint32_t hue = kHue[n % 4];
    v.Fill(1, 4, 6, v.h - 5, Rgb(120, 120, 132));
    v.Fill(v.w - 7, 4, 6, v.h - 5, Rgb(120, 120, 132));
    if (!open)
        for (int x = 9; x < v.w - 8; x += 5) v.Fill(x, 6, 3, v.h - 10, hue);
    else
        v.Fill(8, v.h - 6, v.w - 16, 4, Lighten(hue, -60));
    v.Fill(0, 0, v.w, 6, Lighten(hue, open ? -40 : 20));
    v.Shade(16);
    v.Outline(kInk);
}

// A floor switch in a gate's colour: a raised button on a plate, flat once pressed. The plate
// lies in the lower 32 pixels, which cover the switch's cell.
void FloorSwitch(const View& v, int n, bool pressed) {
    const uint32_t hue = kHue[n % 4];
    v.Ellipse(16, 36, 13, 8, Rgb(132, 132, 144));
    v.Ellipse(16, 35, 10, 6, Rgb(168, 168, 180));
    if (pressed) {
        v.Ellipse(16, 36, 7, 4, Lighten(hue, -50));
    } else {
        v.Ellipse(16, 33, 7, 4, Lighten(hue, -40));
        v.Ellipse(16, 31, 7, 4, hue);
        v.Ellipse(14, 30, 3, 1.5, Lighten(hue, 80));
    }
    v.Outline(kInk);
}

// The switch gates: iron bars under an amber lamp, lit while the gate is open.
void SwitchGate(const View& v, bool open) {
    const uint32_t iron = Rgb(96, 100, 116);
    v.Fill(1, 8, 6, v.h - 9, iron);
    v.Fill(v.w - 7, 8, 6, v.h - 9, iron);
    if (!open)
        for (int x = 9; x < v.w - 8; x += 4) v.Fill(x, 10, 2, v.h - 14, Rgb(148, 152, 168));
    else
        v.Fill(8, v.h - 6, v.w - 16, 4, Rgb(72, 76, 88));
    v.Fill(0, 4, v.w, 6, iron);
    v.Disc(v.w / 2.0, 4, 4, open ? Rgb(255, 208, 72) : Rgb(120, 72, 24));
    v.Shade(16);
    v.Outline(kInk);
}

void Prop(const View& v, int32_t id) {
    using velmora::PropArt;
    const PropArt art = velmora::GetPropArt(id);
    const int n = id - velmora::kFirstPropSprite;
    const int cx = v.w / 2;
    // The base stands a little below the cell's centre, wherever the table lifts the sprite.
    const int base = std::min(v.h - 2, v.h / 2 + velmora::GetPropLift(id) + 8);
    const uint32_t hue = kHue[n % 8];
    const uint32_t wood = Rgb(140, 92, 52), leaf = n % 3 ? Rgb(64, 148, 64) : Rgb(88, 160, 56);
    switch (art) {
        case PropArt::kTree:
        case PropArt::kTallTree: {
            const int r = art == PropArt::kTallTree ? 20 : 13;
            v.Fill(cx - 3, base - r - 6, 6, r + 6, wood);
            v.Disc(cx, base - r - 12, r, Lighten(leaf, -20));
            v.Disc(cx - r / 3, base - r - 16, r * 0.6, leaf);
            v.Disc(cx + r / 3, base - r - 8, r * 0.5, Lighten(leaf, 10));
            v.Disc(cx - r / 2, base - r - 18, r * 0.25, Lighten(leaf, 50));
            break;
        }
        case PropArt::kPine:
            v.Fill(cx - 2, base - 8, 4, 8, wood);
            for (int k = 0; k < 3; ++k)
                v.Tri(cx, base - 40 + k * 9, cx - 7 - k * 3, base - 26 + k * 9, cx + 7 + k * 3,
                      base - 26 + k * 9, Rgb(48, 112 + k * 12, 72));
            break;
        case PropArt::kBoulder:
            v.Ellipse(cx, base - 11, 14, 11, Rgb(144, 140, 148));
            v.Ellipse(cx - 4, base - 15, 6, 4, Rgb(184, 180, 188));
            v.Line(cx + 3, base - 9, cx + 8, base - 4, Rgb(104, 100, 112));
            break;
        case PropArt::kStump:
            v.Fill(cx - 10, base - 14, 20, 14, wood);
            v.Ellipse(cx, base - 14, 10, 4, Rgb(212, 172, 116));
            v.Ring(cx, base - 14, 6, 1, Rgb(172, 128, 80));
            v.Fill(cx - 13, base - 3, 5, 3, wood);
            v.Fill(cx + 8, base - 3, 5, 3, wood);
            break;
        case PropArt::kBush:
        case PropArt::kFlowerBush:
            v.Ellipse(cx, base - 9, 14, 10, leaf);
            v.Disc(cx - 6, base - 13, 6, Lighten(leaf, 24));
            v.Disc(cx + 6, base - 11, 5, Lighten(leaf, 12));
            if (art == PropArt::kFlowerBush)
                for (int k = 0; k < 5; ++k)
                    v.Disc(cx - 9 + k * 4.5, base - 14 + (k % 2) * 6, 2.2, kHue[(n + k) % 7]);
            break;
        case PropArt::kLamp:
            v.Fill(cx - 1, base - 36, 3, 36, Rgb(72, 72, 88));
            v.Fill(cx - 4, base - 3, 9, 3, Rgb(72, 72, 88));
            v.Disc(cx + 0.5, base - 38, 5, Rgb(252, 232, 140));
            v.Disc(cx - 1, base - 40, 2, Rgb(255, 255, 230));
            break;
        case PropArt::kBarrel:
            v.Fill(cx - 9, base - 22, 18, 22, wood);
            v.Fill(cx - 9, base - 18, 18, 2, Rgb(80, 72, 72));
            v.Fill(cx - 9, base - 6, 18, 2, Rgb(80, 72, 72));
            v.Ellipse(cx, base - 22, 9, 3, Rgb(176, 124, 72));
            break;
        case PropArt::kSign:
            v.Fill(cx - 1, base - 16, 3, 16, wood);
            v.Fill(cx - 11, base - 26, 22, 12, Rgb(200, 156, 100));
            v.Fill(cx - 8, base - 22, 16, 1, Rgb(96, 64, 40));
            v.Fill(cx - 8, base - 18, 11, 1, Rgb(96, 64, 40));
            break;
        case PropArt::kMushroom:
            v.Fill(cx - 3, base - 12, 6, 12, Rgb(244, 232, 212));
            v.Ellipse(cx, base - 14, 12, 8, Lighten(hue, -20));
            v.Disc(cx - 4, base - 16, 2, Rgb(255, 255, 255));
            v.Disc(cx + 5, base - 17, 1.5, Rgb(255, 255, 255));
            break;
        case PropArt::kMarker:  // a standing stone with a glowing rune
            v.Fill(cx - 7, base - 30, 14, 30, Rgb(120, 124, 140));
            v.Tri(cx - 7, base - 30, cx + 7, base - 30, cx, base - 38, Rgb(120, 124, 140));
            v.Disc(cx, base - 18, 3.5, Rgb(120, 232, 252));
            break;
        case PropArt::kLogPile:
            for (int k = 0; k < 3; ++k) {
                v.Fill(6 + k * 8, base - 12 - k * 9, v.w - 12 - k * 16, 10, wood);
                v.Ellipse(6 + k * 8, base - 7 - k * 9, 4, 5, Rgb(212, 172, 116));
            }
            break;
        case PropArt::kFlowerPatch:
            for (int k = 0; k < 7; ++k) {
                const int x = 4 + int(Hash(id, k) % 24), y = base - 12 + int(Hash(id, k, 1) % 10);
                v.Line(x, y, x, y + 3, Rgb(56, 120, 48));
                v.Disc(x + 0.5, y, 1.8, kHue[(n + k) % 7]);
            }
            break;
        case PropArt::kPot:
            v.Ellipse(cx, base - 9, 10, 9, Rgb(196, 112, 72));
            v.Fill(cx - 6, base - 20, 12, 4, Rgb(176, 96, 60));
            v.Fill(cx - 9, base - 10, 18, 2, Rgb(232, 200, 120));
            break;
        case PropArt::kStatue:
            v.Fill(cx - 12, base - 8, 24, 8, Rgb(150, 150, 160));
            v.Ellipse(cx, base - 24, 7, 14, Rgb(190, 190, 200));
            v.Disc(cx, base - 42, 7, Rgb(190, 190, 200));
            v.Ellipse(cx + 3, base - 50, 5, 2.5, Rgb(140, 200, 120));
            break;
        case PropArt::kCrate:
            v.Fill(cx - 11, base - 20, 22, 20, Rgb(188, 140, 84));
            v.Frame(cx - 11, base - 20, 22, 20, Rgb(120, 80, 48));
            v.Line(cx - 10, base - 19, cx + 9, base - 2, Rgb(120, 80, 48));
            break;
        case PropArt::kPebbles:
            for (int k = 0; k < 4; ++k)
                v.Ellipse(6 + k * 6 + Hash(id, k) % 3, base - 4 - (k % 2) * 3, 3.5, 2.5,
                          Rgb(150 + k * 10, 146 + k * 10, 156 + k * 10));
            break;
        case PropArt::kReeds:
            for (int k = 0; k < 5; ++k) {
                const int x = cx - 8 + k * 4;
                v.Line(x, base, x + (k % 2 ? 2 : -2), base - 20 - (k % 3) * 4, Rgb(96, 152, 72));
            }
            v.Ellipse(cx + 2, base - 22, 2, 5, Rgb(140, 92, 52));
            break;
        case PropArt::kNoProp: {
            // The editor paints no prop with it (it clears a cell's prop); no map shows it.
            const double cy = v.h / 2.0;
            v.Ring(cx, cy, 12, 3, Rgb(220, 72, 64));
            for (int k = -9; k <= 8; ++k)
                v.Fill(cx + k - 1, int(cy) - k - 1, 3, 3, Rgb(220, 72, 64));
            break;
        }
        case PropArt::kWell:
            v.Ellipse(cx, base - 10, 13, 8, Rgb(150, 150, 160));
            v.Ellipse(cx, base - 12, 9, 4, Rgb(40, 56, 96));
            v.Fill(cx - 13, base - 34, 3, 22, wood);
            v.Fill(cx + 11, base - 34, 3, 22, wood);
            v.Tri(cx - 16, base - 32, cx + 16, base - 32, cx, base - 42, Rgb(184, 88, 64));
            break;
        default:
            break;
    }
    v.Shade(20);
    v.Outline(kInk);
}

void BossPart(const View& v, int n) {
    const uint32_t armour = Rgb(112, 64, 152), glow = Rgb(252, 120, 200);
    const double cx = v.w / 2.0, cy = v.h / 2.0;
    if (n == 0) {  // body
        v.Ellipse(cx, cy, 28, 24, armour);
        v.Ellipse(cx, cy + 4, 16, 12, Lighten(armour, 40));
        v.Disc(cx, cy, 6, glow);
    } else if (n == 1) {  // head
        v.Disc(cx, cy, 22, armour);
        v.Tri(cx - 20, cy - 10, cx - 8, cy - 18, cx - 26, cy - 30, Rgb(240, 220, 120));
        v.Tri(cx + 20, cy - 10, cx + 8, cy - 18, cx + 26, cy - 30, Rgb(240, 220, 120));
        v.Fill(int(cx) - 12, int(cy) - 2, 8, 5, glow);
        v.Fill(int(cx) + 4, int(cy) - 2, 8, 5, glow);
    } else if (n < 7) {  // arm segments
        v.Ellipse(cx, cy, 26 - n * 2, 10, Lighten(armour, 20 - n * 6));
        v.Disc(cx - 20 + n, cy, 6, glow);
    } else {  // hand
        for (int k = 0; k < 4; ++k)
            v.Thick(int(cx), int(cy), int(cx - 18 + k * 12), int(cy - 22), 3.5, armour);
        v.Disc(cx, cy + 4, 14, armour);
    }
    v.Shade(30);
    v.Outline(kInk);
}

// The four-frame loops: eight kinds of small living things and effects, in eight colours.
void AnimatedEffect(const View& v, int group, int frame) {
    const uint32_t hue = kHue[(group / 8) % 8];
    const double cx = v.w / 2.0, cy = v.h / 2.0;
    const double pulse = std::sin(frame * kPi / 2);
    switch (group % 8) {
        case 0:  // a glowing mote
            v.Disc(cx, cy, 8 + 2 * pulse, Mix(hue, Rgb(0, 0, 0), 100));
            v.Disc(cx, cy, 5 + 2 * pulse, hue);
            v.Disc(cx - 2, cy - 2, 2, Rgb(255, 255, 240));
            return;
        case 1: {  // a flame flickering
            const double sway = 2 * pulse;
            v.Ellipse(cx, cy + 5, 7, 8, Rgb(232, 88, 32));
            v.Tri(cx - 7, cy + 4, cx + 7, cy + 4, cx + sway, cy - 13 + frame % 2, Rgb(232, 88, 32));
            v.Ellipse(cx, cy + 7, 4, 5, Rgb(252, 200, 64));
            v.Tri(cx - 4, cy + 6, cx + 4, cy + 6, cx - sway, cy - 4, Rgb(252, 200, 64));
            return;
        }
        case 2:  // a coin turning
            v.Ellipse(cx, cy, 1 + 9 * std::abs(std::cos(frame * kPi / 4)), 10, Rgb(236, 180, 48));
            v.Ellipse(cx, cy, std::max(0.5, 6 * std::abs(std::cos(frame * kPi / 4))), 7,
                      Rgb(252, 224, 104));
            v.Outline(kInk);
            return;
        case 3: {  // a butterfly beating its wings
            const double open = 3 + 8 * std::abs(std::cos(frame * kPi / 4));
            v.Ellipse(cx - open / 2 - 1, cy - 3, open / 2 + 1, 6, hue);
            v.Ellipse(cx + open / 2 + 1, cy - 3, open / 2 + 1, 6, hue);
            v.Ellipse(cx - open / 3, cy + 5, open / 3 + 1, 4, Lighten(hue, -40));
            v.Ellipse(cx + open / 3, cy + 5, open / 3 + 1, 4, Lighten(hue, -40));
            v.Fill(int(cx) - 1, int(cy) - 7, 2, 15, kInk);
            return;
        }
        case 4: {  // a leaf tumbling down
            const double a = frame * kPi / 4;
            const double dx = 8 * std::cos(a), dy = 4 * std::sin(a);
            v.Tri(cx - dx, cy - dy - 2, cx + dx, cy + dy - 2, cx + dy, cy + 6, Rgb(224, 160, 56));
            v.Tri(cx - dx, cy - dy - 2, cx + dx, cy + dy - 2, cx - dy, cy - 8, Rgb(208, 120, 48));
            v.Line(int(cx - dx), int(cy - dy - 2), int(cx + dx), int(cy + dy - 2),
                   Rgb(140, 72, 32));
            return;
        }
        case 5:  // a puff of smoke growing and thinning
            for (int k = 0; k < 3; ++k)
                v.Disc(cx - 5 + k * 5, cy + 3 - k * 3 - frame, 3 + frame + k % 2,
                       Mix(Rgb(236, 236, 240), Rgb(160, 160, 176), frame * 60));
            return;
        case 6: {  // a heart floating and beating
            const double r = 4 + pulse;
            v.Disc(cx - r, cy - 2 - frame, r + 1, Rgb(236, 72, 104));
            v.Disc(cx + r, cy - 2 - frame, r + 1, Rgb(236, 72, 104));
            v.Tri(cx - 2 * r - 1, cy - frame, cx + 2 * r + 1, cy - frame, cx,
                  cy + 2 * r + 3 - frame, Rgb(236, 72, 104));
            v.Disc(cx - r - 1, cy - 4 - frame, 1.5, Rgb(255, 220, 228));
            v.Outline(kInk);
            return;
        }
        default: {  // a star twinkling
            const double len = 6 + 6 * std::abs(pulse);
            v.Tri(cx, cy - len, cx - 2, cy, cx + 2, cy, Rgb(255, 255, 255));
            v.Tri(cx, cy + len, cx - 2, cy, cx + 2, cy, Rgb(255, 255, 255));
            v.Tri(cx - len, cy, cx, cy - 2, cx, cy + 2, Rgb(255, 255, 255));
            v.Tri(cx + len, cy, cx, cy - 2, cx, cy + 2, Rgb(255, 255, 255));
            v.Disc(cx, cy, 3, hue);
            return;
        }
    }
}

}  // namespace

void PaintLoadingPicture(const View& v) {
    v.Fill(0, 0, v.w, v.h, Rgb(255, 255, 255));
    // The three gardeners, three times their size, beside the name.
    for (int who = 0; who < 3; ++who) {
        Canvas small(32, 48, kKeyGreen);
        View sv{&small, 0, 0, 32, 48};
        Figure(sv, kPlayerLook[who], who == 1 ? 2 : (who == 0 ? 1 : 3), who % 2, 16, 4);
        const int ox = 4 + who * 44, oy = 16 + (who == 1 ? -8 : 8);
        Enlarge(v, small, ox, oy, 2, 48);
    }
    const char* word = "VELMORA";
    const int sx = 5, sy = 7;
    const int x0 = 150, y0 = 44;
    GradientWords(v, x0, y0, word, sx, sy, Rgb(252, 200, 72), Rgb(216, 72, 40));
    DrawWords(v, x0 + 6, y0 + 6 * sy + 14, "A DIG AND BURY ADVENTURE", 1, 1, Rgb(96, 120, 88));
    for (int k = 0; k < 9; ++k)
        v.Ellipse(x0 + 8 + k * 18, y0 - 10 - (k % 2) * 4, 7, 3.5,
                  k % 2 ? Rgb(120, 204, 88) : Rgb(84, 164, 80));
}

void PaintSprite(int32_t id, const View& v) {
    namespace sp = s;
    if (id >= sp::kTile && id < sp::kTile + 464) return Tile(id - sp::kTile, v);
    if (id >= sp::kPlayer && id < sp::kPlayer + 96) return Player(id - sp::kPlayer, v);
    if (id >= sp::kCompanion && id < sp::kCompanion + 32) return Companion(id - sp::kCompanion, v);
    if (id >= sp::kKabochaFace && id < sp::kKabochaFace + 72)
        return Pumpkin(v, (id - sp::kKabochaFace) / 24, (id - sp::kKabochaFace) % 24);
    if (id >= sp::kAnimated && id < sp::kAnimated + 512) {
        const int i = id - sp::kAnimated;
        return AnimatedEffect(v, i / 4, i % 4);
    }
    if (id >= sp::kProp && id < sp::kProp + 128) return Prop(v, id);
    if (id >= sp::kEdgeShade && id < sp::kEdgeShade + 32) {
        // Dark fades along the map's edges: a side whose bit is clear lies outside the area.
        const int e = (id - sp::kEdgeShade) % 8;
        for (int y = 0; y < v.h; ++y)
            for (int x = 0; x < v.w; ++x) {
                int d = 99;
                if (!(e & 1)) d = std::min(d, y);
                if (!(e & 2)) d = std::min(d, x);
                if (!(e & 4)) d = std::min(d, std::max(x, y));
                if (e == 7) d = std::min(d, x + y - 2);  // an inner corner: just its nib
                if (d < 8 && (x + y + d) % 2 == 0) v.Set(x, y, Rgb(16, 16, 32));
            }
        return;
    }
    if (id >= sp::kShadow && id < sp::kShadow + 19) {
        if (id == sp::kTargetMark) {
            v.Ring(v.w / 2.0, v.h / 2.0, 7.5, 2, Rgb(255, 255, 255));
            return;
        }
        return Shadow(v);
    }
    if (id >= sp::kLeafBody && id <= sp::kLeafBody + 21)
        return LeafCreature(v, kHue[(id - sp::kLeafBody) / 4 % 8], (id - sp::kLeafBody) % 4, 0.5,
                            2);
    if (id >= sp::kHeldForm && id < sp::kHeldForm + 128 && (id - sp::kHeldForm) % 16 == 0) {
        // A walker caught in a hole, by its colour: plain, red, metal, fat, then their pale
        // respawning kin.
        constexpr uint32_t kHeldHue[8] = {
            Rgb(84, 196, 96),   Rgb(232, 72, 72),   Rgb(168, 176, 196), Rgb(244, 208, 72),
            Rgb(176, 232, 184), Rgb(248, 168, 168), Rgb(220, 224, 236), Rgb(252, 236, 168)};
        return LeafCreature(v, kHeldHue[(id - sp::kHeldForm) / 16], 0, 0, 2);
    }
    if ((id >= sp::kLegsA && id < sp::kLegsA + 4) || (id >= sp::kLegsB && id < sp::kLegsB + 4)) {
        const int f = id % 4;
        v.Fill(10 + (f == 1 ? 2 : 0), 2, 4, 12, Rgb(92, 140, 60));
        v.Fill(18 - (f == 3 ? 2 : 0), 2, 4, 12, Rgb(92, 140, 60));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kFieldItem && id < sp::kFieldItem + 32) return Icon(v, 0, id - sp::kFieldItem);
    if (id >= sp::kIcon && id < sp::kIcon + 32) return Icon(v, 1, id - sp::kIcon);
    if (id >= sp::kPortrait && id < sp::kPortrait + 16) return Portrait(v, id - sp::kPortrait);
    if (id >= sp::kColorGate && id < sp::kColorGate + 16) {
        // 0..3 gates and 4..7 their switches, closed; the same 8 further on, open or pressed.
        const int k = (id - sp::kColorGate) % 8;
        const bool on = id - sp::kColorGate >= 8;
        return k < 4 ? Gate(v, k, on) : FloorSwitch(v, k - 4, on);
    }
    if (id == sp::kSwitchGateOpen || id == sp::kSwitchGateShut)
        return SwitchGate(v, id == sp::kSwitchGateOpen);
    if (id >= sp::kBossPart && id < sp::kBossPart + 8) return BossPart(v, id - sp::kBossPart);
    if ((id >= sp::kBigLeaf && id < sp::kBigLeaf + 23 && id != sp::kKanameStone) ||
        id == sp::kBigLeafSingle || id == sp::kLeafKing)
        return LeafCreature(v, id == sp::kLeafKing ? Rgb(244, 208, 72) : Rgb(72, 168, 88), id % 4,
                            0.3, 2);
    if (id >= sp::kBlastA && id < sp::kBlastA + 8) return Blast(v, id - sp::kBlastA);
    if (id >= sp::kBlastB && id < sp::kBlastB + 8) return Blast(v, id - sp::kBlastB);
    if (id == sp::kBlast) return Blast(v, 4);
    if (id >= sp::kSpark && id < sp::kSpark + 8) return Spark(v, id - sp::kSpark, false);
    if (id >= sp::kStar && id < sp::kStar + 8) return Spark(v, id - sp::kStar, true);
    if (id >= sp::kSmallDigit && id < sp::kSmallDigit + 10) {
        Digit(v, id - sp::kSmallDigit, 1, 1, Rgb(255, 255, 255));
        return;
    }
    if (id >= sp::kLargeDigit && id < sp::kLargeDigit + 10) {
        View inner = v.Sub(1, 1, v.w - 2, v.h - 2);
        Digit(inner, id - sp::kLargeDigit, 2, 3, Rgb(255, 255, 255));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kClockPhase && id < sp::kClockPhase + 12) {
        // The world clock: sun by day, moon by night, twelve phases round the dial.
        const int p = id - sp::kClockPhase;
        const bool day = p >= 3 && p < 9;
        v.Disc(12, 12, 11, day ? Rgb(120, 184, 240) : Rgb(32, 40, 96));
        const double a = p * 2 * kPi / 12 - kPi / 2;
        v.Disc(12 + std::cos(a) * 6, 12 + std::sin(a) * 6, 4,
               day ? Rgb(252, 216, 72) : Rgb(236, 236, 200));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kStageBadge && id < sp::kStageBadge + 9) {
        v.Disc(16, 16, 15, Rgb(236, 200, 96));
        v.Disc(16, 16, 12, Rgb(176, 72, 56));
        char t[2] = {char('1' + id - sp::kStageBadge), 0};
        Label(v, t, Rgb(255, 248, 220));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kStageName && id < sp::kStageName + 5) {
        static const char* kNames[5] = {"MEADOW", "OLD WOODS", "RIVERSIDE", "EMBER CAVE",
                                        "STAR GARDEN"};
        return MenuLabel(v, kNames[id - sp::kStageName], Rgb(252, 240, 200));
    }
    if (id >= sp::kTitleItem && id < sp::kTitleItem + 8) {
        // Each says where its confirm leads: item 2 opens the mode select with the stage
        // choice, item 5 the collection. Items 3 and 4 are never shown.
        static const char* kItems[8] = {"NEW GAME",    "CONTINUE",   "STAGE SELECT", "STAGE EDIT",
                                        "USER STAGES", "COLLECTION", "OPTIONS",      "QUIT"};
        return MenuLabel(v, kItems[id - sp::kTitleItem], Rgb(255, 255, 255));
    }
    if (id >= sp::kDifficulty && id < sp::kDifficulty + 3) {
        static const char* kLevels[3] = {"EASY", "NORMAL", "HARD"};
        return MenuLabel(v, kLevels[id - sp::kDifficulty], Rgb(255, 255, 255));
    }
    if (id >= sp::kTallyLabel && id < sp::kTallyLabel + 4) {
        // The third line pays for the bonus items (the badges blast kills leave) picked up.
        static const char* kTally[4] = {"TIME", "LIVES", "ITEMS", "PERFECT"};
        Label(v, kTally[id - sp::kTallyLabel], Rgb(255, 255, 255));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kClearBanner && id < sp::kClearBanner + 3) {
        // The closing banner, shown both when every player is out and after the ending, so its
        // words fit either: THE END and a leaf.
        const int i = id - sp::kClearBanner;
        if (i < 2) {
            static const char* kWords[2] = {"THE", "END"};
            Label(v, kWords[i], Rgb(255, 232, 120), 3, 4);
        } else {
            const double cx = v.w / 2.0, cy = v.h / 2.0;
            v.Ellipse(cx, cy, 15, 9, Rgb(120, 196, 80));
            v.Tri(cx + 12, cy - 5, cx + 12, cy + 5, cx + 21, cy, Rgb(120, 196, 80));
            v.Line(int(cx) - 13, int(cy), int(cx) + 18, int(cy), Rgb(64, 128, 48));
            v.Line(int(cx) - 20, int(cy) + 3, int(cx) - 13, int(cy), Rgb(96, 72, 40));
            v.Shade(20);
        }
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kNoise && id < sp::kNoise + 7) {
        // Static: a whole tile of dark speckle, so the tiles cover what lies behind them and
        // text over them stays readable.
        for (int y = 0; y < v.h; ++y)
            for (int x = 0; x < v.w; ++x) {
                const uint32_t h = Hash(x, y, id) % 16;
                v.Set(x, y,
                      h == 0  ? Rgb(176, 184, 208)
                      : h < 4 ? Rgb(72, 80, 112)
                              : Rgb(28, 32, 56));
            }
        return;
    }
    if (id >= sp::kChecker && id < sp::kChecker + 4) {
        v.Fill(0, 0, v.w, v.h,
               (id - sp::kChecker) % 3 == 0 ? Rgb(255, 255, 255) : Rgb(176, 176, 192));
        return;
    }
    if (id >= sp::kTab && id < sp::kTab + 8) {
        Panel(v, kHue[id - sp::kTab], Lighten(kHue[id - sp::kTab], -80), Rgb(240, 240, 240));
        return;
    }
    if (id >= sp::kPicture && id < sp::kPicture + 16) {
        // Scenes for the item-get notice and the roulette: sky, hills, a figure.
        const int n = id - sp::kPicture;
        for (int y = 0; y < v.h; ++y)
            v.Fill(0, y, v.w, 1, Mix(Lighten(kHue[n % 8], 40), Rgb(252, 240, 220), y * 256 / v.h));
        v.Ellipse(40, 120, 90, 40, Rgb(84, 156, 80));
        v.Ellipse(130, 124, 80, 36, Rgb(64, 136, 72));
        View icon = v.Sub(64, 30, 32, 32);
        Icon(icon, 1, n);
        v.Frame(0, 0, v.w, v.h, Rgb(236, 216, 140));
        return;
    }
    if (id >= sp::kHole && id < sp::kHole + 4) {
        // The hole and its stages of digging: a deeper pit each time.
        const int stage = id - sp::kHole;
        v.Ellipse(16, 17, 14, 11, Rgb(112, 80, 56));
        v.Ellipse(16, 18, 12 - stage, 9 - stage, Rgb(28, 20, 16));
        return;
    }
    if (id == sp::kMound) {
        // Fresh earth heaped over a filled hole.
        v.Ellipse(16, 14, 14, 8, Rgb(120, 86, 58));
        v.Ellipse(14, 12, 10, 5, Rgb(150, 112, 76));
        for (int k = 0; k < 6; ++k)
            v.Fill(6 + (Hash(k, 7) % 20), 10 + (Hash(k, 9) % 8), 2, 1, Rgb(88, 62, 42));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kDigCursor && id < sp::kDigCursor + 4) {
        const int f = id - sp::kDigCursor;
        for (int k = 0; k < 4; ++k) {
            const int x = (k & 1) ? 31 - 8 + f % 2 : f % 2, y = (k & 2) ? 31 - 8 + f % 2 : f % 2;
            v.Fill(x, y, 8, 2, Rgb(255, 255, 255));
            v.Fill((k & 1) ? x + 6 : x, y, 2, 8, Rgb(255, 255, 255));
        }
        return;
    }
    if (id >= sp::kShot && id < sp::kShot + 4) {
        if (id == sp::kShot) return Shadow(v);
        return Spark(v, id - sp::kShot + 2, false);
    }
    if (id >= sp::kCompanionHead && id < sp::kCompanionHead + 4) {
        const int f = id - sp::kCompanionHead;
        v.Ellipse(16, 14 - f % 2, 15, 9, Rgb(216, 64, 56));
        v.Disc(9, 11, 2.5, Rgb(255, 255, 255));
        v.Disc(20, 8, 2, Rgb(255, 255, 255));
        v.Disc(24, 14, 1.5, Rgb(255, 255, 255));
        v.Outline(kInk);
        return;
    }
    if (id >= sp::kPaletteIcon && id < sp::kPaletteIcon + 15) {
        PaletteIcon(v, id - sp::kPaletteIcon);
        return;
    }
    switch (id) {
        case sp::kHudPanel:
            // Drawn at (x + 1, y + 1) of the panel's place: the game puts the lives digit on the
            // badge, the life bar in the trough and the score, then the continue count as its
            // last digit, on the row below.
            Panel(v, Rgb(48, 40, 80), Rgb(24, 20, 48), Rgb(236, 216, 140));
            v.Fill(21, 4, 104, 8, Rgb(16, 12, 28));  // the life bar's trough
            v.Disc(11, 15, 9, Rgb(232, 88, 72));     // the lives badge, dark inside so the
            v.Disc(11, 15, 7, Rgb(56, 24, 32));      // pale red digit reads on it
            return;
        case sp::kHudPanelBase:
            // Under the panel: what each of its values is, each word under its value.
            Panel(v, Rgb(36, 30, 64), Rgb(20, 16, 40), Rgb(236, 216, 140));
            {
                const uint32_t ink = Rgb(236, 216, 140);
                auto centred = [&](int cx, const char* text, uint32_t c) {
                    DrawTinyText(v, cx - TinyTextWidth(text) / 2, 5, text, c);
                };
                centred(11, "LIVES", ink);
                // Attack, range and guard levels, in their digits' colours.
                centred(27, "A", Rgb(255, 128, 128));
                centred(34, "R", Rgb(128, 128, 255));
                centred(41, "G", Rgb(255, 255, 128));
                DrawTinyText(v, 96 - TinyTextWidth("SCORE"), 5, "SCORE", ink);
                centred(106, "CONT", ink);
            }
            return;
        case sp::kLifeCap:
            v.Fill(0, 0, v.w, v.h, Rgb(255, 255, 255));
            return;
        case sp::kEditorArrowL:
        case sp::kEditorArrowR: {
            const bool left = id == sp::kEditorArrowL;
            v.Tri(left ? 2 : 14, 8, left ? 13 : 3, 1, left ? 13 : 3, 15, Rgb(255, 255, 255));
            v.Outline(kInk);
            return;
        }
        case sp::kEditorIndex:
            Panel(v, Rgb(72, 72, 104), Rgb(40, 40, 64), Rgb(220, 220, 240));
            Label(v, "#", Rgb(255, 255, 255));
            return;
        case sp::kAreaNode:
        case sp::kAreaNode + 1: {
            const bool exists = id == sp::kAreaNode + 1;
            v.Disc(16, 16, 14, exists ? Rgb(84, 168, 80) : Rgb(96, 96, 112));
            v.Disc(16, 16, 9, exists ? Rgb(168, 224, 120) : Rgb(140, 140, 156));
            if (exists) v.Ellipse(16, 12, 5, 3, Rgb(64, 128, 56));
            v.Outline(kInk);
            return;
        }
        case sp::kClockPlate:
            Panel(v, Rgb(60, 44, 32), Rgb(36, 26, 20), Rgb(200, 168, 88));
            v.Fill(v.w - 1, 1, 1, v.h - 2, Rgb(60, 44, 32));  // open on the right: the end follows
            return;
        case sp::kClockPlateEnd:
            v.Fill(0, 0, v.w - 6, v.h, Rgb(48, 36, 26));
            v.Ellipse(v.w - 8, v.h / 2.0, 7, v.h / 2.0 - 1, Rgb(48, 36, 26));
            v.Fill(0, 0, v.w - 8, 1, Rgb(200, 168, 88));
            v.Fill(0, v.h - 1, v.w - 8, 1, Rgb(200, 168, 88));
            v.Outline(kInk);
            return;
        case sp::kPointer:
            v.Ellipse(14, 14, 8, 7, Rgb(252, 220, 188));
            v.Fill(2, 10, 10, 4, Rgb(252, 220, 188));  // the pointing finger
            v.Fill(14, 18, 8, 4, Rgb(232, 88, 72));    // the cuff
            v.Outline(kInk);
            return;
        case sp::kSparkle:
            Spark(v, 5, true);
            return;
        case sp::kPanelEmblem: {
            // A leaf crest, drawn pale: the title shows it half transparent, centred on a point
            // inside its panel. The picture sits in the bottom of a tall cut, so that centred
            // there it lands below the title's lowest item, clear of the menu.
            const double cx = v.w / 2.0, cy = v.h - 42.0;
            v.Disc(cx, cy, 38, Rgb(200, 216, 236));
            v.Disc(cx, cy, 33, Rgb(150, 170, 210));
            v.Ellipse(cx, cy, 24, 14, Rgb(220, 236, 250));
            v.Line(int(cx) - 24, int(cy), int(cx) + 24, int(cy), Rgb(150, 170, 210));
            for (int k = -1; k <= 1; ++k)
                v.Line(int(cx) + k * 10, int(cy), int(cx) + k * 10 + 6, int(cy) - 11,
                       Rgb(150, 170, 210));
            return;
        }
        case sp::kRateMark:
            Label(v, "FPS", Rgb(255, 255, 255), 1, 2);
            return;
        case sp::kWindow:
            return Window(v);
        case sp::kLogo:
            return Logo(v);
        case sp::kWhite:
        case sp::kLifeBar:
            v.Fill(0, 0, v.w, v.h, Rgb(255, 255, 255));
            return;
        case sp::kKeyIcon:
            v.Disc(4, 7, 3.5, Rgb(252, 216, 72));
            v.Fill(7, 6, 7, 2, Rgb(252, 216, 72));
            v.Fill(11, 8, 2, 3, Rgb(252, 216, 72));
            v.Disc(4, 7, 1.2, kInk);
            return;
        case sp::kPanelCorner:
            v.Disc(32, 32, 30, Rgb(200, 168, 88));
            v.Disc(32, 32, 22, Rgb(120, 72, 48));
            v.Disc(32, 32, 10, Rgb(84, 168, 80));
            v.Outline(kInk);
            return;
        case sp::kPanelEdgeH:
            v.Fill(0, 20, v.w, 24, Rgb(200, 168, 88));
            v.Fill(0, 26, v.w, 12, Rgb(120, 72, 48));
            return;
        case sp::kPanelEdgeV:
            v.Fill(20, 0, 24, v.h, Rgb(200, 168, 88));
            v.Fill(26, 0, 12, v.h, Rgb(120, 72, 48));
            return;
        case sp::kPanelTitle:
            v.Ellipse(v.w / 2.0, v.h / 2.0, v.w / 2.0 - 2, v.h / 2.0 - 4, Rgb(200, 168, 88));
            v.Ellipse(v.w / 2.0, v.h / 2.0, v.w / 2.0 - 8, v.h / 2.0 - 10, Rgb(84, 52, 104));
            Label(v, "VELMORA", Rgb(255, 236, 160), 3, 4);
            v.Outline(kInk);
            return;
        case sp::kTitleStrip:
            for (int x = 0; x < v.w; x += 16)
                v.Ellipse(x + 8, 40, 12, 22, (x / 16) % 2 ? Rgb(64, 136, 72) : Rgb(84, 164, 80));
            return;
        case sp::kEditorGrid:
            // Drawn centred on a cell's centre: its lines fall on the cell edges between.
            for (int k = 16; k < v.w; k += 32) {
                v.Fill(k, 0, 1, v.h, Rgb(255, 255, 255));
                v.Fill(0, k, v.w, 1, Rgb(255, 255, 255));
            }
            return;
        case sp::kEditorBackdrop:
            Texture(v, Rgb(255, 255, 255), 20, id);
            return;
        case sp::kWarningA:
        case sp::kWarningB:
            v.Tri(16, 2, 2, 29, 30, 29, Rgb(252, 208, 48));
            v.Fill(15, 10, 3, 11, kInk);
            v.Fill(15, 24, 3, 3, kInk);
            v.Outline(kInk);
            return;
        case sp::kFlame:
            v.Ellipse(8, 15, 6, 8, Rgb(248, 120, 40));
            v.Tri(2, 14, 14, 14, 8, 0, Rgb(248, 120, 40));
            v.Ellipse(8, 17, 3, 5, Rgb(252, 232, 120));
            return;
        case sp::kChainLabel:
            Label(v, "CHAIN", Rgb(255, 232, 120), 1, 2);
            v.Outline(kInk);
            return;
        case sp::kBackdropLeaf:
            v.Ellipse(16, 16, 13, 7, Rgb(255, 255, 255));
            v.Line(4, 16, 28, 16, Rgb(200, 200, 200));
            return;
        case sp::kCurtain:
            for (int k = 0; k < 12; ++k) Spark(v.Sub(k * 8, int(Hash(k) % 16), 16, 16), k, true);
            return;
        case sp::kHurtIcon:
            v.Disc(12, 12, 10, Rgb(232, 72, 72));
            Label(v, "!", Rgb(255, 255, 255));
            v.Outline(kInk);
            return;
        case sp::kSpirit:
            v.Ellipse(12, 12, 9, 10, Rgb(220, 236, 255));
            v.Tri(4, 14, 20, 14, 12, 31, Rgb(220, 236, 255));
            v.Fill(8, 10, 2, 3, Rgb(80, 96, 160));
            v.Fill(14, 10, 2, 3, Rgb(80, 96, 160));
            return;
        case sp::kBlink:
            Spark(v, 7, true);
            return;
        case sp::kRain:
            v.Fill(1, 0, 2, v.h, Rgb(200, 224, 255));
            return;
        case sp::kCloud: {
            // A sheet of mist banks that tiles every 256 pixels both ways: the fog draws it
            // across the screen and the weather as drifting puffs.
            constexpr struct {
                int x, y, rx, ry;
            } kBanks[] = {{40, 36, 50, 12},   {180, 72, 60, 14},  {70, 144, 62, 14},
                          {206, 190, 52, 12}, {124, 236, 40, 10}, {250, 128, 26, 9}};
            for (const auto& b : kBanks)
                for (int dy = -256; dy <= 256; dy += 256)
                    for (int dx = -256; dx <= 256; dx += 256) {
                        v.Ellipse(b.x + dx, b.y + dy, b.rx, b.ry, Rgb(236, 240, 248));
                        v.Ellipse(b.x + dx - b.rx / 5, b.y + dy - b.ry / 4, b.rx * 3 / 4,
                                  b.ry * 2 / 3, Rgb(255, 255, 255));
                    }
            return;
        }
        case sp::kCandle:
            v.Fill(10, 14, 12, 30, Rgb(244, 236, 216));
            v.Fill(6, 42, 20, 5, Rgb(160, 120, 72));
            v.Fill(15, 8, 2, 6, kInk);
            v.Shade(20);
            v.Outline(kInk);
            return;
        case sp::kKanameStone:
            v.Tri(16, 1, 3, 20, 29, 20, Rgb(120, 200, 216));
            v.Tri(3, 20, 29, 20, 16, 31, Rgb(64, 136, 168));
            v.Outline(kInk);
            return;
        case sp::kSaucer:
        case sp::kSaucerBig:
            v.Ellipse(32, 20, 30, 8, Rgb(160, 168, 184));
            v.Ellipse(32, 12, 14, 9, Rgb(120, 216, 232));
            for (int k = 0; k < 5; ++k) v.Disc(10 + k * 11, 21, 2, kHue[k]);
            v.Outline(kInk);
            return;
        case sp::kBeam:
            for (int y = 0; y < v.h; ++y)
                if (y % 4 < 3) v.Fill(6, y, v.w - 12, 1, Rgb(200, 240, 255));
            return;
        case sp::kGenerator:
        case sp::kGenerator + 1:
        case sp::kGenerator + 2:
        case sp::kGeneratorBroken: {
            // A hollow stump that breeds walkers; the broken one is split.
            const bool broken = id == sp::kGeneratorBroken;
            v.Fill(4, 14, 24, 32, Rgb(132, 88, 56));
            v.Ellipse(16, 14, 12, 5, Rgb(196, 152, 96));
            v.Ellipse(16, 30, 6, 8, Rgb(40, 24, 16));
            if (!broken) v.Disc(16, 30, 2 + (id - sp::kGenerator), Rgb(252, 200, 64));
            if (broken) v.Line(16, 10, 12, 46, kInk);
            v.Shade(20);
            v.Outline(kInk);
            return;
        }
        case sp::kBreakWall:
            Block(v, 3, 1, id);
            v.Line(6, 4, 20, 18, kInk);
            return;
        case sp::kStageBannerL:
        case sp::kStageBannerR: {
            const bool left = id == sp::kStageBannerL;
            for (int k = 0; k < 4; ++k)
                v.Ellipse(left ? 22 - k * 5 : 10 + k * 5, 6 + k * 7, 6, 3.5, Rgb(120, 204, 88));
            v.Outline(kInk);
            return;
        }
        case sp::kEditorCursor:
        case sp::kEditorCursor + 1:
            v.Frame(0, 0, 32, 32, Rgb(255, 255, 255));
            v.Frame(2, 2, 28, 28, Rgb(255, 96, 96));
            return;
        default:
            break;
    }
    if ((id >= sp::kStartMode && id < sp::kStartMode + 4) ||
        (id >= sp::kEditorFlag && id < sp::kEditorFlag + 4) || id == sp::kFlagButtonA ||
        id == sp::kFlagButtonB || id == sp::kFlagButtonC) {
        Panel(v, Rgb(88, 96, 136), Rgb(48, 52, 80), Rgb(220, 220, 240));
        char t[2] = {
            char(id >= sp::kEditorFlag && id < sp::kEditorFlag + 4 ? 'A' + id - sp::kEditorFlag
                 : id >= sp::kStartMode && id < sp::kStartMode + 4 ? '1' + id - sp::kStartMode
                                                                   : 'F'),
            0};
        Label(v, t, Rgb(255, 255, 255));
        return;
    }
    if (id >= sp::kSplash && id < sp::kSplash + 4) {
        const int f = id - sp::kSplash;
        v.Ring(8, 4, 3 + f * 1.5, 1, Rgb(200, 224, 255));
        return;
    }
    // Anything else the layout names but no painter knows: a plain framed tile.
    const uint32_t c = Rgb(90 + Hash(id) % 120, 90 + Hash(id, 1) % 120, 90 + Hash(id, 2) % 120);
    v.Fill(1, 1, v.w - 2, v.h - 2, c);
    v.Frame(0, 0, v.w, v.h, kInk);
}

}  // namespace databuild
