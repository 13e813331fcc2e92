// The game's data as the build makes it in run/dat: exact sizes, sound effects and music that
// decode with their lengths and loop points, the message file, the built-in stages and the
// archives read through the engine. Also the producers' checks on their own sources.
#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <queue>
#include <string>
#include <vector>

#include "engine/base/archive.h"
#include "engine/base/file_access.h"
#include "engine/base/stream.h"
#include "engine/sound/sound_internal.h"
#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/sound_cue.h"
#include "game/play/stage_file.h"
#include "platform/win/codepage.h"
#include "tools/databuild/archives.h"
#include "tools/databuild/databuild.h"
#include "tools/databuild/message_texts.h"
#include "tools/databuild/messages.h"
#include "tools/databuild/sound_effects.h"
#include "tools/databuild/stages.h"
#include "tools/packer/packer.h"

namespace fs = std::filesystem;

namespace {

const std::string kDat = std::string(GAME_RUN_DIR) + "/dat";

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string Name(const char* format, int n) {
    char b[64];
    std::snprintf(b, sizeof b, format, n);
    return b;
}

fs::path TempDir(const char* what) {
    const char* base = std::getenv("TEST_TMPDIR");
    fs::path dir = fs::path(base ? base : ::testing::TempDir().c_str()) /
                   (std::string(what) + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(GameData, FilesTestedAtStartUpHaveTheirExactSizes) {
    const struct {
        const char* name;
        uintmax_t size;
    } files[] = {{"velm0.dat", 10432},
                 {"velm1.dat", 9993},
                 {"velm2.dat", 2236876},
                 {"velm3.dat", 1891444},
                 {"velm4.dat", 172548}};
    for (const auto& f : files) {
        ASSERT_TRUE(fs::exists(kDat + "/" + f.name)) << f.name;
        EXPECT_EQ(fs::file_size(kDat + "/" + f.name), f.size) << f.name;
    }
    // Never an archive for the whole folder: it would hide the plain files beside it.
    EXPECT_FALSE(fs::exists(kDat + "/../dat.dat"));
    for (const auto& e : fs::directory_iterator(kDat))  // no temporary file left behind
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

// ---- sound effects ----

struct Wave {
    int channels = 0, rate = 0, bits = 0, format = 0;
    std::vector<int16_t> samples;
};

bool ParseWave(const std::vector<uint8_t>& b, Wave* w) {
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
        return false;
    if (U32(b.data() + 4) != b.size() - 8) return false;
    size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= b.size()) {
        const uint32_t size = U32(b.data() + pos + 4);
        const uint8_t* body = b.data() + pos + 8;
        if (pos + 8 + size > b.size()) return false;
        if (!std::memcmp(b.data() + pos, "fmt ", 4)) {
            w->format = body[0] | body[1] << 8;
            w->channels = body[2] | body[3] << 8;
            w->rate = static_cast<int>(U32(body + 4));
            w->bits = body[14] | body[15] << 8;
            haveFormat = true;
        } else if (!std::memcmp(b.data() + pos, "data", 4)) {
            w->samples.resize(size / 2);
            std::memcpy(w->samples.data(), body, size / 2 * 2);
        }
        pos += 8 + size + (size & 1);
    }
    return haveFormat && !w->samples.empty();
}

TEST(GameData, SoundEffectsArePcmWavesThatStartAndEndQuietlyWithoutClipping) {
    for (int i = 0; i < velmora::kSeCount; ++i) {
        SCOPED_TRACE(i);
        Wave w;
        ASSERT_TRUE(ParseWave(ReadFile(kDat + Name("/velm3/se%02d.wav", i)), &w));
        EXPECT_EQ(w.format, 1);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_EQ(w.rate, databuild::kSoundEffectRate);
        const double seconds = static_cast<double>(w.samples.size()) / w.rate;
        EXPECT_GT(seconds, 0.03);
        EXPECT_LT(seconds, 5.0);
        int peak = 0;
        for (int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 3000);                        // audible
        EXPECT_LT(peak, 32000);                       // and never clipped
        EXPECT_LT(std::abs(w.samples.front()), 600);  // no click at the start
        EXPECT_LT(std::abs(w.samples.back()), 600);   // nor at the end
        // Centred on silence: an offset would thump as the effect starts and stops.
        double sum = 0, squares = 0;
        for (int16_t s : w.samples) {
            sum += s;
            squares += static_cast<double>(s) * s;
        }
        const double n = static_cast<double>(w.samples.size());
        EXPECT_LE(std::abs(sum / n), std::sqrt(squares / n) / 20);
    }
    // The effect that lowers the music plays long enough to be heard doing it.
    Wave bell;
    ASSERT_TRUE(ParseWave(ReadFile(kDat + "/velm3/se21.wav"), &bell));
    EXPECT_GT(bell.samples.size(), 3u * databuild::kSoundEffectRate);
}

// ---- music ----

// Decoded frames [from, from + count) of an Ogg file, interleaved.
std::vector<int16_t> DecodeFrames(OggVorbis_File* vf, int64_t from, int64_t count) {
    std::vector<int16_t> out;
    if (ov_pcm_seek(vf, from) != 0) return out;
    out.resize(static_cast<size_t>(count) * 2);
    size_t got = 0;
    int section = 0;
    while (got < out.size()) {
        const long n = ov_read(vf, reinterpret_cast<char*>(out.data() + got),
                               static_cast<int>((out.size() - got) * 2), 0, 2, 1, &section);
        if (n <= 0) break;
        got += static_cast<size_t>(n) / 2;
    }
    out.resize(got);
    return out;
}

TEST(GameData, MusicTracksDecodeAndLoopSeamlesslyOrEndCleanly) {
    for (int i = 0; i < velmora::kBgmCount; ++i) {
        SCOPED_TRACE(i);
        OggVorbis_File vf;
        ASSERT_EQ(ov_fopen((kDat + Name("/velmbgm%02d.ogg", i)).c_str(), &vf), 0);
        const vorbis_info* info = ov_info(&vf, -1);
        EXPECT_EQ(info->channels, 2);
        EXPECT_EQ(info->rate, databuild::kMusicRate);
        const int64_t total = ov_pcm_total(&vf, -1);
        EXPECT_GT(total, 5 * databuild::kMusicRate);
        // No click as it starts: near silence (the encoder smears a little of what follows).
        const std::vector<int16_t> first = DecodeFrames(&vf, 0, 1);
        ASSERT_EQ(first.size(), 2u);
        EXPECT_LT(std::abs(first[0]) + std::abs(first[1]), 1200);
        const int loopMs = velmora::kBgmLoopStartMs[i];
        if (loopMs >= 1) {
            const int64_t loop = static_cast<int64_t>(loopMs) * databuild::kMusicRate / 1000;
            ASSERT_GT(total, loop + 4 * databuild::kMusicRate);  // a loop worth hearing
            // Playback jumps from the last frame to the loop start: the step there must be
            // no larger than the music's own steps around it, or it would click.
            const int64_t span = 2048;
            const std::vector<int16_t> end = DecodeFrames(&vf, total - span, span);
            const std::vector<int16_t> start = DecodeFrames(&vf, loop, span);
            const std::vector<int16_t> intro = DecodeFrames(&vf, loop - 1, 1);
            ASSERT_EQ(end.size(), static_cast<size_t>(span * 2));
            ASSERT_EQ(start.size(), static_cast<size_t>(span * 2));
            ASSERT_EQ(intro.size(), 2u);
            for (int ch = 0; ch < 2; ++ch) {
                int largest = 0;
                for (int64_t k = 1; k < span; ++k) {
                    largest = std::max(largest, std::abs(end[2 * k + ch] - end[2 * (k - 1) + ch]));
                    largest =
                        std::max(largest, std::abs(start[2 * k + ch] - start[2 * (k - 1) + ch]));
                }
                const int seam = std::abs(start[ch] - end[2 * (span - 1) + ch]);
                EXPECT_LE(seam, largest) << "channel " << ch;
                // The first time through, the intro leads into the loop start just as smoothly.
                EXPECT_LE(std::abs(start[ch] - intro[ch]), largest) << "channel " << ch;
            }
        } else {
            // A once-only track dies away to silence.
            const std::vector<int16_t> tail = DecodeFrames(&vf, total - 256, 256);
            ASSERT_EQ(tail.size(), 512u);
            for (size_t k = tail.size() - 32; k < tail.size(); ++k)
                EXPECT_LT(std::abs(tail[k]), 200);
        }
        ov_clear(&vf);
    }
}

// The mean and the RMS of a track's samples, both channels together, in 16-bit units.
struct TrackLevel {
    double mean = 0, rms = 0, samples = 0;
};

TrackLevel MeasureTrack(int track) {
    TrackLevel level;
    OggVorbis_File vf;
    if (ov_fopen((kDat + Name("/velmbgm%02d.ogg", track)).c_str(), &vf) != 0) return level;
    double sum = 0, squares = 0;
    int16_t buffer[4096];
    int section = 0;
    long got;
    while ((got = ov_read(&vf, reinterpret_cast<char*>(buffer), sizeof buffer, 0, 2, 1, &section)) >
           0) {
        for (long k = 0; k < got / 2; ++k) {
            sum += buffer[k];
            squares += static_cast<double>(buffer[k]) * buffer[k];
        }
        level.samples += static_cast<double>(got / 2);
    }
    ov_clear(&vf);
    if (level.samples > 0) {
        level.mean = sum / level.samples;
        level.rms = std::sqrt(squares / level.samples);
    }
    return level;
}

TEST(GameData, MusicTracksAreCentredOnSilence) {
    // An offset under the music would thump with every note of the voices that carry it and
    // click wherever the music stops.
    for (int i = 0; i < velmora::kBgmCount; ++i) {
        SCOPED_TRACE(i);
        const TrackLevel level = MeasureTrack(i);
        ASSERT_GT(level.samples, 0);
        EXPECT_LE(std::abs(level.mean), level.rms / 20);
    }
}

TEST(GameData, CuesOfTheDigAndBuryPlayCarryOverTheLoudestMusicAtTheDefaultVolumes) {
    // Volumes as a fresh settings file has them: the engine takes a setting v as (100 - v) dB
    // below full.
    velmora::ResetConfig();
    const double musicDb = velmora::GetConfigVar(velmora::kCfgMusicVolume) - 100.0;
    const double effectDb = velmora::GetConfigVar(velmora::kCfgSeVolume) - 100.0;
    double loudest = 0;
    for (int i = 0; i < velmora::kBgmCount; ++i) loudest = std::max(loudest, MeasureTrack(i).rms);
    ASSERT_GT(loudest, 0);
    const double musicLevel = 20 * std::log10(loudest) + musicDb;
    // The spade (digging, filling in), a walker falling in, a walker buried, a walker climbing
    // out: a player learns the play by these, so none may sink under the music.
    for (int se : {5, 8, 9, 10}) {
        SCOPED_TRACE(se);
        Wave w;
        ASSERT_TRUE(ParseWave(ReadFile(kDat + Name("/velm3/se%02d.wav", se)), &w));
        double squares = 0;
        for (int16_t v : w.samples) squares += static_cast<double>(v) * v;
        const double rms = std::sqrt(squares / static_cast<double>(w.samples.size()));
        EXPECT_GE(20 * std::log10(rms) + effectDb, musicLevel - 2.0);
    }
}

// Every effect and track opens through the engine's own sound decoders, as the game loads them.
struct EngineDecoder {
    explicit EngineDecoder(const std::vector<uint8_t>& bytes) : data(bytes) {
        memory = tessra::OpenMemStream(data.data(), static_cast<uint32_t>(data.size()));
        io = tessra::MakeStreamIo(tessra::GetMemStreamFuncs(), memory);
        result = tessra::OpenSoundDecoder(&io, &decoder);
    }
    ~EngineDecoder() {
        if (decoder.open) tessra::CloseSoundDecoder(&decoder);
        tessra::CloseMemStream(memory);
    }
    std::vector<uint8_t> data;
    tessra::StreamHandle memory;
    tessra::StreamIo io;
    tessra::SoundDecoder decoder{};
    int result;
};

TEST(GameData, EffectsAndMusicOpenThroughTheEnginesDecoders) {
    for (int i = 0; i < velmora::kSeCount; ++i) {
        SCOPED_TRACE(i);
        const std::vector<uint8_t> file = ReadFile(kDat + Name("/velm3/se%02d.wav", i));
        EngineDecoder d(file);
        ASSERT_EQ(d.result, 0);
        EXPECT_EQ(d.decoder.kind, tessra::kDecoderPcmWave);
        EXPECT_EQ(d.decoder.format.nChannels, 1);
        EXPECT_EQ(d.decoder.format.nSamplesPerSec,
                  static_cast<uint32_t>(databuild::kSoundEffectRate));
        EXPECT_EQ(tessra::GetSoundDecoderSize(&d.decoder), file.size() - 44);
    }
    for (int i = 0; i < velmora::kBgmCount; ++i) {
        SCOPED_TRACE(i);
        const std::string path = kDat + Name("/velmbgm%02d.ogg", i);
        EngineDecoder d(ReadFile(path));
        ASSERT_EQ(d.result, 0);
        EXPECT_EQ(d.decoder.kind, tessra::kDecoderOgg);
        EXPECT_EQ(d.decoder.format.nChannels, 2);
        EXPECT_EQ(d.decoder.format.nSamplesPerSec, static_cast<uint32_t>(databuild::kMusicRate));
        // The same length vorbisfile gives, and longer than the loop start.
        OggVorbis_File vf;
        ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0);
        EXPECT_EQ(tessra::GetSoundDecoderSize(&d.decoder),
                  static_cast<uint32_t>(ov_pcm_total(&vf, -1) * 4));
        ov_clear(&vf);
        const uint32_t loopBytes =
            static_cast<uint32_t>(velmora::kBgmLoopStartMs[i]) * (databuild::kMusicRate / 1000) * 4;
        EXPECT_GT(tessra::GetSoundDecoderSize(&d.decoder), loopBytes);
    }
}

// ---- messages ----

TEST(GameData, MessageFileUnscramblesTo96MessagesWithinTheReadersLimits) {
    const std::vector<uint8_t> file = ReadFile(kDat + "/velm1.dat");
    ASSERT_EQ(file.size(), databuild::kMessageFileSize);
    std::vector<uint8_t> plain(file.size());
    velmora::ScrambleBuffer(file.data(), plain.data(), 0, file.size());
    size_t pos = 0;
    std::vector<std::string> messages;
    for (int i = 0; i < databuild::kMessageCount; ++i) {
        const size_t start = pos;
        while (pos + 1 < plain.size() && !(plain[pos] == '@' && plain[pos + 1] == 'e')) ++pos;
        ASSERT_LT(pos + 1, plain.size()) << "message " << i << " has no end";
        pos += 2;
        messages.emplace_back(plain.begin() + start, plain.begin() + pos);
    }
    for (size_t i = 0; i < messages.size(); ++i) {
        std::string why;
        EXPECT_TRUE(databuild::CheckMessage(messages[i], &why)) << i << ": " << why;
    }
    // The talks after the stages go page by page: each page ends with a wait, so the last one
    // is shown too; the speakers are 0 and 1, whose portraits the result window draws.
    for (int k = 64; k <= 68; ++k) {
        const std::string& m = messages[k];
        EXPECT_EQ(m.substr(m.size() - 4), "@w@e") << k;
        EXPECT_EQ(m.find("@c2"), std::string::npos) << k;
        EXPECT_NE(m.find("@c0"), std::string::npos) << k;
        EXPECT_NE(m.find("@c1"), std::string::npos) << k;
    }
    std::string first;
    ASSERT_TRUE(plat::TryUtf8ToSjis("赤いビン@n", &first));
    EXPECT_EQ(messages[0].substr(0, first.size()), first);
    for (size_t i = pos; i < plain.size(); ++i) ASSERT_EQ(plain[i], 0) << i;  // the padding
}

TEST(GameData, MessageCheckRefusesWhatTheReaderCannotTake) {
    std::string sjisWithAtTrail = "\x83\x40@e";  // a katakana whose second byte is '@'
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {"abc", "does not end"},
        {"a@eb@e", "before its end"},
        {"@c4x@e", "bad digit"},
        {"@cx@e", "bad digit"},
        {"@q@e", "unknown tag"},
        {"a\r\nb@e", "line end"},
        {sjisWithAtTrail, "second byte"},
        {std::string(256, 'a') + "@e", "line longer"},
        {std::string(1700, 'a') + "@e", "longer than 1600"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(databuild::CheckMessage(c.text, &why)) << c.text.substr(0, 20);
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
    std::string why;
    EXPECT_TRUE(databuild::CheckMessage(
        std::string(255, 'a') + "@n" + std::string(255, 'b') + "@c1@p7@w@e", &why))
        << why;
}

TEST(GameData, MessageSourceIsRefusedWhenNumberedWrongOrTooLong) {
    std::vector<uint8_t> file;
    EXPECT_FALSE(databuild::BuildMessageFile("00 a@e\n02 b@e\n", &file));
    std::string many;
    for (int i = 0; i < 96; ++i) many += Name("%02d ", i) + std::string(200, 'x') + "@w@e\n";
    EXPECT_FALSE(databuild::BuildMessageFile(many.c_str(), &file));  // 96 x 204 > 9993 bytes
    EXPECT_TRUE(databuild::BuildMessageFile(databuild::kMessageSource, &file));
    EXPECT_EQ(file, ReadFile(kDat + "/velm1.dat"));  // the same bytes every time
}

// ---- stages ----

std::vector<int32_t> LoadStage(int n, velmora::StageFileCheck* how) {
    std::vector<int32_t> record(velmora::kStageRecordWords, 0);
    const std::vector<uint8_t> file = ReadFile(kDat + Name("/velm4/velm4%02d.dat", n));
    *how = velmora::ReadStageFile(file.data(), file.size(), record.data());
    return record;
}

TEST(GameData, BuiltInStagesReadBackWithTheirTerminatorsAndMatchTheirLayouts) {
    std::vector<std::vector<int32_t>> built;
    ASSERT_TRUE(databuild::BuildBuiltInStages(&built));
    ASSERT_EQ(built.size(), 5u);
    for (int n = 0; n < 5; ++n) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> file = ReadFile(kDat + Name("/velm4/velm4%02d.dat", n));
        ASSERT_GE(file.size(), 128u);
        EXPECT_EQ(U32(file.data() + 31 * 4), file.size());
        EXPECT_EQ(U32(file.data() + file.size() - 4), velmora::kStageAreaTerminator);
        velmora::StageFileCheck how;
        const std::vector<int32_t> r = LoadStage(n, &how);
        EXPECT_EQ(how, velmora::StageFileCheck::Ok);
        EXPECT_EQ(static_cast<uint32_t>(r[0]), velmora::kStageMagic);
        EXPECT_EQ(r[2], velmora::kStageVersion);
        EXPECT_GT(r[velmora::kStageWordTimeLimit], 0);
        int inUse = 0;
        for (int a = 0; a < velmora::kStageAreaCount; ++a) {
            const int base = velmora::AreaBase(a);
            const int stored = velmora::StageAreaStoredWords(built[n].data(), a);
            for (int i = 0; i < stored; ++i)
                ASSERT_EQ(r[base + i], built[n][base + i]) << a << " " << i;
            const int w = r[base], h = r[base + 1];
            if (w == 0) continue;
            ++inUse;
            EXPECT_EQ(r[3 + a], base);
            EXPECT_GT(r[base + velmora::kAreaWordMusic], 0) << "area " << a << " has music";
            for (int e = 0; e < velmora::kAreaEntryCount; ++e) {
                const int x = r[base + 8 + e] >> 16, y = r[base + 8 + e] & 0xffff;
                ASSERT_TRUE(x < w && y < h) << "entry " << e;
                EXPECT_EQ(r[base + 32 + x + y * w] & 2, 0) << "an entry on a wall";
            }
        }
        EXPECT_GE(inUse, 2);
    }
    // Later stages ask for more: time limits and levels do not fall.
    velmora::StageFileCheck how;
    for (int n = 1; n < 5; ++n) {
        const std::vector<int32_t> a = LoadStage(n - 1, &how), b = LoadStage(n, &how);
        EXPECT_LE(a[velmora::kStageWordLevel], b[velmora::kStageWordLevel]);
    }
}

// Walks a stage as a player on foot: from area 0's first entry over cells that do not block
// the ground, through doorways to their areas. Says whether an exit that leaves the stage was
// reached, which areas were entered, and how many walkers stand on the way.
struct Walk {
    bool cleared = false;
    std::vector<bool> areas = std::vector<bool>(12, false);
    int walkers = 0;
};

Walk WalkStage(const std::vector<int32_t>& r) {
    struct Spot {
        int area, x, y;
    };
    Walk walk;
    std::vector<std::vector<bool>> seen(12, std::vector<bool>(4096, false));
    std::queue<Spot> todo;
    auto enter = [&](int area, int entry) {
        walk.areas[area] = true;
        const int word = r[velmora::AreaBase(area) + 8 + entry];
        todo.push({area, word >> 16, word & 0xffff});
    };
    enter(0, 0);
    while (!todo.empty()) {
        const Spot s = todo.front();
        todo.pop();
        const int base = velmora::AreaBase(s.area);
        const int w = r[base], h = r[base + 1];
        if (s.x < 0 || s.y < 0 || s.x >= w || s.y >= h || seen[s.area][s.x + s.y * w]) continue;
        seen[s.area][s.x + s.y * w] = true;
        const uint32_t cell = static_cast<uint32_t>(r[base + 32 + s.x + s.y * w]);
        if (cell & 2) continue;  // blocks a player on the ground
        const int object = (cell >> 14) & 0xff, variant = (cell >> 24) & 0x7f;
        if ((cell & (1u << 22)) && object == 5) ++walk.walkers;
        if (!(cell & (1u << 22)) && object == 2) {  // an exit
            const int exit = variant - 1;
            if (exit >= 8)
                walk.cleared = true;
            else if (exit >= 0)
                enter(r[base + 16 + 2 * exit], r[base + 17 + 2 * exit]);
            continue;
        }
        todo.push({s.area, s.x + 1, s.y});
        todo.push({s.area, s.x - 1, s.y});
        todo.push({s.area, s.x, s.y + 1});
        todo.push({s.area, s.x, s.y - 1});
    }
    return walk;
}

TEST(GameData, FirstStageCanBeClearedOnFoot) {
    velmora::StageFileCheck how;
    const Walk walk = WalkStage(LoadStage(0, &how));
    ASSERT_EQ(how, velmora::StageFileCheck::Ok);
    EXPECT_TRUE(walk.cleared);
    EXPECT_GE(walk.walkers, 2);  // something to dig for on the way
}

// Every area of every stage can be reached, and every stage but the last has a goal on foot
// (gates count as open: their switches are in reach); the last ends when its arena is won.
TEST(GameData, EveryStageCanBeWalkedThrough) {
    for (int n = 0; n < 5; ++n) {
        SCOPED_TRACE(n);
        velmora::StageFileCheck how;
        const std::vector<int32_t> r = LoadStage(n, &how);
        const Walk walk = WalkStage(r);
        for (int a = 0; a < 12; ++a)
            EXPECT_EQ(walk.areas[a], r[velmora::AreaBase(a)] != 0) << "area " << a;
        EXPECT_EQ(walk.cleared, n < 4);
        EXPECT_GE(walk.walkers, 3);
    }
}

// ---- archives ----

TEST(GameData, ArchivesHoldTheirFoldersAndReadBackThroughTheEngine) {
    for (const databuild::ArchiveSpec& spec : databuild::kArchives) {
        SCOPED_TRACE(spec.folder);
        // The archive alone in a fresh folder, so the engine cannot fall back on plain files.
        const fs::path dir = TempDir((std::string("archive_") + spec.folder).c_str());
        fs::create_directories(dir / "dat");
        fs::copy_file(kDat + "/" + spec.folder + ".dat",
                      dir / "dat" / (std::string(spec.folder) + ".dat"));
        const fs::path old = fs::current_path();
        fs::current_path(dir);
        tessra::InitArchiveFileState();
        tessra::SetFileAccessFuncs(tessra::GetArchiveFileAccessFuncs());
        tessra::SetArchiveExtensionBody("dat");
        tessra::SetArchiveKeyBody(packer::GameKeyText().c_str());
        size_t files = 0;
        for (const auto& e : fs::directory_iterator(kDat + "/" + spec.folder)) {
            ++files;
            const std::vector<uint8_t> plain = ReadFile(e.path());
            const std::string name =
                std::string("dat\\") + spec.folder + "\\" + e.path().filename().string();
            tessra::StreamHandle h = tessra::OpenViaFileTable(name.c_str(), 0, 1);
            ASSERT_NE(h, 0) << name;
            std::vector<uint8_t> got(plain.size() + 16);
            const int64_t n = tessra::ReadViaFileTable(got.data(), 1, got.size(), h);
            tessra::CloseViaFileTable(h);
            got.resize(n > 0 ? static_cast<size_t>(n) : 0);
            EXPECT_TRUE(got == plain) << name;
        }
        // Exactly the folder's files, no more.
        tessra::ArchiveHandle archive{};
        ASSERT_GE(
            tessra::OpenArchive(&archive, (std::string("dat/") + spec.folder + ".dat").c_str(),
                                packer::GameKeyText().c_str()),
            0);
        EXPECT_EQ(U32(archive.block + archive.dirTable + 8), files);
        tessra::CloseArchive(&archive);
        tessra::InitArchiveFileState();
        fs::current_path(old);
        fs::remove_all(dir);
    }
}

TEST(GameData, ArchiveThatOutgrowsItsSizeFailsNamingTheFile) {
    const fs::path dir = TempDir("archive_full");
    std::ofstream(dir / "x.bin", std::ios::binary) << std::string(0, 'x');
    fs::create_directories(dir / "velm9");
    std::string noise(5000, '\0');
    uint32_t s = 1;
    for (char& c : noise) c = static_cast<char>((s = s * 1103515245u + 12345u) >> 24);
    std::ofstream(dir / "velm9" / "big.bin", std::ios::binary) << noise;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(databuild::PackArchive(dir.string(), {"velm9", 3000}));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("velm9.dat"), std::string::npos) << said;
    EXPECT_NE(said.find("more than the 3000"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(dir / "velm9.dat"));
    EXPECT_TRUE(databuild::PackArchive(dir.string(), {"velm9", 9000}));
    EXPECT_EQ(fs::file_size(dir / "velm9.dat"), 9000u);
    fs::remove_all(dir);
}

// The cheap producers run again into a fresh folder give the same bytes as the build's.
TEST(GameData, ProducersMakeTheSameBytesEveryTime) {
    const fs::path dir = TempDir("rebuild");
    for (const databuild::Producer& p : databuild::RegisteredProducers()) {
        const std::string name = p.name;
        if (name != "sounds" && name != "messages" && name != "stages") continue;
        ASSERT_TRUE(p.run(dir.string())) << name;
    }
    size_t compared = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        const fs::path rel = fs::relative(e.path(), dir);
        EXPECT_TRUE(ReadFile(e.path()) == ReadFile(fs::path(kDat) / rel)) << rel;
        ++compared;
    }
    EXPECT_EQ(compared, 30u + 1u + 5u);
    fs::remove_all(dir);
}

}  // namespace
