// Small sound files made in the tests, and the fixture that starts sound on the stepped mixer
// with the log in a directory of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessra::testsnd {

using Bytes = std::vector<uint8_t>;

struct WaveSpec {
    int channels = 1;
    int rate = 22050;
    int bits = 16;
    Bytes pcm;
    int fmtSize = 16;  // 16, 18, or larger (zero extra bytes); odd sizes get a pad
    uint16_t formatTag = 1;
    int bitsField = -1;           // what the bits-per-sample field says; -1: `bits`
    int64_t declaredData = -1;    // the "data" chunk's size field; -1: the real size
    bool listBeforeData = false;  // a "LIST" chunk between "fmt " and "data"
    bool listBeforeFmt = false;   // a "LIST" chunk between "WAVE" and "fmt "
    int oddChunkBeforeData = 0;   // a chunk of that (odd) size, with its pad byte
    int64_t avgBytesField = -1;   // -1: rate x block align
    Bytes fmtExtra;               // the fmt body after its first 16 bytes (cbSize and on)
};
Bytes MakeWave(const WaveSpec& spec);

// Ogg Vorbis of interleaved 16-bit samples, made with libvorbisenc (quality 0.4); with
// pagePerPacket each audio packet gets a page of its own.
Bytes MakeOgg(int channels, int rate, const std::vector<int16_t>& samples,
              bool pagePerPacket = false);

// A sine of `frames` frames at `hz`, peak `amplitude`, the same on each channel.
std::vector<int16_t> Sine(int frames, int channels, int rate, double hz, double amplitude);
Bytes AsBytes(const std::vector<int16_t>& samples);

// MP3 made with LAME at 128 kbit/s; *frames receives the number of frames written.
Bytes EncodeMp3(int channels, int rate, const std::vector<int16_t>& pcm, int* frames);
// IMA ADPCM and MS ADPCM (first predictor pair) WAVE files of mono samples, by encoders of our
// own so the files are known bit for bit.
Bytes ImaWave(const std::vector<int16_t>& pcm, int rate, int blockAlign);
Bytes MsAdpcmWave(const std::vector<int16_t>& pcm, int rate, int blockAlign);

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);

// Sound started on the stepped mixer (no audio thread), the log in the test's directory, which is
// also the current directory. TearDown ends sound and checks that no allocation is left.
class SoundFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string ReadLog() const;
    std::filesystem::path dir_;
    bool startSound_ = true;
};

}  // namespace tessra::testsnd
