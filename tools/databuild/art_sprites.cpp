// The painters of the sprites, by id.
#include <cmath>

#include "game/core/sprite_ids.h"
#include "tools/databuild/art.h"

namespace databuild {

namespace s = velmora::sprite;

namespace {

void Placeholder(int32_t id, const View& v) {
    const uint32_t c = Rgb(90 + Hash(id) % 120, 90 + Hash(id, 1) % 120, 90 + Hash(id, 2) % 120);
    v.Fill(1, 1, v.w - 2, v.h - 2, c);
    v.Frame(0, 0, v.w, v.h, Rgb(30, 30, 40));
}

}  // namespace

void PaintSprite(int32_t id, const View& v) {
    if (id == s::kWhite) {
        v.Fill(0, 0, v.w, v.h, Rgb(255, 255, 255));
        return;
    }
    Placeholder(id, v);
}

}  // namespace databuild
