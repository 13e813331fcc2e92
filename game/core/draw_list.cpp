// The draw list, its flush and the immediate drawers.
#include "game/core/draw_list.h"

#include <cmath>
#include <cstdio>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "platform/win/file.h"

namespace velmora {

namespace {

constexpr int kFirstFreeRecord = kDrawListHeads;

struct ListState {
    DrawRecord records[kDrawRecords];
    int count = kFirstFreeRecord;
    int32_t frame = 0;
    int clip[kDrawLayers][4] = {};
    bool clipSet = false;
    int blendMode = -1;  // what the engine was last told; -1 = unknown
    int blendParam = -1;
    void (*messageLine)(int x, int y, int line) = nullptr;
};

ListState g_list;
const DrawRecord kZeroRecord{};

constexpr double kPi = 3.14159265358979323846;

void InitDrawRecord(DrawRecord& r) {
    int32_t* w = r.w;
    w[kDrawKind] = 0;
    w[kDrawSprite] = 0;
    w[kDrawScale] = 1000;
    w[kDrawAngle] = 0;
    w[kDrawColor] = -1;
    w[kDrawX] = w[kDrawY] = w[kDrawX2] = w[kDrawY2] = 0;
    w[kDrawDepth] = kNoDepth;
    w[kDrawValue] = 0;
    w[kDrawMark] = 0;
    w[kDrawNext] = 0;
    w[kDrawPrev] = 0;
    w[kDrawFrame] = g_list.frame;
}

void EnsureClip() {
    if (!g_list.clipSet) ResetClipRects();
}

// Links record r into its list: depth-less records at the front (newest first), the others in
// ascending depth behind them (among equal depths the newest first).
void InsertDrawRecord(int r, int layer) {
    DrawRecord* rec = g_list.records;
    if (layer < 0) layer = 0;
    int list = 2 * layer + ((rec[r].w[kDrawSprite] & kSpriteAdditiveBit) ? 1 : 0);
    if (list > 64) list = 64;
    int pos = list;
    const int32_t depth = rec[r].w[kDrawDepth];
    if (depth != kNoDepth) {
        for (;;) {
            const int next = rec[pos].w[kDrawNext];
            const DrawRecord& n = rec[next];
            if (n.w[kDrawKind] == kDrawListHeadKind || next < kFirstFreeRecord) break;
            if (!(n.w[kDrawDepth] < depth) || n.w[kDrawFrame] != g_list.frame) break;
            pos = next;
        }
    }
    const int after = rec[pos].w[kDrawNext];
    rec[r].w[kDrawPrev] = pos;
    rec[r].w[kDrawNext] = after;
    rec[pos].w[kDrawNext] = r;
    rec[after].w[kDrawPrev] = r;
}

int TakeRecord() {
    if (g_list.count >= kDrawRecords) return -1;
    const int r = g_list.count++;
    InitDrawRecord(g_list.records[r]);
    return r;
}

int32_t* Words(int r) {
    return g_list.records[r].w;
}

int SpriteKind(int32_t sprite, int plain, int mirrored) {
    return (sprite & kSpriteMirrorBit) ? mirrored : plain;
}

uint32_t White() {
    return MakeColor(255, 255, 255);
}

// Draws a number's digits right to left; `negative` puts the minus sign before them.
void PutDigits(int x, int y, uint32_t magnitude, bool negative, uint32_t base, int digits,
               int firstDigit, int pitch, bool zeroPad) {
    int pos = x + (digits - 1) * pitch;
    int leftmost = pos + pitch;
    uint32_t m = magnitude;
    for (int i = 0; i < digits; ++i) {
        if (i > 0 && m == 0 && !zeroPad) break;
        const int d = static_cast<int>(m % base);
        m /= base;
        PutSprite(pos, y, firstDigit + d + (d > 9 ? 7 : 0));
        leftmost = pos;
        pos -= pitch;
    }
    if (negative) PutSprite(leftmost - pitch, y, 525);
}

}  // namespace

const DrawRecord& GetDrawRecord(int index) {
    if (index < 0 || index >= kDrawRecords) return kZeroRecord;
    return g_list.records[index];
}

int GetDrawRecordCount() {
    return g_list.count;
}

int32_t GetDrawFrameId() {
    return g_list.frame;
}

void ResetDrawList() {
    g_list.frame += 1;
    for (int i = 0; i < kDrawListHeads; ++i) {
        DrawRecord& r = g_list.records[i];
        InitDrawRecord(r);
        r.w[kDrawKind] = kDrawListHeadKind;
        r.w[kDrawPrev] = i - 1;
        r.w[kDrawNext] = i == kDrawListHeads - 1 ? i : i + 1;
    }
    g_list.count = kFirstFreeRecord;
    EnsureClip();
}

int QueueSprite(int x, int y, int layer, int32_t sprite) {
    const int r = TakeRecord();
    if (r < 0) return -1;
    int32_t* w = Words(r);
    w[kDrawKind] = SpriteKind(sprite, 1, 2);
    w[kDrawSprite] = sprite;
    w[kDrawX] = x;
    w[kDrawY] = y;
    InsertDrawRecord(r, layer);
    return r;
}

int QueueRotatedSpriteAtDepth(int x, int y, int layer, int32_t sprite, int32_t depth, int32_t scale,
                              int32_t angle) {
    const int r = TakeRecord();
    if (r < 0) return -1;
    int32_t* w = Words(r);
    w[kDrawKind] = SpriteKind(sprite, 3, 4);
    w[kDrawSprite] = sprite;
    w[kDrawX] = x;
    w[kDrawY] = y;
    w[kDrawScale] = scale;
    w[kDrawAngle] = angle;
    w[kDrawDepth] = depth;
    InsertDrawRecord(r, layer);
    return r;
}

int QueueRotatedSprite(int x, int y, int layer, int32_t sprite, int32_t scale, int32_t angle) {
    return QueueRotatedSpriteAtDepth(x, y, layer, sprite, kNoDepth, scale, angle);
}

int QueueSpriteAtDepth(int x, int y, int layer, int32_t sprite, int32_t depth) {
    return QueueRotatedSpriteAtDepth(x, y, layer, sprite, depth, 1000, 0);
}

int QueueRectangle(int x1, int y1, int x2, int y2, int layer, bool filled) {
    const int r = TakeRecord();
    if (r < 0) return -1;
    int32_t* w = Words(r);
    w[kDrawKind] = filled ? 6 : 7;
    w[kDrawSprite] = filled ? 2 : 1;
    w[kDrawX] = x1;
    w[kDrawY] = y1;
    w[kDrawX2] = x2;
    w[kDrawY2] = y2;
    InsertDrawRecord(r, layer);
    return r;
}

int QueueScreenFill(int layer, uint32_t colour) {
    int width, height;
    GetScreenExtent(&width, &height);
    const int r = QueueRectangle(0, 0, width, height, layer, true);
    if (r >= 0) Words(r)[kDrawColor] = static_cast<int32_t>(colour);
    return r;
}

int QueueLine(int x1, int y1, int x2, int y2, int layer) {
    const int r = TakeRecord();
    if (r < 0) return -1;
    int32_t* w = Words(r);
    w[kDrawKind] = 17;
    w[kDrawSprite] = 1;
    w[kDrawX] = x1;
    w[kDrawY] = y1;
    w[kDrawX2] = x2;
    w[kDrawY2] = y2;
    InsertDrawRecord(r, layer);
    return r;
}

namespace {

int QueueText(int x, int y, int layer, int id, int mode) {
    const int r = TakeRecord();
    if (r < 0) return -1;
    int32_t* w = Words(r);
    w[kDrawKind] = 33;
    w[kDrawSprite] = id + 1;
    w[kDrawAngle] = mode;
    w[kDrawX] = x;
    w[kDrawY] = y;
    InsertDrawRecord(r, layer);
    return r;
}

}  // namespace

// Ids are checked at both ends: a negative id would index before the table.
int QueueSpriteText(int x, int y, int layer, int textId) {
    if (textId < 0 || textId >= kTextCount) return -1;
    return QueueText(x, y, layer, textId, 0);
}

int QueueFontText(int x, int y, int layer, int textId) {
    if (textId < 0 || textId >= kTextCount) return -1;
    return QueueText(x, y, layer, textId, 1);
}

int QueueMessageLine(int x, int y, int layer, int line) {
    if (line < 0 || line >= kMessageLineCount) return -1;
    return QueueText(x, y, layer, line, 2);
}

int QueueNumber(int x, int y, int layer, int32_t value, int digits, bool zeroPad) {
    const int r = TakeRecord();
    if (r < 0) return -1;
    Words(r)[kDrawX] = x;
    Words(r)[kDrawY] = y;
    SetRecordNumber(r, value, digits, zeroPad);
    InsertDrawRecord(r, layer);
    return r;
}

void SetRecordSpriteText(int r, int textId) {
    if (r < 0 || r >= kDrawRecords) return;
    int32_t* w = Words(r);
    w[kDrawKind] = 33;
    w[kDrawAngle] = 0;
    w[kDrawSprite] = textId + 1;
}

void SetRecordFontText(int r) {
    if (r < 0 || r >= kDrawRecords) return;
    int32_t* w = Words(r);
    w[kDrawKind] = 33;
    w[kDrawAngle] = 1;
    w[kDrawSprite] += 1;
}

namespace {

void SetNumberWords(int r, int kind, int32_t value, int digits, bool zeroPad) {
    if (r < 0 || r >= kDrawRecords) return;
    int32_t* w = Words(r);
    w[kDrawKind] = kind;
    w[kDrawX2] = digits;
    w[kDrawY2] = zeroPad ? 1 : 0;
    // The magnitude, taken unsigned so that the most negative value keeps all its digits.
    const uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    w[kDrawValue] = static_cast<int32_t>(magnitude);
    w[kDrawSprite] = 1;
    w[kDrawAngle] = 528;
    w[kDrawScale] = 11;
}

}  // namespace

void SetRecordNumber(int r, int32_t value, int digits, bool zeroPad) {
    SetNumberWords(r, 34, value, digits, zeroPad);
}

void SetRecordHexNumber(int r, int32_t value, int digits, bool zeroPad) {
    SetNumberWords(r, 35, value, digits, zeroPad);
}

void SetRecordAngleScale(int r, int32_t angle, int32_t scale) {
    if (r < 0 || r >= kDrawRecords) return;
    Words(r)[kDrawAngle] = angle;
    Words(r)[kDrawScale] = scale;
}

void SetRecordStretch(int r, int x2, int y2) {
    if (r < 0 || r >= kDrawRecords) return;
    Words(r)[kDrawKind] = 6;
    Words(r)[kDrawX2] = x2;
    Words(r)[kDrawY2] = y2;
}

void SetRecordSprite(int r, int32_t sprite) {
    if (r < 0 || r >= kDrawRecords) return;
    Words(r)[kDrawSprite] = sprite;
}

void SetRecordColor(int r, uint32_t colour) {
    if (r < 0 || r >= kDrawRecords) return;
    Words(r)[kDrawColor] = static_cast<int32_t>(colour);
}

void SetRecordRotated(int r, int32_t scale, int32_t angle) {
    if (r < 0 || r >= kDrawRecords) return;
    int32_t* w = Words(r);
    w[kDrawKind] = SpriteKind(w[kDrawSprite], 3, 4);
    w[kDrawScale] = scale;
    w[kDrawAngle] = angle;
}

void SetLayerClipRect(int layer, int left, int top, int right, int bottom) {
    int width, height;
    GetScreenExtent(&width, &height);
    if (!g_list.clipSet) ResetClipRects();
    if (right > width) right = width;
    if (bottom > height) bottom = height;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (left > right) left = right;
    if (top > bottom) top = bottom;
    const int first = (layer >= 1 && layer < kDrawLayers) ? layer : 0;
    const int last = (layer >= 1 && layer < kDrawLayers) ? layer : kDrawLayers - 1;
    for (int n = first; n <= last; ++n) {
        g_list.clip[n][0] = left;
        g_list.clip[n][1] = top;
        g_list.clip[n][2] = right;
        g_list.clip[n][3] = bottom;
    }
}

void ResetClipRects() {
    int width, height;
    GetScreenExtent(&width, &height);
    for (auto& c : g_list.clip) {
        c[0] = 0;
        c[1] = 0;
        c[2] = width;
        c[3] = height;
    }
    g_list.clipSet = true;
}

void GetLayerClipRect(int layer, int* left, int* top, int* right, int* bottom) {
    EnsureClip();
    if (layer < 0 || layer >= kDrawLayers) layer = 0;
    *left = g_list.clip[layer][0];
    *top = g_list.clip[layer][1];
    *right = g_list.clip[layer][2];
    *bottom = g_list.clip[layer][3];
}

void SetCachedBlend(int mode, int parameter) {
    if (mode == g_list.blendMode && parameter == g_list.blendParam) return;
    SetBlendMode(mode, parameter);
    g_list.blendMode = mode;
    g_list.blendParam = parameter;
}

void ResetBlendAndBrightness() {
    SetCachedBlend(0, 255);
    SetDrawBrightness(255, 255, 255);
}

uint32_t AddToColor(uint32_t colour, int dr, int dg, int db) {
    auto channel = [](uint32_t c, int shift, int d) {
        int v = static_cast<int>((c >> shift) & 0xff) + d;
        if (v < 0) v = 0;
        if (v > 255) v = 255;
        return static_cast<uint32_t>(v) << shift;
    };
    return channel(colour, 24, dr) | channel(colour, 16, dg) | channel(colour, 8, db) |
           (colour & 0xffu);
}

float SinFloat(float a) {
    return std::sin(a);
}

void FlushDrawList() {
    EnsureClip();
    // The engine's blend may have been changed by immediate drawing: send it afresh.
    g_list.blendMode = -1;
    ResetBlendAndBrightness();
    const uint32_t white = White();
    bool blendSet = false;
    bool tintSet = false;
    const DrawRecord* rec = g_list.records;
    for (int list = 0; list < 64; ++list) {
        if ((list & 1) == 0) {
            const int* c = g_list.clip[list / 2];
            SetDrawClipRect(c[0], c[1], c[2], c[3]);
        }
        const bool additive = (list & 1) != 0;
        for (int r = rec[list].w[kDrawNext]; r >= kFirstFreeRecord && r < kDrawRecords;
             r = rec[r].w[kDrawNext]) {
            const int32_t* w = rec[r].w;
            if (w[kDrawKind] == kDrawListHeadKind) break;
            const int32_t id = w[kDrawSprite] & kSpriteIdMask;
            if (id == 0) continue;
            const uint32_t colour = static_cast<uint32_t>(w[kDrawColor]);
            const int alpha = static_cast<int>(colour & 0xff);
            if (alpha < 255) {
                SetCachedBlend(additive ? 2 : 1, alpha);
                blendSet = true;
            } else if (additive) {
                SetCachedBlend(2, 255);
                blendSet = true;
            } else if (blendSet) {
                ResetBlendAndBrightness();
                blendSet = false;
                tintSet = false;
            }
            if ((colour >> 8) != 0xFFFFFFu) {
                SetDrawBrightness(static_cast<int>(colour >> 24),
                                  static_cast<int>((colour >> 16) & 0xff),
                                  static_cast<int>((colour >> 8) & 0xff));
                tintSet = true;
            } else if (tintSet) {
                SetDrawBrightness(255, 255, 255);
                tintSet = false;
            }
            const int x = w[kDrawX], y = w[kDrawY], x2 = w[kDrawX2], y2 = w[kDrawY2];
            const int graph = GetSpriteHandle(id);
            switch (w[kDrawKind]) {
                case 1:
                    if (graph >= 0) PutGraph(x, y, graph, 1);
                    break;
                case 2:
                    if (graph >= 0) PutGraphMirrored(x, y, graph, 1);
                    break;
                case 3:
                case 4:
                    if (graph >= 0)
                        PutGraphRotated(x, y, w[kDrawScale] * 0.001, w[kDrawAngle] * kPi / 108000.0,
                                        graph, 1, w[kDrawKind] == 4 ? 1 : 0);
                    break;
                case 6:
                    if (graph >= 0) PutGraphStretched(x, y, x2, y2, graph, 1);
                    break;
                case 7:
                    DrawRectangle(x, y, x2, y2, white, 0);
                    break;
                case 8:
                    DrawRectangle(x, y, x2, y2, white, 1);
                    break;
                case 9:
                    DrawEllipseShape(x, y, x2, y2, white, 0);
                    break;
                case 16:
                    DrawEllipseShape(x, y, x2, y2, white, 1);
                    break;
                case 17:
                    DrawLineSegment(x, y, x2, y2, white);
                    break;
                case 33: {
                    const int text = w[kDrawSprite] - 1;
                    if (w[kDrawAngle] == 0) {
                        PutSpriteText(x, y, text);
                    } else if (w[kDrawAngle] == 1) {
                        PutFontText(x, y, text);
                    } else if (g_list.messageLine && text >= 0 && text < kMessageLineCount) {
                        g_list.messageLine(x, y, text);
                    }
                    break;
                }
                case 34:
                case 35:
                    PutDigits(x, y, static_cast<uint32_t>(w[kDrawValue]), false,
                              w[kDrawKind] == 34 ? 10u : 16u, x2, w[kDrawAngle], w[kDrawScale],
                              y2 >= 1);
                    break;
                default:
                    break;
            }
        }
    }
}

void PutSprite(int x, int y, int32_t sprite) {
    const int graph = GetSpriteHandle(sprite & kSpriteIdMask);
    if (graph < 0) return;
    if (sprite & kSpriteMirrorBit) {
        PutGraphMirrored(x, y, graph, 1);
    } else {
        PutGraph(x, y, graph, 1);
    }
}

void PutSpriteStretched(int x1, int y1, int x2, int y2, int32_t sprite) {
    const int graph = GetSpriteHandle(sprite & kSpriteIdMask);
    if (graph >= 0) PutGraphStretched(x1, y1, x2, y2, graph, 1);
}

void PutSpriteString(int x, int y, const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const int b = *p;
        if (b == ' ') {
            x += 6;
        } else if (b >= 0xDE) {  // voicing marks sit on the glyph before them
            PutSprite(x - 2, y - 2, 480 + b);
            x += 3;
        } else {
            PutSprite(x, y, 480 + b);
            x += (b >= 0xA0 && b <= 0xDD) ? 13 : (b == 'I' ? 5 : 11);
        }
    }
}

