// The layer's own message box: a white panel with the text over a grey band of buttons, right
// aligned, the focused one ringed in blue.
#include "platform/win/message_box_view.h"

#include <algorithm>

#include "platform/win/codepage.h"

namespace plat::detail {
namespace {

constexpr int kFontSize = 16;  // pixels to the em
constexpr int kSideMargin = 24;
constexpr int kTopMargin = 22;
constexpr int kTextGap = 22;  // between the text and the button band
constexpr int kLineGap = 4;
constexpr int kMaxTextWidth = 560;
constexpr int kMinWidth = 280;
// Beside the caption, the room a title bar takes for its buttons and margins.
constexpr int kCaptionRoom = 112;
constexpr int kButtonHeight = 30;
constexpr int kButtonMinWidth = 88;
constexpr int kButtonPadding = 16;
constexpr int kButtonGap = 10;
constexpr int kBandPadding = 12;
// Glyphs may reach a little past their advances; the text area leaves them that room.
constexpr int kInkSlack = 2;

constexpr uint32_t kPanelColor = 0xFFFFFF;
constexpr uint32_t kBandColor = 0xF0F0F0;
constexpr uint32_t kSeparatorColor = 0xDFDFDF;
constexpr uint32_t kTextColor = 0x1A1A1A;
constexpr uint32_t kLabelColor = 0x000000;
constexpr uint32_t kButtonColor = 0xFDFDFD;
constexpr uint32_t kButtonBorderColor = 0xADADAD;
constexpr uint32_t kHoverColor = 0xE5F1FB;
constexpr uint32_t kPressedColor = 0xCCE4F7;
constexpr uint32_t kPressedBorderColor = 0x005499;
constexpr uint32_t kFocusColor = 0x0078D7;

uint32_t Blend(uint32_t under, uint32_t over, int alpha) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((under >> shift) & 0xFF);
        const int b = static_cast<int>((over >> shift) & 0xFF);
        out |= static_cast<uint32_t>((a * (255 - alpha) + b * alpha + 127) / 255) << shift;
    }
    return out;
}

void Fill(BoxImage* image, const BoxRect& r, uint32_t color) {
    const int x0 = std::max(r.x, 0);
    const int x1 = std::min(r.x + r.width, image->width);
    for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, image->height); ++y) {
        for (int x = x0; x < x1; ++x)
            image->pixels[static_cast<size_t>(y) * image->width + x] = color;
    }
}

// Measures a run of characters from the pen at x and, given an image, draws it there clipped
// to `clip`; returns its width. Characters the face lacks advance as a space and are counted.
int Run(GlyphFace& face, const std::u32string& characters, int x, int baseline, uint32_t color,
        BoxImage* image, const BoxRect& clip, int* missing) {
    int pen = x;
    GlyphImage glyph;
    for (char32_t c : characters) {
        if (c == U'\t') c = U' ';
        if (c < U' ') continue;
        if (!face.Render(c, false, &glyph)) {
            if (missing != nullptr) ++*missing;
            if (!face.Render(U' ', false, &glyph)) glyph = GlyphImage{};
            glyph.width = glyph.rows = 0;
        }
        if (image != nullptr) {
            for (int gy = 0; gy < glyph.rows; ++gy) {
                const int y = baseline - glyph.top + gy;
                if (y < clip.y || y >= clip.y + clip.height) continue;
                for (int gx = 0; gx < glyph.width; ++gx) {
                    const int px = pen + glyph.left + gx;
                    const uint8_t a = glyph.coverage[static_cast<size_t>(gy) * glyph.width + gx];
                    if (a == 0 || !clip.Contains(px, y)) continue;
                    uint32_t& p = image->pixels[static_cast<size_t>(y) * image->width + px];
                    p = Blend(p, color, a);
                }
            }
        }
        pen += glyph.advance;
    }
    return pen - x;
}

int Measure(GlyphFace& face, const std::u32string& characters, int* missing) {
    return Run(face, characters, 0, 0, 0, nullptr, BoxRect{}, missing);
}

std::u32string Characters(const std::string& utf8) {
    std::u32string out;
    Utf8ToUtf32(utf8, &out);  // a malformed tail is left off
    return out;
}

