// The graph and drawing functions of the public layer as the game-core tests see them.
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "engine/tessra.h"
#include "game/core/engine_standin.h"

namespace standin {
namespace {

struct GraphState {
    std::string root = ".";
    std::set<std::string> missing;
    std::map<int, Graph> graphs;
    int nextHandle = 1;
    int width = 640, height = 480;
    int saveResult = 0;
    std::vector<std::string> log;
};

GraphState& G() {
    static GraphState g;
    return g;
}

void Note(const std::string& line) {
    G().log.push_back(line);
}

std::string Join(std::initializer_list<long long> values) {
    std::string out;
    for (long long v : values) out += " " + std::to_string(v);
    return out;
}

int AddGraph(const Graph& graph) {
    const int handle = G().nextHandle++;
    G().graphs[handle] = graph;
    return handle;
}

// A PNG's size from its IHDR chunk; false when the file is missing or not a PNG.
bool PngSize(const std::string& path, int* width, int* height) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char head[24];
    const size_t n = std::fread(head, 1, sizeof(head), f);
    std::fclose(f);
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    if (n != sizeof(head) || std::memcmp(head, kSignature, 8) != 0) return false;
    auto be = [&](int at) {
        return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
    };
    *width = be(16);
    *height = be(20);
    return true;
}

}  // namespace

void ResetGraphics() {
    G() = GraphState{};
}
void SetGraphRoot(const std::string& posixDir) {
    G().root = posixDir;
}
void MarkGraphMissing(const std::string& name) {
    G().missing.insert(name);
}
void SetScreenSize(int width, int height) {
    G().width = width;
    G().height = height;
}
void SetSaveScreenResult(int result) {
    G().saveResult = result;
}
const Graph* FindGraph(int handle) {
    auto it = G().graphs.find(handle);
    return it == G().graphs.end() ? nullptr : &it->second;
}
int GraphCount() {
    return static_cast<int>(G().graphs.size());
}
const std::vector<std::string>& DrawLog() {
    return G().log;
}
void ClearDrawLog() {
    G().log.clear();
}

}  // namespace standin

using standin::G;

int GetScreenDimensions(int* width, int* height) {
    *width = G().width;
    *height = G().height;
    return 0;
}
uint32_t MakeColor(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}
int SetTransparentColor(int r, int g, int b) {
    standin::Note("SetTransparentColor" + standin::Join({r, g, b}));
    return 0;
}
int LoadGraphFile(const char* fileName) {
    const std::string name = fileName;
    if (G().missing.count(name)) return -1;
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    standin::Graph graph;
    graph.name = name;
    if (!standin::PngSize(G().root + "/" + path, &graph.width, &graph.height)) {
        graph.width = 256;  // a stand-in picture for names the test did not build
        graph.height = 256;
    }
    return standin::AddGraph(graph);
}
int CreateSubGraph(int x, int y, int width, int height, int sourceGraph) {
    const standin::Graph* source = standin::FindGraph(sourceGraph);
    if (!source || x < 0 || y < 0 || width < 1 || height < 1 || x + width > source->width ||
        y + height > source->height)
        return -1;
    standin::Graph graph;
    graph.name = "sub";
    graph.width = width;
    graph.height = height;
    graph.parent = sourceGraph;
    graph.x = x;
    graph.y = y;
    return standin::AddGraph(graph);
}
int MakeBlankGraph(int width, int height) {
    standin::Graph graph;
    graph.name = "blank";
    graph.width = width;
    graph.height = height;
    return standin::AddGraph(graph);
}
int GetGraphExtent(int graph, int* width, int* height) {
    const standin::Graph* g = standin::FindGraph(graph);
    if (!g) return -1;
    *width = g->width;
    *height = g->height;
    return 0;
}
int DeleteGraphHandle(int graph, int) {
    return G().graphs.erase(graph) ? 0 : -1;
}
int EraseDrawTarget() {
    standin::Note("EraseDrawTarget");
    return 0;
}
int PutGraph(int x, int y, int graph, int transparent) {
    standin::Note("PutGraph" + standin::Join({x, y, graph, transparent}));
    return 0;
}
int PutGraphMirrored(int x, int y, int graph, int transparent) {
    standin::Note("PutGraphMirrored" + standin::Join({x, y, graph, transparent}));
    return 0;
}
int PutGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent) {
    standin::Note("PutGraphStretched" + standin::Join({x1, y1, x2, y2, graph, transparent}));
    return 0;
}
int PutGraphRotated(int x, int y, double scale, double angle, int graph, int transparent,
                    int turn) {
    char buf[160];
    std::snprintf(buf, sizeof(buf), "PutGraphRotated %d %d %.3f %.4f %d %d %d", x, y, scale, angle,
                  graph, transparent, turn);
    standin::Note(buf);
    return 0;
}
int DrawLineSegment(int x1, int y1, int x2, int y2, uint32_t colour) {
    standin::Note("DrawLineSegment" + standin::Join({x1, y1, x2, y2, colour}));
    return 0;
}
int DrawRectangle(int x1, int y1, int x2, int y2, uint32_t colour, int fill) {
    standin::Note("DrawRectangle" + standin::Join({x1, y1, x2, y2, colour, fill}));
    return 0;
}
int DrawEllipseShape(int x, int y, int rx, int ry, uint32_t colour, int fill) {
    standin::Note("DrawEllipseShape" + standin::Join({x, y, rx, ry, colour, fill}));
    return 0;
}
int DrawTextAt(int x, int y, const char* text, uint32_t colour, uint32_t edgeColor) {
    standin::Note("DrawTextAt" + standin::Join({x, y}) + " " + text +
                  standin::Join({colour, edgeColor}));
    return 0;
}
int SetBlendMode(int mode, int param) {
    standin::Note("SetBlendMode" + standin::Join({mode, param}));
    return 0;
}
int SetDrawBrightness(int r, int g, int b) {
    standin::Note("SetDrawBrightness" + standin::Join({r, g, b}));
    return 0;
}
int SetDrawClipRect(int x1, int y1, int x2, int y2) {
    standin::Note("SetDrawClipRect" + standin::Join({x1, y1, x2, y2}));
    return 0;
}
int SetRenderTarget(int target) {
    standin::Note("SetRenderTarget" + standin::Join({target}));
    return 0;
}
int CopyScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag) {
    standin::Note("CopyScreenToGraph" + standin::Join({x1, y1, x2, y2, graph, flag}));
    return 0;
}
int SaveScreenToBmp(int x1, int y1, int x2, int y2, const char* fileName) {
    standin::Note("SaveScreenToBmp" + standin::Join({x1, y1, x2, y2}) + " " + fileName);
    return G().saveResult;
}
