// The game's art: every sprite is painted by code from small grids and shapes, into the very
// rectangle the sheet layout gives it.
#pragma once

#include <cstdint>
#include <string>

#include "tools/databuild/canvas.h"

namespace databuild {

struct FontGlyph {
    int code;
    const char* rows[6];  // five columns, '#' set
};
extern const FontGlyph kFontGlyphs[];
extern const int kFontGlyphCount;
const FontGlyph* FindGlyph(int code);

// One glyph at (x, y), each grid dot sx x sy pixels.
void DrawGlyph(const View& v, int x, int y, const FontGlyph& g, int sx, int sy, uint32_t c);
// A line of ASCII text in the glyph grids; returns the width drawn. Spaces advance 3 dots,
// 'I' 2, the rest 6.
int DrawWords(const View& v, int x, int y, const char* text, int sx, int sy, uint32_t c);
int WordsWidth(const char* text, int sx);

// Text in the tiny 3 x 5 font (digits and capitals; a space or any other byte advances
// blank), 4 pixels a character, for labels that have to fit inside small pictures.
void DrawTinyText(const View& v, int x, int y, const char* text, uint32_t c);
int TinyTextWidth(const char* text);

// Paints sprite `id` into its view (the view starts as the key colour).
void PaintSprite(int32_t id, const View& v);
// Paints the sprite-font glyph of byte `code` into its 14 x 14 cell.
void PaintFontGlyph(int code, const View& v);

// The picture of the loading screen, drawn on white (the screen it fades in over).
void PaintLoadingPicture(const View& v);

// Builds the five sheets in memory (the art producer writes them; tests look at them).
struct Sheets {
    Canvas sheet[5];
};
void BuildSheets(Sheets* out);

}  // namespace databuild
