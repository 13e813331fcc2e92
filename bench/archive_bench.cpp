// Reading files through the engine's public file calls: plain files, a stored archive and an
// LZ archive of the same 64 MB (sixteen 4 MB files, half sprite-like and compressible, half
// random; page cache warm), the LZ decoder alone, and memcpy of the same bytes as the limit.
// A table of the rates and their ratio to the plain reads is printed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/base/archive.h"
#include "engine/tessra.h"
#include "tools/packer/packer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 16;
// 4 MB files (a 1024x1024 sheet); the smoke run's --small takes 64 KB ones (128x128).
size_t g_fileSize = 4u << 20;
int g_side = 1024;

// Sprite sheet-like pixels: 32-bit, a sheet of 64x64 cells, each a shape of a few flat and
// banded colours with soft edges on a clear background, and a little noise.
std::vector<uint8_t> SpriteSheet(uint32_t seed) {
    const int kSide = g_side, kCell = 64;
    std::vector<uint8_t> out(g_fileSize);
    std::mt19937 rng(seed);
    for (int cy = 0; cy < kSide / kCell; ++cy)
        for (int cx = 0; cx < kSide / kCell; ++cx) {
            uint32_t colours[4];
            for (uint32_t& c : colours) c = rng() & 0xFFFFFF;
            const int radius = 16 + int(rng() % 14), shape = int(rng() % 3);
            for (int y = 0; y < kCell; ++y)
                for (int x = 0; x < kCell; ++x) {
                    const int dx = x - kCell / 2, dy = y - kCell / 2;
                    const int r = shape == 0   ? int(std::sqrt(double(dx * dx + dy * dy)))
                                  : shape == 1 ? std::max(std::abs(dx), std::abs(dy))
                                               : std::abs(dx) + std::abs(dy) / 2;
                    uint32_t pixel = 0;
                    if (r < radius) {
                        pixel = colours[(y / 6 + (r > radius - 4 ? 3 : 0)) % 4] | 0xFF000000u;
                        if (r == radius - 1) pixel = (pixel & 0xFFFFFF) | 0x80000000u;
                        if (rng() % 64 == 0) pixel ^= rng() & 0x070707;
                    }
                    const size_t at = (size_t(cy * kCell + y) * kSide + size_t(cx * kCell + x)) * 4;
                    std::memcpy(&out[at], &pixel, 4);
                }
        }
    return out;
}

std::vector<uint8_t> Noise(uint32_t seed) {
    std::vector<uint8_t> out(g_fileSize);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < out.size(); i += 4) {
        const uint32_t v = rng();
        std::memcpy(&out[i], &v, 4);
    }
    return out;
}

struct Data {
    fs::path dir;
    std::vector<std::vector<uint8_t>> files;
    std::vector<std::vector<uint8_t>> packedSprites;  // the sprite-like files, LZ streams
    size_t spriteBytes = 0;
};

Data* g_data = nullptr;

std::string FileName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.bin", i);
    return name;
}

std::vector<uint8_t> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The files, the archives and the sprite-like files' LZ streams, in a folder beside the program.
// The packer takes minutes over the random half, so a folder completed by an earlier run (the
// data is the same each time) is used again.
bool Prepare(const fs::path& programDir) {
    g_data = new Data;
    Data& d = *g_data;
    d.dir = programDir / ("archive_bench_data_v1_" + std::to_string(g_fileSize));
    const bool ready = fs::exists(d.dir / "complete");
    if (!ready) {
        std::fprintf(stderr, "packing the benchmark's data into %s (once)\n", d.dir.c_str());
        fs::remove_all(d.dir);
        fs::create_directories(d.dir / "plain");
    }
    for (int i = 0; i < kFiles; ++i) {
        d.files.push_back(i % 2 == 0 ? SpriteSheet(100 + i) : Noise(200 + i));
        if (i % 2 != 0) continue;
        const fs::path lz = d.dir / (FileName(i) + ".lz");
        if (!ready) {
            WriteBytes(lz, packer::EncodeArchiveLz(d.files.back().data(), uint32_t(g_fileSize)));
        }
        d.packedSprites.push_back(ReadBytes(lz));
        d.spriteBytes += g_fileSize;
    }
    if (!ready) {
        for (int i = 0; i < kFiles; ++i)
            WriteBytes(d.dir / "plain" / FileName(i), d.files[size_t(i)]);
        std::string error;
        packer::PackOptions stored, lz;
        stored.method = packer::Method::Store;
        lz.method = packer::Method::Lz;
        if (!packer::PackDirectory((d.dir / "plain").string(), (d.dir / "stored.dat").string(),
                                   stored, &error) ||
            !packer::PackDirectory((d.dir / "plain").string(), (d.dir / "lz.dat").string(), lz,
                                   &error)) {
            std::fprintf(stderr, "packing failed: %s\n", error.c_str());
            return false;
        }
        std::ofstream(d.dir / "complete") << "v1\n";
    }
    fs::current_path(d.dir);
    SetArchiveExtension("dat");
    SetArchiveKey(packer::GameKeyText().c_str());
    return true;
}

