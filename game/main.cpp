// The game program's entry.
#include "game/core/startup.h"

int main() {
    return velmora::RunGame() == -1 ? 255 : 0;
}
