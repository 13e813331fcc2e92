#include "game/play/backdrop.h"

#include <cmath>
#include <cstdint>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/sprite_ids.h"

namespace velmora {
namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

void DrawPanelFrame(int x, int y, int w, int h) {
    QueueRotatedSprite(x + w / 2, y - 63, 24, sprite::kPanelTitle, 1000, 0);
    const int corners[4][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    for (int i = 0; i < 4; ++i)
        QueueRotatedSprite(corners[i][0], corners[i][1], 24, sprite::kPanelCorner, 1000, 54000 * i);
    SetRecordStretch(QueueSprite(x + 32, y - 32, 24, sprite::kPanelEdgeH), x + w - 32, y + 32);
    SetRecordStretch(QueueSprite(x + w - 32, y + h + 32, 24, sprite::kPanelEdgeH), x + 32,
                     y + h - 32);
    SetRecordStretch(QueueSprite(x - 32, y + 32, 24, sprite::kPanelEdgeV), x + 32, y + h - 32);
    SetRecordStretch(QueueSprite(x + w + 32, y + h - 32, 24, sprite::kPanelEdgeV), x + w - 32,
                     y + 32);
    QueueSprite(x, y, 20, sprite::kWindow);
}

void DrawBackdropPattern(int t, int y0) {
    int width, height;
    GetScreenExtent(&width, &height);
    const int startX = width / 2 - (width / 192) * 96;
    uint32_t colour = 0x8080a0ffu;
    int k = 0;
    for (int y = height / 4 + y0, row = 0; y < height + 96; y += 80, ++row) {
        for (int x = startX - (row % 2 == 0 ? 96 : 0); x < width + 96; x += 192, ++k) {
            const int a = t + 23 * k;
            const int px = x + static_cast<int>(8 * std::sin(a * kPi / 64));
            const int py = y + static_cast<int>(8 * std::cos(a * kPi / 48));
            SetRecordColor(QueueSpriteAtDepth(px, py, 26, sprite::kBackdropLeaf, y), colour);
        }
        colour = AddToColor(colour, 16, 16, 16);
    }
}

void DrawMenuBackdrop(int mode, int t) {
    int width, height;
    GetScreenExtent(&width, &height);
    const int cx = width / 2 - 240;
    const int cy = height / 4 - 96;

    // The strip: from the largest x = W/2 - 1024k at most -512.
    int x0 = width / 2;
    while (x0 > -512) x0 -= 1024;
    for (int x = x0; x <= width + 512; x += 1024) QueueSprite(x, cy - 40, 0, sprite::kTitleStrip);

    SetRecordColor(QueueRectangle(0, cy + 240, width, height, 0, true), 0x104030ffu);

    for (int x = 0; x < width + 48; x += 96) {
        const int q = (x / 96) & 1;
        const int r = QueueRotatedSprite(x, cy + 440, 13 + q, sprite::kProp + 6, (2 + q) * 1000, 0);
        SetRecordColor(r, AddToColor(0x000000ffu, 64 * q + 128, 64 * q + 128, 64 * q + 128));
    }

    const int s = t < 30 ? (30 - t) * 32 : 0;
    DrawPanelFrame(cx - s, cy - s, 480 + 2 * s, 360 + 2 * s);
    SetLayerClipRect(21, cx - s, cy - s, cx + 3 * s + 480, cy + 3 * s + 360);
    if (mode == 1) {
        for (int y = cy - s; y < cy + 2 * s + 360; y += 32)
            for (int x = cx - s; x < cx + 2 * s + 480; x += 32)
                QueueSprite(x, y, 21, sprite::kNoise + Random(6));
    } else {
        SetRecordColor(QueueSprite(cx + 280, cy + 180, 21, sprite::kPanelEmblem), 0xffffff80u);
    }
    DrawBackdropPattern(t, 360 + s);
}

}  // namespace velmora
