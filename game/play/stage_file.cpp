#include "game/play/stage_file.h"

#include "game/core/game_vars.h"

namespace velmora {
namespace {

uint32_t ReadWord(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void AppendWord(std::vector<uint8_t>* out, uint32_t w) {
    out->push_back(static_cast<uint8_t>(w));
    out->push_back(static_cast<uint8_t>(w >> 8));
    out->push_back(static_cast<uint8_t>(w >> 16));
    out->push_back(static_cast<uint8_t>(w >> 24));
}

// One key word from two generator steps: the first's low 15 bits over the second's 16.
uint32_t NextKeyWord() {
    const uint32_t first = static_cast<uint32_t>(NextLcg());
    const uint32_t second = static_cast<uint32_t>(NextLcg());
    return ((first & 0x7fffu) << 16) | second;
}

}  // namespace

int32_t StageDateSeed(int year, int month, int day) {
    return (year % 100) * 10000 + month * 100 + day;
}

bool IsValidAreaSize(int32_t width, int32_t height) {
    if (width == 0) return true;
    if (width < 21 || width > 255 || height < 16 || height > 255) return false;
    return width * height < kAreaCellWords;
}

bool HasValidAreaSizes(const int32_t* record) {
    for (int a = 0; a < kStageAreaCount; ++a) {
        const int base = AreaBase(a);
        if (!IsValidAreaSize(record[base + kAreaWordWidth], record[base + kAreaWordHeight]))
            return false;
    }
    return true;
}

int StageAreaStoredWords(const int32_t* record, int area) {
    const int base = AreaBase(area);
    const int64_t w = record[base + kAreaWordWidth];
    const int64_t h = record[base + kAreaWordHeight];
    int64_t cells = (w > 0 && h > 0) ? w * h : 0;
    if (cells > kAreaCellWords) cells = kAreaCellWords;
    return static_cast<int>(cells) + kAreaHeaderWords;
}

bool EncodeStageFile(const int32_t* record, int32_t seed, std::vector<uint8_t>* out) {
    out->clear();
    for (int i = 0; i < kStageHeaderWords; ++i) AppendWord(out, static_cast<uint32_t>(record[i]));
    SeedLcg(static_cast<uint32_t>(seed));
    bool clean = true;
    for (int a = 0; a < kStageAreaCount; ++a) {
        const int base = AreaBase(a);
        const int count = StageAreaStoredWords(record, a);
        for (int i = 0; i < count; ++i) {
            const uint32_t stored = static_cast<uint32_t>(record[base + i]) ^ NextKeyWord();
            if (stored == kStageAreaTerminator) clean = false;
            AppendWord(out, stored);
        }
        AppendWord(out, kStageAreaTerminator);
    }
    const uint32_t length = static_cast<uint32_t>(out->size());
    uint8_t* head = out->data();
    for (int b = 0; b < 4; ++b) {
        head[kStageWordSeed * 4 + b] = static_cast<uint8_t>(static_cast<uint32_t>(seed) >> (8 * b));
        head[kStageWordFileLength * 4 + b] = static_cast<uint8_t>(length >> (8 * b));
    }
    return clean;
}

StageFileCheck ReadStageFile(const uint8_t* data, size_t size, int32_t* out) {
    if (!data || size % 4 != 0) return StageFileCheck::Trailing;
    const size_t words = size / 4;
    if (words < static_cast<size_t>(kStageHeaderWords)) return StageFileCheck::Short;
    for (int i = 0; i < kStageRecordWords; ++i) out[i] = 0;
    for (int i = 0; i < kStageHeaderWords; ++i)
        out[i] = static_cast<int32_t>(ReadWord(data + i * 4));
    SeedLcg(static_cast<uint32_t>(out[kStageWordSeed]));
    size_t pos = kStageHeaderWords;
    for (int a = 0; a < kStageAreaCount; ++a) {
        int32_t* area = out + AreaBase(a);
        if (words - pos < 2) return StageFileCheck::Short;
        area[kAreaWordWidth] = static_cast<int32_t>(ReadWord(data + pos * 4) ^ NextKeyWord());
        area[kAreaWordHeight] = static_cast<int32_t>(ReadWord(data + pos * 4 + 4) ^ NextKeyWord());
        if (!IsValidAreaSize(area[kAreaWordWidth], area[kAreaWordHeight]))
            return StageFileCheck::BadArea;
        const size_t count = static_cast<size_t>(StageAreaStoredWords(out, a));
        if (words - pos < count + 1) return StageFileCheck::Short;
        for (size_t i = 2; i < count; ++i)
            area[i] = static_cast<int32_t>(ReadWord(data + (pos + i) * 4) ^ NextKeyWord());
        if (ReadWord(data + (pos + count) * 4) != kStageAreaTerminator)
            return StageFileCheck::MissingTerminator;
        pos += count + 1;
    }
    return pos == words ? StageFileCheck::Ok : StageFileCheck::Trailing;
}

}  // namespace velmora
