// The DirectDraw stand-in: objects, surfaces in plain memory, blits, flips, locks and the
// retrace clock.
#include "platform/ddraw/ddraw.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/d3d7/d3d7.h"
#include "platform/ddraw/display.h"
#include "platform/testing.h"
#include "platform/win/debug_output.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace plat {
namespace {

constexpr int32_t kMaxSide = 16384;
constexpr DWORD kVideoMemoryTotal = 64u * 1024u * 1024u;

struct Controls {
    int failCreations = 0;  // -1: always
    int failLocks = 0;
    bool videoMemory = false;
    uint32_t pollAdvance = 0;
    int failQueries[3] = {};  // by testing::DirectDrawInterface
    // By testing::DisplayCall: calls to let through before failing, and failures left (-1: all).
    int passBefore[6] = {};
    int failLeft[6] = {};
};

std::mutex g_mutex;
Controls g_controls;

// Whether a forced failure of that interface query is due (and counts it).
bool TakeQueryFailure(plat::testing::DirectDrawInterface which) {
    std::lock_guard<std::mutex> lock(g_mutex);
    int& left = g_controls.failQueries[static_cast<int>(which)];
    if (left == 0) return false;
    if (left > 0) --left;
    return true;
}
}  // namespace

namespace detail {

bool TakeDisplayCallFailure(testing::DisplayCall call) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const int i = static_cast<int>(call);
    if (g_controls.failLeft[i] == 0) return false;
    if (g_controls.passBefore[i] > 0) {
        --g_controls.passBefore[i];
        return false;
    }
    if (g_controls.failLeft[i] > 0) --g_controls.failLeft[i];
    return true;
}

}  // namespace detail

namespace {

std::set<const DirectDrawSurface*> g_liveSurfaces;
std::vector<DirectDraw*> g_objects;
uint64_t g_videoBytes = 0;

bool InsideSurface(const RECT& r, int32_t width, int32_t height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
           r.bottom <= height;
}

bool KeyMatches(uint32_t v, const DDCOLORKEY& key) {
    const uint32_t low = key.dwColorSpaceLowValue;
    const uint32_t high = key.dwColorSpaceHighValue;
    return high > low ? (v >= low && v <= high) : v == low;
}

uint32_t PixelMask(int bytes) {
    return bytes >= 4 ? 0xFFFFFFFFu : ((1u << (8 * bytes)) - 1u);
}

// A clipper or palette held by a surface: one reference each.
template <typename T>
HRESULT StoreReference(T*& slot, T* value) {
    if (value != nullptr) value->AddRef();
    if (slot != nullptr) slot->Release();
    slot = value;
    return DD_OK;
}

template <typename T>
HRESULT HandOutReference(T* slot, T** out) {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = slot;
    if (slot == nullptr) return DDERR_NOTFOUND;
    slot->AddRef();
    return DD_OK;
}

// One row of a 1:1 copy with colour keys: source pixels in the source key range are skipped,
// destination pixels outside the destination key range are kept.
template <typename T>
void KeyedRowTyped(uint8_t* dst, const uint8_t* src, int64_t n, const DDCOLORKEY* sourceKey,
                   const DDCOLORKEY* destKey) {
    auto* d = reinterpret_cast<T*>(dst);
    const auto* s = reinterpret_cast<const T*>(src);
    const uint32_t lo = sourceKey != nullptr ? sourceKey->dwColorSpaceLowValue : 0;
    const uint32_t hi = sourceKey != nullptr ? sourceKey->dwColorSpaceHighValue : 0;
    if (destKey == nullptr && sourceKey != nullptr && hi <= lo) {
        const T key = static_cast<T>(lo);
        if (lo > static_cast<T>(~T{0})) {
            std::memcpy(d, s, static_cast<size_t>(n) * sizeof(T));
            return;
        }
        int64_t i = 0;
#if defined(__SSE2__)
        // Sixteen bytes at a time: keep the destination where the source equals the key.
        if constexpr (sizeof(T) == 4 || sizeof(T) == 2) {
            const __m128i k = sizeof(T) == 4 ? _mm_set1_epi32(static_cast<int>(key))
                                             : _mm_set1_epi16(static_cast<short>(key));
            constexpr int64_t step = 16 / sizeof(T);
            for (; i + step <= n; i += step) {
                const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
                const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
                const __m128i eq = sizeof(T) == 4 ? _mm_cmpeq_epi32(sv, k) : _mm_cmpeq_epi16(sv, k);
                const __m128i out = _mm_or_si128(_mm_and_si128(eq, dv), _mm_andnot_si128(eq, sv));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
            }
        }
#endif
        for (; i < n; ++i) d[i] = s[i] != key ? s[i] : d[i];
        return;
    }
    for (int64_t i = 0; i < n; ++i) {
        if (sourceKey != nullptr && KeyMatches(s[i], *sourceKey)) continue;
        if (destKey != nullptr && !KeyMatches(d[i], *destKey)) continue;
        d[i] = s[i];
    }
}

void KeyedRow(uint8_t* dst, const uint8_t* src, int64_t n, int bpp, const DDCOLORKEY* sourceKey,
              const DDCOLORKEY* destKey) {
    // Surface rows are aligned to 16 bytes, so typed access is aligned for 2- and 4-byte pixels.
    if (bpp == 4) return KeyedRowTyped<uint32_t>(dst, src, n, sourceKey, destKey);
    if (bpp == 2) return KeyedRowTyped<uint16_t>(dst, src, n, sourceKey, destKey);
    if (bpp == 1) return KeyedRowTyped<uint8_t>(dst, src, n, sourceKey, destKey);
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t v = ReadPixelBytes(src + i * bpp, bpp);
        if (sourceKey != nullptr && KeyMatches(v, *sourceKey)) continue;
        if (destKey != nullptr && !KeyMatches(ReadPixelBytes(dst + i * bpp, bpp), *destKey))
            continue;
        WritePixelBytes(dst + i * bpp, bpp, v);
    }
}

