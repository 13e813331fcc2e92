#include "engine/base/strings.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace tessra {

void CopyString(char* dest, const char* src) {
    while ((*dest++ = *src++) != '\0') {
    }
}

void AppendString(char* dest, const char* src) {
    while (*dest != '\0') ++dest;
    CopyString(dest, src);
}

namespace {

// Copies src into dest[0..room) and terminates; cuts before a character that does not fit.
int CopyBounded(char* dest, size_t room, const char* src) {
    if (room == 0) return src[0] == '\0' ? 0 : -1;
    size_t out = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    size_t i = 0;
    while (s[i] != '\0') {
        size_t charLen = (IsSjisLeadByte(s[i]) && s[i + 1] != '\0') ? 2 : 1;
        if (out + charLen > room - 1) {
            dest[out] = '\0';
            return -1;
        }
        for (size_t k = 0; k < charLen; ++k) dest[out++] = static_cast<char>(s[i + k]);
        i += charLen;
    }
    dest[out] = '\0';
    return 0;
}

}  // namespace

int CopyStringN(char* dest, size_t destSize, const char* src) {
    return CopyBounded(dest, destSize, src);
}

int AppendStringN(char* dest, size_t destSize, const char* src) {
    size_t used = 0;
    while (used < destSize && dest[used] != '\0') ++used;
    if (used == destSize) return -1;  // not even terminated within its size
    return CopyBounded(dest + used, destSize - used, src);
}

const char* FindStringChar(const char* text, char ch) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    const auto want = static_cast<unsigned char>(ch);
    if (want == 0) return nullptr;
    for (size_t i = 0; s[i] != '\0';) {
        if (IsSjisLeadByte(s[i])) {
            if (s[i + 1] == '\0') return nullptr;
            i += 2;
            continue;
        }
        if (s[i] == want) return text + i;
        ++i;
    }
    return nullptr;
}

char* FindStringChar(char* text, char ch) {
    return const_cast<char*>(FindStringChar(static_cast<const char*>(text), ch));
}

int CompareStrings(const char* a, const char* b) {
    return std::strcmp(a, b) == 0 ? 0 : 1;
}

void UpperCaseString(char* text) {
    auto* s = reinterpret_cast<unsigned char*>(text);
    for (size_t i = 0; s[i] != '\0';) {
        if (IsSjisLeadByte(s[i])) {
            if (s[i + 1] == '\0') return;
            i += 2;
            continue;
        }
        if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<unsigned char>(s[i] - 'a' + 'A');
        ++i;
    }
}

int CompareBytesN(const void* a, const void* b, int32_t count) {
    if (count < 0) return 1;
    return CompareBytes(a, b, static_cast<size_t>(count));
}

int CompareBytes(const void* a, const void* b, size_t count) {
    if (count == 0) return 0;
    return std::memcmp(a, b, count) == 0 ? 0 : 1;
}

void FillBytes(void* dest, int value, size_t count) {
    if (count != 0) std::memset(dest, value, count);
}

void CopyBytes(void* dest, const void* src, size_t count) {
    if (count != 0) std::memcpy(dest, src, count);
}

void MoveBytes(void* dest, const void* src, size_t count) {
    if (count != 0 && dest != src) std::memmove(dest, src, count);
}

void GetSinCos(float angle, float* sine, float* cosine) {
    const long double a = angle;
    *sine = static_cast<float>(sinl(a));
    *cosine = static_cast<float>(cosl(a));
}

int32_t GetAbsInt(int32_t value) {
    // Through unsigned: negating INT32_MIN as an int is undefined.
    if (value >= 0) return value;
    return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

float GetAbsFloat(float value) {
    return std::fabs(value);
}

int32_t TruncFloatToInt(float value) {
    if (!(value > -2147483904.0f && value < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t TruncDoubleToInt(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void TruncRectToInt(const double in[4], int32_t out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = TruncDoubleToInt(in[i]);
}

float GetSqrtFloat(float value) {
    return std::sqrt(value);
}

int32_t ParseInt(const char* text) {
    const char* p = text;
    while (*p != '\0' && *p != '-' && !(*p >= '0' && *p <= '9')) ++p;
    if (*p == '\0') return -1;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

char* FormatIntInRadix(int32_t value, char* dest, int radix) {
    if (radix < 2 || radix > 36) {
        dest[0] = '\0';
        return dest;
    }
    char* out = dest;
    // The magnitude in unsigned, so that INT32_MIN has one.
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    char digits[33];
    int n = 0;
    do {
        const uint32_t d = magnitude % static_cast<uint32_t>(radix);
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + (d - 10));
        magnitude /= static_cast<uint32_t>(radix);
    } while (magnitude != 0);
    while (n > 0) *out++ = digits[--n];
    *out = '\0';
    return dest;
}

int InitLinkedList(ListNode* head, ListNode* tail) {
    head->data = -1;
    head->owner = nullptr;
    head->prev = nullptr;
    head->next = tail;
    tail->data = -1;
    tail->owner = nullptr;
    tail->prev = head;
    tail->next = nullptr;
    return 0;
}

int AppendListNode(ListNode* after, ListNode* newNode, int32_t data, void* owner) {
    newNode->data = data;
    newNode->owner = owner;
    newNode->prev = after;
    newNode->next = after->next;
    if (after->next != nullptr) after->next->prev = newNode;
    after->next = newNode;
    return 0;
}

int UnlinkListNode(ListNode* node) {
    ListNode* prev = node->prev;
    ListNode* next = node->next;
    // A sentinel, or a node its neighbours no longer point at (unlinked already): relinking
    // those neighbours again would cut out whatever now stands between them.
    if (prev == nullptr || next == nullptr) return 0;
    if (prev->next != node || next->prev != node) return 0;
    prev->next = next;
    next->prev = prev;
    return 0;
}

}  // namespace tessra
