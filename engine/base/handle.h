// Engine handles: every kind of object the engine names to its callers (graphs, sounds, movies,
// fonts, surfaces, textures, image data, connections, key inputs, MIDI data) is named by one
// signed 32-bit word of the same shape:
//
//     bit 31      always 0, so -1 stays the universal failure and -2, -4 can name the screens
//     bits 27-30  the kind (the handle masked with 0x78000000)
//     bits 16-26  the check number, 0..2047, taken from the kind's counter when the record is made
//     bits 0-15   the slot in the kind's table
//
// The check number makes a handle of a deleted record stale even after its slot is reused.
#pragma once

#include <cstdint>

namespace tessra {

using EngineHandle = int32_t;

inline constexpr int32_t kHandleKindMask = 0x78000000;
inline constexpr int32_t kHandleCheckMask = 0x07FF0000;
inline constexpr int32_t kHandleSlotMask = 0x0000FFFF;
inline constexpr int32_t kHandleCheckCount = 2048;  // check numbers wrap from 2047 to 0

// Kinds, with the number of slots of each kind's table.
inline constexpr int32_t kGraphHandleKind = 0x08000000;      // 32768
inline constexpr int32_t kSoundHandleKind = 0x10000000;      // 4096
inline constexpr int32_t kMovieHandleKind = 0x18000000;      // 100
inline constexpr int32_t kFontHandleKind = 0x20000000;       // 40
inline constexpr int32_t kSurface2DHandleKind = 0x28000000;  // 32768
inline constexpr int32_t kTextureHandleKind = 0x30000000;    // 65536
inline constexpr int32_t kImageDataHandleKind = 0x38000000;  // 65536
inline constexpr int32_t kReservedHandleKind = 0x40000000;   // 512, never made
inline constexpr int32_t kNetworkHandleKind = 0x48000000;    // 4097
inline constexpr int32_t kKeyInputHandleKind = 0x50000000;   // 20
inline constexpr int32_t kMidiHandleKind = 0x58000000;       // 256

// ((check | kind code) << 16) | slot, the kind code being the kind shifted right by 16.
constexpr EngineHandle MakeEngineHandle(int32_t kind, int32_t check, int32_t slot) {
    return static_cast<EngineHandle>(
        ((static_cast<uint32_t>(check) | (static_cast<uint32_t>(kind) >> 16)) << 16) |
        static_cast<uint32_t>(slot));
}

constexpr int32_t HandleSlot(EngineHandle handle) {
    return handle & kHandleSlotMask;
}

// The check number as it stands in the handle, bits 16-26 (compare with the record's check
// number shifted left by 16).
constexpr int32_t HandleCheckBits(EngineHandle handle) {
    return handle & kHandleCheckMask;
}

// The tests that need no table: not negative, of the kind, and a slot below the kind's count.
// A caller then requires a record in the slot whose check number matches HandleCheckBits.
constexpr bool HandleFitsKind(EngineHandle handle, int32_t kind, int32_t slotCount) {
    return handle >= 0 && (handle & kHandleKindMask) == kind && HandleSlot(handle) < slotCount;
}

// The check counter's next value.
constexpr int32_t NextHandleCheck(int32_t check) {
    return check + 1 >= kHandleCheckCount ? 0 : check + 1;
}

// The table of one kind: record pointers by slot, then the live count, the top slot (one past
// the highest slot in use) and the check counter.
template <typename Record, int32_t SlotCount>
struct HandleTable {
    static constexpr int32_t kSlots = SlotCount;
    Record* records[SlotCount];
    int32_t liveCount;
    int32_t topSlot;
    int32_t checkCounter;

    // The record a handle names, or null when the handle is refused. Records keep their check
    // number in an int32_t field `check`.
    Record* Find(EngineHandle handle, int32_t kind) const {
        if (!HandleFitsKind(handle, kind, SlotCount)) return nullptr;
        Record* record = records[HandleSlot(handle)];
        if (record == nullptr || (record->check << 16) != HandleCheckBits(handle)) return nullptr;
        return record;
    }

    // The slot a new record takes: the top slot while it is below the slot count, else the
    // lowest empty one; -1 when every slot is taken.
    int32_t SlotForNew() const {
        if (topSlot < SlotCount) return topSlot;
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (records[slot] == nullptr) return slot;
        }
        return -1;
    }

    // Stores a new record in its slot and counts it.
    void Occupy(int32_t slot, Record* record) {
        records[slot] = record;
        ++liveCount;
        if (slot >= topSlot) topSlot = slot + 1;
    }

    // Empties a slot; when it was the highest in use, the top slot falls past every empty slot
    // below it.
    void Vacate(int32_t slot) {
        records[slot] = nullptr;
        --liveCount;
        if (slot == topSlot - 1) {
            while (topSlot > 0 && records[topSlot - 1] == nullptr) --topSlot;
        }
    }
};

}  // namespace tessra
