// What the engine core asks of the Direct3D back-end.
#pragma once

namespace tessra {

int RestoreAllTextures();              // on window activation
int SetTextureDivisionFlag(int flag);  // stores the inverse; body of SetTextureSizeFitting

}  // namespace tessra
