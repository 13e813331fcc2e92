// Fonts over fontconfig (finding a face) and FreeType (metrics and glyphs).
#include "platform/gdi/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/internal.h"
#include "platform/win/system.h"

namespace plat {

struct FontObject {
    FontRequest request;
    std::unique_ptr<GlyphFace> face;
    int selections = 0;
};

namespace {

struct MemoryDc {
    HFONT font = nullptr;  // null: the stock font
};

std::mutex g_fontMutex;
std::set<MemoryDc*> g_memoryDcs;
GlyphFaceFactory g_faceFactory;

// Memory contexts are told apart from window (tag 1) and surface (tag 2) contexts by tag 4.
HDC DcOf(MemoryDc* dc) {
    return reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(dc) | 4u);
}

MemoryDc* MemoryDcOf(HDC dc) {
    const auto value = reinterpret_cast<uintptr_t>(dc);
    if ((value & 7u) != 4u) return nullptr;
    auto* memory = reinterpret_cast<MemoryDc*>(value & ~uintptr_t{7});
    return g_memoryDcs.count(memory) != 0 ? memory : nullptr;
}

// --- The fontconfig/FreeType face ----------------------------------------------------------

FT_Library FreeType() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

// The file of the face that stands in for the request: a named face, or the closest Japanese
// one when it is not installed; an unnamed fixed-pitch font a monospace Japanese face.
std::string FindFaceFile(const FontRequest& request, int* index) {
    if (!FcInit()) return {};
    FcPattern* pattern = FcPatternCreate();
    if (!request.faceName.empty()) {
        FcPatternAddString(pattern, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(request.faceName.c_str()));
    } else if ((request.pitchAndFamily & 3) == FIXED_PITCH) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
        FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    } else {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    }
    const char* lang = request.charSet == HANGUL_CHARSET ? "ko" : "ja";
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    if (match != nullptr) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
            file = reinterpret_cast<const char*>(path);
        }
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

class FreeTypeFace final : public GlyphFace {
public:
    static std::unique_ptr<GlyphFace> Open(const FontRequest& request) {
        int index = 0;
        const std::string file = FindFaceFile(request, &index);
        FT_Library library = FreeType();
        if (file.empty() || library == nullptr) return nullptr;
        FT_Face face = nullptr;
        if (FT_New_Face(library, file.c_str(), index, &face) != 0) return nullptr;
        auto result = std::unique_ptr<FreeTypeFace>(new FreeTypeFace(face));
        if (!result->Size(request)) return nullptr;
        return result;
    }

    ~FreeTypeFace() override { FT_Done_Face(face_); }

    FaceMetrics Metrics() const override { return metrics_; }

    bool Render(char32_t character, bool oneBit, GlyphImage* out) override {
        *out = GlyphImage{};
        const FT_UInt glyph = FT_Get_Char_Index(face_, character);
        if (glyph == 0) return false;
        FT_Set_Transform(face_, italic_ ? &shear_ : nullptr, nullptr);
        const FT_Int32 flags =
            FT_LOAD_NO_BITMAP | (oneBit ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Load_Glyph(face_, glyph, flags) != 0) return false;
        FT_GlyphSlot slot = face_->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE && bolden_ > 0) {
            FT_Outline_Embolden(&slot->outline, bolden_);
        }
        out->advance = static_cast<int>((slot->advance.x + bolden_ + 32) >> 6);
        if (FT_Render_Glyph(slot, oneBit ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
            return false;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        out->width = static_cast<int>(bitmap.width);
        out->rows = static_cast<int>(bitmap.rows);
        out->left = slot->bitmap_left;
        out->top = slot->bitmap_top;
        out->coverage.assign(static_cast<size_t>(out->width) * out->rows, 0);
        for (int y = 0; y < out->rows; ++y) {
            const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            for (int x = 0; x < out->width; ++x) {
                uint8_t v = 0;
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                    v = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
                } else {
                    v = row[x];
                }
                out->coverage[static_cast<size_t>(y) * out->width + x] = v;
            }
        }
        return true;
    }

private:
    explicit FreeTypeFace(FT_Face face) : face_(face) {}

