// One picture decoder on a memory stream: FUZZ_DECODER names it (the build makes one target per
// decoder). Accepted input must give an image of its stated size, all of it readable; refused
// input must leave nothing allocated. The loader chain runs the same bytes afterwards.
#include "engine/base/stream.h"
#include "engine/graphics/image_decode.h"
#include "fuzz_support.h"

using namespace tessra;

namespace {

void CheckImage(const GraphImage& image) {
    fuzz::Require(image.width > 0 && image.height > 0 && image.width <= kGraphImageMaxSide &&
                      image.height <= kGraphImageMaxSide,
                  "decoded image has a side out of range");
    fuzz::Require(image.pixels != nullptr, "decoded image has no pixels");
    const int64_t rowBytes = int64_t{image.width} * image.format.bytesPerPixel;
    fuzz::Require(image.pitch >= rowBytes, "pitch shorter than a row");
    fuzz::Touch(image.pixels, size_t(image.pitch) * size_t(image.height));
}

int Decode(ImageLoaderFunc decoder, const uint8_t* data, size_t size) {
    StreamHandle handle = OpenMemStream(data, uint32_t(size));
    fuzz::Require(handle != 0, "memory stream refused");
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), handle);
    GraphImage image{};
    const int result = decoder(&io, &image);
    if (result == 0) {
        CheckImage(image);
        FreeGraphImage(&image);
    } else {
        fuzz::Require(image.pixels == nullptr, "refused input left pixels behind");
    }
    CloseMemStream(handle);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    if (size > UINT32_MAX) return 0;
    fuzz::TrackedBlocks blocks;
    Decode(FUZZ_DECODER, data, size);
    blocks.Check("the decoder left tracked blocks behind");
    Decode(DecodeImageStream, data, size);
    blocks.Check("the loader chain left tracked blocks behind");
    return 0;
}
