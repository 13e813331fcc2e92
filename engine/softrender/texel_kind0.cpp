// The mapped draws' span loops for format kind 0, instantiated apart so the two formats build
// in parallel.
#include "engine/softrender/texel_loops.h"

namespace tessra::soft {

TexelSpanFn PickTexelKind0(bool paletted, int mode, bool alpha, bool tr, bool bl, bool white) {
    if (paletted) return PickTexelModes<kMemImgKind565, kPal>(mode, false, tr, bl, white);
    return PickTexelModes<kMemImgKind565, kDirect>(mode, alpha, tr, bl, white);
}

}  // namespace tessra::soft
