// The art producer: paints the five sprite sheets by the game's own layout, writes them as
// dat/velm2/velm200.png .. velm204.png, and on request a contact sheet of every sprite.
#include "tools/databuild/art.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game/core/sprite_layout.h"
#include "tools/databuild/databuild.h"

namespace databuild {

using velmora::SpriteCut;

const FontGlyph* FindGlyph(int code) {
    for (int i = 0; i < kFontGlyphCount; ++i)
        if (kFontGlyphs[i].code == code) return &kFontGlyphs[i];
    return nullptr;
}

void DrawGlyph(const View& v, int x, int y, const FontGlyph& g, int sx, int sy, uint32_t c) {
    for (int r = 0; r < 6; ++r)
        for (int k = 0; k < 5; ++k)
            if (g.rows[r][k] == '#') v.Fill(x + k * sx, y + r * sy, sx, sy, c);
}

namespace {

int Advance(char ch) {
    return ch == ' ' ? 3 : ch == 'I' ? 2 : 6;
}

}  // namespace

int WordsWidth(const char* text, int sx) {
    int w = 0;
    for (const char* p = text; *p; ++p) w += Advance(*p) * sx;
    return w > 0 ? w - sx : 0;
}

int DrawWords(const View& v, int x, int y, const char* text, int sx, int sy, uint32_t c) {
    const int start = x;
    for (const char* p = text; *p; ++p) {
        if (const FontGlyph* g = FindGlyph(static_cast<unsigned char>(*p))) {
            DrawGlyph(v, x, y, *g, sx, sy, c);
        }
        x += Advance(*p) * sx;
    }
    return x - start;
}

namespace {

// The tiny 3 x 5 font, row by row: digits, then A to Z.
const char* kTinyDigits[10] = {
    "111101101101111", "010110010010111", "111001111100111", "111001111001111", "101101111001001",
    "111100111001111", "111100111101111", "111001001010010", "111101111101111", "111101111001111"};
const char* kTinyLetters[26] = {
    "010101111101101", "110101110101110", "011100100100011", "110101101101110", "111100110100111",
    "111100110100100", "011100101101011", "101101111101101", "111010010010111", "001001001101010",
    "101101110101101", "100100100100111", "101111111101101", "110101101101101", "010101101101010",
    "110101110100100", "010101101110011", "110101110101101", "011100010001110", "111010010010010",
    "101101101101111", "101101101101010", "101101111111101", "101101010101101", "101101010010010",
    "111001010100111"};

}  // namespace

int TinyTextWidth(const char* text) {
    const int n = static_cast<int>(std::strlen(text));
    return n > 0 ? 4 * n - 1 : 0;
}

void DrawTinyText(const View& v, int x, int y, const char* text, uint32_t c) {
    for (const char* p = text; *p; ++p, x += 4) {
        const char* rows = nullptr;
        if (*p >= '0' && *p <= '9') rows = kTinyDigits[*p - '0'];
        if (*p >= 'A' && *p <= 'Z') rows = kTinyLetters[*p - 'A'];
        if (!rows) continue;
        for (int k = 0; k < 15; ++k)
            if (rows[k] == '1') v.Set(x + k % 3, y + k / 3, c);
    }
}

void PaintFontGlyph(int code, const View& v) {
    const FontGlyph* g = FindGlyph(code);
    if (!g) return;
    // Light glyphs with a dark edge: the game tints them by draw brightness.
    DrawGlyph(v, 1, 1, *g, 2, 2, Rgb(255, 255, 255));
    for (int y = 0; y < v.h; ++y)
        for (int x = 0; x < v.w; ++x)
            if (v.Get(x, y) != kKeyGreen && y >= 7) v.Set(x, y, Rgb(214, 222, 238));
    v.Outline(Rgb(24, 20, 40));
}

void BuildSheets(Sheets* out) {
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i)
        out->sheet[i] = Canvas(velmora::kSpriteSheetSize[i].width,
                               velmora::kSpriteSheetSize[i].height, kKeyGreen);
    auto viewOf = [&](const SpriteCut& c) {
        return View{&out->sheet[c.sheet], c.x, c.y, c.w, c.h};
    };
    // Font cells; bytes 34, 38 and 39 are left to the fixed rows that share their cells.
    for (int cell = 0; cell < velmora::kFontCells; ++cell) {
        const SpriteCut c = velmora::FontCell(cell);
        const int code = c.id - 480;
        if (code == 34 || code == 38 || code == 39) continue;
        PaintFontGlyph(code, viewOf(c));
    }
    // Grids: the animated loops first, so the tile frames that share their cells win.
    for (int grid : {velmora::kGridAnimated, velmora::kGridFaces, velmora::kGridPlayers,
                     velmora::kGridCompanion, velmora::kGridTiles}) {
        const int n = velmora::GridCellCount(grid);
        for (int i = 0; i < n; ++i) {
            const SpriteCut c = velmora::GridCell(grid, i);
            if (grid == velmora::kGridAnimated && c.x >= 512 && c.y < 928) continue;
            PaintSprite(c.id, viewOf(c));
        }
    }
    const int32_t(*rows)[6] = velmora::GetSpriteDefinitionTable();
    for (int i = 0; i < velmora::kSpriteDefinitionRows && rows[i][0] >= 0; ++i) {
        const SpriteCut c = velmora::DefinitionCut(rows[i]);
        if (c.id == 0) continue;  // the blank default stays key-coloured
        PaintSprite(c.id, viewOf(c));
    }
}

