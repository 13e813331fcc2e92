#include "engine/sound/sound_files.h"

#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/sound/sound.h"
#include "platform/testing.h"

namespace tessra::testsnd {
namespace {

void Put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutTag(Bytes* b, const char* tag) {
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(tag[i]));
}
void PutChunk(Bytes* b, const char* tag, const Bytes& body) {
    PutTag(b, tag);
    Put32(b, static_cast<uint32_t>(body.size()));
    b->insert(b->end(), body.begin(), body.end());
    if (body.size() & 1) b->push_back(0);
}

}  // namespace

Bytes MakeWave(const WaveSpec& s) {
    const int align = s.channels * s.bits / 8;
    Bytes fmt;
    Put16(&fmt, s.formatTag);
    Put16(&fmt, static_cast<uint32_t>(s.channels));
    Put32(&fmt, static_cast<uint32_t>(s.rate));
    Put32(&fmt, static_cast<uint32_t>(s.avgBytesField >= 0 ? s.avgBytesField : s.rate * align));
    Put16(&fmt, static_cast<uint32_t>(align));
    Put16(&fmt, static_cast<uint32_t>(s.bitsField >= 0 ? s.bitsField : s.bits));
    fmt.insert(fmt.end(), s.fmtExtra.begin(), s.fmtExtra.end());
    while (fmt.size() < static_cast<size_t>(s.fmtSize)) fmt.push_back(0);
    fmt.resize(static_cast<size_t>(s.fmtSize));
    const Bytes list = {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 4, 0, 0, 0, 't', 'e', 's', 't'};

    Bytes body;
    PutTag(&body, "WAVE");
    if (s.listBeforeFmt) PutChunk(&body, "LIST", list);
    PutChunk(&body, "fmt ", fmt);
    if (s.listBeforeData) PutChunk(&body, "LIST", list);
    if (s.oddChunkBeforeData > 0) PutChunk(&body, "junk", Bytes(s.oddChunkBeforeData, 0x5A));
    PutTag(&body, "data");
    Put32(&body, static_cast<uint32_t>(s.declaredData >= 0 ? s.declaredData : s.pcm.size()));
    body.insert(body.end(), s.pcm.begin(), s.pcm.end());

    Bytes out;
    PutTag(&out, "RIFF");
    Put32(&out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes MakeOgg(int channels, int rate, const std::vector<int16_t>& samples, bool pagePerPacket) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    EXPECT_EQ(vorbis_encode_init_vbr(&vi, channels, rate, 0.4f), 0);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    Bytes out;
    auto emit = [&](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, comment, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comment);
    ogg_stream_packetin(&os, &code);
    ogg_page page;
    while (ogg_stream_flush(&os, &page) != 0) emit(page);

    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min<size_t>(1024, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(done + i) * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while ((pagePerPacket ? ogg_stream_flush(&os, &page)
                                      : ogg_stream_pageout(&os, &page)) != 0) {
                    emit(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            while (ogg_stream_flush(&os, &page) != 0) {
                emit(page);
                if (ogg_page_eos(&page)) eos = true;
            }
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

std::vector<int16_t> Sine(int frames, int channels, int rate, double hz, double amplitude) {
    std::vector<int16_t> out(static_cast<size_t>(frames * channels));
    for (int i = 0; i < frames; ++i) {
        const auto v =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) out[static_cast<size_t>(i * channels + c)] = v;
    }
    return out;
}

Bytes AsBytes(const std::vector<int16_t>& samples) {
    Bytes out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void SoundFixture::SetUp() {
    plat::testing::Reset();
    plat::testing::UseSteppedMixer(true);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("engine_sound_" + name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    SetLogStartDirectory(dir_.c_str());
    GetLogState().logOff = 0;
    InitLogFile();
    SetFileAccessFuncs(nullptr);
    if (startSound_) {
        ASSERT_EQ(InitializeSound(), 0);
    }
}

void SoundFixture::TearDown() {
    TerminateSound();
    EXPECT_EQ(GetAllocStats().count, 0) << "blocks left allocated";
    EXPECT_FALSE(plat::testing::SoundDeviceOpen());
    SetLogStartDirectory(nullptr);
    plat::testing::Reset();
    if (chdir(::testing::TempDir().c_str()) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::string SoundFixture::ReadLog() const {
    std::ifstream f(dir_ / GetLogState().fileName, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace tessra::testsnd
