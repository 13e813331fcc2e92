// The reader-bound run: a fuzz target built plain and optimised, replaying the inputs given
// (files, or folders searched through) and timing each one under 1 kB. The readers promise that
// no such input costs more than 100 ms; the process's peak resident size shows the memory side.
// Prints one line for the target and exits 1 when the slowest input is over the bound.
//   fuzz_<reader> INPUT...
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr uintmax_t kSmallInput = 1024;
constexpr double kBoundMs = 100.0;

void Collect(const std::filesystem::path& path, std::vector<std::filesystem::path>& out) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        for (auto it = std::filesystem::recursive_directory_iterator(path, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
            if (it->is_regular_file(error) && it->file_size(error) < kSmallInput)
                out.push_back(it->path());
    } else if (std::filesystem::is_regular_file(path, error) &&
               std::filesystem::file_size(path, error) < kSmallInput) {
        out.push_back(path);
    }
}

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) Collect(argv[i], inputs);
    std::sort(inputs.begin(), inputs.end());

    const std::string name = std::filesystem::path(argv[0]).filename().string();
    const long residentBefore = PeakResidentKb();
    double slowestMs = 0, totalMs = 0;
    std::string slowest = "-";
    auto read = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    };
    // The first input once untimed: what a reader does once per process (the movie libraries
    // are loaded when the first movie opens) is not the cost of any one input.
    if (!inputs.empty()) {
        const std::vector<uint8_t> first = read(inputs.front());
        LLVMFuzzerTestOneInput(first.data(), first.size());
    }
    for (const auto& path : inputs) {
        const std::vector<uint8_t> bytes = read(path);
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        totalMs += ms;
        if (ms > slowestMs) {
            slowestMs = ms;
            slowest = path.filename().string();
        }
    }
    std::printf("%-18s %8zu %10.2f %10.3f %10ld  %s\n", name.c_str(), inputs.size(), slowestMs,
                inputs.empty() ? 0.0 : totalMs / double(inputs.size()),
                (PeakResidentKb() - residentBefore) / 1024, slowest.c_str());
    return slowestMs > kBoundMs ? 1 : 0;
}