void PutSpriteText(int x, int y, int textId) {
    PutSpriteString(x, y, GetText(textId));
}

void PutFontText(int x, int y, int textId) {
    DrawTextAt(x, y, GetText(textId), White(), MakeColor(0, 0, 0));
}

void PutNumber(int x, int y, int32_t value, int digits, int firstDigit, int pitch, bool zeroPad) {
    const bool negative = value < 0;
    const uint32_t magnitude =
        negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    PutDigits(x, y, magnitude, negative, 10, digits, firstDigit, pitch, zeroPad);
}

void PutHexNumber(int x, int y, int32_t value, int digits, int firstDigit, int pitch,
                  bool zeroPad) {
    PutDigits(x, y, static_cast<uint32_t>(value), false, 16, digits, firstDigit, pitch, zeroPad);
}

void DrawFrameRateMeter(int rate) {
    int width, height;
    GetScreenExtent(&width, &height);
    int divisor = GetConfigVar(18) + 1;
    if (divisor < 1) divisor = 1;
    if (divisor > 4) divisor = 4;
    const int target = 60 / divisor;
    int shown = rate / 100;
    if (shown <= target) {
        SetDrawBrightness(255, 255, 127);
        if (shown >= 1 && shown <= target - 1) shown += 1;
    } else {
        SetDrawBrightness(255, 63, 63);
    }
    PutNumber(width - 55, height - 14, shown, 3, 528, 11, false);
    PutSprite(width - 24, height - 15, 1);
    SetDrawBrightness(255, 255, 255);
}

