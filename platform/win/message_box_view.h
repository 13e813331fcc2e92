// Private to platform/win: the layer's own message box apart from any window system: its
// buttons, its picture (text and buttons laid out and drawn with a glyph face) and what a key,
// a click or closing it answers. platform/win/x11_message_box.cpp shows it on an X display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/win/types.h"

namespace plat::detail {

// A box's buttons, left to right, for a button set (MB_OK, MB_YESNO...): the first is the
// default, focused when the box opens. Escape and closing the box answer `escapeAnswer`.
struct BoxButton {
    int id;  // IDOK, IDYES...
    const char* label;
};
struct BoxButtonSet {
    std::vector<BoxButton> buttons;
    int escapeAnswer;
};
BoxButtonSet ButtonsOf(UINT buttons);

// The face the box draws with (a proportional Japanese one); null when none can be opened.
std::unique_ptr<GlyphFace> OpenMessageBoxFace();

struct BoxRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool Contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

// One line of text, its characters and its pen's start on the baseline.
struct BoxLine {
    std::u32string characters;
    int x = 0;
    int baseline = 0;
};

// Where everything goes in a box of width x height pixels.
struct BoxLayout {
    int width = 0;
    int height = 0;
    BoxRect textArea;  // every line's ink lies inside
    std::vector<BoxLine> lines;
    BoxButtonSet buttons;
    std::vector<BoxRect> buttonRects;  // one a button, in the set's order
    std::vector<BoxLine> labels;       // one a button
    int missingCharacters = 0;         // characters of the text and labels the face lacks
};

// Lays the text (UTF-8; '\n' starts a line, lines too long for the box wrap) out above the
// buttons, the box wide enough for its longest line, its buttons and the caption (UTF-8, shown
// by the window system in the title bar).
BoxLayout LayOutMessageBox(GlyphFace& face, const std::string& text, const std::string& caption,
                           const BoxButtonSet& buttons);

// What the pointer and the keyboard have done to the box so far.
struct BoxState {
    int focus = 0;     // the button Return and Space press
    int hover = -1;    // the button under the pointer
    int pressed = -1;  // the button the pointer went down on, while held
    int answer = 0;    // the box's answer once given; 0 while it stays open
};

// Pixels 0x00RRGGBB, rows top first.
struct BoxImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

BoxImage DrawMessageBox(GlyphFace& face, const BoxLayout& layout, const BoxState& state);

enum class BoxInput {
    kPress,     // Return or Space: the focused button
    kEscape,    // Escape
    kNext,      // Right, Tab: focus to the next button, round to the first
    kPrevious,  // Left, Shift+Tab
    kPointerMove,
    kPointerDown,  // the left mouse button, at x, y
    kPointerUp,
    kClose,  // the window system's close button
};

struct BoxEvent {
    BoxInput input;
    int x = 0;
    int y = 0;
};

BoxState StepMessageBox(const BoxLayout& layout, BoxState state, const BoxEvent& event);

}  // namespace plat::detail
