// Our archive format and the archive set of the file-access table.
//
// One archive stands for one directory and lies beside it as "<directory>.<extension>"
// ("TQA" unless set). It holds a tree of upper-cased names, optionally LZ-compressed files
// (version 2 on), and every byte is XORed with a 12-byte key by its file position.
// All numbers are little-endian. Layout of the unscrambled bytes:
//   header (24 bytes at 0): "TQ", u16 version 0..3, u32 header block size, u32 data area
//     offset, u32 header block offset, u32 file table offset and u32 directory table offset
//     (both inside the block). The name table starts the block.
//   name record: u16 units, u16 byte sum, units*4 bytes of name, zero-padded (at least one 0).
//   file entry (40 bytes, 44 from version 2): u32 name offset, u32 attributes (0x10 directory),
//     3 x u64 times, u32 data offset (a directory: its directory record), u32 size,
//     [u32 stored compressed size or 0xFFFFFFFF].
//   directory record (16 bytes): u32 own entry, u32 parent record (0xFFFFFFFF at the root),
//     u32 entry count, u32 first entry (file table offset). The root is the first record.
//   compressed data: u32 decoded size, u32 encoded size (head included), u8 escape, tokens.
//
// Archive handles are 0xF0000000 | slot as 32-bit values (negative), 0 on failure. The set's
// Read answers in bytes, the plain set's in items.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base/archive_key.h"
#include "engine/base/path.h"
#include "engine/base/plain_file.h"
#include "engine/base/stream.h"

namespace tessra {

constexpr uint32_t kArchiveHeaderSize = 24;
constexpr uint32_t kArchiveEntrySizeV0 = 40;
constexpr uint32_t kArchiveEntrySizeV2 = 44;
constexpr uint32_t kArchiveDirRecordSize = 16;
constexpr uint32_t kArchiveLzHeadSize = 9;
constexpr uint32_t kArchiveStored = 0xFFFFFFFFu;  // compressed size of a stored file
constexpr uint32_t kArchiveNoParent = 0xFFFFFFFFu;
constexpr uint32_t kArchiveAttrDirectory = 0x10;
constexpr uint16_t kArchiveMaxVersion = 3;
constexpr int kArchiveCacheSlots = 512;
constexpr int kArchiveOpenFiles = 512;
constexpr size_t kArchivePathMax = kFilePathMax;  // cached archive paths, terminator included
constexpr size_t kArchiveExtensionMax = 64;       // extension, terminator included
constexpr size_t kArchiveNameMax = 255;           // longest name component
constexpr uint32_t kArchiveHandleBase = 0xF0000000u;
// The most a compressed file may decode to. The game's files are a few megabytes; a file that
// declares more is refused, with a log line, before anything is allocated for it.
constexpr uint32_t kArchiveMaxDecodedSize = 256u << 20;

struct ArchiveHeader {
    char magic[2];
    uint16_t version;
    uint32_t headerBlockSize;
    uint32_t dataOffset;
    uint32_t headerBlockOffset;
    uint32_t fileTableOffset;
    uint32_t dirTableOffset;
};

struct ArchiveSearchName {
    uint16_t units;
    uint16_t check;
    uint8_t name[kArchiveNameMax + 5];  // zero-padded to units * 4
};

// One open archive. Tables are addressed by offsets into the header block, all checked when
// the archive was opened.
struct ArchiveHandle {
    ArchiveHeader header;
    StreamHandle file;             // PlainFileRecord of the archive file; 0 when closed
    uint8_t* block;                // header block (owned)
    uint32_t fileTable, dirTable;  // offsets inside the block; the name table is at 0
    uint32_t currentDir;           // directory record offset (from the directory table)
    uint8_t key[kArchiveKeyLength];
};

// ---- settings ----
int SetArchiveExtensionBody(const char* text);  // null, empty or too long: back to "TQA"
int SetArchiveKeyBody(const char* text);        // null clears; otherwise the first 12 characters
int SetArchiveExtensionUnlocked(const char* text);
int SetArchiveKeyUnlocked(const char* text);
int InitArchiveFileState();  // clears cache, open files, extension, key, last archive
void CloseUnusedArchives();  // closes cached archives that no open file uses
void CloseUnusedArchivesAtExit();

// ---- the archive set of the file-access table ----
StreamHandle OpenArchFile(const char* name, int asyncFlag, int readFlag);
int CloseArchFile(StreamHandle handle);
int64_t TellArchFile(StreamHandle handle);
int SeekArchFile(StreamHandle handle, int32_t offset, int origin);
int64_t ReadArchFile(void* buffer, size_t itemSize, size_t itemCount, StreamHandle handle);
int TestArchFileEof(StreamHandle handle);
int SetArchCurrentDir(const char* path);
int GetArchCurrentDir(char* buffer);

// ---- format operations (shared with the packer) ----
// No key text (or an empty one): the fill byte twelve times; then the per-position transform.
void MakeArchiveKey(const char* keyText, uint8_t key[kArchiveKeyLength]);
void XorArchiveBytes(size_t length, uint8_t* buffer, uint64_t filePosition,
                     const uint8_t key[kArchiveKeyLength]);
// One component of text (up to '\' or the end), upper-cased; its length, or -1 when longer
// than kArchiveNameMax.
int MakeArchiveSearchName(const char* text, ArchiveSearchName* out);
// Decodes a compressed file of sourceSize bytes (head included) into exactly destinationSize
// bytes. Returns the decoded size, or -1 when the head disagrees with the sizes or the
// tokens are bad (truncated, distance before the start, distance code 3, overrun, underrun).
// With a null destination only the head is checked and its decoded size returned.
int64_t DecodeArchiveLz(const uint8_t* source, uint32_t sourceSize, uint8_t* destination,
                        uint32_t destinationSize);
// The decoder's match copy: length bytes at buffer[at...] from distance bytes back, forward,
// so that a distance shorter than the length repeats. The caller has checked
// 1 <= distance <= at and at + length <= size (size: the buffer's length).
void CopyArchiveMatch(uint8_t* buffer, uint32_t at, uint32_t distance, uint32_t length,
                      uint32_t size);

// ---- inner operations ----
int OpenArchive(ArchiveHandle* archive, const char* path, const char* keyText);
int CloseArchive(ArchiveHandle* archive);
int FindArchiveDirectory(ArchiveHandle* archive, const ArchiveSearchName* name);
int ChangeArchiveDirectory(ArchiveHandle* archive, const char* path, int restore,
                           ArchiveSearchName* outName);
// The file entry's offset in the file table, or -1.
int64_t FindArchiveFile(ArchiveHandle* archive, const char* path);
int ConvertArchiveFullPath(const char* path, char* out, size_t outSize = kFilePathMax);
int OpenArchiveCached(int slotHint, const char* archivePath);

}  // namespace tessra
