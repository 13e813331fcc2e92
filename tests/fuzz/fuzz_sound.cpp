// One sound reader on a memory stream, through the decoder frame a sound file takes: opened,
// streamed to its end, sought back and decoded whole. FUZZ_SOUND_KIND names the reader (the
// build makes one target per reader); input another reader takes is left alone.
#include <vector>

#include "engine/base/memory.h"
#include "engine/base/stream.h"
#include "engine/sound/sound_internal.h"
#include "fuzz_support.h"

using namespace tessra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    if (size > UINT32_MAX) return 0;
    fuzz::TrackedBlocks blocks;
    const StreamHandle handle = OpenMemStream(data, uint32_t(size));
    fuzz::Require(handle != 0, "memory stream refused");
    const StreamIo io = MakeStreamIo(GetMemStreamFuncs(), handle);
    SoundDecoder decoder{};
    if (OpenSoundDecoder(&io, &decoder) == 0) {
        if (decoder.kind == FUZZ_SOUND_KIND) {
            const uint32_t stated = GetSoundDecoderSize(&decoder);
            // The compressed kinds state an estimate: a second of slack, as the whole decode.
            const uint64_t slack =
                decoder.kind == kDecoderPcmWave ? 0 : uint64_t{44100} * decoder.format.nBlockAlign;
            std::vector<uint8_t> chunk(4096);
            uint64_t total = 0;
            for (;;) {
                const int n = ReadSoundDecoder(&decoder, chunk.data(), uint32_t(chunk.size()));
                if (n <= 0) break;
                total += uint32_t(n);
                fuzz::Require(total <= stated + slack, "streamed more than the stated size");
            }
            SeekSoundDecoder(&decoder, 0);
            plat::WAVEFORMATEX format{};
            void* whole = nullptr;
            uint32_t length = 0;
            if (DecodeWholeSound(&decoder, &format, &whole, &length) == 0) {
                fuzz::Require(length <= stated + slack, "whole decode beyond the stated size");
                fuzz::Touch(whole, length);
                FreeTagged(whole);
            }
        }
        CloseSoundDecoder(&decoder);
    }
    CloseMemStream(handle);
    blocks.Check("the sound reader left tracked blocks behind");
    return 0;
}
