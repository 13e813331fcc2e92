#include "engine/font/font_table.h"

#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "platform/win/codepage.h"
#include "platform/win/system.h"

namespace tessra {

using namespace sjis_literals;

FontTable& GetFontTable() {
    static FontTable table{};
    return table;
}

FontRecord* GetFontRecord(int handle) {
    return GetFontTable().Find(handle, kFontHandleKind);
}

int IsFontHandleValid(int handle) {
    return GetFontRecord(handle) != nullptr ? 1 : 0;
}

int IsDoubleByteLead(const unsigned char* byte, int charsetIndex) {
    if (byte == nullptr) return 0;
    if (charsetIndex == 2) return *byte >= 0x80 ? 1 : 0;
    return plat::IsSjisLeadByte(*byte) ? 1 : 0;
}

uint32_t CharsetOfIndex(int charsetIndex) {
    switch (charsetIndex) {
        case 0:
            return plat::DEFAULT_CHARSET;
        case 2:
            return plat::HANGUL_CHARSET;
        default:
            return plat::SHIFTJIS_CHARSET;
    }
}

int DefaultCharsetIndex() {
    return plat::GetOEMCP() == 949 ? 2 : 1;
}

int32_t ChooseFontSlot(int32_t slot) {
    FontTable& table = GetFontTable();
    if (slot >= 0) {
        if (slot >= kFontSlots || table.records[slot] != nullptr) return -1;
        return slot;
    }
    for (int32_t i = 0; i < kFontSlots; ++i) {
        if (table.records[i] == nullptr) return i;
    }
    AppendLogFormat("作成できるフォントハンドル数 %d の限界を超えました"_sjis, kFontSlots);
    return -1;
}

void StoreFontName(FontRecord* record, const char* name) {
    const size_t length = name != nullptr ? strnlen(name, kFontNameBytes - 1) : 0;
    std::memcpy(record->name, name != nullptr ? name : "", length);
    record->name[length] = '\0';
}

plat::HFONT OpenGdiFont(const char* name, int size, int thickness, int italic, int charsetIndex) {
    auto make = [&](uint32_t charset, int slant, const char* face) {
        return plat::CreateFontA(size, 0, 0, 0, thickness * 100, static_cast<uint32_t>(slant), 0, 0,
                                 charset, plat::OUT_DEFAULT_PRECIS, plat::CLIP_DEFAULT_PRECIS,
                                 plat::NONANTIALIASED_QUALITY, plat::FIXED_PITCH, face);
    };
    plat::HFONT font = nullptr;
    if (name != nullptr && name[0] != '\0') {
        font = make(CharsetOfIndex(charsetIndex), italic, name);
        if (font == nullptr) font = make(plat::DEFAULT_CHARSET, italic, name);
        if (font == nullptr) font = make(plat::SHIFTJIS_CHARSET, italic, name);
        if (font == nullptr) AppendLog("指定のフォントの作成に失敗しました\n"_sjis);
        return font;
    }
    font = make(CharsetOfIndex(charsetIndex), italic, nullptr);
    if (font == nullptr) font = make(plat::DEFAULT_CHARSET, 0, nullptr);
    if (font == nullptr) AppendLog("フォントの作成に失敗しました\n"_sjis);
    return font;
}

bool MeasureGdiFont(FontRecord* record) {
    plat::HDC dc = plat::CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        AppendLog("ＤＣの取得に失敗しました\n"_sjis);
        return false;
    }
    plat::HFONT old = plat::SelectObject(dc, record->font);
    plat::TEXTMETRICA tm{};
    const bool ok = old != nullptr && plat::GetTextMetricsA(dc, &tm) != 0;
    if (old != nullptr) plat::SelectObject(dc, old);
    plat::DeleteDC(dc);
    if (!ok) return false;
    const bool edged = (record->type & 1) != 0;
    record->ascent = tm.tmAscent;
    record->cellWidth = GlyphCellWidth(tm.tmMaxCharWidth, edged, record->edgeSize);
    record->cellHeight = GlyphCellHeight(tm.tmHeight, edged, record->edgeSize);
    return true;
}

}  // namespace tessra