// Reads every file whole through the public calls from folder (an archive's name when
// archives are on) and checks the bytes once, outside the timing.
void ReadAll(benchmark::State& state, const char* folder, bool archives) {
    SetUseArchive(archives ? 1 : 0);
    std::vector<uint8_t> buffer(g_fileSize);
    auto readOne = [&](int i) {
        const std::string name = std::string(folder) + "\\" + FileName(i);
        const intptr_t h = OpenEngineFile(name.c_str());
        if (h == 0) return false;
        // One item of the whole size: a plain file counts the item, an archived one the bytes.
        const int64_t n = ReadEngineFile(buffer.data(), int64_t(g_fileSize), h);
        CloseEngineFile(h);
        return n == 1 || n == int64_t(g_fileSize);
    };
    for (int i = 0; i < kFiles; ++i)
        if (!readOne(i) || buffer != g_data->files[size_t(i)]) {
            state.SkipWithError("a file did not read back as written");
            return;
        }
    for (auto _ : state) {
        for (int i = 0; i < kFiles; ++i) readOne(i);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFiles * int64_t(g_fileSize));
}

void DecodeAlone(benchmark::State& state) {
    std::vector<uint8_t> out(g_fileSize);
    for (auto _ : state) {
        for (const auto& packed : g_data->packedSprites)
            tessra::DecodeArchiveLz(packed.data(), uint32_t(packed.size()), out.data(),
                                    uint32_t(g_fileSize));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(g_data->spriteBytes));
}

void Memcpy(benchmark::State& state) {
    std::vector<uint8_t> out(g_fileSize);
    for (auto _ : state) {
        for (const auto& file : g_data->files) std::memcpy(out.data(), file.data(), g_fileSize);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFiles * int64_t(g_fileSize));
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::vector<std::pair<std::string, double>> rates;  // MB/s, in the order run
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end() || r.error_occurred) continue;
            // With --benchmark_repetitions the median is kept, else the single run.
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            const std::string name = r.run_name.function_name;
            const double mb = it->second.value / 1e6;
            bool found = false;
            for (auto& [n, v] : rates)
                if (n == name) {
                    if (r.run_type == Run::RT_Aggregate) v = mb;
                    found = true;
                }
            if (!found) rates.push_back({name, mb});
        }
    }
    void PrintTable() const {
        double plain = 0;
        for (const auto& [n, v] : rates)
            if (n == "plain") plain = v;
        std::printf("\n%-22s %12s %10s\n", "case", "MB/s", "vs plain");
        for (const auto& [n, v] : rates) {
            if (plain > 0)
                std::printf("%-22s %12.0f %10.2f\n", n.c_str(), v, v / plain);
            else
                std::printf("%-22s %12.0f %10s\n", n.c_str(), v, "-");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--small") == 0) {
            g_fileSize = 64u << 10;
            g_side = 128;
            std::copy(argv + i + 1, argv + argc + 1, argv + i);
            --argc;
            break;
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const fs::path start = fs::current_path();
    if (!Prepare(fs::absolute(argv[0]).parent_path())) return 1;
    benchmark::RegisterBenchmark("plain", ReadAll, "plain", false);
    benchmark::RegisterBenchmark("stored_archive", ReadAll, "stored", true);
    benchmark::RegisterBenchmark("lz_archive", ReadAll, "lz", true);
    benchmark::RegisterBenchmark("lz_decoder_sprites", DecodeAlone);
    benchmark::RegisterBenchmark("memcpy", Memcpy);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    fs::current_path(start);
    return 0;
}