// Microseconds until the clock reaches the target, sleeping on the platform clock.
void SleepUntil(uint64_t target) {
    for (;;) {
        const uint64_t now = RetraceClockMicroseconds();
        if (now >= target) return;
        SleepMicroseconds(target - now);
    }
}

// Each poll of the retrace state moves a fake clock on, so that a caller's polling loop ends.
void AdvanceForPoll() {
    uint32_t step;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        step = g_controls.pollAdvance;
    }
    if (step != 0 && testing::IsFakeClock()) testing::AdvanceFakeClockMicroseconds(step);
}

struct Retrace {
    uint64_t now;
    uint64_t phase;
    uint64_t blankStart;  // phase at which the blank begins
    uint32_t totalLines;
};

Retrace ReadRetrace(int32_t visibleLines) {
    Retrace r;
    const uint32_t visible = static_cast<uint32_t>(std::max(1, visibleLines));
    // Blank lines as a VGA timing has them: 45 of 525 at 480 visible.
    r.totalLines = visible * 35u / 32u;
    if (r.totalLines <= visible) r.totalLines = visible + 1;
    r.now = RetraceClockMicroseconds();
    r.phase = r.now % kRetracePeriodMicroseconds;
    r.blankStart = static_cast<uint64_t>(kRetracePeriodMicroseconds) * visible / r.totalLines;
    return r;
}

}  // namespace

uint64_t RetraceClockMicroseconds() {
    return GetMicrosecondClock();
}

// --- Palette and clipper ---------------------------------------------------------------------

ULONG DirectDrawPalette::AddRef() {
    return ++refs_;
}

