// Writes the fuzz targets' seed corpora, all made here by the project's own encoders, packer
// and game code: make_seeds OUT_DIR DATA_DIR (DATA_DIR: the data builder's dat/ folder).
// Each corpus is a folder named after its target's seed group; every file is small.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/graphics/image_files.h"
#include "engine/sound/sound_files.h"
#include "game/core/config.h"
#include "game/core/input.h"
#include "platform/acm/acm.h"
#include "tests/platform/movie_files.h"
#include "tools/packer/packer.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path g_out;

void Put(const std::string& group, const std::string& name, const Bytes& bytes) {
    fs::create_directories(g_out / group);
    std::ofstream(g_out / group / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void MakeImages() {
    using namespace tessra::testimg;
    Picture p;
    Put("png", "rgba.png", WritePng(8, 8, 6, 8, false, 1, &p));
    Put("png", "palette_trns.png", WritePng(8, 6, 3, 4, true, 2, &p));
    Put("png", "grey16_interlaced.png", WritePng(9, 7, 0, 16, false, 3, &p, true));
    Put("jpeg", "colour.jpg", WriteJpeg(16, 16, false, &p));
    Put("jpeg", "grey_progressive.jpg", WriteProgressiveGreyJpeg(16, 8));
    Put("jpeg", "cmyk.jpg", WriteCmykJpeg(8, 8));
    Put("bmp", "rle8.bmp", WriteBmp(8, 8, 8, true, false, false, 4, &p));
    Put("bmp", "rle4.bmp", WriteBmp(9, 5, 4, true, false, false, 5, &p));
    Put("bmp", "565.bmp", WriteBmp(6, 6, 16, false, true, true, 6, &p));
    Put("bmp", "32.bmp", WriteBmp(5, 4, 32, false, false, false, 7, &p));
    Put("tga", "rle24.tga", WriteTga(8, 8, 10, 24, 0x20, 3, true, 8, &p));
    Put("tga", "mapped.tga", WriteTga(7, 5, 1, 24, 0, 0, false, 9, &p));
    Put("tga", "rle_mapped.tga", WriteTga(6, 6, 9, 16, 0x20, 0, false, 10, &p));
    Bytes pixels;
    Put("dds", "argb.dds",
        WriteDdsMasks(8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x41, 0, 11, &pixels));
    Put("dds", "rgb565.dds", WriteDdsMasks(6, 5, 16, 0xF800, 0x7E0, 0x1F, 0, 0x40, 4, 12, &pixels));
    Put("dds", "fourcc21.dds", WriteDdsFourCC(5, 4, 21, 4, 13, &pixels));
    Put("bgra", "eight.bgra", WriteBgra(8, 8, false, 14, &p));
    Put("bgra", "sixteen.bgra", WriteBgra(5, 5, true, 15, &p));
}

void MakeSounds() {
    using namespace tessra::testsnd;
    const std::vector<int16_t> mono = Sine(256, 1, 22050, 440, 9000);
    WaveSpec pcm16;
    pcm16.pcm = AsBytes(mono);
    Put("sound_wave", "mono16.wav", MakeWave(pcm16));
    WaveSpec pcm8;
    pcm8.bits = 8;
    pcm8.channels = 2;
    for (int i = 0; i < 200; ++i) pcm8.pcm.push_back(uint8_t(128 + 60 * std::sin(i * 0.2)));
    pcm8.listBeforeData = true;
    Put("sound_wave", "stereo8_list.wav", MakeWave(pcm8));

    Put("sound_acm", "ima.wav", ImaWave(mono, 22050, 256));
    Put("sound_acm", "ms.wav", MsAdpcmWave(mono, 22050, 256));
    for (uint16_t tag : {plat::WAVE_FORMAT_ALAW, plat::WAVE_FORMAT_MULAW}) {
        WaveSpec g711;
        g711.formatTag = tag;
        g711.bits = 8;
        g711.rate = 8000;
        g711.fmtSize = 18;
        for (int i = 0; i < 256; ++i) g711.pcm.push_back(uint8_t(i * 7));
        Put("sound_acm", tag == plat::WAVE_FORMAT_ALAW ? "alaw.wav" : "mulaw.wav", MakeWave(g711));
    }
    int frames = 0;
    Put("sound_acm", "short.mp3", EncodeMp3(1, 22050, Sine(2000, 1, 22050, 330, 8000), &frames));

    Put("sound_ogg", "mono.ogg", MakeOgg(1, 22050, Sine(2000, 1, 22050, 440, 8000)));
    Put("sound_ogg", "paged.ogg", MakeOgg(2, 11025, Sine(1500, 2, 11025, 220, 8000), true));
}

void MakeArchives() {
    const fs::path tree = g_out / "archive-tree";
    fs::create_directories(tree / "sub");
    std::ofstream(tree / "a.txt") << "hello, archive";
    std::ofstream(tree / "sub" / "b.bin") << std::string(300, 'x') + "tail";
    std::ofstream(tree / "sub" / "c") << "";
    for (int version = 0; version <= 3; ++version) {
        packer::PackOptions options;
        options.version = version;
        options.useKey = false;
        Bytes archive;
        std::string error;
        if (packer::BuildArchive(tree.string(), options, &archive, &error))
            Put("archive", "v" + std::to_string(version) + ".dat", archive);
        else
            std::fprintf(stderr, "make_seeds: archive v%d: %s\n", version, error.c_str());
    }
    fs::remove_all(tree);

    const std::string texts[] = {"abcabcabcabcabcabcabc", std::string(2000, 'z'),
                                 "tile-row-1;tile-row-2;tile-row-1;tile-row-3;"};
    int n = 0;
    for (const std::string& t : texts) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(t.data());
        Put("lz", "text" + std::to_string(n++) + ".lz",
            packer::EncodeArchiveLz(bytes, uint32_t(t.size())));
    }
}

// The game's own files: the built-in stages from the data builder, a settings file and a replay
// written by the game's code.
void MakeGameFiles(const fs::path& data) {
    for (const auto& entry : fs::directory_iterator(data / "velm4"))
        if (entry.path().extension() == ".dat")
            Put("stage", entry.path().filename().string(), ReadFile(entry.path()));

    Put("messages", "velm1.dat", ReadFile(data / "velm1.dat"));

    const fs::path work = g_out / "game-work";
    fs::create_directories(work / "userdata");
    const fs::path old = fs::current_path();
    fs::current_path(work);
    velmora::ResetConfig();
    if (velmora::SaveConfig() > 0) Put("settings", "fresh.sav", ReadFile(velmora::kConfigFileName));

    velmora::StartReplay(velmora::kReplayRecord);
    for (int stage = 0; stage < 2; ++stage) {
        velmora::SyncReplayArea(velmora::kReplayRecord, stage);
        for (int frame = 0; frame < 40; ++frame) velmora::AppendReplayWord(uint32_t(frame % 5));
    }
    velmora::EndReplay();
    velmora::SealReplayHeader();
    if (velmora::SaveReplay(0))
        Put("replay", "two_areas.rpy", ReadFile("userdata/velmrep0000.rpy"));
    fs::current_path(old);
    fs::remove_all(work);
}

}  // namespace

