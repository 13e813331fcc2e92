// The loading picture: dat/velm0.dat, a PNG the game shows while it loads, padded to the exact
// size the start-up test expects.
#include <cstdio>
#include <vector>

#include "tools/databuild/art.h"
#include "tools/databuild/databuild.h"

namespace databuild {
namespace {

constexpr uint64_t kLoadingPictureSize = 10432;

bool RunLoadingPicture(const std::string& outDir) {
    Canvas picture(368, 128, Rgb(255, 255, 255));
    PaintLoadingPicture(View{&picture, 0, 0, picture.width, picture.height});
    std::vector<uint8_t> png;
    if (!EncodePng(picture, false, &png)) {
        std::fprintf(stderr, "databuild: cannot encode the loading picture\n");
        return false;
    }
    const std::string path = JoinPath(outDir, "velm0.dat");
    return WriteFileAtomic(path, png) && PadFileToSize(path, kLoadingPictureSize);
}

RegisterProducer registerLoadingPicture("loading picture", 15, RunLoadingPicture);

}  // namespace
}  // namespace databuild
