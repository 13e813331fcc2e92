// The message store: the 96 messages of "dat\velm1.dat", kept scrambled in memory, and the
// parser that turns one page of a message with its tags into up to 32 lines for the draw list.
//
// Tags: "@c" + digit sets the speaker (0..3), "@p" + digit the speaker's value, "@n" breaks the
// line, "@w" breaks it and ends the page, "@e" ends the message; "@" before any other byte drops
// itself and copies the next two bytes as they are. A CR LF pair is skipped.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kMessageCount = 96;
inline constexpr int kMessageImageBytes = 32000;
inline constexpr int kMessageBufferBytes = 1600;
inline constexpr int kMessageLineBytes = 256;  // 255 characters and the terminator
inline constexpr int kMessageLines = 32;
inline constexpr int kSpeakerCount = 4;
inline constexpr char kMessageFileName[] = "dat\\velm1.dat";
inline constexpr uint32_t kMessageSeed = 52917;

// Reads the message file (a plain file, never from an archive) and indexes it; false when it
// cannot be read. Message starts never pass the data read: a message whose "@e" is missing runs
// to the end of the data, and those after it are empty.
bool LoadMessages();
// Forgets every message and line (tests).
void ClearMessages();

// The byte length of message n as stored (its "@e" included); 0 for a number outside 0..95.
int GetMessageLength(int n);
// Zeroes the 1,600-byte buffer and unscrambles message n into it, cut at 1,600 bytes.
void UnscrambleMessage(uint8_t* out, int n);
// Parses message n after skipping k line breaks; returns the index of the line being filled when
// parsing stopped. k < 1 resets the speaker and the four speaker values first.
int ParseMessage(int n, int k);
// Clears line m and copies message n into it up to its "@e", tags and all, at most 255 bytes.
void CopyMessageRaw(int m, int n);
const char* GetMessageLine(int m);  // "" for m outside 0..31
void ClearMessageLines();

int GetMessageSpeaker();
int GetSpeakerValue(int s);  // 0 for s outside 0..3

// Line n in white with a black edge, through the engine's text drawing.
void DrawMessageLine(int x, int y, int n);

}  // namespace velmora
