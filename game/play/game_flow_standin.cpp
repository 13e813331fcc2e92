// Stand-in until the game flow exists: a new game goes back to the title.
#include "game/frontend/title.h"
#include "game/play/game_flow.h"

namespace velmora {

int32_t StartNewGame() {
    return OpenTitleMenu();
}

}  // namespace velmora
