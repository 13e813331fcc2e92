// The plain blit's loops for format kind 0, instantiated apart so the two formats build in
// parallel.
#include "engine/softrender/blit_loops.h"

namespace tessra::soft {

BlitFn PickBlitKind0(int src, int mode, int var, bool fast, bool tr, bool bl, bool white) {
    switch (src) {
        case kPal:
            return PickBlitModes<kMemImgKind565, kPal>(mode, var, fast, tr, bl, white);
        case kDirect:
            return PickBlitModes<kMemImgKind565, kDirect>(mode, var, fast, tr, bl, white);
        default:
            return PickBlitModes<kMemImgKind565, kDirectAlpha>(mode, var, fast, tr, bl, white);
    }
}

}  // namespace tessra::soft
