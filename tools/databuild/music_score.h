// The music's note data and how it is read. Each track is a set of parts; each part has an
// intro (played once) and a body (looped from the track's loop start, or played once). Parts
// are written as text, one token per note, lengths in sixteenths:
//   c4 e4:2 f#4:8   a note (name, sharp # or flat b, octave; middle C is c4), ':' length
//                   (kept for the following notes until changed)
//   c4+e4+g4:16     notes sounding together
//   r:4             a rest;  -:4  holds the previous note longer
//   e5! e5?         an accented or a soft note
//   ( ... )x4       the tokens inside, four times
//   |               a bar line, for the reader only
// A drum part is a string of steps, one sixteenth each: k kick, s snare, p clap, h closed hat,
// o open hat, x shaker, c crash, t/m/T low, middle and high tom, '.' nothing.
// A part shorter than the longest of its section repeats to fill it.
#pragma once

#include <string>
#include <vector>

#include "tools/databuild/audio_synth.h"

namespace databuild {

struct ScorePart {
    Instrument instrument;
    double pan;
    double velocity;
    bool drums;
    std::string intro;
    std::string body;
};

struct Score {
    const char* title;
    double bpm;           // used when the track has no loop start to fit
    int introSixteenths;  // a looping track: the intro's length, which fixes the tempo
    double swing;         // 0..0.3 of a sixteenth added to every second sixteenth
    std::vector<ScorePart> parts;
};

// One parsed event of a part, in sixteenths from its section's start.
struct ScoreEvent {
    double at = 0, length = 0;
    double midi = 60;
    double velocity = 1;
    Instrument instrument = Instrument::Lead;
};

// Reads one part's text. False with a message naming the part on a bad token.
bool ParsePart(const char* text, bool drums, Instrument instrument, double velocity,
               std::vector<ScoreEvent>* events, double* length, std::string* error);

// The twelve tracks.
const std::vector<Score>& MusicScores();

}  // namespace databuild