// Splits the text into its lines, then each line too wide into lines that fit: after its last
// space when it has one, else between characters.
std::vector<std::u32string> WrapLines(GlyphFace& face, const std::u32string& text) {
    std::vector<std::u32string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(U'\n', start);
        if (end == std::u32string::npos) end = text.size();
        std::u32string line = text.substr(start, end - start);
        line.erase(std::remove(line.begin(), line.end(), U'\r'), line.end());
        std::vector<int> advances;
        for (char32_t c : line) advances.push_back(Measure(face, std::u32string(1, c), nullptr));
        size_t begin = 0;
        size_t space = std::u32string::npos;
        int width = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            if (width + advances[i] > kMaxTextWidth && i > begin) {
                size_t cut = i;
                size_t next = i;
                if (line[i] == U' ') {
                    next = i + 1;
                } else if (space != std::u32string::npos && space > begin) {
                    cut = space;
                    next = space + 1;
                }
                lines.push_back(line.substr(begin, cut - begin));
                begin = next;
                space = std::u32string::npos;
                width = 0;
                for (size_t k = begin; k < i; ++k) width += advances[k];
                if (begin > i) continue;
            }
            if (line[i] == U' ') space = i;
            width += advances[i];
        }
        lines.push_back(line.substr(std::min(begin, line.size())));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::unique_ptr<GlyphFace> OpenMessageBoxFace() {
    FontRequest request;
    request.height = -kFontSize;
    request.weight = FW_NORMAL;
    request.italic = false;
    request.charSet = SHIFTJIS_CHARSET;
    request.pitchAndFamily = DEFAULT_PITCH;
    // The proportional face of the Japanese font the game installs; where that is missing,
    // fontconfig's closest Japanese face.
    request.faceName = "IPAPGothic";
    return OpenGlyphFace(request);
}

BoxLayout LayOutMessageBox(GlyphFace& face, const std::string& text, const std::string& caption,
                           const BoxButtonSet& buttons) {
    BoxLayout layout;
    layout.buttons = buttons;
    const FaceMetrics metrics = face.Metrics();
    const int lineHeight = metrics.ascent + metrics.descent + kLineGap;

    int textWidth = 0;
    for (std::u32string& characters : WrapLines(face, Characters(text))) {
        BoxLine line;
        textWidth = std::max(textWidth, Measure(face, characters, &layout.missingCharacters));
        line.characters = std::move(characters);
        line.x = kSideMargin;
        line.baseline = kTopMargin + static_cast<int>(layout.lines.size()) * lineHeight +
                        kLineGap / 2 + metrics.ascent;
        layout.lines.push_back(std::move(line));
    }
    const int textHeight = static_cast<int>(layout.lines.size()) * lineHeight;

    std::vector<int> buttonWidths;
    int rowWidth = 0;
    for (const BoxButton& button : buttons.buttons) {
        BoxLine label;
        label.characters = Characters(button.label);
        const int labelWidth = Measure(face, label.characters, &layout.missingCharacters);
        buttonWidths.push_back(std::max(kButtonMinWidth, labelWidth + 2 * kButtonPadding));
        rowWidth += buttonWidths.back() + (rowWidth > 0 ? kButtonGap : 0);
        label.x = labelWidth;  // centred below, once the button's place is known
        layout.labels.push_back(std::move(label));
    }

    const int captionWidth = Measure(face, Characters(caption), nullptr);
    layout.width =
        std::max({kMinWidth, textWidth + 2 * kSideMargin, rowWidth + 2 * kBandPadding,
                  std::min(captionWidth + kCaptionRoom, kMaxTextWidth + 2 * kSideMargin)});
    const int bandTop = kTopMargin + textHeight + kTextGap;
    layout.height = bandTop + kButtonHeight + 2 * kBandPadding;
    layout.textArea = BoxRect{kSideMargin - kInkSlack, kTopMargin,
                              std::max(textWidth, 1) + 2 * kInkSlack, textHeight};

    int x = layout.width - kBandPadding - rowWidth;
    const int y = bandTop + kBandPadding;
    for (size_t i = 0; i < buttonWidths.size(); ++i) {
        layout.buttonRects.push_back(BoxRect{x, y, buttonWidths[i], kButtonHeight});
        BoxLine& label = layout.labels[i];
        label.x = x + (buttonWidths[i] - label.x) / 2;
        label.baseline = y + (kButtonHeight + metrics.ascent - metrics.descent) / 2;
        x += buttonWidths[i] + kButtonGap;
    }
    return layout;
}

