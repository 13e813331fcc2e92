// The plain blit's loops for format kind 1, instantiated apart so the two formats build in
// parallel.
#include "engine/softrender/blit_loops.h"

namespace tessra::soft {

BlitFn PickBlitKind1(int src, int mode, int var, bool fast, bool tr, bool bl, bool white) {
    switch (src) {
        case kPal:
            return PickBlitModes<kMemImgKindXrgb, kPal>(mode, var, fast, tr, bl, white);
        case kDirect:
            return PickBlitModes<kMemImgKindXrgb, kDirect>(mode, var, fast, tr, bl, white);
        default:
            return PickBlitModes<kMemImgKindXrgb, kDirectAlpha>(mode, var, fast, tr, bl, white);
    }
}

}  // namespace tessra::soft
