// The game program's entry. Until the game's own start-up lands it opens the engine's window
// under the game's title, keeps it alive until it is closed, and shuts the engine down.
#include "engine/tessra.h"

int main() {
    using namespace tessra::sjis_literals;
    SetLogEnabled(0);
    SetWindowTitle("ヴェルモラ"_sjis);
    ChangeWindowMode(1);
    if (StartEngine() != 0) return 1;
    while (ProcessMessage() == 0) WaitMilliseconds(16);
    ShutdownEngine();
    return 0;
}
