// The built-in stages as the game reads them: through its loader, from the archive and from the
// plain folder alike, each passing the stage check.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/tessra.h"
#include "game/play/stage.h"
#include "game/play/stage_check.h"
#include "tools/databuild/stages.h"
#include "tools/packer/packer.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const std::string kRun = GAME_RUN_DIR;

std::vector<int32_t> LoadAll(bool archive) {
    SetUseArchive(archive ? 1 : 0);
    SetArchiveExtension("dat");
    SetArchiveKey(packer::GameKeyText().c_str());
    std::vector<int32_t> all;
    for (int n = 0; n < databuild::kBuiltInStageCount; ++n) {
        NewStage(-1);
        EXPECT_EQ(LoadBuiltInStage(n), 0) << n;
        const StageRecord& r = GetStageRecord();
        EXPECT_EQ(CheckStageRecord(r.words), "") << n;
        all.insert(all.end(), r.words, r.words + kStageRecordWords);
    }
    return all;
}

TEST(BuiltInStages, ReadAlikeFromTheArchiveAndTheFolder) {
    const fs::path old = fs::current_path();
    const fs::path dir =
        fs::temp_directory_path() / ("built_in_stages_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    // The archive alone, so nothing can come from plain files.
    fs::create_directories(dir / "archive" / "dat");
    fs::copy_file(kRun + "/dat/velm4.dat", dir / "archive" / "dat" / "velm4.dat");
    // The plain folder alone.
    fs::create_directories(dir / "plain" / "dat");
    fs::copy(kRun + "/dat/velm4", dir / "plain" / "dat" / "velm4");

    fs::current_path(dir / "archive");
    const std::vector<int32_t> fromArchive = LoadAll(true);
    fs::current_path(dir / "plain");
    const std::vector<int32_t> fromFolder = LoadAll(false);
    fs::current_path(old);
    fs::remove_all(dir);

    ASSERT_EQ(fromArchive.size(), static_cast<size_t>(kStageRecordWords) * 5);
    EXPECT_TRUE(fromArchive == fromFolder);
    // And as the builder made them.
    std::vector<std::vector<int32_t>> built;
    ASSERT_TRUE(databuild::BuildBuiltInStages(&built));
    for (int n = 0; n < databuild::kBuiltInStageCount; ++n) {
        const int32_t* got = fromFolder.data() + static_cast<size_t>(n) * kStageRecordWords;
        for (int a = 0; a < kStageAreaCount; ++a) {
            const int base = AreaBase(a);
            const int count = StageAreaStoredWords(built[n].data(), a);
            EXPECT_EQ(std::memcmp(got + base, built[n].data() + base, count * 4), 0)
                << n << " " << a;
        }
    }
}

}  // namespace
}  // namespace velmora
