// Restore after device loss: lost surfaces restored in place when drawing resumes, and after a
// display rebuild every graph reloaded from the file it came from by the installed routine.
#include <cstring>

#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_decode.h"
#include "engine/graphics/movie.h"
#include "engine/screen/screen.h"
#include "engine/screen/surface2d.h"
#include "platform/ddraw/ddraw.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// Kept when the graphics core restarts; engine start-up installs the default.
GraphRestoreRoutine g_restoreRoutine = nullptr;

bool Off() {
    return GetGraphicsCoreState().graphicsOff != 0;
}

// The longest directory and file name the default routine reloads.
constexpr size_t kRestoreDirectoryMax = 128;
constexpr size_t kRestoreFileNameMax = 64;

}  // namespace

int InstallGraphRestoreRoutine(GraphRestoreRoutine routine) {
    g_restoreRoutine = routine != nullptr ? routine : RestoreGraphsFromFiles;
    return 0;
}

int HasGraphRestoreRoutine() {
    return g_restoreRoutine != nullptr ? 1 : 0;
}

int MarkGraphsForRestore() {
    GraphTable& t = GetGraphTable();
    int32_t marked = 0;
    for (int32_t slot = 0; slot < t.topSlot && marked < t.liveCount; ++slot) {
        if (t.records[slot] == nullptr) continue;
        t.records[slot]->reloadRequest = 1;
        ++marked;
    }
    if (g_restoreRoutine != nullptr) g_restoreRoutine();
    RecreateAllFonts();
    return 0;
}

void RestoreGraphsFromFiles() {
    AppendLog("グラフィックを復帰します\n"_sjis);
    char keptDirectory[kFilePathMax] = {};
    GetDirViaFileTable(keptDirectory);
    // One picture (and its alpha picture) is held from graph to graph, so that the graphs cut
    // from one sheet load it once.
    GraphImage image{}, alpha{};
    bool held = false, heldAlpha = false;
    const GraphRecord* previous = nullptr;
    char previousFile[kGraphFileNameSize] = {};
    char previousDirectory[kGraphDirectorySize] = {};
    uint32_t previousOption = 0;
    GraphTable& t = GetGraphTable();
    const int32_t top = t.topSlot;
    for (int32_t slot = 0; slot < top; ++slot) {
        GraphRecord* g = t.records[slot];
        if (g == nullptr || !g->reloadRequest || g->fileName[0] == '\0') continue;
        const size_t dirLength = strnlen(g->directory, sizeof g->directory);
        const size_t fileLength = strnlen(g->fileName, sizeof g->fileName);
        if (dirLength <= kRestoreDirectoryMax && fileLength <= kRestoreFileNameMax) {
            const bool reload = previous == nullptr || slot == 0 || !held ||
                                std::strcmp(previousFile, g->fileName) != 0 ||
                                std::strcmp(previousDirectory, g->directory) != 0 ||
                                previousOption != g->loadOption;
            if (reload) {
                if (held) FreeGraphImage(&image);
                if (heldAlpha) FreeGraphImage(&alpha);
                held = heldAlpha = false;
                ChangeDirViaFileTable(g->directory);
                AppendLogFormat("パス:%s ファイル:%s をロードします"_sjis, g->directory,
                                g->fileName);
                const int loaded =
                    LoadImageWithAlphaFile(g->fileName, nullptr, 0, 0, nullptr, 0, 0, &image,
                                           &alpha, static_cast<int>(g->loadOption));
                if (loaded < 0) {
                    AppendLogFormat("パス:%s ファイル:%s がロードできませんでした"_sjis,
                                    g->directory, g->fileName);
                } else {
                    held = true;
                    heldAlpha = loaded == 0;
                }
            }
            if (held) {
                char fileName[kGraphFileNameSize];
                std::memcpy(fileName, g->fileName, sizeof fileName);
                TransferGraphImageToGraph(fileName, &image, heldAlpha ? &alpha : nullptr,
                                          g->sourceX, g->sourceY, g->handle, g->loadOption);
            }
        }
        g->reloadRequest = 0;
        previous = g;
        std::memcpy(previousFile, g->fileName, sizeof previousFile);
        std::memcpy(previousDirectory, g->directory, sizeof previousDirectory);
        previousOption = g->loadOption;
    }
    if (held) FreeGraphImage(&image);
    if (heldAlpha) FreeGraphImage(&alpha);
    ChangeDirViaFileTable(keptDirectory);
}

int RestoreGraphMovieSurfaces(int graph) {
    if (Off()) return 0;
    GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    // Texture graphs belong to the Direct3D back-end, which restores its own.
    if (!g->format.texture) RestoreGraphSurfaces2D(g);
    if (const MovieRecord* m = g->movie != -1 ? GetMovieRecord(g->movie) : nullptr) {
        for (plat::DirectDrawSurface* s : {m->frameSurfaceOld, m->frameSurface}) {
            if (s != nullptr && s->IsLost() == plat::DDERR_SURFACELOST) s->Restore();
        }
    }
    return 0;
}

int RestoreAllGraphSurfaces() {
    const GraphicsCoreState& core = GetGraphicsCoreState();
    if (!core.started || core.graphicsOff) return 0;
    RestoreLostScreenSurfaces();
    GraphTable& t = GetGraphTable();
    for (int32_t slot = 0; slot < t.topSlot; ++slot) {
        const GraphRecord* g = t.records[slot];
        if (g != nullptr) RestoreGraphMovieSurfaces(g->handle);
    }
    return 0;
}

}  // namespace tessra