    bool Size(const FontRequest& request) {
        // A cell height is shared out between ascent and descent in the face's own proportion
        // (its Windows metrics where it has them).
        double ascentUnits = face_->ascender;
        double descentUnits = -face_->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
            os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
        const double units = face_->units_per_EM > 0 ? face_->units_per_EM : 1000;
        if (ascentUnits + descentUnits <= 0) return false;
        int height = request.height == 0 ? 16 : request.height;
        double ppem = 0;
        if (height > 0) {
            ppem = height * units / (ascentUnits + descentUnits);
            metrics_.ascent =
                static_cast<int>(std::lround(height * ascentUnits / (ascentUnits + descentUnits)));
            metrics_.descent = height - metrics_.ascent;
        } else {
            ppem = -height;
            metrics_.ascent = static_cast<int>(std::lround(ppem * ascentUnits / units));
            metrics_.descent = static_cast<int>(std::lround(ppem * descentUnits / units));
        }
        if (FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64)), 72, 72) !=
            0) {
            return false;
        }
        const double scale = ppem / units;
        if (request.weight >= 600) bolden_ = std::max<FT_Pos>(64, std::lround(ppem * 64 / 24));
        italic_ = request.italic;
        shear_ = {0x10000, 0x366A, 0, 0x10000};  // about 12 degrees
        const int extra = static_cast<int>((bolden_ + 63) >> 6) +
                          (italic_ ? static_cast<int>(std::ceil(metrics_.ascent * 0.2126)) : 0);
        metrics_.maxAdvance = static_cast<int>(std::ceil(face_->max_advance_width * scale)) + extra;
        int average = 0;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2))) {
            average = static_cast<int>(std::lround(os2->xAvgCharWidth * scale));
        }
        metrics_.averageAdvance = (average > 0 ? average : metrics_.maxAdvance / 2) + extra;
        return true;
    }

    FT_Face face_;
    FaceMetrics metrics_{};
    FT_Pos bolden_ = 0;
    bool italic_ = false;
    FT_Matrix shear_{};
};

// The character a code of the font's code page stands for (949 for Hangul fonts, 932 for
// Shift-JIS ones, the OEM code page for the default charset); 0 when it stands for none.
char32_t CharacterOfCode(UINT code, DWORD charSet) {
    if (code < 0x80) return code;
    std::string bytes;
    if (code > 0xFF) bytes += static_cast<char>((code >> 8) & 0xFF);
    bytes += static_cast<char>(code & 0xFF);
    std::string utf8;
    const unsigned codePage = charSet == HANGUL_CHARSET     ? 949
                              : charSet == SHIFTJIS_CHARSET ? 932
                                                            : GetOEMCP();
    if (!TryCodePageToUtf8(codePage, bytes, &utf8) || utf8.empty()) return 0;
    std::u32string characters;
    if (!Utf8ToUtf32(utf8, &characters) || characters.size() != 1) return 0;
    return characters[0];
}

}  // namespace

std::unique_ptr<GlyphFace> OpenGlyphFace(const FontRequest& request) {
    if (g_faceFactory) return g_faceFactory(request);
    return FreeTypeFace::Open(request);
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD charSet,
                  DWORD, DWORD, DWORD, DWORD pitchAndFamily, const char* faceName) {
    FontRequest request;
    request.height = height;
    request.weight = weight <= 0 ? FW_NORMAL : weight;
    request.italic = italic != 0;
    request.charSet = charSet;
    request.pitchAndFamily = pitchAndFamily;
    // Face names are at most 31 characters, as the font records that carry them.
    if (faceName != nullptr) request.faceName.assign(faceName, strnlen(faceName, 31));
    std::unique_ptr<GlyphFace> face = OpenGlyphFace(request);
    if (!face) return nullptr;
    auto* font = new FontObject{std::move(request), std::move(face), 0};
    return font;
}

BOOL DeleteObject(HFONT font) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    if (font == nullptr || font->selections > 0) return FALSE;
    delete font;
    return TRUE;
}

HDC CreateCompatibleDC(HDC) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    auto* dc = new MemoryDc;
    g_memoryDcs.insert(dc);
    return DcOf(dc);
}

BOOL DeleteDC(HDC dc) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    MemoryDc* memory = MemoryDcOf(dc);
    if (memory == nullptr) return FALSE;
    if (memory->font != nullptr) --memory->font->selections;
    g_memoryDcs.erase(memory);
    delete memory;
    return TRUE;
}

// The stock font is handed out as this marker so that selecting it back works.
static FontObject g_stockFont{};

