// The character buffer: typed characters, editing-key codes and the input method's results as
// Shift-JIS bytes in one ring, read by the active key input.
#include <cstring>

#include "engine/base/core_services.h"
#include "engine/font/font_table.h"
#include "engine/input/input.h"
#include "engine/input/text_input_state.h"
#include "platform/win/messages.h"
#include "platform/win/time.h"

namespace tessra {

// clang-format off
const ControlKeyChar kControlKeyTable[] = {
    {plat::VK_DELETE, kCharDelete},
    {plat::VK_LEFT, kCharLeft},
    {plat::VK_RIGHT, kCharRight},
    {plat::VK_UP, kCharUp},
    {plat::VK_DOWN, kCharDown},
    {0, 0},
};
// clang-format on

namespace {

TextInputState g_textInput;

int32_t Forward(int32_t index) {
    return index + 1 >= kCharBufferSize ? 0 : index + 1;
}

int32_t Back(int32_t index) {
    return index == 0 ? kCharBufferSize - 1 : index - 1;
}

bool BufferEmpty(const CharInputBuffer& b) {
    return b.read == b.write;
}

}  // namespace

TextInputState& GetTextInputState() {
    return g_textInput;
}

int IsInputLeadByte(uint8_t byte) {
    return IsDoubleByteLead(&byte, Core().engineCharsetIndex());
}

int IsControlCharCode(uint8_t code) {
    for (const ControlKeyChar* e = kControlKeyTable; e->key != 0; ++e) {
        if (e->ch == code) return 1;
    }
    return 0;
}

int CharBufferRoom() {
    const CharInputBuffer& b = g_textInput.buffer;
    const int32_t held = (b.write - b.read + kCharBufferSize) % kCharBufferSize;
    return kCharBufferSize - 1 - held;
}

int PutInputChar(uint8_t ch) {
    CharInputBuffer& b = g_textInput.buffer;
    const int32_t trail = b.trail;
    b.trail = 0;
    if (trail == 2) return -1;  // the trail of a refused lead byte
    if (trail == 0 && !IsControlCharCode(ch) && IsInputLeadByte(ch)) {
        // A lead byte goes in only with room for its trail, so that it never pairs with
        // whatever byte comes next.
        if (CharBufferRoom() < 2) {
            b.trail = 2;
            return -1;
        }
        b.trail = 1;
    }
    if (CharBufferRoom() < 1) return -1;
    b.bytes[b.write] = ch;
    b.write = Forward(b.write);
    return 0;
}

int TakeInputChar(uint8_t out[2], int take) {
    CharInputBuffer& b = g_textInput.buffer;
    out[0] = out[1] = 0;
    if (BufferEmpty(b)) return 0;
    out[0] = b.bytes[b.read];
    b.read = Forward(b.read);
    int size = 1;
    if (!IsControlCharCode(out[0]) && IsInputLeadByte(out[0])) {
        if (BufferEmpty(b)) {
            // The trail has not come yet: the lead byte waits for it.
            b.read = Back(b.read);
            out[0] = 0;
            return 0;
        }
        out[1] = b.bytes[b.read];
        size = 2;
        if (take) b.read = Forward(b.read);
    }
    if (!take) b.read = Back(b.read);
    return size;
}

int CountCharsInBytes(const char* text, int n) {
    if (text == nullptr || n < 1) return 0;
    int count = 0;
    for (int i = 0; i < n && text[i] != '\0'; ++count) {
        i += IsInputLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < n && text[i + 1] != '\0' ? 2
                                                                                                : 1;
    }
    return count;
}

void NoteKeystroke() {
    g_textInput.display.lastKeyTime = plat::timeGetTime();
    g_textInput.display.cursorShown = 1;
}

}  // namespace tessra
