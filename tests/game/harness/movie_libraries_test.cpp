// The movie libraries stay unloaded while nothing plays a movie: the game shows none, and
// loading them cost every start a third of a second.
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>

#include "game/core/scenes.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

bool MovieLibraryLoaded() {
    return dl_iterate_phdr(
               [](dl_phdr_info* info, size_t, void*) {
                   return info->dlpi_name != nullptr &&
                                  (std::strstr(info->dlpi_name, "libavcodec") != nullptr ||
                                   std::strstr(info->dlpi_name, "libavformat") != nullptr)
                              ? 1
                              : 0;
               },
               nullptr) != 0;
}

TEST(MovieLibraries, TheTitleRunsWithoutThem) {
    ASSERT_FALSE(MovieLibraryLoaded()) << "linked into the program";
    velmora_test::GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    h.RunScene(kSceneTitle, [](velmora_test::Frame& f) {
        if (f.scene == 90) f.Stop();
    });
    EXPECT_FALSE(MovieLibraryLoaded()) << "loaded without a movie";
}

}  // namespace
}  // namespace velmora
