// The game program's entry. "--editor" opens the stage editor instead of the title.
#include <cstring>

#include "game/core/scenes.h"
#include "game/core/startup.h"

int main(int argc, char** argv) {
    int32_t first = velmora::kSceneTitle;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--editor") == 0) first = velmora::kSceneEditor;
    return velmora::RunGame(first) == -1 ? 255 : 0;
}
