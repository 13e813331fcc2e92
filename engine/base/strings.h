// The engine's own byte, string and number routines. Texts are zero-terminated Shift-JIS:
// a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it form one character and are never
// examined or changed as single characters. A lead byte directly before the terminator ends
// the text there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win/codepage.h"

namespace tessra {

using plat::IsSjisLeadByte;

// Unbounded, for callers whose destination is known to be large enough.
void CopyString(char* dest, const char* src);
void AppendString(char* dest, const char* src);

// Bounded forms for text that comes from files or users: never write more than destSize
// bytes, always terminate (when destSize > 0), never split a double-byte character.
// 0 when the whole text fitted, -1 when it was cut.
int CopyStringN(char* dest, size_t destSize, const char* src);
int AppendStringN(char* dest, size_t destSize, const char* src);

// First single-byte character equal to `ch`, stepping over double-byte characters (so a
// trail byte such as 0x5C is never taken for '\'); null when none.
const char* FindStringChar(const char* text, char ch);
char* FindStringChar(char* text, char ch);

// Equality test, not an ordering: 0 when equal byte for byte, else 1.
int CompareStrings(const char* a, const char* b);
// a-z to A-Z in place; double-byte characters and every other byte stay.
void UpperCaseString(char* text);

// 0 when the first `count` bytes are equal (count 0 gives 0), 1 otherwise or when count < 0.
int CompareBytesN(const void* a, const void* b, int32_t count);
// 0 when equal, else 1.
int CompareBytes(const void* a, const void* b, size_t count);
void FillBytes(void* dest, int value, size_t count);
// The regions must not overlap.
void CopyBytes(void* dest, const void* src, size_t count);
// Overlap-safe.
void MoveBytes(void* dest, const void* src, size_t count);

// Sine and cosine of an angle in radians, computed together in extended precision.
void GetSinCos(float angle, float* sine, float* cosine);
// The most negative int stays itself.
int32_t GetAbsInt(int32_t value);
float GetAbsFloat(float value);
// Truncation toward zero whatever the rounding mode; out of range or NaN gives INT32_MIN
// (0x80000000), as the x87 conversion did.
int32_t TruncFloatToInt(float value);
int32_t TruncDoubleToInt(double value);
void TruncRectToInt(const double in[4], int32_t out[4]);
float GetSqrtFloat(float value);

// The first decimal number in a text: skips to a digit or '-', reads the digits after it
// (wrapping in 32 bits). No digit or '-' at all gives -1; a '-' without digits gives 0.
int32_t ParseInt(const char* text);
// The value in the radix (2 to 36; lower-case letters above 9), with '-' when negative;
// returns dest, which needs 34 bytes for any value. A radix outside 2..36 gives "".
char* FormatIntInRadix(int32_t value, char* dest, int radix);

// An intrusive doubly linked list between a head and a tail sentinel (data -1, owner null).
struct ListNode {
    int32_t data;
    void* owner;
    ListNode* prev;
    ListNode* next;
};

int InitLinkedList(ListNode* head, ListNode* tail);
// Links newNode directly behind `after`, storing data and owner in it; 0.
int AppendListNode(ListNode* after, ListNode* newNode, int32_t data, void* owner);
// Links the node's neighbours to each other; the node keeps its own links, so a walk may go
// on from it. A node that is no longer linked (unlinked before) is left alone; 0.
int UnlinkListNode(ListNode* node);

}  // namespace tessra