namespace {

// Every cut, by id, for the contact sheet.
std::vector<SpriteCut> AllCuts() {
    std::vector<SpriteCut> cuts = velmora::AllSpriteCuts();
    std::sort(cuts.begin(), cuts.end(),
              [](const SpriteCut& a, const SpriteCut& b) { return a.id < b.id; });
    return cuts;
}

void TinyNumber(const View& v, int x, int y, int n, uint32_t c) {
    DrawTinyText(v, x, y, std::to_string(n).c_str(), c);
}

bool WriteContactSheet(const Sheets& sheets, const std::string& path) {
    const std::vector<SpriteCut> cuts = AllCuts();
    constexpr int kWidth = 1600;
    // Lay the sprites out in rows, each with its id under it, on a dark checker.
    struct Place {
        int x, y;
    };
    std::vector<Place> places;
    int x = 4, y = 4, rowH = 0;
    for (const SpriteCut& c : cuts) {
        const int w = std::max(c.w, 20) + 6, h = c.h + 10;
        if (x + w > kWidth) {
            x = 4;
            y += rowH;
            rowH = 0;
        }
        places.push_back({x, y});
        x += w;
        rowH = std::max(rowH, h);
    }
    const int height = y + rowH + 4;
    Canvas sheet(kWidth, height, Rgb(40, 40, 52));
    View all{&sheet, 0, 0, kWidth, height};
    for (int j = 0; j < height; j += 8)
        for (int i = (j / 8) % 2 * 8; i < kWidth; i += 16) all.Fill(i, j, 8, 8, Rgb(48, 48, 62));
    for (size_t k = 0; k < cuts.size(); ++k) {
        const SpriteCut& c = cuts[k];
        const Canvas& src = sheets.sheet[c.sheet];
        for (int j = 0; j < c.h; ++j)
            for (int i = 0; i < c.w; ++i) {
                const uint32_t p = src.Get(c.x + i, c.y + j);
                if (p != kKeyGreen) sheet.Set(places[k].x + i, places[k].y + j, p);
            }
        TinyNumber(all, places[k].x, places[k].y + c.h + 2, c.id, Rgb(200, 200, 120));
    }
    std::vector<uint8_t> png;
    if (!EncodePng(sheet, false, &png)) {
        std::fprintf(stderr, "databuild: cannot encode the contact sheet\n");
        return false;
    }
    return WriteFileAtomic(path, png);
}

bool RunArt(const std::string& outDir) {
    static Sheets sheets;
    BuildSheets(&sheets);
    for (int i = 0; i < velmora::kSpriteSheetCount; ++i) {
        std::vector<uint8_t> png;
        char name[32];
        std::snprintf(name, sizeof(name), "velm2/velm2%02d.png", i);
        if (!EncodePng(sheets.sheet[i], false, &png)) {
            std::fprintf(stderr, "databuild: cannot encode %s\n", name);
            return false;
        }
        if (!WriteFileAtomic(JoinPath(outDir, name), png)) return false;
    }
    if (!ContactSheetPath().empty() && !WriteContactSheet(sheets, ContactSheetPath())) return false;
    return true;
}

RegisterProducer registerArt("art", 10, RunArt);

}  // namespace
}  // namespace databuild
