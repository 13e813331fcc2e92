// The message file as the game loads it (a plain file in dat/), then every message unscrambled,
// parsed page by page and copied raw. No message may reach past the data read, no line past
// its 255 characters, whatever the file holds.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fuzz_support.h"
#include "game/play/message_store.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    std::filesystem::create_directories("dat");
    {
        std::ofstream out("dat/velm1.dat", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    ClearMessages();
    if (!LoadMessages()) return 0;
    std::vector<uint8_t> buffer(kMessageBufferBytes + 1, 0xA5);
    for (int n = 0; n < kMessageCount; ++n) {
        const int length = GetMessageLength(n);
        fuzz::Require(length >= 0 && size_t(length) <= size, "a message longer than the file");
        UnscrambleMessage(buffer.data(), n);
        fuzz::Require(buffer[kMessageBufferBytes] == 0xA5, "unscrambled past the buffer");
        for (int k = 0; k < 4; ++k) {
            const int line = ParseMessage(n, k);
            fuzz::Require(line >= 0 && line < kMessageLines, "parsing left the lines");
            for (int m = 0; m < kMessageLines; ++m)
                fuzz::Require(std::strlen(GetMessageLine(m)) < size_t(kMessageLineBytes),
                              "a line past its room");
        }
        CopyMessageRaw(n % kMessageLines, n);
        fuzz::Require(std::strlen(GetMessageLine(n % kMessageLines)) < size_t(kMessageLineBytes),
                      "a raw copy past its room");
    }
    return 0;
}
