// The fixed key material of our archives, shared by the reader and the packer, and the number
// the game formats into its key text. Changing any value here makes every existing archive
// unreadable: the data builder must pack again.
#pragma once

#include <cstdint>

namespace tessra {

constexpr int kArchiveKeyLength = 12;

// Every key byte when no key text is set.
constexpr uint8_t kArchiveKeyFillByte = 0xA7;

// Rotations (to the left) of the per-position transformation.
constexpr int kArchiveKeyRotate1And8 = 3;  // positions 1 and 8: rotate
constexpr int kArchiveKeyRotate3And7 = 5;  // positions 3 and 7: rotate, then invert
constexpr int kArchiveKeyRotate10 = 2;     // position 10: rotate, then XOR

// XOR bytes of positions 2, 5, 9, 11 and of position 10 after its rotation.
constexpr uint8_t kArchiveKeyXor2 = 0x5A;
constexpr uint8_t kArchiveKeyXor5 = 0xC3;
constexpr uint8_t kArchiveKeyXor9 = 0x3D;
constexpr uint8_t kArchiveKeyXor11 = 0x96;
constexpr uint8_t kArchiveKeyXor10 = 0x6B;

// The second key: twelve of this byte, used as they are (not transformed).
constexpr uint8_t kArchiveSecondKeyByte = 0x4E;

}  // namespace tessra