// Framed messages (a 32-bit little-endian length, then the bytes) and HTTP answers.
void MakeNetwork() {
    auto framed = [](std::initializer_list<std::string> messages) {
        Bytes out;
        for (const std::string& m : messages) {
            const uint32_t n = uint32_t(m.size());
            for (int i = 0; i < 4; ++i) out.push_back(uint8_t(n >> (8 * i)));
            out.insert(out.end(), m.begin(), m.end());
        }
        return out;
    };
    Put("framed", "one.bin", framed({"hello"}));
    Put("framed", "three.bin", framed({"", "score 1200", std::string(300, 'x')}));
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Put("http", "length.txt",
        text("HTTP/1.0 200 OK\r\nContent-Length: 5\r\nX-Note: a\r\n\r\nhello"));
    Put("http", "no_length.txt",
        text("HTTP/1.1 200 OK\r\nServer: tiny\r\n\r\n" + std::string(200, 'b')));
    Put("http", "not_found.txt", text("HTTP/1.0 404 Not Found\r\n\r\n"));
    Put("http", "huge.txt", text("HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\nabc"));
}

// Small movies in the containers and codecs the tests make.
void MakeMovies() {
    const fs::path dir = g_out / "movie-work";
    fs::create_directories(dir);
    movie_files::MovieSpec plain;
    plain.width = 16;
    plain.height = 12;
    plain.frames = 3;
    movie_files::MovieSpec withTone = plain;
    withTone.toneHz = 440;
    withTone.sampleRate = 8000;
    movie_files::MovieSpec mjpeg = plain;
    mjpeg.codec = movie_files::VideoCodec::kMjpeg;
    const std::pair<const char*, const movie_files::MovieSpec*> movies[] = {
        {"ffv1.mkv", &plain}, {"tone.mkv", &withTone}, {"mjpeg.mkv", &mjpeg}};
    for (const auto& [name, spec] : movies) {
        const fs::path path = dir / name;
        if (movie_files::WriteMovie(path.string(), *spec)) Put("movie", name, ReadFile(path));
    }
    fs::remove_all(dir);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds OUT_DIR DATA_DIR\n");
        return 2;
    }
    g_out = fs::absolute(argv[1]);
    fs::remove_all(g_out);
    fs::create_directories(g_out);
    MakeImages();
    MakeSounds();
    MakeArchives();
    MakeNetwork();
    MakeMovies();
    MakeGameFiles(fs::absolute(argv[2]));
    return 0;
}