void CaptureScreenCopy() {
    int width, height;
    GetScreenExtent(&width, &height);
    SetRenderTarget(-4);
    const int graph = GetSpriteHandle(kScreenCopySprite);
    if (graph >= 0) CopyScreenToGraph(0, 0, width, height, graph, 0);
    SetRenderTarget(-2);
}

void EnsureUserDataFolder() {
    // The folder may not exist yet on a first run.
    if (plat::GetFileAttributesA("userdata") == plat::INVALID_FILE_ATTRIBUTES)
        plat::CreateDirectoryA("userdata", nullptr);
}

bool SaveSnapshot() {
    int date[6] = {};
    GetLocalDateTime(date);
    const int base = date[1] * 100000 + date[2] * 1000;
    EnsureUserDataFolder();
    char name[64];
    for (int i = 0; i < 1000; ++i) {
        std::snprintf(name, sizeof(name), "userdata\\velmss%07d.bmp", base + i);
        std::FILE* f = plat::OpenCrtFile(name, "rb");
        if (f) {
            std::fclose(f);
            continue;
        }
        int width, height;
        GetScreenExtent(&width, &height);
        return SaveScreenToBmp(0, 0, width, height, name) != -1;
    }
    return false;
}

void SetMessageLineDrawer(void (*draw)(int x, int y, int line)) {
    g_list.messageLine = draw;
}

}  // namespace velmora