BoxImage DrawMessageBox(GlyphFace& face, const BoxLayout& layout, const BoxState& state) {
    BoxImage image;
    image.width = layout.width;
    image.height = layout.height;
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, kPanelColor);
    const int bandTop =
        layout.buttonRects.empty() ? layout.height : layout.buttonRects[0].y - kBandPadding;
    Fill(&image, BoxRect{0, bandTop, image.width, image.height - bandTop}, kBandColor);
    Fill(&image, BoxRect{0, bandTop, image.width, 1}, kSeparatorColor);

    for (const BoxLine& line : layout.lines) {
        Run(face, line.characters, line.x, line.baseline, kTextColor, &image, layout.textArea,
            nullptr);
    }

    for (size_t i = 0; i < layout.buttonRects.size(); ++i) {
        const BoxRect& r = layout.buttonRects[i];
        const int index = static_cast<int>(i);
        const bool down = state.pressed == index && state.hover == index;
        const bool over = state.hover == index && (state.pressed < 0 || down);
        uint32_t border = kButtonBorderColor;
        uint32_t fill = kButtonColor;
        if (over) border = kFocusColor, fill = kHoverColor;
        if (down) border = kPressedBorderColor, fill = kPressedColor;
        if (state.focus == index && !down) border = kFocusColor;
        const int ring = state.focus == index ? 2 : 1;
        Fill(&image, r, border);
        Fill(&image, BoxRect{r.x + ring, r.y + ring, r.width - 2 * ring, r.height - 2 * ring},
             fill);
        // Corners cut by a pixel soften the outline.
        for (const auto& [cx, cy] : {std::pair{r.x, r.y}, std::pair{r.x + r.width - 1, r.y},
                                     std::pair{r.x, r.y + r.height - 1},
                                     std::pair{r.x + r.width - 1, r.y + r.height - 1}}) {
            Fill(&image, BoxRect{cx, cy, 1, 1}, kBandColor);
        }
        const BoxRect inside{r.x + ring, r.y + ring, r.width - 2 * ring, r.height - 2 * ring};
        Run(face, layout.labels[i].characters, layout.labels[i].x, layout.labels[i].baseline,
            kLabelColor, &image, inside, nullptr);
    }
    return image;
}

BoxState StepMessageBox(const BoxLayout& layout, BoxState state, const BoxEvent& event) {
    const std::vector<BoxButton>& buttons = layout.buttons.buttons;
    const int count = static_cast<int>(buttons.size());
    if (state.answer != 0) return state;
    auto under = [&] {
        for (int i = 0; i < static_cast<int>(layout.buttonRects.size()); ++i) {
            if (layout.buttonRects[static_cast<size_t>(i)].Contains(event.x, event.y)) return i;
        }
        return -1;
    };
    switch (event.input) {
        case BoxInput::kPress:
            if (state.focus >= 0 && state.focus < count) state.answer = buttons[state.focus].id;
            break;
        case BoxInput::kEscape:
        case BoxInput::kClose:
            state.answer = layout.buttons.escapeAnswer;
            break;
        case BoxInput::kNext:
            if (count > 0) state.focus = (state.focus + 1) % count;
            break;
        case BoxInput::kPrevious:
            if (count > 0) state.focus = (state.focus + count - 1) % count;
            break;
        case BoxInput::kPointerMove:
            state.hover = under();
            break;
        case BoxInput::kPointerDown:
            state.hover = state.pressed = under();
            if (state.pressed >= 0) state.focus = state.pressed;
            break;
        case BoxInput::kPointerUp:
            state.hover = under();
            if (state.pressed >= 0 && state.pressed == state.hover) {
                state.answer = buttons[static_cast<size_t>(state.pressed)].id;
            }
            state.pressed = -1;
            break;
    }
    return state;
}

}  // namespace plat::detail
