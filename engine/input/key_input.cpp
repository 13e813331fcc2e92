// Key inputs: the 20 single-line editors, fed once per pump pass from the character buffer.
#include "engine/input/key_input.h"

#include <cstring>
#include <string>

#include "engine/base/handle.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/input/input.h"
#include "engine/input/text_input_state.h"
#include "engine/screen/screen.h"
#include "platform/win/time.h"

namespace tessra {

using namespace sjis_literals;

int RunImeReset();  // engine/input/ime.cpp

namespace {

KeyInputRecord* FindKeyInput(int handle) {
    if (!HandleFitsKind(handle, kKeyInputHandleKind, kKeyInputSlots)) return nullptr;
    KeyInputRecord& r = GetTextInputState().records[HandleSlot(handle)];
    if (!r.used || (r.check << 16) != HandleCheckBits(handle)) return nullptr;
    return &r;
}

// Width of the character at `at`: 2 for a lead byte with its trail inside the text.
int32_t WidthAt(const KeyInputRecord& r, int32_t at) {
    return at + 1 < r.length && IsInputLeadByte(static_cast<uint8_t>(r.text[at])) ? 2 : 1;
}

// Where the character before `at` starts, found by walking from the text's start: a trail byte
// may have a lead byte's value, so looking back cannot tell.
int32_t PreviousBoundary(const KeyInputRecord& r, int32_t at) {
    int32_t start = 0;
    for (int32_t i = 0; i < at; i += WidthAt(r, i)) start = i;
    return start;
}

void DeleteBytes(KeyInputRecord& r, int32_t at, int32_t width) {
    std::memmove(r.text + at, r.text + at + width, static_cast<size_t>(r.length - at - width + 1));
    r.length -= width;
}

bool DigitAccepted(const KeyInputRecord& r, uint8_t first) {
    return (first >= '0' && first <= '9') || (first == '-' && r.cursor == 0);
}

void InsertChar(KeyInputRecord& r, const uint8_t* ch, int32_t n) {
    if (r.digitsOnly && !DigitAccepted(r, ch[0])) return;
    if (r.singleByteOnly && n == 2) return;
    // No room can be made for a character longer than the whole text may be.
    if (n > r.maximum) return;
    while (r.length + n > r.maximum) {
        const int32_t last = PreviousBoundary(r, r.length);
        const int32_t width = r.length - last;
        const bool cursorAtEnd = r.cursor == r.length;
        r.text[last] = '\0';
        r.length = last;
        if (cursorAtEnd) r.cursor -= width;
    }
    std::memmove(r.text + r.cursor + n, r.text + r.cursor,
                 static_cast<size_t>(r.length - r.cursor + 1));
    std::memcpy(r.text + r.cursor, ch, static_cast<size_t>(n));
    r.cursor += n;
    r.length += n;
}

void EditWith(KeyInputRecord& r, const uint8_t* ch, int32_t n) {
    switch (ch[0]) {
        case 8:  // backspace
            if (r.cursor > 0) {
                const int32_t start = PreviousBoundary(r, r.cursor);
                const int32_t width = r.cursor - start;
                r.cursor = start;
                DeleteBytes(r, start, width);
            }
            break;
        case kCharDelete:
            if (r.cursor < r.length) DeleteBytes(r, r.cursor, WidthAt(r, r.cursor));
            break;
        case kCharLeft:
            if (r.cursor > 0) r.cursor = PreviousBoundary(r, r.cursor);
            break;
        case kCharRight:
            if (r.cursor < r.length) r.cursor += WidthAt(r, r.cursor);
            break;
        case 13:
            r.ended = 1;
            break;
        case 27:
            if (r.escapeAllowed) {
                r.cancelled = 1;
                r.ended = 1;
            }
            break;
        case 9:
        case kCharUp:
        case kCharDown:
            break;
        default:
            // Other control bytes are no text (a 0 would cut the string short of its length).
            if (n == 1 && ch[0] < 0x20) break;
            InsertChar(r, ch, n);
            break;
    }
}

}  // namespace

int UpdateActiveKeyInput() {
    TextInputState& s = GetTextInputState();
    RunImeReset();
    if (s.activeHandle == -1) return 0;
    KeyInputRecord* r = FindKeyInput(s.activeHandle);
    if (r == nullptr) return -1;
    while (!r->ended) {
        uint8_t ch[2];
        const int n = TakeInputChar(ch, 1);
        if (n == 0) break;
        NoteKeystroke();
        EditWith(*r, ch, n);
    }
    return 0;
}

int MakeKeyInputHandle(int maximum, int escapeAllowed, int singleByteOnly, int digitsOnly) {
    TextInputState& s = GetTextInputState();
    if (maximum < 0) return -1;
    int32_t slot = 0;
    while (slot < kKeyInputSlots && s.records[slot].used) ++slot;
    if (slot == kKeyInputSlots) return -1;
    char* text = static_cast<char*>(AllocTaggedZeroed(static_cast<size_t>(maximum) + 1, "", 0));
    if (text == nullptr) return -1;
    KeyInputRecord& r = s.records[slot];
    std::memset(&r, 0, sizeof r);
    r.used = 1;
    r.check = s.checkCounter;
    s.checkCounter = NextHandleCheck(s.checkCounter);
    r.maximum = maximum;
    r.text = text;
    r.escapeAllowed = escapeAllowed ? 1 : 0;
    r.singleByteOnly = singleByteOnly ? 1 : 0;
    r.digitsOnly = digitsOnly ? 1 : 0;
    return MakeEngineHandle(kKeyInputHandleKind, r.check, slot);
}

int SetActiveKeyInput(int handle) {
    TextInputState& s = GetTextInputState();
    if (handle == -1) {
        s.activeHandle = -1;
        return 0;
    }
    KeyInputRecord* r = FindKeyInput(handle);
    if (r == nullptr) return -1;
    r->ended = 0;
    r->cancelled = 0;
    s.activeHandle = handle;
    return 0;
}

int GetActiveKeyInput() {
    return GetTextInputState().activeHandle;
}

int ReadKeyInputStatus(int handle, KeyInputStatus* status) {
    const KeyInputRecord* r = FindKeyInput(handle);
    if (r == nullptr || status == nullptr) return -1;
    *status = KeyInputStatus{r->ended, r->cancelled, r->length, r->cursor, r->maximum};
    return 0;
}

int ReadKeyInputText(int handle, char* buffer, int bufferBytes) {
    const KeyInputRecord* r = FindKeyInput(handle);
    if (r == nullptr || buffer == nullptr || bufferBytes < 1) return -1;
    int32_t n = 0;
    while (n < r->length) {
        const int32_t width = WidthAt(*r, n);
        if (n + width > bufferBytes - 1) break;
        n += width;
    }
    std::memcpy(buffer, r->text, static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

namespace {

// The advance of the first `length` bytes of a text in a font.
int TextWidth(const char* text, int length, int font) {
    if (length <= 0 || text[0] == '\0') return 0;
    const int width = RenderTextWithCache(kTextMeasure, 0, 0, text, 0, nullptr, nullptr, font, 0,
                                          length, nullptr);
    return width > 0 ? width : 0;
}

// The composition over the text at the cursor: on its own dark box, each clause underlined (the
// one the composition cursor stands in brighter), with its own cursor. Its width.
int DrawComposition(int x, int y, int height, int font) {
    const ImeState& ime = GetTextInputState().ime;
    const uint32_t* colors = GetTextInputState().display.colors;
    const char* text = ime.composition;
    const int length = static_cast<int>(std::strlen(text));
    const int width = TextWidth(text, length, font);
    FillOrFrameRectangle(x, y, x + width, y + height, colors[kKeyInputCompositionBackColor], 1);
    DrawStringWithFont(x, y, text, colors[kKeyInputCompositionColor], font,
                       colors[kKeyInputCompositionBackColor], 0);
    // The clause data holds each clause's start and, last, the end of the text.
    int cursorByte = 0;
    for (int c = 0; c < ime.compositionCursor && text[cursorByte] != '\0'; ++c)
        cursorByte +=
            IsInputLeadByte(static_cast<uint8_t>(text[cursorByte])) && text[cursorByte + 1] != '\0'
                ? 2
                : 1;
    const int lineY = y + height - 1;
    for (int i = 0; i + 1 < ime.clauseCount; ++i) {
        const int from = static_cast<int>(ime.clauses[i]);
        const int to = static_cast<int>(ime.clauses[i + 1]);
        if (from < 0 || to > length || from >= to) continue;
        const int left = x + TextWidth(text, from, font);
        const int right = x + TextWidth(text, to, font);
        const bool current = cursorByte >= from && (cursorByte < to || to == length);
        const uint32_t color =
            current ? colors[kKeyInputCurrentClauseColor] : colors[kKeyInputClauseLineColor];
        FillOrFrameRectangle(left + 1, lineY - 1, right - 1, lineY + 1, color, 1);
        if (i > 0)
            FillOrFrameRectangle(left, y, left + 1, lineY + 1, colors[kKeyInputClauseMarkColor], 1);
    }
    const int cursorX = x + TextWidth(text, cursorByte, font);
    FillOrFrameRectangle(cursorX, y, cursorX + 2, y + height,
                         colors[kKeyInputCompositionCursorColor], 1);
    return width;
}

}  // namespace

int DrawKeyInput(int x, int y, int handle, int fontHandle) {
    TextInputState& s = GetTextInputState();
    const KeyInputRecord* r = FindKeyInput(handle);
    if (r == nullptr) return -1;
    int font = fontHandle;
    if (font == -1) {
        RefreshDefaultFont();
        font = QueryDefaultFontHandle();
    }
    int size[2] = {0, 0};
    if (RenderTextWithCache(kTextMeasure, 0, 0, " ", 0, nullptr, nullptr, font, 0, -1, size) < 0)
        return -1;
    const int height = size[1];
    const uint32_t* colors = s.display.colors;
    // The text before the cursor, the composition while the input method composes, the rest.
    const std::string before(r->text, static_cast<size_t>(r->cursor));
    const char* after = r->text + r->cursor;
    const int beforeWidth = TextWidth(r->text, r->cursor, font);
    DrawStringWithFont(x, y, before.c_str(), colors[kKeyInputTextColor], font,
                       colors[kKeyInputTextEdgeColor], 0);
    int cursorX = x + beforeWidth;
    const bool composing = s.ime.enabled && s.ime.composing && s.ime.composition[0] != '\0';
    if (composing) cursorX += DrawComposition(cursorX, y, height, font);
    DrawStringWithFont(cursorX, y, after, colors[kKeyInputTextColor], font,
                       colors[kKeyInputTextEdgeColor], 0);
    // The cursor blinks from the last keystroke on, shown first.
    const uint32_t since = plat::timeGetTime() - s.display.lastKeyTime;
    const uint32_t interval = s.display.blinkInterval > 0 ? s.display.blinkInterval : 500;
    s.display.cursorShown = (since / interval) % 2 == 0 ? 1 : 0;
    if (!composing && s.display.cursorShown && !r->ended)
        FillOrFrameRectangle(cursorX, y, cursorX + 2, y + height, colors[kKeyInputCursorColor], 1);
    return 0;
}

int ReleaseKeyInputHandle(int handle) {
    TextInputState& s = GetTextInputState();
    KeyInputRecord* r = FindKeyInput(handle);
    if (r == nullptr) return -1;
    FreeTagged(r->text);
    std::memset(r, 0, sizeof *r);
    if (handle == s.activeHandle) s.activeHandle = -1;
    for (const KeyInputRecord& other : s.records) {
        if (other.used) return 0;
    }
    SetImeEnabled(0);
    return 0;
}

int ReleaseAllKeyInputHandles() {
    TextInputState& s = GetTextInputState();
    for (int32_t slot = 0; slot < kKeyInputSlots; ++slot) {
        if (s.records[slot].used != 1) continue;
        ReleaseKeyInputHandle(MakeEngineHandle(kKeyInputHandleKind, s.records[slot].check, slot));
    }
    s.activeHandle = -1;
    return 0;
}

int InitCharInput() {
    TextInputState& s = GetTextInputState();
    AppendLog("文字コードバッファの初期化を行います... "_sjis);
    // What an earlier start left owned goes before the state is cleared.
    for (KeyInputRecord& r : s.records) FreeTagged(r.used ? r.text : nullptr);
    FreeTagged(s.ime.candidateList);
    std::memset(&s, 0, sizeof s);
    // clang-format off
    static const int kColors[kKeyInputColors][3] = {
        {255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {255, 255, 255},
        {255, 0, 0}, {255, 255, 20}, {0, 0, 0}, {0, 0, 0},
    };
    // clang-format on
    for (int i = 0; i < kKeyInputColors; ++i)
        s.display.colors[i] = MakeScreenColor(kColors[i][0], kColors[i][1], kColors[i][2]);
    s.activeHandle = -1;
    s.display.lastKeyTime = 0;
    s.display.blinkInterval = 500;
    s.display.cursorShown = 1;
    AppendLog("完了しました\n"_sjis);
    return 0;
}

}  // namespace tessra
