// A user stage file as the game loads it: written to the user folder, loaded by slot. An accepted
// file must leave a record whose areas the game can hold; a refused one the record unchanged.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fuzz_support.h"
#include "game/play/stage.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    std::filesystem::create_directories("userdata");
    {
        std::ofstream out("userdata/usermd00.dat", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    const int32_t* record = GetStageRecord().words;
    const std::vector<int32_t> before(record, record + kStageRecordWords);
    if (LoadUserStage(0) == 0) {
        fuzz::Require(HasValidAreaSizes(record), "loaded a stage the game cannot hold");
    } else {
        fuzz::Require(std::equal(before.begin(), before.end(), record),
                      "a refused stage changed the record");
    }
    return 0;
}