ULONG DirectDrawPalette::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDrawPalette::GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* out) const {
    if (out == nullptr || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    std::memcpy(out, entries + start, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT DirectDrawPalette::SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* in) {
    if (in == nullptr || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    std::memcpy(entries + start, in, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

ULONG DirectDrawClipper::AddRef() {
    return ++refs_;
}

ULONG DirectDrawClipper::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDrawClipper::SetHWnd(DWORD, HWND window) {
    if (window != nullptr && !IsWindow(window)) return DDERR_INVALIDPARAMS;
    window_ = window;
    return DD_OK;
}

HRESULT DirectDrawClipper::GetHWnd(HWND* window) const {
    if (window == nullptr) return DDERR_INVALIDPARAMS;
    *window = window_;
    return DD_OK;
}

// --- Surfaces --------------------------------------------------------------------------------

DirectDrawSurface::~DirectDrawSurface() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_liveSurfaces.erase(this);
        if ((caps_.dwCaps & DDSCAPS_VIDEOMEMORY) != 0) {
            g_videoBytes -= static_cast<uint64_t>(pitch_) * static_cast<uint64_t>(height_);
        }
    }
    if (owner_ != nullptr) owner_->Forget(this);
    if (attachedZ_ != nullptr) {
        attachedZ_->attachedTo_ = nullptr;
        attachedZ_->Release();
    }
    if (clipper_ != nullptr) clipper_->Release();
    if (palette_ != nullptr) palette_->Release();
    std::free(bits_);
}

ULONG DirectDrawSurface::AddRef() {
    return ++refs_;
}

ULONG DirectDrawSurface::Release() {
    if (refs_ == 0) return 0;
    const ULONG left = --refs_;
    // A back buffer lives as long as its chain, whatever its own count.
    if (left != 0 || chainFront_ != nullptr) return left;
    // The front of a chain ends the chain; a back buffer still referenced goes on alone.
    DirectDrawSurface* member = chainNext_;
    while (member != nullptr) {
        DirectDrawSurface* next = member->chainNext_;
        member->chainFront_ = nullptr;
        member->chainNext_ = nullptr;
        if (member->refs_ == 0) delete member;
        member = next;
    }
    chainNext_ = nullptr;
    delete this;
    return 0;
}

HRESULT DirectDrawSurface::RefuseInScene(const char* call) const {
    if (sceneUses_ == 0) return DD_OK;
    // Drawing between BeginScene and EndScene still targets this memory: a caller that touches
    // it here has missed an EndScene, which must not pass unnoticed.
    char text[160];
    std::snprintf(text, sizeof text,
                  "DirectDrawSurface::%s refused: the surface is in use by an open 3-D scene\n",
                  call);
    OutputDebugStringA(text);
    std::fputs(text, stderr);
    return DDERR_SURFACEBUSY;
}

HRESULT DirectDrawSurface::CheckUsable() const {
    if (lost_) return DDERR_SURFACELOST;
    if (locked_ || dcOut_) return DDERR_SURFACEBUSY;
    return DD_OK;
}

void DirectDrawSurface::Changed() {
    if (IsPrimary() && owner_ != nullptr) detail::PresentPrimary(*this);
}

HRESULT DirectDrawSurface::Lock(const RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE) {
    if (desc == nullptr) return DDERR_INVALIDPARAMS;
    desc->lpSurface = nullptr;
    if (lost_) return DDERR_SURFACELOST;
    if (locked_ || dcOut_) return DDERR_SURFACEBUSY;
    if (DDFailed(RefuseInScene("Lock"))) return DDERR_SURFACEBUSY;
    if (detail::TakeDisplayCallFailure(testing::DisplayCall::kLock)) return DDERR_GENERIC;
    const RECT whole{0, 0, width_, height_};
    const RECT r = rect != nullptr ? *rect : whole;
    if (!InsideSurface(r, width_, height_)) return DDERR_INVALIDRECT;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_controls.failLocks != 0) {
            if (g_controls.failLocks > 0) --g_controls.failLocks;
            return DDERR_GENERIC;
        }
    }
    GetSurfaceDesc(desc);
    desc->dwFlags |= DDSD_LPSURFACE | DDSD_PITCH;
    desc->lpSurface = bits_ + static_cast<int64_t>(r.top) * pitch_ +
                      static_cast<int64_t>(r.left) * bytesPerPixel_;
    locked_ = true;
    lockWrites_ = (flags & DDLOCK_READONLY) == 0;
    return DD_OK;
}

HRESULT DirectDrawSurface::Unlock(const RECT*) {
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    if (lockWrites_) Changed();
    lockWrites_ = false;
    return DD_OK;
}

HRESULT DirectDrawSurface::Blt(const RECT* destRect, DirectDrawSurface* source,
                               const RECT* sourceRect, DWORD flags, const DDBLTFX* fx) {
    HRESULT usable = CheckUsable();
    if (DDFailed(usable)) return usable;
    if (DDFailed(RefuseInScene("Blt"))) return DDERR_SURFACEBUSY;
    if (source != nullptr && DDFailed(source->RefuseInScene("Blt"))) return DDERR_SURFACEBUSY;
    const RECT whole{0, 0, width_, height_};
    RECT d = destRect != nullptr ? *destRect : whole;
    if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
    RECT clip{std::max(d.left, LONG{0}), std::max(d.top, LONG{0}), std::min(d.right, whole.right),
              std::min(d.bottom, whole.bottom)};
    const int bpp = bytesPerPixel_;

    if ((flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) != 0) {
        if (fx == nullptr) return DDERR_INVALIDPARAMS;
        const bool depth = (flags & DDBLT_DEPTHFILL) != 0;
        if (depth != ((caps_.dwCaps & DDSCAPS_ZBUFFER) != 0)) return DDERR_INVALIDPARAMS;
        const uint32_t value =
            (depth ? fx->dwFillDepth & format_.greenMask : fx->dwFillColor) & PixelMask(bpp);
        if (clip.left >= clip.right || clip.top >= clip.bottom) return DD_OK;
        const int64_t rowBytes = static_cast<int64_t>(clip.right - clip.left) * bpp;
        uint8_t* first =
            bits_ + static_cast<int64_t>(clip.top) * pitch_ + static_cast<int64_t>(clip.left) * bpp;
        for (LONG x = 0; x < clip.right - clip.left; ++x)
            WritePixelBytes(first + x * bpp, bpp, value);
        for (LONG y = clip.top + 1; y < clip.bottom; ++y) {
            std::memcpy(first + static_cast<int64_t>(y - clip.top) * pitch_, first,
                        static_cast<size_t>(rowBytes));
        }
        Changed();
        return DD_OK;
    }

    if (source == nullptr) return DDERR_INVALIDPARAMS;
    if (source != this) {
        usable = source->CheckUsable();
        if (DDFailed(usable)) return usable;
    }
    if (!SamePixelFormat(format_, source->format_)) return DDERR_INVALIDPIXELFORMAT;
    const RECT sourceWhole{0, 0, source->width_, source->height_};
    const RECT s = sourceRect != nullptr ? *sourceRect : sourceWhole;
    if (!InsideSurface(s, source->width_, source->height_)) return DDERR_INVALIDRECT;
    const bool keySource = (flags & DDBLT_KEYSRC) != 0;
    const bool keyDest = (flags & DDBLT_KEYDEST) != 0;
    if (keySource && !source->hasSourceKey_) return DDERR_NOCOLORKEY;
    if (keyDest && !hasDestKey_) return DDERR_NOCOLORKEY;
    if (clip.left >= clip.right || clip.top >= clip.bottom) return DD_OK;

    // A copy within one surface reads from a snapshot of the source rectangle.
    std::vector<uint8_t> snapshot;
    const uint8_t* sBits = source->bits_;
    int64_t sPitch = source->pitch_;
    LONG sLeft = s.left;
    LONG sTop = s.top;
    if (source == this) {
        sPitch = static_cast<int64_t>(s.right - s.left) * bpp;
        snapshot.resize(static_cast<size_t>(sPitch * (s.bottom - s.top)));
        for (LONG y = s.top; y < s.bottom; ++y) {
            std::memcpy(
                snapshot.data() + (y - s.top) * sPitch,
                bits_ + static_cast<int64_t>(y) * pitch_ + static_cast<int64_t>(s.left) * bpp,
                static_cast<size_t>(sPitch));
        }
        sBits = snapshot.data();
        sLeft = 0;
        sTop = 0;
    }
    const int64_t sw = s.right - s.left;
    const int64_t sh = s.bottom - s.top;
    const int64_t dw = d.right - d.left;
    const int64_t dh = d.bottom - d.top;
    const bool plain = !keySource && !keyDest && sw == dw && sh == dh;
    for (LONG y = clip.top; y < clip.bottom; ++y) {
        const int64_t sy = sTop + ((y - d.top) * sh) / dh;
        const uint8_t* sRow = sBits + sy * sPitch;
        uint8_t* dRow = bits_ + static_cast<int64_t>(y) * pitch_;
        if (plain) {
            std::memmove(dRow + static_cast<int64_t>(clip.left) * bpp,
                         sRow + (sLeft + (clip.left - d.left)) * bpp,
                         static_cast<size_t>(clip.right - clip.left) * bpp);
            continue;
        }
        for (LONG x = clip.left; x < clip.right; ++x) {
            const int64_t sx = sLeft + ((x - d.left) * sw) / dw;
            const uint32_t v = ReadPixelBytes(sRow + sx * bpp, bpp);
            if (keySource && KeyMatches(v, source->sourceKey_)) continue;
            uint8_t* p = dRow + static_cast<int64_t>(x) * bpp;
            if (keyDest && !KeyMatches(ReadPixelBytes(p, bpp), destKey_)) continue;
            WritePixelBytes(p, bpp, v);
        }
    }
    Changed();
    return DD_OK;
}

HRESULT DirectDrawSurface::BltFast(DWORD x, DWORD y, DirectDrawSurface* source,
                                   const RECT* sourceRect, DWORD trans) {
    if (source == nullptr) return DDERR_INVALIDPARAMS;
    if (detail::TakeDisplayCallFailure(testing::DisplayCall::kBltFast)) return DDERR_GENERIC;
    HRESULT usable = CheckUsable();
    if (DDFailed(usable)) return usable;
    if (DDFailed(RefuseInScene("BltFast")) || DDFailed(source->RefuseInScene("BltFast"))) {
        return DDERR_SURFACEBUSY;
    }
    if (source != this) {
        usable = source->CheckUsable();
        if (DDFailed(usable)) return usable;
    }
    if (!SamePixelFormat(format_, source->format_)) return DDERR_INVALIDPIXELFORMAT;
    const RECT sourceWhole{0, 0, source->width_, source->height_};
    const RECT s = sourceRect != nullptr ? *sourceRect : sourceWhole;
    if (!InsideSurface(s, source->width_, source->height_)) return DDERR_INVALIDRECT;
    if (x > static_cast<DWORD>(kMaxSide) || y > static_cast<DWORD>(kMaxSide)) {
        return DDERR_INVALIDRECT;
    }
    const RECT d{static_cast<LONG>(x), static_cast<LONG>(y),
                 static_cast<LONG>(x) + (s.right - s.left),
                 static_cast<LONG>(y) + (s.bottom - s.top)};
    if (!InsideSurface(d, width_, height_)) return DDERR_INVALIDRECT;
    const bool keySource = (trans & DDBLTFAST_SRCCOLORKEY) != 0;
    const bool keyDest = (trans & DDBLTFAST_DESTCOLORKEY) != 0;
    if (keySource && !source->hasSourceKey_) return DDERR_NOCOLORKEY;
    if (keyDest && !hasDestKey_) return DDERR_NOCOLORKEY;
    const int bpp = bytesPerPixel_;
    const int64_t w = s.right - s.left;
    // Rows run bottom-up when a copy within one surface moves down, so no row is overwritten
    // before it is read.
    const bool upward = source == this && d.top > s.top;
    for (LONG i = 0; i < s.bottom - s.top; ++i) {
        const LONG row = upward ? (s.bottom - s.top - 1 - i) : i;
        const uint8_t* sRow = source->bits_ + static_cast<int64_t>(s.top + row) * source->pitch_ +
                              static_cast<int64_t>(s.left) * bpp;
        uint8_t* dRow =
            bits_ + static_cast<int64_t>(d.top + row) * pitch_ + static_cast<int64_t>(d.left) * bpp;
        if (!keySource && !keyDest) {
            std::memmove(dRow, sRow, static_cast<size_t>(w * bpp));
            continue;
        }
        const DDCOLORKEY* sk = keySource ? &source->sourceKey_ : nullptr;
        const DDCOLORKEY* dk = keyDest ? &destKey_ : nullptr;
        if (source == this && d.top == s.top && d.left > s.left) {
            // The same row moving right: read it whole before writing.
            const std::vector<uint8_t> copy(sRow, sRow + w * bpp);
            KeyedRow(dRow, copy.data(), w, bpp, sk, dk);
        } else {
            KeyedRow(dRow, sRow, w, bpp, sk, dk);
        }
    }
    Changed();
    return DD_OK;
}

HRESULT DirectDrawSurface::Flip(DirectDrawSurface* target, DWORD flags) {
    if (chainFront_ != nullptr || chainNext_ == nullptr) return DDERR_NOTFLIPPABLE;
    if (target != nullptr) {
        bool member = false;
        for (DirectDrawSurface* m = chainNext_; m != nullptr; m = m->chainNext_) {
            member = member || m == target;
        }
        if (!member) return DDERR_INVALIDPARAMS;
    }
    for (const DirectDrawSurface* m = this; m != nullptr; m = m->chainNext_) {
        // Swapping memory under a lock would leave the locker writing into the other buffer.
        if (m->lost_) return DDERR_SURFACELOST;
        if (m->locked_ || m->dcOut_) return DDERR_SURFACEBUSY;
    }
    if ((flags & DDFLIP_NOVSYNC) == 0 && owner_ != nullptr) {
        owner_->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    // The front takes the first back buffer's memory, each buffer the next one's, and the last
    // the old front's.
    uint8_t* first = bits_;
    DirectDrawSurface* m = this;
    while (m->chainNext_ != nullptr) {
        m->bits_ = m->chainNext_->bits_;
        m = m->chainNext_;
    }
    m->bits_ = first;
    Changed();
    return DD_OK;
}

HRESULT DirectDrawSurface::GetAttachedSurface(const DDSCAPS2* caps, DirectDrawSurface** out) {
    if (caps == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if ((caps->dwCaps & DDSCAPS_ZBUFFER) != 0) {
        if (attachedZ_ == nullptr) return DDERR_NOTFOUND;
        *out = attachedZ_;
    } else if ((caps->dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) != 0) {
        if (chainNext_ == nullptr) return DDERR_NOTFOUND;
        *out = chainNext_;
    } else {
        return DDERR_NOTFOUND;
    }
    (*out)->AddRef();
    return DD_OK;
}

HRESULT DirectDrawSurface::AddAttachedSurface(DirectDrawSurface* surface) {
    if (surface == nullptr || surface == this) return DDERR_INVALIDPARAMS;
    if ((surface->caps_.dwCaps & DDSCAPS_ZBUFFER) == 0) return DDERR_CANNOTATTACHSURFACE;
    if ((caps_.dwCaps & DDSCAPS_ZBUFFER) != 0) return DDERR_CANNOTATTACHSURFACE;
    if (surface->width_ != width_ || surface->height_ != height_) return DDERR_CANNOTATTACHSURFACE;
    if (attachedZ_ != nullptr || surface->attachedTo_ != nullptr) {
        return DDERR_SURFACEALREADYATTACHED;
    }
    surface->AddRef();
    surface->attachedTo_ = this;
    attachedZ_ = surface;
    return DD_OK;
}

HRESULT DirectDrawSurface::DeleteAttachedSurface(DWORD, DirectDrawSurface* surface) {
    if (attachedZ_ == nullptr || (surface != nullptr && surface != attachedZ_)) {
        return DDERR_SURFACENOTATTACHED;
    }
    DirectDrawSurface* z = attachedZ_;
    attachedZ_ = nullptr;
    z->attachedTo_ = nullptr;
    z->Release();
    return DD_OK;
}

HRESULT DirectDrawSurface::EnumAttachedSurfaces(void* context, EnumSurfacesCallback callback) {
    if (callback == nullptr) return DDERR_INVALIDPARAMS;
    std::vector<DirectDrawSurface*> list;
    if (chainNext_ != nullptr) list.push_back(chainNext_);
    if (attachedZ_ != nullptr) list.push_back(attachedZ_);
    for (DirectDrawSurface* s : list) {
        s->AddRef();
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        s->GetSurfaceDesc(&desc);
        if (callback(s, &desc, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
}

HRESULT DirectDrawSurface::GetCaps(DDSCAPS2* caps) const {
    if (caps == nullptr) return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) const {
    if (desc == nullptr) return DDERR_INVALIDPARAMS;
    const DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = size;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(width_);
    desc->dwHeight = static_cast<DWORD>(height_);
    desc->lPitch = pitch_;
    desc->ddpfPixelFormat = format_;
    desc->ddsCaps = caps_;
    if (backBufferCount_ != 0) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = backBufferCount_;
    }
    if (hasSourceKey_) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = sourceKey_;
    }
    if (hasDestKey_) {
        desc->dwFlags |= DDSD_CKDESTBLT;
        desc->ddckCKDestBlt = destKey_;
    }
    return DD_OK;
}

HRESULT DirectDrawSurface::GetPixelFormat(DDPixelFormat* format) const {
    if (format == nullptr) return DDERR_INVALIDPARAMS;
    *format = format_;
    return DD_OK;
}

HRESULT DirectDrawSurface::SetColorKey(DWORD flags, const DDCOLORKEY* key) {
    const bool source = (flags & DDCKEY_SRCBLT) != 0;
    const bool dest = (flags & DDCKEY_DESTBLT) != 0;
    if (source == dest) return DDERR_INVALIDPARAMS;
    bool& has = source ? hasSourceKey_ : hasDestKey_;
    DDCOLORKEY& stored = source ? sourceKey_ : destKey_;
    if (key == nullptr) {
        has = false;
        stored = DDCOLORKEY{};
        return DD_OK;
    }
    stored = *key;
    if ((flags & DDCKEY_COLORSPACE) == 0) stored.dwColorSpaceHighValue = key->dwColorSpaceLowValue;
    has = true;
    return DD_OK;
}

HRESULT DirectDrawSurface::GetColorKey(DWORD flags, DDCOLORKEY* key) const {
    if (key == nullptr) return DDERR_INVALIDPARAMS;
    if ((flags & DDCKEY_SRCBLT) != 0) {
        if (!hasSourceKey_) return DDERR_NOCOLORKEY;
        *key = sourceKey_;
        return DD_OK;
    }
    if ((flags & DDCKEY_DESTBLT) != 0) {
        if (!hasDestKey_) return DDERR_NOCOLORKEY;
        *key = destKey_;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT DirectDrawSurface::IsLost() const {
    return lost_ ? DDERR_SURFACELOST : DD_OK;
}

HRESULT DirectDrawSurface::Restore() {
    auto restore = [](DirectDrawSurface* m) {
        if (!m->lost_) return;
        std::memset(m->bits_, 0, static_cast<size_t>(m->pitch_) * static_cast<size_t>(m->height_));
        m->lost_ = false;
    };
    restore(this);
    // The front of a chain brings its back buffers back with it.
    if (chainFront_ == nullptr) {
        for (DirectDrawSurface* m = chainNext_; m != nullptr; m = m->chainNext_) restore(m);
    }
    return DD_OK;
}

HRESULT DirectDrawSurface::GetDC(HDC* dc) {
    if (dc == nullptr) return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (lost_) return DDERR_SURFACELOST;
    if (dcOut_) return DDERR_DCALREADYCREATED;
    if (detail::TakeDisplayCallFailure(testing::DisplayCall::kGetDC)) return DDERR_GENERIC;
    if (locked_) return DDERR_SURFACEBUSY;
    if (DDFailed(RefuseInScene("GetDC"))) return DDERR_SURFACEBUSY;
    if ((format_.flags & DDPF_RGB) == 0) return DDERR_UNSUPPORTED;
    dcOut_ = true;
    *dc = reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(this) | 2u);
    return DD_OK;
}

HRESULT DirectDrawSurface::ReleaseDC(HDC dc) {
    if (!dcOut_ || dc != reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(this) | 2u)) {
        return DDERR_NODC;
    }
    // A failed release still gives the context back, so the surface stays usable.
    if (detail::TakeDisplayCallFailure(testing::DisplayCall::kReleaseDC)) {
        dcOut_ = false;
        return DDERR_GENERIC;
    }
    dcOut_ = false;
    Changed();
    return DD_OK;
}

HRESULT DirectDrawSurface::SetClipper(DirectDrawClipper* clipper) {
    return StoreReference(clipper_, clipper);
}

HRESULT DirectDrawSurface::GetClipper(DirectDrawClipper** clipper) {
    return HandOutReference(clipper_, clipper);
}

HRESULT DirectDrawSurface::SetPalette(DirectDrawPalette* palette) {
    return StoreReference(palette_, palette);
}

HRESULT DirectDrawSurface::GetPalette(DirectDrawPalette** palette) {
    return HandOutReference(palette_, palette);
}

HRESULT DirectDrawSurface::PageLock(DWORD) {
    return DD_OK;
}
HRESULT DirectDrawSurface::PageUnlock(DWORD) {
    return DD_OK;
}

// --- The DirectDraw object -------------------------------------------------------------------

HRESULT CreateDirectDraw7(DirectDraw** out) {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_controls.failCreations != 0) {
        if (g_controls.failCreations > 0) --g_controls.failCreations;
        return DDERR_GENERIC;
    }
    *out = new DirectDraw();
    g_objects.push_back(*out);
    return DD_OK;
}

DirectDraw::~DirectDraw() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_objects.erase(std::remove(g_objects.begin(), g_objects.end(), this), g_objects.end());
    }
    // Surfaces outlive their object as plain memory that can no longer be shown.
    for (int i = 0; i < surfaceCount_; ++i) {
        surfaces_[i]->owner_ = nullptr;
        surfaces_[i]->lost_ = true;
    }
    std::free(surfaces_);
    if (FullScreen()) detail::SetPresenterFullScreen(window_, false);
}

void DirectDraw::Forget(DirectDrawSurface* surface) {
    for (int i = 0; i < surfaceCount_; ++i) {
        if (surfaces_[i] == surface) {
            surfaces_[i] = surfaces_[--surfaceCount_];
            return;
        }
    }
}

ULONG DirectDraw::AddRef() {
    return ++refs_;
}

ULONG DirectDraw::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDraw::Initialize(const void*) {
    if (initialized_) return DDERR_ALREADYINITIALIZED;
    initialized_ = true;
    return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    const bool full = (flags & DDSCL_FULLSCREEN) != 0;
    const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    const bool normal = (flags & DDSCL_NORMAL) != 0;
    if (full != exclusive || normal == full) return DDERR_INVALIDPARAMS;
    if (window != nullptr && !IsWindow(window)) return DDERR_INVALIDPARAMS;
    if (full) {
        if (window == nullptr) return DDERR_INVALIDPARAMS;
        std::lock_guard<std::mutex> lock(g_mutex);
        for (DirectDraw* other : g_objects) {
            if (other != this && other->FullScreen()) return DDERR_EXCLUSIVEMODEALREADYSET;
        }
    }
    const bool wasFull = FullScreen();
    const HWND oldWindow = window_;
    if (wasFull && !full && modeSet_) RestoreDisplayMode();
    window_ = window;
    coopFlags_ = flags;
    if (full) {
        detail::SetPresenterFullScreen(window, true);
    } else if (wasFull) {
        detail::SetPresenterFullScreen(oldWindow, false);
    }
    return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD) {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if ((coopFlags_ & DDSCL_EXCLUSIVE) == 0) return DDERR_NOEXCLUSIVEMODE;
    if (width > static_cast<DWORD>(kMaxSide) || height > static_cast<DWORD>(kMaxSide) ||
        bits > 32 || refresh > 1000) {
        return DDERR_INVALIDMODE;
    }
    if (!detail::DisplayModeAccepted(static_cast<int32_t>(width), static_cast<int32_t>(height),
                                     static_cast<int32_t>(bits), static_cast<int32_t>(refresh))) {
        return DDERR_INVALIDMODE;
    }
    mode_ = DisplayMode{static_cast<int32_t>(width), static_cast<int32_t>(height),
                        static_cast<int32_t>(bits), static_cast<int32_t>(refresh)};
    modeSet_ = true;
    return DD_OK;
}

HRESULT DirectDraw::RestoreDisplayMode() {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    modeSet_ = false;
    mode_ = DisplayMode{};
    return DD_OK;
}

DDPixelFormat DirectDraw::DisplayFormat() const {
    const int32_t bits = modeSet_ ? mode_.bits : GetDeviceCaps(nullptr, BITSPIXEL);
    return detail::DisplayFormatOfDepth(bits);
}

int32_t DirectDraw::DisplayWidth() const {
    return modeSet_ ? mode_.width : GetSystemMetrics(SM_CXSCREEN);
}

int32_t DirectDraw::DisplayHeight() const {
    return modeSet_ ? mode_.height : GetSystemMetrics(SM_CYSCREEN);
}

HRESULT DirectDraw::GetDisplayMode(DDSURFACEDESC2* desc) const {
    if (desc == nullptr) return DDERR_INVALIDPARAMS;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    const DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = size;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = static_cast<DWORD>(DisplayWidth());
    desc->dwHeight = static_cast<DWORD>(DisplayHeight());
    desc->ddpfPixelFormat = DisplayFormat();
    desc->lPitch = static_cast<LONG>(desc->dwWidth * ((desc->ddpfPixelFormat.rgbBitCount + 7) / 8));
    desc->dwRefreshRate =
        static_cast<DWORD>(modeSet_ ? mode_.refresh : GetDeviceCaps(nullptr, VREFRESH));
    return DD_OK;
}

HRESULT DirectDraw::CreateSurface(DDSURFACEDESC2* desc, DirectDrawSurface** out, void*) {
    if (desc == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if ((desc->dwFlags & DDSD_CAPS) == 0) return DDERR_INVALIDPARAMS;
    if (detail::TakeDisplayCallFailure(testing::DisplayCall::kCreateSurface)) return DDERR_GENERIC;
    const DWORD caps = desc->ddsCaps.dwCaps;
    if ((caps & DDSCAPS_OVERLAY) != 0) return DDERR_NOOVERLAYHW;
    const bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
    const bool flip = (caps & DDSCAPS_FLIP) != 0;
    const bool depth = (caps & DDSCAPS_ZBUFFER) != 0;

    int32_t width, height;
    DDPixelFormat format;
    if (primary) {
        for (int i = 0; i < surfaceCount_; ++i) {
            if ((surfaces_[i]->caps_.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0) {
                return DDERR_PRIMARYSURFACEALREADYEXISTS;
            }
        }
        width = DisplayWidth();
        height = DisplayHeight();
        format = DisplayFormat();
    } else {
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) {
            return DDERR_INVALIDPARAMS;
        }
        width = static_cast<int32_t>(std::min<DWORD>(desc->dwWidth, kMaxSide + 1));
        height = static_cast<int32_t>(std::min<DWORD>(desc->dwHeight, kMaxSide + 1));
        format = depth ? kPixelFormatZ16 : DisplayFormat();
        if ((desc->dwFlags & DDSD_PIXELFORMAT) != 0) format = desc->ddpfPixelFormat;
    }
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return DDERR_INVALIDPARAMS;
    }
    format.size = 32;
    if (depth) {
        if (format.flags != DDPF_ZBUFFER || format.rgbBitCount != 16)
            return DDERR_INVALIDPIXELFORMAT;
    } else if ((format.flags & DDPF_RGB) != 0) {
        if (format.rgbBitCount != 16 && format.rgbBitCount != 24 && format.rgbBitCount != 32 &&
            format.rgbBitCount != 8) {
            return DDERR_INVALIDPIXELFORMAT;
        }
    } else if ((format.flags & DDPF_PALETTEINDEXED8) != 0) {
        format.rgbBitCount = 8;
    } else {
        return DDERR_INVALIDPIXELFORMAT;
    }

    DWORD count = 0;
    if (flip) {
        if (!primary || (caps & DDSCAPS_COMPLEX) == 0) return DDERR_INVALIDPARAMS;
        if (!FullScreen()) return DDERR_NOEXCLUSIVEMODE;
        if ((desc->dwFlags & DDSD_BACKBUFFERCOUNT) == 0 || desc->dwBackBufferCount < 1 ||
            desc->dwBackBufferCount > 3) {
            return DDERR_INVALIDPARAMS;
        }
        count = desc->dwBackBufferCount;
    }

    bool video;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        video = (caps & DDSCAPS_SYSTEMMEMORY) == 0 && g_controls.videoMemory;
    }
    const DWORD memoryCaps =
        video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
    const DWORD keep = caps & ~(DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);

    const int bpp = static_cast<int>((format.rgbBitCount + 7) / 8);
    // Rows aligned to 16 bytes, as the software renderer's vector rows like them.
    const int32_t pitch =
        static_cast<int32_t>(((static_cast<int64_t>(width) * bpp + 15) / 16) * 16);
    const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height);

    std::vector<DirectDrawSurface*> made;
    for (DWORD i = 0; i <= count; ++i) {
        auto* s = new DirectDrawSurface();
        s->owner_ = this;
        s->format_ = format;
        s->width_ = width;
        s->height_ = height;
        s->pitch_ = pitch;
        s->bytesPerPixel_ = bpp;
        s->bits_ = static_cast<uint8_t*>(std::calloc(bytes, 1));
        if (i == 0) {
            s->caps_.dwCaps = keep | memoryCaps;
            if (primary) s->caps_.dwCaps |= DDSCAPS_VISIBLE | (flip ? DDSCAPS_FRONTBUFFER : 0);
        } else {
            // The chain holds its back buffers; their count is only of outside references.
            s->refs_ = 0;
            s->caps_.dwCaps =
                ((keep & ~(DDSCAPS_PRIMARYSURFACE)) | DDSCAPS_BACKBUFFER | memoryCaps);
            s->chainFront_ = made[0];
            made.back()->chainNext_ = s;
        }
        s->caps_.dwCaps2 = desc->ddsCaps.dwCaps2;
        made.push_back(s);
        if (s->bits_ == nullptr) {
            for (DirectDrawSurface* m : made) m->caps_.dwCaps &= ~DDSCAPS_VIDEOMEMORY;
            made[0]->refs_ = 1;
            made[0]->Release();
            return DDERR_OUTOFMEMORY;
        }
    }
    made[0]->backBufferCount_ = count;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (DirectDrawSurface* s : made) {
            g_liveSurfaces.insert(s);
            if (video) g_videoBytes += bytes;
        }
    }
    for (DirectDrawSurface* s : made) {
        if (surfaceCount_ == surfaceCapacity_) {
            surfaceCapacity_ = std::max(16, surfaceCapacity_ * 2);
            surfaces_ = static_cast<DirectDrawSurface**>(std::realloc(
                surfaces_, sizeof(DirectDrawSurface*) * static_cast<size_t>(surfaceCapacity_)));
        }
        surfaces_[surfaceCount_++] = s;
    }
    *out = made[0];
    return DD_OK;
}

