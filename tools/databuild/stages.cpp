// The built-in stages, dat/velm4/velm400.dat .. velm404.dat, made from the text layouts of
// stage_layouts.h and written in the game's stage file form (game/play/stage_file.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "game/play/stage_check.h"
#include "game/play/stage_file.h"
#include "tools/databuild/databuild.h"
#include "tools/databuild/stage_layouts.h"
#include "tools/databuild/stages.h"

// The tables below are laid out by hand, one entry a line; keep clang-format out of them.
// clang-format off

namespace databuild {
namespace {

using namespace velmora;

// What one map character puts in its cell.
struct CellKind {
    char symbol;
    int tile;         // -1: the area's floor tile
    uint32_t attributes;
    int object;       // editor object index, 0 none
    bool spawn;
    int variant;
};

constexpr uint32_t kWall = kCellBlockGround | kCellBlockHigh | kCellBlockShot;
constexpr uint32_t kLow = kCellBlockGround | kCellBlockHigh;
constexpr uint32_t kGround = kCellBlockGround;

// Tile numbers (sprite 3584 + n): rows of 16 kinds of ground (0..95) and raised blocks
// (96..191), then animated ones (192..255) of four frames each.
constexpr int kTileGrass = 0, kTilePath = 16, kTileSoil = 21, kTileCave = 17, kTilePaving = 32,
              kTileSand = 48, kTilePlanks = 80, kTileBrick = 96, kTileRock = 112,
              kTileHedge = 128, kTileFence = 144, kTileWater = 192, kTileLava = 208,
              kTileFlowers = 224;

// Editor object indices and the props the maps use.
constexpr int kObjGenerator = 1, kObjExit = 2, kObjColourGate = 3, kObjLeaf = 5, kObjItem = 7,
              kObjKabocha = 8, kObjEvent = 9, kObjCandle = 10, kObjGiant = 11, kObjStone = 12, kObjUfo = 6,
              kObjBoss = 30;
constexpr int kPropBoulder = 16 + 1, kPropStump = 16 + 2, kPropTree = 16 + 12, kPropBush = 16 + 13;

const CellKind kLegend[] = {
    // Floors.
    {'.', kTileGrass, 0, 0, false, 0},  {',', kTileFlowers, 0, 0, false, 0},
    {':', kTilePath, 0, 0, false, 0},   {'_', kTileSoil, 0, 0, false, 0},
    {'=', kTilePaving, 0, 0, false, 0}, {'b', kTilePlanks, 0, 0, false, 0},
    {'s', kTileSand, 0, 0, false, 0},   {'c', kTileCave, 0, 0, false, 0},
    // Walls, hedges, fences, water, lava and the props that stand in the way.
    {'#', kTileRock, kWall, 0, false, 0},   {'B', kTileBrick, kWall, 0, false, 0},
    {'h', kTileHedge, kLow, 0, false, 0},   {'f', kTileFence, kGround, 0, false, 0},
    {'~', kTileWater, kGround, 0, false, 0}, {'L', kTileLava, kGround, 0, false, 0},
    {'T', 0, kWall, kPropTree, false, 0},   {'o', 0, kWall, kPropBoulder, false, 0},
    {'*', 0, kLow, kPropBush, false, 0},    {'t', 0, kGround, kPropStump, false, 0},
    // The goal (an exit numbered 8, which leaves the stage) and doorways to exits 0..2.
    {'G', kGoalTile, 0, kObjExit, false, 9},
    {'P', kDoorTile, 0, kObjExit, false, 1}, {'Q', kDoorTile, 0, kObjExit, false, 2},
    {'R', kDoorTile, 0, kObjExit, false, 3},
    // Walkers: kind in bits 0-3 of the variant, colour in bits 4-5.
    {'w', -1, 0, kObjLeaf, true, 0},    {'v', -1, 0, kObjLeaf, true, 1},
    {'e', -1, 0, kObjLeaf, true, 2},    {'y', -1, 0, kObjLeaf, true, 3},
    {'k', -1, 0, kObjLeaf, true, 8},    {'n', -1, 0, kObjLeaf, true, 9},
    {'z', -1, 0, kObjLeaf, true, 10},   {'r', -1, 0, kObjLeaf, true, 0x10},
    {'M', -1, 0, kObjLeaf, true, 0x20}, {'F', -1, 0, kObjLeaf, true, 0x30},
    // Breeders, pumpkins, stamping stones, the giant, the boss and the area guard.
    {'g', -1, 0, kObjGenerator, true, 0},   {'Y', -1, 0, kObjGenerator, true, 0x10},
    {'C', -1, 0, kObjCandle, true, 0},      {'K', -1, 0, kObjKabocha, true, 0},
    {'S', -1, 0, kObjStone, true, 0},       {'O', -1, 0, kObjGiant, true, 1},
    {'U', -1, 0, kObjUfo, true, 0},         {'Z', -1, 0, kObjBoss, true, 0},        {'E', -1, 0, kObjEvent, true, 1},
    // Items (kind in bits 0-5, bit 6 hidden under the ground; the later stages' attack and life
    // boosts and extra lives lie in sight, for the boss), a gate and its switch.
    {'a', -1, 0, kObjItem, true, 0x40 | 0}, {'l', -1, 0, kObjItem, true, 0x40 | 2},
    {'A', -1, 0, kObjItem, true, 0},        {'V', -1, 0, kObjItem, true, 2},
    {'X', -1, 0, kObjItem, true, 7},
    {'x', -1, 0, kObjItem, true, 0x40 | 7}, {'u', -1, 0, kObjItem, true, 1},
    {'d', -1, 0, kObjItem, true, 3},
    {'|', -1, 0, kObjColourGate, true, 0},  {'+', -1, 0, kObjColourGate, true, 4},
};

const CellKind* FindKind(char c) {
    for (const CellKind& k : kLegend)
        if (k.symbol == c) return &k;
    return nullptr;
}

bool Fail(int stage, const std::string& what) {
    std::fprintf(stderr, "databuild: built-in stage %d: %s\n", stage, what.c_str());
    return false;
}

struct AreaText {
    int index = -1;
    int music = 0, weather = 0, population = 0, floor = 0;
    std::vector<std::pair<int, std::pair<int, int>>> exits;  // k -> (area, entry)
    std::vector<std::string> rows;
};

bool FillArea(int stage, const AreaText& a, int32_t* record) {
    const int w = a.rows.empty() ? 0 : static_cast<int>(a.rows[0].size());
    const int h = static_cast<int>(a.rows.size());
    if (w < 21 || w > 255 || h < 16 || h > 255 || w * h >= kAreaCellWords)
        return Fail(stage, "area " + std::to_string(a.index) + " is " + std::to_string(w) + "x" +
                               std::to_string(h) + ", outside 21..255 by 16..255 below 4096 cells");
    const int base = AreaBase(a.index);
    record[kStageWordAreaOffsets + a.index] = base;
    record[base + kAreaWordWidth] = w;
    record[base + kAreaWordHeight] = h;
    record[base + kAreaWordWeather] = a.weather;
    record[base + kAreaWordPopulation] = a.population;
    record[base + kAreaWordMusic] = a.music;
    for (int k = 0; k < kAreaExitCount; ++k) {
        record[base + kAreaWordExits + 2 * k] = a.index;  // an unused exit leads back here
        record[base + kAreaWordExits + 2 * k + 1] = 0;
    }
    for (const auto& e : a.exits) {
        record[base + kAreaWordExits + 2 * e.first] = e.second.first;
        record[base + kAreaWordExits + 2 * e.first + 1] = e.second.second;
    }
    int entries[kAreaEntryCount];
    for (int& e : entries) e = -1;
    for (int y = 0; y < h; ++y) {
        if (static_cast<int>(a.rows[y].size()) != w)
            return Fail(stage, "area " + std::to_string(a.index) + " row " + std::to_string(y) +
                                   " is not " + std::to_string(w) + " wide");
        for (int x = 0; x < w; ++x) {
            const char c = a.rows[y][x];
            uint32_t cell;
            if (c >= '0' && c <= '7') {
                entries[c - '0'] = (x << 16) | y;
                cell = static_cast<uint32_t>(a.floor) << kCellTileShift;
            } else {
                const CellKind* k = FindKind(c);
                if (!k)
                    return Fail(stage, std::string("unknown map character '") + c + "' in area " +
                                           std::to_string(a.index));
                const int tile = k->tile < 0 ? a.floor : k->tile;
                cell = static_cast<uint32_t>(tile) << kCellTileShift | k->attributes |
                       static_cast<uint32_t>(k->object) << kCellObjectShift |
                       static_cast<uint32_t>(k->variant) << kCellVariantShift;
                if (k->spawn) cell |= kCellSpawn;
            }
            record[base + kAreaHeaderWords + x + y * w] = static_cast<int32_t>(cell);
        }
    }
    if (entries[0] < 0) return Fail(stage, "area " + std::to_string(a.index) + " has no entry 0");
    for (int k = 0; k < kAreaEntryCount; ++k)
        record[base + kAreaWordEntries + k] = entries[k] >= 0 ? entries[k] : entries[0];
    return true;
}

// Parses one "stage ... endstage" block into a record.
bool BuildStage(int stage, const std::vector<std::string>& lines, int32_t* record) {
    std::memset(record, 0, sizeof(int32_t) * kStageRecordWords);
    record[kStageWordMagic] = static_cast<int32_t>(kStageMagic);
    record[kStageWordTag] = static_cast<int32_t>(kStageMapTag);
    record[kStageWordVersion] = kStageVersion;
    for (int a = 0; a < kStageAreaCount; ++a)
        for (int k = 0; k < kAreaExitCount; ++k) record[AreaBase(a) + kAreaWordExits + 2 * k] = a;
    std::vector<AreaText> areas;
    AreaText* area = nullptr;
    bool inMap = false;
    for (const std::string& line : lines) {
        if (inMap) {
            if (line == "end") inMap = false;
            else area->rows.push_back(line);
            continue;
        }
        std::istringstream in(line);
        std::string key;
        in >> key;
        int v = 0;
        if (key == "time" && in >> v) record[kStageWordTimeLimit] = v;
        else if (key == "clock" && in >> v) record[kStageWordClockStart] = v;
        else if (key == "level" && in >> v) record[kStageWordLevel] = v;
        else if (key == "area" && in >> v && v >= 0 && v < kStageAreaCount) {
            areas.emplace_back();
            area = &areas.back();
            area->index = v;
        } else if (!area) {
            return Fail(stage, "\"" + line + "\" before the first area");
        } else if (key == "music" && in >> v) area->music = v;
        else if (key == "weather" && in >> v) area->weather = v;
        else if (key == "population" && in >> v) area->population = v;
        else if (key == "floor") {
            std::string symbol;
            in >> symbol;
            const CellKind* k = symbol.size() == 1 ? FindKind(symbol[0]) : nullptr;
            if (!k || k->tile < 0 || k->attributes != 0)
                return Fail(stage, "\"" + line + "\" names no open ground");
            area->floor = k->tile;
        }
        else if (key == "exit") {
            int k = -1, to = -1, entry = -1;
            in >> k >> to >> entry;
            if (k < 0 || k >= kAreaExitCount || to < 0 || to >= kStageAreaCount || entry < 0 ||
                entry >= kAreaEntryCount)
                return Fail(stage, "bad exit line \"" + line + "\"");
            area->exits.push_back({k, {to, entry}});
        } else if (key == "map") inMap = true;
        else return Fail(stage, "cannot read \"" + line + "\"");
    }
    if (areas.empty()) return Fail(stage, "no areas");
    for (const AreaText& a : areas)
        if (!FillArea(stage, a, record)) return false;
    for (const AreaText& a : areas)
        for (const auto& e : a.exits)
            if (record[AreaBase(e.second.first) + kAreaWordWidth] == 0)
                return Fail(stage, "an exit of area " + std::to_string(a.index) +
                                       " leads to an area not in use");
    return true;
}

}  // namespace

bool BuildBuiltInStages(std::vector<std::vector<int32_t>>* records) {
    records->clear();
    std::istringstream in(kStageLayouts);
    std::string line;
    std::vector<std::string> block;
    int stage = -1;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        if (line.empty() || (line[0] == '#' && stage < 0)) continue;  // a comment between stages
        if (stage < 0) {
            if (std::sscanf(line.c_str(), "stage %d", &stage) != 1 ||
                stage != static_cast<int>(records->size()))
                return Fail(static_cast<int>(records->size()), "expected \"stage " +
                                                               std::to_string(records->size()) + "\"");
            block.clear();
        } else if (line == "endstage") {
            records->emplace_back(kStageRecordWords, 0);
            if (!BuildStage(stage, block, records->back().data())) return false;
            stage = -1;
        } else {
            block.push_back(line);
        }
    }
    if (stage >= 0) return Fail(stage, "no \"endstage\"");
    if (records->size() != static_cast<size_t>(kBuiltInStageCount))
        return Fail(static_cast<int>(records->size()), "five stages expected");
    return true;
}

namespace {

bool RunStages(const std::string& outDir) {
    std::vector<std::vector<int32_t>> records;
    if (!BuildBuiltInStages(&records)) return false;
    for (size_t n = 0; n < records.size(); ++n) {
        const std::string fault = CheckStageRecord(records[n].data());
        if (!fault.empty()) return Fail(static_cast<int>(n), fault);
        // The date the stages were finished is their keystream's seed; a day later if a
        // scrambled word would read as an area's end.
        std::vector<uint8_t> file;
        int day = 1;
        while (!EncodeStageFile(records[n].data(), StageDateSeed(2026, 12, day), &file)) {
            if (++day > 28) return Fail(static_cast<int>(n), "no clean keystream seed");
        }
        char name[40];
        std::snprintf(name, sizeof name, "velm4/velm4%02d.dat", static_cast<int>(n));
        if (!WriteFileAtomic(JoinPath(outDir, name), file)) return false;
    }
    return true;
}

RegisterProducer reg("stages", 50, RunStages);

}  // namespace
}  // namespace databuild
// clang-format on
