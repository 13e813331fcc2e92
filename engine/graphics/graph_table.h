// Graphs: every image the engine can draw or draw into is a GraphRecord in the graph table,
// named by a graph handle (an EngineHandle of kGraphHandleKind). A graph's pixels live in its
// pieces: 2-D surfaces (engine/screen/surface2d.h) or Direct3D texture entries.
#pragma once

#include <cstdint>

#include "engine/base/handle.h"
#include "engine/graphics/color_format.h"

namespace tessra {

struct GraphImage;

inline constexpr int32_t kGraphMax = 32768;
inline constexpr int32_t kGraphPieceMax = 64;
inline constexpr int32_t kGraphFileNameSize = 64;
inline constexpr int32_t kGraphDirectorySize = 256;

// The eight format bytes, handed in this order to AddImageData.
struct GraphFormatBytes {
    uint8_t texture;
    uint8_t alpha;
    uint8_t drawValid;
    uint8_t systemMemory;
    uint8_t alphaTest;
    uint8_t colorBits;
    uint8_t singleChannel;
    uint8_t paletted;
};

struct GraphRecord {
    int32_t check;
    int32_t* lostFlag;  // 1 is stored through it when the graph is deleted
    int32_t handle;
    GraphFormatBytes format;
    uint32_t loadOption;
    uint32_t pieces[kGraphPieceMax];  // 2-D surface or texture-entry handles
    int32_t pieceCount;
    char fileName[kGraphFileNameSize];
    char directory[kGraphDirectorySize];
    int32_t sourceX;
    int32_t sourceY;
    int32_t width;
    int32_t height;
    int32_t movie;          // -1 when none
    int32_t reloadRequest;  // 1 while waiting to be reloaded after a device loss
    void* ownedBlock;       // freed with the graph
};

using GraphTable = HandleTable<GraphRecord, kGraphMax>;
GraphTable& GetGraphTable();

// The graphics core's own switches: started between InitGraphicsManagement and
// ShutdownGraphicsManagement; graphics off (never set here) makes every graph call return 0.
struct GraphicsCoreState {
    int32_t started;
    int32_t graphicsOff;
    void* window;  // the window DirectDraw was started for (an HWND)
};
GraphicsCoreState& GetGraphicsCoreState();

// A new record in the table (no pixels); its handle, or 0 while graphics are off. A full table
// or no memory is fatal.
int AddGraphRecord(int width, int height, int textureAsked, GraphRecord** out, uint8_t alpha,
                   uint8_t paletted);
// A graph with pieces; -1 when the pieces cannot be made (the record is then deleted again).
int CreateBlankGraph(int width, int height, int textureAsked, uint8_t alpha, uint8_t paletted);
// CreateBlankGraph with texture asked, the draw state's blank-graph alpha, not paletted.
int CreateBlankGraphDefault(int width, int height);
int CreateGraphForGraphImage(GraphImage* image, GraphImage* alpha, int textureAsked);
// A graph filled from the images; the caller's images come back unchanged.
int BuildGraphFromGraphImages(GraphImage* image, GraphImage* alpha, int textureAsked, int mirror1,
                              int mirror2);
int BuildGraphFromGraphImage(GraphImage* image);
// A graph showing the rectangle of another graph's pixels (cut to the source); -1 for a bad
// source, a negative x or y, a width or height of 0 or less, or a start past the source.
int DeriveGraph(int x, int y, int width, int height, int sourceGraph);
int ReleaseGraph(int graph, int logFlag);
int ReleaseAllGraphs(int logFlag);
GraphRecord* GetGraphRecord(int graph);
// The graph's size, or the screen's for kBackScreen and kFrontScreen.
int QueryGraphExtent(int graph, int* width, int* height);
int SetGraphLostFlagPointer(int graph, int32_t* flag);
// Stores the current directory and the file name (both cut to their fields).
int SetGraphFileName(int graph, const char* fileName);
// Records where the picture came from, then copies it into the graph's pieces at (x, y).
int TransferGraphImageToGraph(const char* fileName, GraphImage* image, GraphImage* alpha, int x,
                              int y, int graph, uint32_t loadOption);
// Records the file and load option, then copies the rectangle of the picture to (x, y) of the
// graph's pieces (the glyph caches use it). The pieces' result; -1 for a bad graph.
int TransferImageDataToGraph(const GraphImage* image, const GraphImage* alpha,
                             const Rect* sourceRect, const char* fileName, int x, int y, int graph,
                             uint32_t loadOption);
// 0 when the selected blend graph is live and at least as large as the graph about to be drawn.
int CheckBlendGraphSize(const GraphRecord* drawn);
// Loads a picture file (and its "_a" alpha companion) into a new graph.
int LoadGraphFromFile(const char* fileName, int textureAsked, int mirror, int movieOption);
int LoadGraphFromFileDefault(const char* fileName);

// The reserved kind: 512 records of seven words kept in place (check, owned block, ..., in use
// in the sixth); nothing makes them, they are only deleted.
inline constexpr int32_t kReservedRecordMax = 512;
struct ReservedRecord {
    int32_t check;
    void* ownedBlock;
    int32_t words[3];
    int32_t inUse;
    int32_t last;
};
ReservedRecord* GetReservedRecords();
int ReleaseSlot512Handle(int handle);
int ReleaseAllSlot512Handles();

int InitGraphicsManagement();
int ShutdownGraphicsManagement();

}  // namespace tessra