HRESULT DirectDraw::CreateClipper(DWORD, DirectDrawClipper** out, void*) {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = new DirectDrawClipper();
    return DD_OK;
}

HRESULT DirectDraw::CreatePalette(DWORD flags, const PALETTEENTRY* entries, DirectDrawPalette** out,
                                  void*) {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if ((flags & DDPCAPS_8BIT) == 0 || entries == nullptr) return DDERR_INVALIDPARAMS;
    auto* p = new DirectDrawPalette();
    std::memcpy(p->entries, entries, sizeof p->entries);
    *out = p;
    return DD_OK;
}

HRESULT DirectDraw::GetCaps(DDCAPS* driver, DDCAPS* emulation) const {
    if (driver == nullptr && emulation == nullptr) return DDERR_INVALIDPARAMS;
    DDCAPS caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTDEPTHFILL | DDCAPS_BLTSTRETCH |
                  DDCAPS_COLORKEY;
    caps.dwCKeyCaps = DDCKEYCAPS_SRCBLT | DDCKEYCAPS_DESTBLT;
    caps.dwPalCaps = DDPCAPS_8BIT;
    caps.dwZBufferBitDepths = 0x400;  // 16 bits
    GetAvailableVidMem(nullptr, &caps.dwVidMemTotal, &caps.dwVidMemFree);
    // No overlays: none visible, no stretch factors.
    for (DDCAPS* c : {driver, emulation}) {
        if (c == nullptr) continue;
        const DWORD size = c->dwSize;
        *c = caps;
        c->dwSize = size;
    }
    return DD_OK;
}

