// The stage record's layout and its file form, shared by the game's stage loader and saver and
// by the data builder that makes the built-in stages.
//
// A stage is 49568 signed 32-bit words: a 32-word stage header and twelve areas of 4128 words
// (a 32-word area header, then up to 4096 cells row by row). In a file the stage header is
// plain; each area stores its first width*height + 32 words, each XORed with one key word of a
// keystream seeded by header word 30, followed by a plain terminator word. One keystream runs
// through all twelve areas. All words are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

inline constexpr int kStageHeaderWords = 32;
inline constexpr int kStageAreaCount = 12;
inline constexpr int kAreaWords = 4128;
inline constexpr int kAreaHeaderWords = 32;
inline constexpr int kAreaCellWords = 4096;
inline constexpr int kStageRecordWords = kStageHeaderWords + kStageAreaCount * kAreaWords;
inline constexpr uint32_t kStageMagic = 0xda070909u;
inline constexpr uint32_t kStageMapTag = 0x50414d5fu;  // the bytes "_MAP"
inline constexpr int32_t kStageVersion = 100;
inline constexpr uint32_t kStageAreaTerminator = 0xfedcba98u;
// The old unscrambled form is the whole record, and only a file of exactly this size is read so.
inline constexpr size_t kPlainStageFileBytes = static_cast<size_t>(kStageRecordWords) * 4;

// Stage header words.
inline constexpr int kStageWordMagic = 0;
inline constexpr int kStageWordTag = 1;
inline constexpr int kStageWordVersion = 2;
inline constexpr int kStageWordAreaOffsets = 3;  // 3 + n: area n's word offset, 0 when cleared
inline constexpr int kStageWordTitle = 15;       // 15..26: title glyphs, below 1 ends it
inline constexpr int kStageTitleGlyphs = 12;
inline constexpr int kStageWordTimeLimit = 27;   // units of 600 frames
inline constexpr int kStageWordClockStart = 28;  // units of 800 frames
inline constexpr int kStageWordLevel = 29;
inline constexpr int kStageWordSeed = 30;        // in a file: the keystream's date seed
inline constexpr int kStageWordFileLength = 31;  // in a file: its length in bytes

// Area header words.
inline constexpr int kAreaWordWidth = 0;
inline constexpr int kAreaWordHeight = 1;
inline constexpr int kAreaWordWeather = 4;
inline constexpr int kAreaWordPopulation = 6;
inline constexpr int kAreaWordMusic = 7;
inline constexpr int kAreaWordEntries = 8;  // 8..15: (x << 16) | y
inline constexpr int kAreaWordExits = 16;   // 16 + 2k: target area, 17 + 2k: its entry
inline constexpr int kAreaEntryCount = 8;
inline constexpr int kAreaExitCount = 8;

// Cell word fields.
inline constexpr uint32_t kCellHole = 1u << 0;
inline constexpr uint32_t kCellBlockGround = 1u << 1;  // walkers and players on the ground
inline constexpr uint32_t kCellBlockHigh = 1u << 2;    // also flying things and blast lines
inline constexpr uint32_t kCellBlockShot = 1u << 3;
inline constexpr uint32_t kCellOccupied = 1u << 4;   // an object stands here (run time)
inline constexpr uint32_t kCellHoleHeld = 1u << 31;  // a hole something keeps open (run time)
inline constexpr int kCellTileShift = 6;
inline constexpr int kCellObjectShift = 14;
inline constexpr uint32_t kCellSpawn = 1u << 22;
inline constexpr int kCellVariantShift = 24;

// Word offset of area n inside the record; -1 for an area outside 0..11.
constexpr int AreaBase(int n) {
    return (n < 0 || n >= kStageAreaCount) ? -1 : n * kAreaWords + kStageHeaderWords;
}

// An area size the game can hold: width 0 (not in use), or 21..255 by 16..255 with fewer than
// 4096 cells.
bool IsValidAreaSize(int32_t width, int32_t height);

// True when every area of `record` has a valid size.
bool HasValidAreaSizes(const int32_t* record);

// The keystream's seed for a date: (year mod 100) * 10000 + month * 100 + day.
int32_t StageDateSeed(int year, int month, int day);

// The number of words area `area` of `record` stores in a file: width * height + 32, kept
// within the area when its size words are out of range.
int StageAreaStoredWords(const int32_t* record, int area);

// The file form of `record` scrambled from `seed`: header words 30 and 31 of the file hold the
// seed and the length; the record itself is not changed. Returns false (with `out` filled all
// the same) when a scrambled word happens to equal the terminator, which a reader would take
// for the area's end: the caller should choose another seed.
bool EncodeStageFile(const int32_t* record, int32_t seed, std::vector<uint8_t>* out);

enum class StageFileCheck {
    Ok,
    Short,              // the data ends inside the header or an area
    BadArea,            // an area's size cannot be held
    MissingTerminator,  // no terminator right behind an area's stored words
    Trailing,           // bytes follow the last area, or the size is not whole words
};

// Reads a scrambled stage file the way the game loads one: each area by its count (its first
// two words unscrambled and checked, then width * height + 32 words), with the terminator
// expected exactly behind them, so a stored word that happens to equal the terminator is read
// as data. On Ok all kStageRecordWords words of `out` are written (words behind each area's
// stored part are zero); on any other answer `out` may hold a partial read and must be dropped.
StageFileCheck ReadStageFile(const uint8_t* data, size_t size, int32_t* out);

}  // namespace velmora
