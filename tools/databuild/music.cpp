// The 12 music tracks, dat/velmbgm00.ogg .. velmbgm11.ogg: the scores of music_tracks.cpp
// rendered by the builder's synthesiser at 48 kHz in stereo and encoded as Ogg Vorbis.
//
// A looping track is laid out so that the jump from its last sample back to its loop start is
// seamless: the intro fills exactly the loop start's length (which sets the tempo), whatever the
// body's last notes leave sounding past the end of the file is added at the loop start, where
// playback goes on after the jump, and the intro's last moments blend into the file's last
// ones, so the way in from the intro meets the loop start as smoothly as the jump does.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/databuild/audio_synth.h"
#include "tools/databuild/databuild.h"
#include "tools/databuild/music_score.h"
#include "tools/databuild/sound_effects.h"

namespace databuild {
namespace {

std::vector<std::string> Tokens(const char* text) {
    std::vector<std::string> out;
    std::string cur;
    for (const char* p = text; *p; ++p) {
        if (std::isspace(static_cast<unsigned char>(*p)) || *p == '|' || *p == '(' || *p == ')') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
            if (*p == '(') out.push_back("(");
            if (*p == ')') cur = ")";  // ")x4" stays one token
        } else {
            cur += *p;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

// Expands "( ... )xN" groups, nested or not.
bool ExpandRepeats(const std::vector<std::string>& in, size_t* pos, std::vector<std::string>* out,
                   bool inner, std::string* error) {
    while (*pos < in.size()) {
        const std::string& t = in[*pos];
        ++*pos;
        if (t == "(") {
            std::vector<std::string> group;
            if (!ExpandRepeats(in, pos, &group, true, error)) return false;
            const std::string& close = in[*pos - 1];
            const int times = std::atoi(close.c_str() + 2);
            if (times < 1) {
                *error = "bad repeat count '" + close + "'";
                return false;
            }
            for (int i = 0; i < times; ++i) out->insert(out->end(), group.begin(), group.end());
        } else if (t.size() > 2 && t[0] == ')' && t[1] == 'x') {
            if (!inner) {
                *error = "')' without '('";
                return false;
            }
            return true;
        } else if (t != "|") {
            out->push_back(t);
        }
    }
    if (inner) *error = "'(' without ')'";
    return !inner;
}

bool ParseNoteName(const std::string& s, double* midi) {
    static const int kSemis[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    if (s.empty() || s[0] < 'a' || s[0] > 'g') return false;
    int semi = kSemis[s[0] - 'a'];
    size_t i = 1;
    if (i < s.size() && s[i] == '#')
        ++semi, ++i;
    else if (i < s.size() && s[i] == 'b' && i + 1 < s.size())
        --semi, ++i;
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    const int octave = std::atoi(s.c_str() + i);
    for (++i; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    *midi = 12 * (octave + 1) + semi;
    return true;
}

struct DrumHit {
    char step;
    Instrument instrument;
    double velocity;
    double freq;
};

const DrumHit kDrumHits[] = {
    {'k', Instrument::Kick, 1.0, 0},      {'s', Instrument::Snare, 0.85, 0},
    {'p', Instrument::Clap, 0.8, 0},      {'h', Instrument::HatClosed, 0.45, 0},
    {'H', Instrument::HatClosed, 0.7, 0}, {'o', Instrument::HatOpen, 0.5, 0},
    {'x', Instrument::Shaker, 0.5, 0},    {'c', Instrument::Crash, 0.7, 0},
    {'t', Instrument::Tom, 0.8, 98},      {'m', Instrument::Tom, 0.8, 131},
    {'T', Instrument::Tom, 0.8, 175},
};

}  // namespace

bool ParsePart(const char* text, bool drums, Instrument instrument, double velocity,
               std::vector<ScoreEvent>* events, double* length, std::string* error) {
    events->clear();
    *length = 0;
    std::vector<std::string> tokens;
    size_t pos = 0;
    if (!ExpandRepeats(Tokens(text ? text : ""), &pos, &tokens, false, error)) return false;
    if (drums) {
        for (const std::string& t : tokens) {
            for (char c : t) {
                if (c != '.') {
                    const DrumHit* hit = nullptr;
                    for (const DrumHit& h : kDrumHits)
                        if (h.step == c) hit = &h;
                    if (!hit) {
                        *error = std::string("unknown drum step '") + c + "'";
                        return false;
                    }
                    ScoreEvent e;
                    e.at = *length;
                    e.length = 1;
                    e.instrument = hit->instrument;
                    e.velocity = hit->velocity * velocity;
                    e.midi = hit->freq > 0 ? 69 + 12 * std::log2(hit->freq / 440.0) : 60;
                    events->push_back(e);
                }
                *length += 1;
            }
        }
        return true;
    }
    double len = 4;
    for (const std::string& token : tokens) {
        std::string t = token;
        double vel = velocity;
        const size_t colon = t.find(':');
        if (colon != std::string::npos) {
            len = std::atof(t.c_str() + colon + 1);
            if (len <= 0) {
                *error = "bad length in '" + token + "'";
                return false;
            }
            t.resize(colon);
        }
        if (!t.empty() && t.back() == '!')
            vel = std::min(1.0, velocity * 1.2), t.pop_back();
        else if (!t.empty() && t.back() == '?')
            vel = velocity * 0.6, t.pop_back();
        if (t == "r") {
            *length += len;
            continue;
        }
        if (t == "-") {
            bool extended = false;
            for (auto it = events->rbegin(); it != events->rend(); ++it) {
                if (it->at + it->length != *length) break;
                it->length += len;
                extended = true;
            }
            if (!extended) {
                *error = "'-' with no note before it";
                return false;
            }
            *length += len;
            continue;
        }
        size_t start = 0;
        bool any = false;
        while (start <= t.size()) {
            size_t plus = t.find('+', start);
            if (plus == std::string::npos) plus = t.size();
            ScoreEvent e;
            if (!ParseNoteName(t.substr(start, plus - start), &e.midi)) {
                *error = "bad note '" + token + "'";
                return false;
            }
            e.at = *length;
            e.length = len;
            e.velocity = vel;
            e.instrument = instrument;
            events->push_back(e);
            any = true;
            start = plus + 1;
        }
        if (!any) {
            *error = "empty token";
            return false;
        }
        *length += len;
    }
    return true;
}

namespace {

struct Section {
    std::vector<ScoreEvent> events;
    std::vector<double> pans;
    double length = 0;  // sixteenths
};

// Parses one section of every part and repeats the shorter parts to the longest one's length.
bool BuildSection(const Score& score, bool intro, Section* section) {
    struct Parsed {
        std::vector<ScoreEvent> events;
        double length;
        double pan;
    };
    std::vector<Parsed> parsed;
    for (size_t i = 0; i < score.parts.size(); ++i) {
        const ScorePart& part = score.parts[i];
        Parsed p;
        p.pan = part.pan;
        std::string error;
        if (!ParsePart(intro ? part.intro.c_str() : part.body.c_str(), part.drums, part.instrument,
                       part.velocity, &p.events, &p.length, &error)) {
            std::fprintf(stderr, "databuild: music \"%s\", part %zu %s: %s\n", score.title, i,
                         intro ? "intro" : "body", error.c_str());
            return false;
        }
        section->length = std::max(section->length, p.length);
        parsed.push_back(std::move(p));
    }
    for (const Parsed& p : parsed) {
        if (p.length <= 0) continue;
        for (double offset = 0; offset + 1e-9 < section->length; offset += p.length) {
            for (ScoreEvent e : p.events) {
                e.at += offset;
                if (e.at + 1e-9 >= section->length) continue;
                e.length = std::min(e.length, section->length - e.at);
                section->events.push_back(e);
                section->pans.push_back(p.pan);
            }
        }
    }
    return true;
}

Note ToNote(const ScoreEvent& e, double pan, double samplesPer16, double swing) {
    auto place = [&](double at) {
        const double whole = std::floor(at + 1e-9);
        const bool odd = static_cast<int64_t>(whole) % 2 != 0 && std::fabs(at - whole) < 1e-9;
        return (at + (odd ? swing : 0.0)) * samplesPer16;
    };
    Note n;
    n.start = static_cast<int64_t>(std::llround(place(e.at)));
    const int64_t end = static_cast<int64_t>(std::llround(place(e.at + e.length)));
    // A little space between notes, as a player lifts a finger.
    n.length = std::max<int64_t>(1, end - n.start - static_cast<int64_t>(samplesPer16 * 0.08));
    n.freq = MidiToFrequency(e.midi);
    n.velocity = e.velocity;
    n.pan = pan;
    n.instrument = e.instrument;
    return n;
}

struct Rendered {
    StereoBuffer audio;
    int64_t loopStart = -1;  // samples; -1 plays once
};

bool RenderTrack(const Score& score, int loopMs, Rendered* out) {
    Section intro, body;
    if (!BuildSection(score, true, &intro) || !BuildSection(score, false, &body)) return false;
    const double rate = kMusicRate;
    const bool loops = loopMs >= 1;
    double samplesPer16 = rate * 60.0 / score.bpm / 4.0;
    int64_t loopStart = 0;
    if (loops) {
        loopStart = static_cast<int64_t>(loopMs) * kMusicRate / 1000;
        if (score.introSixteenths > 0) {
            samplesPer16 = static_cast<double>(loopStart) / score.introSixteenths;
            if (std::fabs(intro.length - score.introSixteenths) > 1e-9) {
                std::fprintf(stderr,
                             "databuild: music \"%s\": the intro is %g sixteenths, not %d\n",
                             score.title, intro.length, score.introSixteenths);
                return false;
            }
        } else if (!intro.events.empty()) {
            std::fprintf(stderr, "databuild: music \"%s\": an intro with no length\n", score.title);
            return false;
        }
    } else {
        loopStart = static_cast<int64_t>(std::llround(intro.length * samplesPer16));
    }
    const double swing = score.swing;
    const int64_t bodyLength = static_cast<int64_t>(std::llround(body.length * samplesPer16));
    int64_t tail = 0;
    for (const ScoreEvent& e : body.events)
        tail = std::max(tail, InstrumentTail(e.instrument, rate));
    for (const ScoreEvent& e : intro.events)
        tail = std::max(tail, InstrumentTail(e.instrument, rate));
    tail += static_cast<int64_t>(rate * 0.2);

    // The intro, ended by a short fade so nothing of it reaches past the loop start.
    StereoBuffer introBuf;
    introBuf.Resize(static_cast<size_t>(loopStart + tail));
    for (size_t i = 0; i < intro.events.size(); ++i) {
        Note n = ToNote(intro.events[i], intro.pans[i], samplesPer16, swing);
        if (loops) {
            const int64_t room = loopStart - n.start - InstrumentTail(n.instrument, rate);
            if (room < 1 && n.instrument < Instrument::Kick) continue;
            if (n.instrument < Instrument::Kick) n.length = std::min(n.length, room);
        }
        RenderNote(n, rate, &introBuf);
    }
    StereoBuffer bodyBuf;
    bodyBuf.Resize(static_cast<size_t>(bodyLength + tail));
    for (size_t i = 0; i < body.events.size(); ++i)
        RenderNote(ToNote(body.events[i], body.pans[i], samplesPer16, swing), rate, &bodyBuf);

    const int64_t roomTail = static_cast<int64_t>(rate * 1.5);  // the room dies away at the end
    const int64_t total = loopStart + bodyLength + (loops ? 0 : tail + roomTail);
    out->audio.Resize(static_cast<size_t>(total));
    out->loopStart = loops ? loopStart : -1;
    if (loops) {
        for (int64_t i = 0; i < loopStart; ++i) {
            out->audio.left[i] = introBuf.left[i];
            out->audio.right[i] = introBuf.right[i];
        }
        for (int64_t i = 0; i < bodyLength + tail; ++i) {
            const int64_t at = loopStart + (i % bodyLength);  // the tail wraps to the loop start
            out->audio.left[at] += bodyBuf.left[i];
            out->audio.right[at] += bodyBuf.right[i];
        }
    } else {
        for (int64_t i = 0; i < loopStart + tail && i < total; ++i) {
            out->audio.left[i] += introBuf.left[i];
            out->audio.right[i] += introBuf.right[i];
        }
        for (int64_t i = 0; i < bodyLength + tail && loopStart + i < total; ++i) {
            out->audio.left[loopStart + i] += bodyBuf.left[i];
            out->audio.right[loopStart + i] += bodyBuf.right[i];
        }
    }
    Room room(rate);
    if (loops) {
        // The intro once, then the body twice: the second time round the room already rings
        // with the body's own end, as it will after every jump back, and that is what is kept.
        for (int64_t i = 0; i < loopStart; ++i)
            room.Process(&out->audio.left[i], &out->audio.right[i]);
        for (int64_t i = loopStart; i < total; ++i) {
            float l = out->audio.left[i], r = out->audio.right[i];
            room.Process(&l, &r);
        }
        for (int64_t i = loopStart; i < total; ++i)
            room.Process(&out->audio.left[i], &out->audio.right[i]);
        // The loop start is reached from the intro once and from the file's end ever after, so
        // the intro's last moments turn into the file's last moments: both ways in then meet
        // the loop start with the same sample, and neither clicks.
        const int64_t bodyFrames = total - loopStart;
        const int64_t blend = std::min({loopStart, bodyFrames, static_cast<int64_t>(rate * 0.04)});
        for (int64_t k = 0; k < blend; ++k) {
            const int64_t i = loopStart - blend + k;
            const double w = 0.5 - 0.5 * std::cos(3.14159265358979 * (k + 1) / blend);
            const int64_t from = total - blend + k;
            out->audio.left[i] =
                static_cast<float>(out->audio.left[i] * (1 - w) + out->audio.left[from] * w);
            out->audio.right[i] =
                static_cast<float>(out->audio.right[i] * (1 - w) + out->audio.right[from] * w);
        }
    } else {
        for (int64_t i = 0; i < total; ++i) room.Process(&out->audio.left[i], &out->audio.right[i]);
        // The end: whatever still sounds dies away to silence.
        const int64_t fade = std::min<int64_t>(total, static_cast<int64_t>(rate * 0.05));
        for (int64_t i = total - fade; i < total; ++i) {
            const double g = static_cast<double>(total - 1 - i) / fade;
            out->audio.left[i] = static_cast<float>(out->audio.left[i] * g);
            out->audio.right[i] = static_cast<float>(out->audio.right[i] * g);
        }
    }
    // One loudness for every track, with room left for the encoder's small overshoots.
    const double peak =
        std::max(MeasureSignal(out->audio.left).peak, MeasureSignal(out->audio.right).peak);
    if (peak > 0) {
        const double g = 0.8 / peak;
        for (size_t i = 0; i < out->audio.Size(); ++i) {
            out->audio.left[i] = static_cast<float>(out->audio.left[i] * g);
            out->audio.right[i] = static_cast<float>(out->audio.right[i] * g);
        }
    }
    return true;
}

bool RunMusic(const std::string& outDir) {
    const std::vector<Score>& scores = MusicScores();
    if (scores.size() != static_cast<size_t>(velmora::kBgmCount)) {
        std::fprintf(stderr, "databuild: %zu music tracks written, %d expected\n", scores.size(),
                     velmora::kBgmCount);
        return false;
    }
    const char* wavDir = std::getenv("DATABUILD_MUSIC_WAV");  // for listening: plain WAVs too
    for (int i = 0; i < velmora::kBgmCount; ++i) {
        Rendered r;
        if (!RenderTrack(scores[i], velmora::kBgmLoopStartMs[i], &r)) return false;
        const std::vector<int16_t> pcm = InterleavePcm16(r.audio);
        std::vector<uint8_t> ogg;
        if (!EncodeOggVorbis(pcm, kMusicRate, 2, 0.4f, scores[i].title, &ogg)) return false;
        char name[32];
        std::snprintf(name, sizeof name, "velmbgm%02d.ogg", i);
        if (!WriteFileAtomic(JoinPath(outDir, name), ogg)) return false;
        if (wavDir && *wavDir) {
            std::snprintf(name, sizeof name, "velmbgm%02d.wav", i);
            if (!WriteFileAtomic(JoinPath(wavDir, name), MakeWaveFile(pcm, kMusicRate, 2)))
                return false;
        }
    }
    return true;
}

RegisterProducer reg("music", 30, RunMusic);

}  // namespace
}  // namespace databuild