HRESULT DirectDraw::GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD) const {
    if (id == nullptr) return DDERR_INVALIDPARAMS;
    std::memset(id, 0, sizeof *id);
    std::strcpy(id->szDriver, "tessra-memory-display");
    std::strcpy(id->szDescription, "Memory surfaces shown through SDL");
    id->liDriverVersion = static_cast<int64_t>(0x0001000000000000ull);
    return DD_OK;
}

HRESULT DirectDraw::GetAvailableVidMem(const DDSCAPS2*, DWORD* total, DWORD* free) const {
    uint64_t used;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        used = g_videoBytes;
    }
    if (total != nullptr) *total = kVideoMemoryTotal;
    if (free != nullptr)
        *free = used >= kVideoMemoryTotal ? 0 : static_cast<DWORD>(kVideoMemoryTotal - used);
    return DD_OK;
}

HRESULT DirectDraw::QueryInterface(const GUID& iid, void** out) {
    if (iid == IID_IDirectDraw4) {
        if (out == nullptr) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (TakeQueryFailure(testing::DirectDrawInterface::kDirectDraw4)) return DDERR_GENERIC;
        AddRef();
        *out = this;
        return DD_OK;
    }
    return QueryDirect3D(this, iid, out);
}

HRESULT DirectDrawSurface::QueryInterface(const GUID& iid, void** out) {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    testing::DirectDrawInterface which;
    if (iid == IID_IDirectDrawSurface4) {
        which = testing::DirectDrawInterface::kSurface4;
    } else if (iid == IID_IDirectDrawSurface7) {
        which = testing::DirectDrawInterface::kSurface7;
    } else {
        return DDERR_INVALIDPARAMS;
    }
    if (TakeQueryFailure(which)) return DDERR_GENERIC;
    AddRef();
    *out = this;
    return DD_OK;
}

