// tqa_pack: packs a directory tree into one archive for the engine.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/packer/packer.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: tqa_pack [options] SOURCE_DIR ARCHIVE\n"
        "Packs the tree under SOURCE_DIR into the archive file ARCHIVE.\n"
        "\n"
        "  -V, --format-version N  archive format version 0 to 3 (default 3);\n"
        "                          versions 0 and 1 store every file\n"
        "  -m, --method M          auto: compress a file when that makes it smaller (default),\n"
        "                          store: never compress, lz: compress every file\n"
        "  -k, --key TEXT          key text to scramble with (default: the game's key)\n"
        "      --no-key            scramble as the reader does when no key is set\n"
        "  -s, --size BYTES        pad the archive to exactly BYTES; fails when it does not fit\n"
        "  -h, --help              show this help\n"
        "\n"
        "Exit status: 0 packed, 1 packing failed, 2 bad usage.\n",
        to);
}

bool ParseNumber(const char* text, unsigned long long max, unsigned long long* value) {
    if (!text || !*text || *text == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max) return false;
    *value = v;
    return true;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "tqa_pack: %s\n", message.c_str());
    std::fputs("Try 'tqa_pack --help'.\n", stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kNoKey = 1000 };
    static const option longOptions[] = {
        {"format-version", required_argument, nullptr, 'V'},
        {"method", required_argument, nullptr, 'm'},
        {"key", required_argument, nullptr, 'k'},
        {"no-key", no_argument, nullptr, kNoKey},
        {"size", required_argument, nullptr, 's'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    packer::PackOptions options;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":V:m:k:s:h", longOptions, nullptr)) != -1) {
        unsigned long long value = 0;
        switch (c) {
            case 'V':
                if (!ParseNumber(optarg, 3, &value)) return UsageError("version must be 0 to 3");
                options.version = static_cast<int>(value);
                break;
            case 'm': {
                const std::string method = optarg;
                if (method == "auto")
                    options.method = packer::Method::Auto;
                else if (method == "store")
                    options.method = packer::Method::Store;
                else if (method == "lz")
                    options.method = packer::Method::Lz;
                else
                    return UsageError("unknown method '" + method + "' (auto, store or lz)");
                break;
            }
            case 'k':
                if (!*optarg) return UsageError("the key text is empty (use --no-key)");
                options.keyText = optarg;
                options.useKey = true;
                break;
            case kNoKey:
                options.useKey = false;
                break;
            case 's':
                if (!ParseNumber(optarg, 0xFFFFFFFFull, &value) || value == 0)
                    return UsageError(std::string("bad size '") + optarg + "'");
                options.exactSize = value;
                break;
            case 'h':
                PrintUsage(stdout);
                return 0;
            case ':':
                return UsageError(std::string("option needs a value: ") + argv[optind - 1]);
            default:
                return UsageError(std::string("unknown option: ") + argv[optind - 1]);
        }
    }
    if (argc - optind != 2) return UsageError("expected SOURCE_DIR and ARCHIVE");
    std::string error;
    if (!packer::PackDirectory(argv[optind], argv[optind + 1], options, &error)) {
        std::fprintf(stderr, "tqa_pack: %s\n", error.c_str());
        return kExitFailure;
    }
    return 0;
}