HFONT SelectObject(HDC dc, HFONT font) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    MemoryDc* memory = MemoryDcOf(dc);
    if (memory == nullptr || font == nullptr) return nullptr;
    HFONT previous = memory->font != nullptr ? memory->font : &g_stockFont;
    if (memory->font != nullptr) --memory->font->selections;
    memory->font = font == &g_stockFont ? nullptr : font;
    if (memory->font != nullptr) ++memory->font->selections;
    return previous;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    MemoryDc* memory = MemoryDcOf(dc);
    if (memory == nullptr || memory->font == nullptr || metrics == nullptr) return FALSE;
    const FontObject& font = *memory->font;
    const FaceMetrics m = font.face->Metrics();
    *metrics = TEXTMETRICA{};
    metrics->tmAscent = m.ascent;
    metrics->tmDescent = m.descent;
    metrics->tmHeight = m.ascent + m.descent;
    metrics->tmAveCharWidth = m.averageAdvance;
    metrics->tmMaxCharWidth = m.maxAdvance;
    metrics->tmWeight = font.request.weight;
    metrics->tmDigitizedAspectX = 96;
    metrics->tmDigitizedAspectY = 96;
    metrics->tmFirstChar = 0x20;
    metrics->tmLastChar = 0xFC;
    metrics->tmDefaultChar = 0x1F;
    metrics->tmBreakChar = 0x20;
    metrics->tmItalic = font.request.italic ? 1 : 0;
    metrics->tmPitchAndFamily = static_cast<BYTE>(font.request.pitchAndFamily);
    metrics->tmCharSet = static_cast<BYTE>(font.request.charSet);
    return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD size,
                       void* buffer, const MAT2* matrix) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    MemoryDc* memory = MemoryDcOf(dc);
    if (memory == nullptr || memory->font == nullptr || metrics == nullptr || matrix == nullptr) {
        return GDI_ERROR;
    }
    if (format != GGO_METRICS && format != GGO_BITMAP && format != GGO_GRAY4_BITMAP) {
        return GDI_ERROR;
    }
    GlyphFace& face = *memory->font->face;
    GlyphImage image;
    const char32_t character = CharacterOfCode(code, memory->font->request.charSet);
    const bool drawn = character != 0 && face.Render(character, format == GGO_BITMAP, &image);
    if (!drawn) {
        // A character the face lacks advances like a space and shows nothing.
        image = GlyphImage{};
        if (character != U' ') face.Render(U' ', format == GGO_BITMAP, &image);
        image.width = image.rows = 0;
        image.coverage.clear();
    }
    // A glyph with no ink (a space drawn as a blank box) is empty too.
    const bool empty =
        image.width <= 0 || image.rows <= 0 ||
        image.coverage.size() < static_cast<size_t>(image.width) * image.rows ||
        std::all_of(image.coverage.begin(), image.coverage.end(), [format](uint8_t v) {
            return format == GGO_BITMAP ? v < 128 : v * 16 + 127 < 255;
        });
    *metrics = GLYPHMETRICS{};
    metrics->gmBlackBoxX = empty ? 1 : static_cast<UINT>(image.width);
    metrics->gmBlackBoxY = empty ? 1 : static_cast<UINT>(image.rows);
    metrics->gmptGlyphOrigin = {empty ? 0 : image.left, empty ? 0 : image.top};
    metrics->gmCellIncX = static_cast<int16_t>(image.advance);
    if (format == GGO_METRICS) return 0;
    if (empty) return 0;
    const DWORD pitch = format == GGO_BITMAP ? (static_cast<DWORD>(image.width) + 31) / 32 * 4
                                             : (static_cast<DWORD>(image.width) + 3) & ~3u;
    const DWORD needed = pitch * static_cast<DWORD>(image.rows);
    if (buffer == nullptr || size == 0) return needed;
    if (size < needed) return GDI_ERROR;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, needed);
    for (int y = 0; y < image.rows; ++y) {
        uint8_t* row = out + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < image.width; ++x) {
            const uint8_t v = image.coverage[static_cast<size_t>(y) * image.width + x];
            if (format == GGO_BITMAP) {
                if (v >= 128) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            } else {
                row[x] = static_cast<uint8_t>((v * 16 + 127) / 255);
            }
        }
    }
    return needed;
}

namespace testing {

void SetGlyphFaceFactory(GlyphFaceFactory factory) {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    g_faceFactory = std::move(factory);
}

}  // namespace testing

namespace detail {

void ResetFontControls() {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    g_faceFactory = nullptr;
}

}  // namespace detail
}  // namespace plat