HRESULT DirectDraw::FlipToGDISurface() {
    return initialized_ ? DD_OK : DDERR_NOTINITIALIZED;
}

HRESULT DirectDraw::GetVerticalBlankStatus(BOOL* inBlank) const {
    if (inBlank == nullptr) return DDERR_INVALIDPARAMS;
    AdvanceForPoll();
    const Retrace r = ReadRetrace(DisplayHeight());
    *inBlank = r.phase >= r.blankStart ? TRUE : FALSE;
    return DD_OK;
}

HRESULT DirectDraw::GetScanLine(DWORD* line) const {
    if (line == nullptr) return DDERR_INVALIDPARAMS;
    AdvanceForPoll();
    const Retrace r = ReadRetrace(DisplayHeight());
    *line = static_cast<DWORD>(r.phase * r.totalLines / kRetracePeriodMicroseconds);
    return r.phase >= r.blankStart ? DDERR_VERTICALBLANKINPROGRESS : DD_OK;
}

HRESULT DirectDraw::WaitForVerticalBlank(DWORD flags, HANDLE) {
    const Retrace r = ReadRetrace(DisplayHeight());
    const uint64_t periodStart = r.now - r.phase;
    uint64_t target;
    if ((flags & DDWAITVB_BLOCKEND) != 0) {
        target = periodStart + kRetracePeriodMicroseconds;
    } else if ((flags & DDWAITVB_BLOCKBEGIN) != 0) {
        target = periodStart + r.blankStart;
        if (r.phase >= r.blankStart) target += kRetracePeriodMicroseconds;
    } else {
        return DDERR_INVALIDPARAMS;
    }
    SleepUntil(target);
    return DD_OK;
}

