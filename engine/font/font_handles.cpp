// Font handles: making, releasing and querying fonts, the default font and its settings, and
// re-making every font when the font system starts or the display changes.
#include <cstring>
#include <new>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/base/strings.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/font/glyph_texture.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"
#include "engine/screen/surface2d.h"

namespace tessra {

using namespace sjis_literals;

namespace {

inline constexpr int kDefaultFaceBytes = 128;

struct FontDefaults {
    int handle = -1;
    char name[kDefaultFaceBytes] = {};
    int size = 16;
    int thickness = 6;
    int type = 0;
    int charsetIndex = 1;
    int edgeSize = 1;
    int italic = 0;
    int spacing = 0;
};

FontDefaults g_defaults;

bool DirectDrawObjectMissing() {
    return IsDirectDrawUsed() != 0 && GetDirectDrawObject() == nullptr;
}

// Glyphs go into a texture when new graphs are textures and the device has the two 16-bit glyph
// formats (4 bits of alpha for anti-aliased fonts, 1 bit for the others).
bool TextureCacheUsable() {
    if (!DrawState.use3D || !DrawState.direct3DReady || GetWindowModeFlag() == 1) return false;
    auto is = [](const ColorFormat* f, int a, int r, int g, int b) {
        return f != nullptr && f->bitDepth == 16 && f->alphaWidth == a && f->redWidth == r &&
               f->greenWidth == g && f->blueWidth == b;
    };
    return is(SelectTextureFormat(1, 0, 0, 0), 4, 4, 4, 4) &&
           is(SelectTextureFormat(0, 1, 0, 0), 1, 5, 5, 5);
}

// Empties a slot whose font could not be finished.
void DropFontRecord(int32_t slot) {
    FontTable& table = GetFontTable();
    FontRecord* record = table.records[slot];
    if (record == nullptr) return;
    if (record->font != nullptr) plat::DeleteObject(record->font);
    if (record->scratchSurface >= 0) DeleteSurface2D(record->scratchSurface);
    if (record->cacheGraph >= 0) ReleaseGraph(record->cacheGraph, 0);
    if (record->edgeGraph >= 0) ReleaseGraph(record->edgeGraph, 0);
    delete record;
    table.Vacate(slot);
}

// The settings a font is made again with.
struct FontSettings {
    char name[kFontNameBytes];
    int32_t check, type, size, charsetIndex, thickness, edgeSize, italic, spacing;
};

FontSettings SettingsOf(const FontRecord& r) {
    FontSettings s{};
    std::memcpy(s.name, r.name, sizeof s.name);
    s.check = r.check;
    s.type = r.type;
    s.size = r.size;
    s.charsetIndex = r.charsetIndex;
    s.thickness = r.thickness;
    s.edgeSize = r.edgeSize;
    s.italic = r.italic;
    s.spacing = r.charSpacing;
    return s;
}

}  // namespace

int CreateFontToHandle(const char* name, int size, int thickness, int type, int charsetIndex,
                       int edgeSize, int italic, int slot, int check) {
    if (DirectDrawObjectMissing()) return -1;
    if (type == -1) type = 0;
    // Only four kinds of cache exist (plain, edged, anti-aliased, both).
    type &= 3;
    if (edgeSize > 1) type |= 1;
    if (size == -1) size = 16;
    if (thickness == -1) thickness = 6;
    if (edgeSize < 0) edgeSize = 1;
    if (charsetIndex == -1) charsetIndex = DefaultCharsetIndex();
    const int32_t freeSlot = ChooseFontSlot(slot);
    if (freeSlot < 0) return -1;

    FontTable& table = GetFontTable();
    FontRecord* record = new (std::nothrow) FontRecord();
    if (record == nullptr) {
        AppendLog("フォント管理用メモリ領域の確保に失敗しました\n"_sjis);
        return -1;
    }
    table.Occupy(freeSlot, record);
    // No anti-aliasing on palette screens.
    if (GetScreenBitDepth() == 8) type &= ~2;
    record->edgeSize = edgeSize;
    record->type = type;
    record->size = size;
    record->thickness = thickness;
    record->italic = italic;
    record->charSpacing = 0;
    record->charsetIndex = charsetIndex;
    if (check >= 0) {
        record->check = check & (kHandleCheckCount - 1);
    } else {
        record->check = table.checkCounter;
        table.checkCounter = NextHandleCheck(table.checkCounter);
    }
    const int handle = MakeEngineHandle(kFontHandleKind, record->check, freeSlot);
    record->useTexture = TextureCacheUsable() ? 1 : 0;

    StoreFontName(record, name);
    record->font = OpenGdiFont(record->name, size, thickness, italic, charsetIndex);
    if (record->font == nullptr || !MeasureGdiFont(record)) {
        DropFontRecord(freeSlot);
        return -1;
    }

    if (record->useTexture) {
        const TextureCacheLayout layout = LayOutTextureCache(record->cellWidth);
        record->cacheWidth = layout.width;
        record->cacheHeight = layout.height;
        record->cellsPerColumn = layout.cellsPerColumn;
        record->cacheGraphLost = 1;
        bool made = false;
        try {
            InitTextureGlyphCache(&record->cache, type, record->cellWidth, layout.capacity);
            made = CreateFontCacheSurface(handle) == 0;
        } catch (const std::bad_alloc&) {
        }
        if (made) {
            const bool antiAliased = (type & 2) != 0;
            record->textureFormat =
                *SelectTextureFormat(antiAliased ? 1 : 0, antiAliased ? 0 : 1, 0, 0);
            const int edge = (type & 1) ? edgeSize : 0;
            record->stagingWidth = record->cache.cellWidth * ((type & 1) ? 2 : 1);
            record->stagingHeight = record->cache.cellWidth + 2 * edge;
            try {
                record->staging.assign(
                    static_cast<size_t>(record->stagingWidth) * record->stagingHeight, 0);
            } catch (const std::bad_alloc&) {
                AppendLog("文字キャッシュ処理用メモリの確保に失敗しました\n"_sjis);
                DropFontRecord(freeSlot);
                return -1;
            }
        } else {
            AppendLog("テクスチャ文字キャッシュの作成に失敗しました\n"_sjis);
            record->useTexture = 0;
        }
    }
    if (!record->useTexture) {
        try {
            InitMemoryGlyphCache(&record->cache, type, record->cellWidth);
        } catch (const std::bad_alloc&) {
            AppendLog(
                "フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle"_sjis);
            DropFontRecord(freeSlot);
            return -1;
        }
        record->cacheWidth = record->cache.cellWidth;
        record->cacheHeight = record->cache.capacity * record->cache.cellWidth;
        record->cellsPerColumn = record->cache.capacity;
        record->scratchLost = 1;
        if (CreateFontCacheSurface(handle) != 0) {
            AppendLog("フォント用描画スクリーンの作成に失敗しました\n"_sjis);
            DropFontRecord(freeSlot);
            return -1;
        }
    }
    ClearFontGlyphCache(handle);
    record->lostFlag = nullptr;
    return handle;
}

int ReleaseFontHandle(int fontHandle) {
    FontRecord* record = GetFontRecord(fontHandle);
    if (record == nullptr) return -1;
    int32_t* owner = record->lostFlag;
    DropFontRecord(HandleSlot(fontHandle));
    if (owner != nullptr) *owner = 1;
    return 0;
}

int ClearFontGlyphCache(int fontHandle) {
    FontRecord* record = GetFontRecord(fontHandle);
    if (record == nullptr) return -1;
    ClearGlyphCache(&record->cache);
    return 0;
}

int SetFontLostFlagPointer(int fontHandle, int32_t* lostFlag) {
    FontRecord* record = GetFontRecord(fontHandle);
    if (record == nullptr) return -1;
    record->lostFlag = lostFlag;
    if (lostFlag != nullptr) *lostFlag = 0;
    return 0;
}

int SetFontCharSpacing(int spacing, int fontHandle) {
    FontRecord* record = GetFontRecord(fontHandle);
    if (record == nullptr) return -1;
    record->charSpacing = spacing;
    return 0;
}

int GetFontHandleField(int fontHandle) {
    const FontRecord* record = GetFontRecord(fontHandle);
    return record != nullptr ? record->size : -1;
}

int GetFontHandleInfo(char* name, int* size, int* thickness, int fontHandle) {
    const FontRecord* record = GetFontRecord(fontHandle);
    if (record == nullptr) return -1;
    if (name != nullptr) std::memcpy(name, record->name, sizeof record->name);
    if (size != nullptr) *size = record->size;
    if (thickness != nullptr) *thickness = record->thickness;
    return 0;
}

int QueryDefaultFontHandle() {
    return g_defaults.handle;
}

void ResetFontDefaults() {
    const int handle = g_defaults.handle;
    g_defaults = FontDefaults{};
    g_defaults.handle = handle;
}

int RefreshDefaultFont() {
    FontDefaults& d = g_defaults;
    const FontRecord* r = GetFontRecord(d.handle);
    if (r != nullptr && CompareStrings(r->name, d.name) == 0 && r->type == d.type &&
        r->size == d.size && r->thickness == d.thickness && r->charsetIndex == d.charsetIndex &&
        r->edgeSize == d.edgeSize && r->italic == d.italic) {
        return 0;
    }
    ReleaseFontHandle(d.handle);
    d.handle = CreateFontToHandle(d.name, d.size, d.thickness, d.type, d.charsetIndex,
                                  (d.type & 1) ? d.edgeSize : -1, d.italic, -1, -1);
    SetFontCharSpacing(d.spacing, d.handle);
    return 0;
}

int StoreDefaultFontSize(int size) {
    g_defaults.size = size == -1 ? 16 : size;
    RefreshDefaultFont();
    return 0;
}

int StoreDefaultFontThickness(int thickness) {
    g_defaults.thickness = thickness == -1 ? 6 : thickness;
    RefreshDefaultFont();
    return 0;
}

int StoreDefaultFontType(int type) {
    g_defaults.type = type == -1 ? 0 : type;
    RefreshDefaultFont();
    return 0;
}

int StoreDefaultFontFace(const char* faceName, int charSet) {
    const size_t length = faceName != nullptr ? strnlen(faceName, kDefaultFaceBytes - 1) : 0;
    std::memcpy(g_defaults.name, faceName != nullptr ? faceName : "", length);
    g_defaults.name[length] = '\0';
    g_defaults.charsetIndex = charSet == -1 ? DefaultCharsetIndex() : charSet;
    RefreshDefaultFont();
    return 0;
}

int StoreDefaultFontSizeAndThickness(const char*, int size, int thickness) {
    if (DirectDrawObjectMissing()) return -1;
    g_defaults.size = size == -1 ? 16 : size;
    g_defaults.thickness = thickness == -1 ? 6 : thickness;
    RefreshDefaultFont();
    return 0;
}

int DrawStringWithDefaultFont(int x, int y, const char* text, uint32_t color, uint32_t edgeColor) {
    RefreshDefaultFont();
    return DrawStringWithFont(x, y, text, color, g_defaults.handle, edgeColor, 0);
}

int InitFontSystem() {
    if (DirectDrawObjectMissing()) return -1;
    AppendLog("フォントの初期化を行います\n"_sjis);
    IncreaseLogIndent();
    const FontRecord* old = GetFontRecord(g_defaults.handle);
    const bool remembered = old != nullptr;
    FontSettings kept{};
    if (remembered) kept = SettingsOf(*old);
    FontTable& table = GetFontTable();
    for (int32_t slot = 0; slot < kFontSlots; ++slot) {
        FontRecord* r = table.records[slot];
        if (r != nullptr) ReleaseFontHandle(MakeEngineHandle(kFontHandleKind, r->check, slot));
    }
    g_defaults.handle =
        remembered ? CreateFontToHandle(kept.name, kept.size, kept.thickness, kept.type,
                                        kept.charsetIndex, kept.edgeSize, kept.italic, -1, -1)
                   : CreateFontToHandle("", 16, 6, -1, -1, -1, 0, -1, -1);
    DecreaseLogIndent();
    AppendLog("フォントの初期化は正常に終了しました\n"_sjis);
    return 0;
}

int RecreateAllFonts() {
    FontTable& table = GetFontTable();
    for (int32_t slot = 0; slot < kFontSlots; ++slot) {
        const FontRecord* r = table.records[slot];
        if (r == nullptr) continue;
        const FontSettings s = SettingsOf(*r);
        ReleaseFontHandle(MakeEngineHandle(kFontHandleKind, s.check, slot));
        const int handle = CreateFontToHandle(s.name, s.size, s.thickness, s.type, s.charsetIndex,
                                              s.edgeSize, s.italic, slot, s.check);
        SetFontCharSpacing(s.spacing, handle);
    }
    return 0;
}

int CreateFontCacheSurface(int fontHandle) {
    FontRecord* record = GetFontRecord(fontHandle);
    if (record == nullptr) return -1;
    if (record->scratchLost == 1) {
        record->scratchLost = 0;
        int width = 640, height = 480;
        ReadScreenSize(&width, &height);
        GraphFormatBytes format{};
        format.alpha = (record->type & 2) ? 1 : 0;
        format.colorBits = static_cast<uint8_t>(GetScreenBitDepth());
        const int surface =
            AddSurface2D(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, 0, -1,
                         nullptr, 0, 0, &format);
        if (surface < 0) {
            record->scratchLost = 1;
            return -1;
        }
        record->scratchSurface = surface;
        SetSurface2DUserPointer(surface, &record->scratchLost);
    }
    if (record->useTexture && record->cacheGraphLost == 1) {
        record->cacheGraphLost = 0;
        const bool antiAliased = (record->type & 2) != 0;
        const bool edged = (record->type & 1) != 0;
        // The cache graph is a 16-bit texture whatever new graphs are set to be.
        DrawStateRecord& ds = DrawState;
        const int32_t keptBits = ds.newGraphColorBits, keptAlpha = ds.blankGraphAlpha,
                      keptKey = ds.alphaTestDefault, keptUse3D = ds.use3D,
                      keptDrawValid = ds.drawValidSetting;
        ds.newGraphColorBits = 16;
        ds.blankGraphAlpha = antiAliased ? 1 : 0;
        ds.alphaTestDefault = antiAliased ? 0 : 1;
        ds.drawValidSetting = 0;
        if (GetDirectDrawObject() == nullptr) SetNo3DFlag(0);
        ds.use3D = 1;
        const int graph =
            CreateBlankGraphDefault(record->cacheWidth * (edged ? 2 : 1), record->cacheHeight);
        const int edgeGraph =
            graph > 0 && edged
                ? DeriveGraph(record->cacheWidth, 0, record->cacheWidth, record->cacheHeight, graph)
                : -1;
        ds.newGraphColorBits = keptBits;
        ds.blankGraphAlpha = keptAlpha;
        ds.alphaTestDefault = keptKey;
        ds.use3D = keptUse3D;
        ds.drawValidSetting = keptDrawValid;
        const GraphRecord* made = GetGraphRecord(graph);
        if (made == nullptr || made->format.texture == 0 || (edged && edgeGraph <= 0)) {
            // A cache the device cannot draw from is no cache: let the caller fall back.
            if (edgeGraph > 0) ReleaseGraph(edgeGraph, 0);
            if (graph > 0) ReleaseGraph(graph, 0);
            record->cacheGraph = record->edgeGraph = -1;
            record->cacheGraphLost = 1;
            return -1;
        }
        record->cacheGraph = graph;
        record->edgeGraph = edgeGraph;
        SetGraphLostFlagPointer(graph, &record->cacheGraphLost);
        FillGraphWithColor(graph, 255, 255, 255, 0);
        ClearFontGlyphCache(fontHandle);
    }
    return 0;
}

}  // namespace tessra
