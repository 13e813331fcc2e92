// The soundtrack's note data: title, area clear, bonus wheel, six area themes, the boss, the
// boss's last stand, and the ending. Melodies and drums are written out; chord parts (pads,
// stabs, arpeggios, bass lines) are spelled from chord symbols by the helpers below.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/databuild/music_score.h"

// The tables below are laid out by hand, one entry a line; keep clang-format out of them.
// clang-format off

namespace databuild {
namespace {

struct Chord {
    int root;                // midi note of the root in octave 4
    std::vector<int> tones;  // semitones above the root
    double length;           // sixteenths
};

// "C G:8 Am F#m7 Bbmaj7 Dsus4 Bdim" (16 sixteenths unless a length follows).
std::vector<Chord> ParseChords(const char* text) {
    std::vector<Chord> out;
    const char* p = text;
    while (*p) {
        while (*p == ' ' || *p == '|' || *p == '\n') ++p;
        if (!*p) break;
        static const int kRoots[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
        if (*p < 'A' || *p > 'G') {
            std::fprintf(stderr, "databuild: bad chord symbol at \"%s\"\n", p);
            std::abort();  // a mistake in the score's source
        }
        Chord c;
        c.root = 60 + kRoots[*p++ - 'A'];
        if (*p == '#') ++c.root, ++p;
        else if (*p == 'b') --c.root, ++p;
        std::string q;
        while (*p && *p != ' ' && *p != ':' && *p != '|' && *p != '\n') q += *p++;
        if (q == "") c.tones = {0, 4, 7};
        else if (q == "m") c.tones = {0, 3, 7};
        else if (q == "7") c.tones = {0, 4, 7, 10};
        else if (q == "m7") c.tones = {0, 3, 7, 10};
        else if (q == "maj7") c.tones = {0, 4, 7, 11};
        else if (q == "sus4") c.tones = {0, 5, 7};
        else if (q == "dim") c.tones = {0, 3, 6};
        else if (q == "add9") c.tones = {0, 4, 7, 14};
        else {
            std::fprintf(stderr, "databuild: unknown chord quality \"%s\"\n", q.c_str());
            std::abort();
        }
        c.length = 16;
        if (*p == ':') c.length = std::strtod(p + 1, const_cast<char**>(&p));
        out.push_back(c);
    }
    return out;
}

std::string NoteName(int midi) {
    static const char* kNames[12] = {"c", "c#", "d", "d#", "e", "f", "f#", "g", "g#", "a", "a#", "b"};
    return std::string(kNames[midi % 12]) + std::to_string(midi / 12 - 1);
}

std::string Len(double l) {
    char b[32];
    std::snprintf(b, sizeof b, ":%g", l);
    return b;
}

// The chord's tones placed in the octave from `low` up, lowest first: neighbouring chords then
// move by small steps, as a player's hand would.
std::vector<int> Voice(const Chord& c, int low) {
    std::vector<int> v;
    for (int t : c.tones) {
        int n = c.root + t;
        while (n < low) n += 12;
        while (n >= low + 12) n -= 12;
        v.push_back(n);
    }
    std::sort(v.begin(), v.end());
    return v;
}

std::string Together(const std::vector<int>& notes) {
    std::string s;
    for (size_t i = 0; i < notes.size(); ++i) s += (i ? "+" : "") + NoteName(notes[i]);
    return s;
}

// Each chord held for its length.
std::string Pad(const char* chords, int low = 55) {
    std::string s;
    for (const Chord& c : ParseChords(chords)) s += Together(Voice(c, low)) + Len(c.length) + " ";
    return s;
}

// A rhythm of "r2 c2" tokens (rest or chord, then a length) repeated through each chord.
std::string Stabs(const char* chords, const char* rhythm, int low = 60) {
    std::string s;
    for (const Chord& c : ParseChords(chords)) {
        double done = 0;
        while (done < c.length) {
            for (const char* p = rhythm; *p && done < c.length;) {
                while (*p == ' ') ++p;
                if (!*p) break;
                const char kind = *p++;
                double l = std::strtod(p, const_cast<char**>(&p));
                l = std::min(l, c.length - done);
                s += (kind == 'c' ? Together(Voice(c, low)) : std::string("r")) + Len(l) + " ";
                done += l;
            }
        }
    }
    return s;
}

// Broken chords: `order` indexes the voiced tones (an index past the last climbs an octave),
// one step each `step` sixteenths.
std::string Arp(const char* chords, const std::vector<int>& order, double step, int low = 60) {
    std::string s;
    for (const Chord& c : ParseChords(chords)) {
        const std::vector<int> v = Voice(c, low);
        const int n = static_cast<int>(v.size());
        double done = 0;
        for (size_t k = 0; done < c.length; ++k) {
            const int i = order[k % order.size()];
            const int note = v[i % n] + 12 * (i / n);
            const double l = std::min(step, c.length - done);
            s += NoteName(note) + Len(l) + " ";
            done += l;
        }
    }
    return s;
}

// A bass line from "R2 O2 F2 T2 r2" tokens: root, root an octave up, fifth, third, rest.
std::string Bass(const char* chords, const char* rhythm, int octave = 2) {
    std::string s;
    for (const Chord& c : ParseChords(chords)) {
        const int root = c.root % 12 + 12 * (octave + 1);
        const int third = root + c.tones[1];
        const int fifth = root + (c.tones.size() > 2 ? c.tones[2] : 7);
        double done = 0;
        while (done < c.length) {
            for (const char* p = rhythm; *p && done < c.length;) {
                while (*p == ' ') ++p;
                if (!*p) break;
                const char kind = *p++;
                double l = std::strtod(p, const_cast<char**>(&p));
                l = std::min(l, c.length - done);
                int note = root;
                if (kind == 'O') note = root + 12;
                if (kind == 'F') note = fifth;
                if (kind == 'T') note = third;
                if (kind == 'L') note = fifth - 12;
                s += (kind == 'r' ? std::string("r") : NoteName(note)) + Len(l) + " ";
                done += l;
            }
        }
    }
    return s;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s + " ";
    return out;
}

using I = Instrument;

// 0: the title and the results: bright and welcoming, F major.
Score TitleTheme() {
    const char* chords = "F C Dm Bb F C Bb C Dm Am Bb F Gm C F C";
    const std::string melody =
        "a5:4 c6:4 a5:2 g5:2 f5:4 | g5:6 e5:2 c5:8 | d5:4 f5:4 a5:2 g5:2 f5:4 | d5:12 r:4 |"
        "a5:4 c6:4 a5:2 g5:2 f5:4 | g5:6 a5:2 bb5:4 a5:2 g5:2 | f5:4 d5:4 bb4:2 c5:2 d5:4 | c5:12 r:4 |"
        "f5:4 e5:2 f5:2 a5:8 | e5:4 d5:2 e5:2 c5:8 | d5:4 c5:2 d5:2 f5:4 bb5:4 | a5:12 r:4 |"
        "bb5:4 a5:2 g5:2 d5:4 g5:4 | e5:4 f5:2 g5:2 c6:8 | a5:4 g5:2 a5:2 f5:8 | g5:8 c5:8";
    return {"Velmora", 141, 16, 0.0,
            {{I::Lead, 0.0, 0.85, false, "c5:2 f5:2 a5:2 c6:2 a5:2 c6:2 f6:4", melody},
             {I::Pad, -0.3, 0.8, false, Pad("C"), Pad(chords)},
             {I::Pluck, 0.35, 0.6, false, "r:16", Stabs(chords, "r2 c2")},
             {I::Bass, 0.0, 0.9, false, "f2:4 f2:4 f2:4 c3:4", Bass(chords, "R2 O2")},
             {I::Kick, 0.0, 0.9, true, "k...k...k.k.s.ss", "k...s...k.k.s..."},
             {I::HatClosed, 0.2, 0.8, true, "................", "h.h.h.h.h.h.h.hh"},
             {I::Crash, -0.2, 0.8, true, "................", "c...............( ................ )x7"}}};
}

// 1: an area cleared: a short fanfare that ends on a held chord.
Score ClearFanfare() {
    return {"Clear", 150, 0, 0.0,
            {{I::Lead, 0.0, 0.9, false, "",
              "g4:1 c5:1 e5:1 g5:1 c6:4 a5:2 b5:2 c6:2 d6:2 | e6:4 d6:2 c6:2 d6:4 g5:4 | c6:16"},
             {I::Bell, 0.3, 0.6, false, "", "r:32 c6+e6+g6:16"},
             {I::Strings, -0.3, 0.9, false, "", Pad("C F:8 G:8 C", 60)},
             {I::Bass, 0.0, 0.9, false, "", "c3:4 c3:4 g2:4 c3:4 | f2:8 g2:8 | c2:16"},
             {I::Kick, 0.0, 0.9, true, "", "k...s...k.k.s...|k...s...k.ssTTmt|k..............."},
             {I::Crash, 0.0, 0.8, true, "", "c...............|................|c..............."}}};
}

// 2: the bonus wheel: a bouncy shuffle in G.
Score BonusWheel() {
    const char* chords = "G Em C D G Em Am D";
    const std::string melody =
        "d5:2 g5:2 b5:2 g5:2 a5:2 g5:2 e5:2 d5:2 | e5:2 g5:2 b5:4 a5:2 g5:2 e5:4 |"
        "c5:2 e5:2 g5:2 e5:2 c6:4 b5:2 a5:2 | a5:4 f#5:2 e5:2 d5:8 |"
        "d5:2 g5:2 b5:2 g5:2 a5:2 g5:2 e5:2 d5:2 | e5:2 g5:2 b5:2 d6:2 b5:4 g5:4 |"
        "a5:2 c6:2 e6:2 c6:2 a5:2 g5:2 e5:2 c5:2 | d5:2 f#5:2 a5:2 c6:2 b5:4 a5:4";
    return {"Wheel", 92, 16, 0.22,
            {{I::Pluck, 0.0, 0.95, false, "r:16", melody},
             {I::Organ, -0.3, 0.7, false, Stabs("D7", "r2 c2"), Stabs(chords, "r2 c2", 55)},
             {I::Bass, 0.0, 0.9, false, "g2:4 d2:4 g2:4 d2:4", Bass(chords, "R4 T4 F4 T4")},
             {I::Kick, 0.0, 0.8, true, "k.......k...s.s.", "k...s...k...s..."},
             {I::Shaker, 0.3, 0.8, true, "x.x.x.x.x.x.x.x.", "x.x.x.x.x.x.x.x."}}};
}

// 3: the first area theme: a sunny meadow, D major.
Score MeadowTheme() {
    const char* chords = "D A Bm G D A G A G A F#m Bm Em A D A";
    const std::string melody =
        "f#5:4 a5:2 f#5:2 d5:4 e5:2 f#5:2 | e5:4 c#5:2 a4:2 e5:8 | d5:4 f#5:2 d5:2 b4:4 c#5:2 d5:2 |"
        "b4:4 d5:4 g5:8 | f#5:4 a5:2 f#5:2 d6:4 c#6:2 b5:2 | a5:4 e5:2 c#5:2 e5:4 a5:4 |"
        "g5:4 f#5:2 e5:2 d5:4 b4:2 d5:2 | e5:12 r:4 |"
        "b5:4 a5:2 g5:2 d5:4 g5:4 | a5:4 g5:2 f#5:2 e5:8 | f#5:4 e5:2 f#5:2 a5:4 c#6:4 | b5:12 r:4 |"
        "g5:4 f#5:2 e5:2 b4:4 e5:4 | c#5:4 e5:2 a5:2 g5:4 e5:4 | f#5:4 e5:2 d5:2 a4:4 d5:4 |"
        "e5:8 a4:2 b4:2 c#5:2 e5:2";
    return {"Meadow", 165, 32, 0.0,
            {{I::Lead, 0.0, 0.85, false, "r:16 a4:2 b4:2 c#5:2 d5:2 e5:2 f#5:2 g5:2 a5:2", melody},
             {I::Pluck, 0.35, 0.55, false, Arp("D A", {0, 1, 2, 3}, 2), Arp(chords, {0, 1, 2, 3, 2, 1}, 2)},
             {I::Pad, -0.35, 0.7, false, Pad("D A"), Pad(chords)},
             {I::Bass, 0.0, 0.9, false, Repeat("d2:2 d3:2", 8), Bass(chords, "R2 O2 R2 O2 R2 O2 F2 O2")},
             {I::Kick, 0.0, 0.9, true, "k.......k.......k...k...k.k.ssss", "k...s...k.k.s..."},
             {I::HatClosed, 0.2, 0.8, true, "h.h.h.h.h.h.h.h.", "h.H.h.H.h.H.h.Ho"},
             {I::Crash, -0.2, 0.8, true, "................................",
              "c...............( ................ )x15"}}};
}

// 4: the second area theme: under the trees, E minor, laid back.
Score ForestTheme() {
    const char* chords = "Em D C D Em D C B7 Am Em C D Am Em B7 B7";
    const std::string melody =
        "e5:6 g5:2 b5:4 a5:2 g5:2 | f#5:6 e5:2 d5:8 | e5:6 g5:2 c6:4 b5:2 a5:2 | b5:4 a5:4 f#5:8 |"
        "e5:6 g5:2 b5:4 d6:4 | c6:4 b5:2 a5:2 f#5:8 | g5:4 a5:2 g5:2 e5:4 c5:4 | d#5:4 f#5:4 b5:8 |"
        "c6:6 b5:2 a5:4 e5:4 | g5:6 f#5:2 e5:8 | e5:4 g5:4 c6:4 e6:4 | d6:8 a5:8 |"
        "c6:6 b5:2 a5:4 c6:4 | b5:6 a5:2 g5:4 e5:4 | f#5:4 a5:4 d#5:4 f#5:4 | b4:8 r:8";
    return {"Forest", 109, 32, 0.12,
            {{I::SoftLead, 0.0, 0.9, false, "r:32", melody},
             {I::Pluck, 0.4, 0.5, false, Arp("Em Em", {0, 1, 2, 3, 4, 3, 2, 1}, 2),
              Arp(chords, {0, 1, 2, 3, 4, 3, 2, 1}, 2)},
             {I::Pad, -0.4, 0.8, false, Pad("Em Em"), Pad(chords)},
             {I::Bass, 0.0, 0.9, false, "e2:6 e2:2 r:8 e2:6 b1:2 r:8", Bass(chords, "R6 R2 r2 F4 R2")},
             {I::Kick, 0.0, 0.8, true, "k...............k.........k.....", "k.....k...s....."},
             {I::Shaker, 0.3, 0.9, true, "x.x.x.x.x.x.x.x.", "x.x.x.x.x.x.x.x."},
             {I::HatOpen, -0.2, 0.6, true, "................", "..o...o...o...o."}}};
}

// 5: the third area theme: by the river, A major; eight bars of water before the tune.
Score RiverTheme() {
    const char* chords = "A E F#m D A E D E D E C#m F#m Bm E A E";
    const std::string melody =
        "c#6:4 b5:2 a5:2 e5:4 a5:4 | g#5:4 b5:4 e5:8 | a5:4 c#6:2 a5:2 f#5:4 e5:4 | f#5:12 r:4 |"
        "c#6:4 b5:2 a5:2 e6:4 c#6:4 | b5:4 g#5:2 e5:2 b5:4 e6:4 | d6:4 c#6:2 b5:2 a5:4 f#5:4 | e5:12 r:4 |"
        "f#5:4 a5:4 d6:4 c#6:2 b5:2 | b5:6 g#5:2 e5:8 | e5:4 g#5:4 c#6:4 b5:2 a5:2 | a5:12 r:4 |"
        "d6:4 c#6:2 b5:2 f#5:4 b5:4 | g#5:4 b5:2 g#5:2 e5:8 | e6:8 c#6:8 | b5:8 g#5:4 e5:4";
    const char* introChords = "A F#m D E A F#m D E";
    return {"River", 117, 128, 0.0,
            {{I::SoftLead, 0.0, 0.9, false, "r:128", melody},
             {I::Bell, 0.35, 0.55, false, Arp(introChords, {0, 1, 2, 4, 2, 1}, 2, 67),
              Arp(chords, {0, 2, 1, 4, 2, 1, 3, 5}, 2, 67)},
             {I::Pad, -0.35, 0.8, false, Pad(introChords), Pad(chords)},
             {I::Bass, 0.0, 0.9, false, "r:64 " + Bass("D E A F#m", "R8 F8"), Bass(chords, "R3 R3 F2 O4 F4")},
             {I::Kick, 0.0, 0.85, true, "( ................ )x6 k.......k.......|k.......k...k.k.",
              "k..k..k...k.s..."},
             {I::Shaker, 0.3, 0.8, true, "( ................ )x4 ( x.x.x.x.x.x.x.x. )x4",
              "x.xxx.xxx.xxx.xx"},
             {I::Crash, -0.2, 0.7, true, "( ................ )x8", "c...............( ................ )x15"}}};
}

// 6: the fourth area theme: old ruins, D minor, on a driving off-beat.
Score RuinsTheme() {
    const char* chords = "Dm Bb C Dm Dm Bb Gm A F C Bb Dm Gm A Dm A";
    const std::string melody =
        "d5:3 f5:3 a5:2 g5:4 f5:4 | f5:3 d5:3 bb4:2 d5:8 | e5:3 g5:3 c6:2 bb5:4 a5:4 | a5:12 r:4 |"
        "d6:3 c6:3 a5:2 f5:4 a5:4 | bb5:3 a5:3 f5:2 d5:8 | g5:3 bb5:3 d6:2 c6:4 bb5:4 | a5:8 c#5:4 e5:4 |"
        "c6:4 a5:4 f5:4 a5:4 | g5:6 f5:2 e5:8 | d5:4 f5:4 bb5:4 a5:4 | a5:12 r:4 |"
        "bb5:4 a5:2 g5:2 d5:4 g5:4 | a5:4 g5:2 f5:2 e5:4 c#5:4 | d5:4 f5:4 a5:4 d6:4 | c#6:8 e5:4 a4:4";
    return {"Ruins", 120, 0, 0.0,
            {{I::Lead, 0.0, 0.85, false, "", melody},
             {I::Strings, -0.35, 0.8, false, "", Stabs(chords, "c3 c3 c2 r8", 57)},
             {I::Pad, 0.35, 0.6, false, "", Pad(chords)},
             {I::SynthBass, 0.0, 0.9, false, "", Bass(chords, "R3 R3 R2 O2 R2 F2 R2")},
             {I::Kick, 0.0, 0.9, true, "", "k..k..k...k.s..."},
             {I::HatClosed, 0.2, 0.8, true, "", "h.hHh.hHh.hHh.hH"},
             {I::Tom, -0.2, 0.8, true, "", "( ................ )x7 ..........T.m.t."}}};
}

// 7: the night and the caves: B minor, sparse bells over a soft pulse.
Score NightTheme() {
    const char* chords = "Bm G Em F# Bm G Em F# G A F#m Bm Em G F# F#";
    const std::string melody =
        "f#5:6 d5:2 b4:8 | g5:6 f#5:2 d5:8 | e5:4 g5:4 b5:4 a5:4 | f#5:12 r:4 |"
        "b5:6 a5:2 f#5:8 | g5:4 b5:4 d6:8 | c#6:4 b5:4 g5:4 e5:4 | a#5:8 f#5:8 |"
        "d6:6 b5:2 g5:8 | c#6:6 a5:2 e5:8 | f#5:4 a5:4 c#6:4 a5:4 | b5:12 r:4 |"
        "g5:6 f#5:2 e5:8 | d5:4 g5:4 b5:8 | a#5:6 c#6:2 f#5:8 | r:16";
    return {"Night", 96, 0, 0.0,
            {{I::Bell, 0.0, 0.9, false, "", melody},
             {I::Pad, -0.3, 0.9, false, "", Pad(chords, 52)},
             {I::SoftLead, 0.3, 0.35, false, "", Arp(chords, {0, 2, 1, 2}, 4, 64)},
             {I::Bass, 0.0, 0.8, false, "", Bass(chords, "R6 R2 r4 L4")},
             {I::Kick, 0.0, 0.6, true, "", "k.........k....."},
             {I::Shaker, 0.3, 0.6, true, "", "..x...x...x...xx"}}};
}

// 8: the boss: C minor, hard and fast.
Score BossTheme() {
    const char* chords = "Cm Ab Bb Cm Cm Ab Fm G Ab Bb Gm Cm Fm Ab G G";
    const std::string melody =
        "c5:2 eb5:2 g5:2 c6:4 bb5:2 g5:4 | ab5:6 g5:2 eb5:8 | f5:2 g5:2 bb5:2 d6:4 c6:2 bb5:4 | g5:8 c6:8 |"
        "eb6:4 d6:2 c6:2 g5:4 c6:4 | c6:4 bb5:2 ab5:2 eb5:8 | f5:2 ab5:2 c6:2 f6:4 eb6:2 c6:4 | d6:8 b5:8 |"
        "c6:6 eb6:2 ab5:8 | d6:6 f6:2 bb5:8 | g5:2 bb5:2 d6:2 g6:4 f6:2 d6:4 | eb6:12 r:4 |"
        "f6:4 eb6:2 c6:2 ab5:4 f5:4 | eb6:4 c6:2 ab5:2 eb5:4 ab5:4 | g5:2 b5:2 d6:2 g6:2 f6:2 d6:2 b5:4 | d6:16";
    return {"Boss", 160, 48, 0.0,
            {{I::Lead, 0.0, 0.9, false, "r:48", melody},
             {I::Strings, -0.35, 0.9, false, Pad("Cm Cm G", 55), Stabs(chords, "c2 r2 c2 r4 c2 r2 c2", 55)},
             {I::SynthBass, 0.0, 0.9, false, Repeat("c2:1", 48), Bass(chords, "R1 R1 O1 R1")},
             {I::Kick, 0.0, 1.0, true, "k...k...k...k...|k...k...k...k...|k.k.k.k.ssssTTmt",
              "k.k.s..kk.k.s..."},
             {I::HatClosed, 0.2, 0.8, true, "( ................ )x2 h.h.h.h.h.h.h.h.", "hhHhhhHhhhHhhhHh"},
             {I::Crash, -0.2, 0.8, true, "( ................ )x3", "c...............( ................ )x15"}}};
}

// 9: the last stage: G minor, heroic.
Score FinalStageTheme() {
    const char* chords = "Gm Eb Bb F Gm Eb Cm D Eb F Dm Gm Cm D Gm D";
    const std::string melody =
        "g5:6 bb5:2 d6:4 c6:2 bb5:2 | bb5:4 g5:4 eb5:8 | f5:6 bb5:2 d6:4 f6:4 | f6:4 eb6:2 d6:2 c6:8 |"
        "d6:6 bb5:2 g5:4 bb5:4 | c6:4 bb5:2 g5:2 eb5:8 | eb5:4 g5:4 c6:4 eb6:4 | d6:8 f#5:4 a5:4 |"
        "g5:4 bb5:4 eb6:4 d6:2 c6:2 | c6:4 a5:4 f5:8 | d5:4 f5:4 a5:4 d6:4 | bb5:12 r:4 |"
        "c6:4 eb6:4 g6:4 f6:2 eb6:2 | d6:4 c6:2 bb5:2 a5:8 | g5:4 bb5:2 d6:2 g6:8 | f#6:8 d6:4 a5:4";
    return {"Final", 138, 24, 0.0,
            {{I::Lead, 0.0, 0.9, false, "r:16 d5:2 e5:2 f#5:2 a5:2", melody},
             {I::Strings, -0.35, 0.8, false, Pad("Gm D:8", 55), Pad(chords, 55)},
             {I::Pluck, 0.35, 0.55, false, Arp("Gm D:8", {0, 1, 2, 1}, 1), Arp(chords, {0, 1, 2, 1}, 1)},
             {I::Bass, 0.0, 0.9, false, "g2:8 g2:8 d2:8", Bass(chords, "R2 R2 O2 R2")},
             {I::Kick, 0.0, 1.0, true, "k.......k.......sssTTmtt", "k...s...k.k.s..s"},
             {I::HatClosed, 0.2, 0.8, true, "........................", "h.H.h.H.h.H.h.H."},
             {I::Crash, -0.2, 0.8, true, "........................", "c...............( ................ )x15"}}};
}

// 10: the boss's last stand: E minor; ten bars of gathering storm, then the fight.
Score LastStandTheme() {
    const char* chords = "Em C D B Em C Am B C D Bm Em Am B Em B";
    const char* introChords = "Em C Am B Em C Am B B:32";
    const std::string melody =
        "e5:4 g5:4 b5:6 a5:2 | g5:4 e5:4 c6:8 | a5:4 f#5:4 d6:6 c6:2 | b5:8 d#5:8 |"
        "e6:4 d6:2 b5:2 g5:4 b5:4 | c6:4 b5:2 g5:2 e5:8 | a5:4 c6:4 e6:4 d6:2 c6:2 | b5:12 r:4 |"
        "g5:4 c6:4 e6:6 d6:2 | d6:4 a5:4 f#5:8 | f#5:4 b5:4 d6:6 c#6:2 | b5:8 g5:8 |"
        "c6:4 b5:2 a5:2 e6:8 | d#6:4 c6:2 b5:2 a5:4 f#5:4 | g5:4 b5:4 e6:8 | f#6:8 d#6:4 b5:4";
    return {"Last Stand", 129, 160, 0.0,
            {{I::Lead, 0.0, 0.9, false, "r:160", melody},
             {I::Bell, 0.4, 0.6, false, "( b5:4 g5:4 e5:4 b4:4 c6:4 g5:4 e5:4 c5:4 a5:4 e5:4 c5:4 a4:4 b5:4 f#5:4 d#5:4 b4:4 )x2 r:32",
              "r:256"},
             {I::Strings, -0.35, 0.9, false, Pad(introChords, 52), Pad(chords, 55)},
             {I::Pad, 0.35, 0.6, false, Pad(introChords, 64), Stabs(chords, "r2 c2 r2 c2 r2 c2 r2 c2", 64)},
             {I::Bass, 0.0, 0.9, false, Bass(introChords, "R8 R8"), Bass(chords, "R2 R2 O2 R2 F2 R2 O2 R2")},
             {I::Tom, 0.0, 0.9, true,
              "( t...........t... )x8 t.t.t.t.t.t.t.t.|ttttmmmmTTTTssss",
              "( ................ )x15 ........T.T.m.t."},
             {I::Kick, 0.0, 1.0, true, "( ................ )x10", "k..k..k.s..kk.s."},
             {I::HatClosed, 0.2, 0.8, true, "( ................ )x10", "h.hhh.hhh.hhh.hh"},
             {I::Crash, -0.2, 0.8, true, "( ................ )x10", "c...............( ................ )x15"}}};
}

// 11: the ending: warm, C major, closing on a long chord.
Score EndingTheme() {
    const char* chords = "C G Am F C G F G F G Em Am Dm G C C F G C C";
    const std::string melody =
        "e5:6 d5:2 c5:4 g5:4 | d5:6 e5:2 d5:8 | c5:4 e5:4 a5:6 g5:2 | f5:12 r:4 |"
        "e5:4 g5:4 c6:6 b5:2 | b5:4 a5:2 g5:2 d5:8 | c5:4 d5:2 e5:2 f5:4 a5:4 | g5:12 r:4 |"
        "a5:6 g5:2 f5:4 c6:4 | b5:6 a5:2 g5:8 | g5:4 e5:4 b5:6 a5:2 | a5:12 r:4 |"
        "f5:6 e5:2 d5:4 a5:4 | g5:4 f5:2 e5:2 d5:8 | e5:6 g5:2 c6:8 | r:16 |"
        "c6:6 a5:2 f5:8 | d6:6 b5:2 g5:8 | e6:16 | -:16";
    return {"Ending", 96, 0, 0.0,
            {{I::SoftLead, 0.0, 0.9, false, "", melody},
             {I::Pluck, 0.35, 0.55, false, "", Arp("C G Am F C G F G F G Em Am Dm G C C F G", {0, 1, 2, 3, 2, 1, 2, 1}, 2) + " c4+e4+g4+c5:32"},
             {I::Strings, -0.35, 0.9, false, "", Pad(chords, 55)},
             {I::Bass, 0.0, 0.85, false, "", Bass("C G Am F C G F G F G Em Am Dm G C C F G", "R6 R2 F8") + " c2:32"},
             {I::Kick, 0.0, 0.6, true, "", "( ................ )x4 ( k.......k....... )x14 k............... ................"},
             {I::Shaker, 0.3, 0.6, true, "", "( ................ )x4 ( ..x...x...x...xx )x14 ( ................ )x2"}}};
}

}  // namespace

const std::vector<Score>& MusicScores() {
    static const std::vector<Score> scores = {
        TitleTheme(),   ClearFanfare(), BonusWheel(),  MeadowTheme(),     ForestTheme(),
        RiverTheme(),   RuinsTheme(),   NightTheme(),  BossTheme(),       FinalStageTheme(),
        LastStandTheme(), EndingTheme(),
    };
    return scores;
}

}  // namespace databuild
// clang-format on