// --- Platform-internal -----------------------------------------------------------------------

namespace detail {

DirectDrawSurface* SurfaceOfDc(HDC dc) {
    const uintptr_t v = reinterpret_cast<uintptr_t>(dc);
    if ((v & 0xF) != 2) return nullptr;
    auto* s = reinterpret_cast<DirectDrawSurface*>(v & ~static_cast<uintptr_t>(0xF));
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_liveSurfaces.count(s) == 0 || !s->HasDc()) return nullptr;
    return s;
}

PixelTarget TargetOfSurface(const DirectDrawSurface& s) {
    return PixelTarget{s.Bits(), s.Width(), s.Height(), s.Pitch(), s.Format(), s.BytesPerPixel()};
}

void NoteSurfaceWritten(DirectDrawSurface*) {
    // The surface presents when its device context is released.
}

void NoteAppDeactivated() {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (DirectDraw* object : g_objects) {
        if (!object->FullScreen()) continue;
        for (const DirectDrawSurface* s : g_liveSurfaces) {
            if (s->Owner() == object) const_cast<DirectDrawSurface*>(s)->MarkLost();
        }
    }
}

void ResetDisplayControls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls = Controls{};
}

}  // namespace detail

namespace testing {

void FailDirectDrawInterfaceQueries(DirectDrawInterface which, int count) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.failQueries[static_cast<int>(which)] = count < 0 ? -1 : count;
}

void FailDirectDrawCreations(int count) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.failCreations = count < 0 ? -1 : count;
}

void FailDisplayCallAt(DisplayCall call, int nth, int count) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const int i = static_cast<int>(call);
    g_controls.passBefore[i] = nth > 1 ? nth - 1 : 0;
    g_controls.failLeft[i] = count < 0 ? -1 : count;
}

void FailSurfaceLocks(int count) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.failLocks = count < 0 ? -1 : count;
}

void SetSurfacesInVideoMemory(bool video) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.videoMemory = video;
}

void LoseAllSurfaces() {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const DirectDrawSurface* s : g_liveSurfaces) const_cast<DirectDrawSurface*>(s)->MarkLost();
}

void SetRetracePollAdvance(uint32_t microseconds) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_controls.pollAdvance = microseconds;
}

}  // namespace testing
}  // namespace plat
