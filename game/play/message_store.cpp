#include "game/play/message_store.h"

#include <algorithm>
#include <cstring>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"

namespace velmora {
namespace {

struct MessageStore {
    uint8_t image[kMessageImageBytes];
    int32_t size;  // bytes of the image that hold data
    int32_t start[kMessageCount + 1];
    int32_t speaker;
    int32_t speakerValue[kSpeakerCount];
    char lines[kMessageLines][kMessageLineBytes];
};

MessageStore g_messages;

bool IsDigitIn(uint8_t c, int max) {
    return c >= '0' && c <= '0' + max;
}

// One parse of a message page into the lines.
class PageParser {
public:
    PageParser(const uint8_t* text, int length) : text_(text), length_(length) {}

    // Steps over k line breaks, reading tags exactly as the parse does so that an escaped "@@"
    // is never taken for a tag.
    void Skip(int k) {
        int breaks = 0;
        while (pos_ < length_ && breaks < k) {
            if (text_[pos_] != '@') {
                pos_ += 1;
                continue;
            }
            const uint8_t tag = At(pos_ + 1);
            if (tag == 'n' || tag == 'w') {
                breaks += 1;
                pos_ += 2;
            } else if (tag == 'e' || pos_ + 1 >= length_) {
                pos_ = length_;
            } else {
                pos_ += 3;  // "@c", "@p" and an escape each take three bytes
            }
        }
    }

    int Parse() {
        while (pos_ < length_) {
            const uint8_t c = text_[pos_];
            if (c == '\r' && At(pos_ + 1) == '\n') {
                pos_ += 2;
            } else if (c != '@') {
                Put(c);
                pos_ += 1;
            } else {
                if (pos_ + 1 >= length_) break;  // a lone "@" at the very end
                const uint8_t tag = text_[pos_ + 1];
                if (tag == 'c' || tag == 'p') {
                    const uint8_t digit = At(pos_ + 2);
                    if (tag == 'c' && IsDigitIn(digit, kSpeakerCount - 1)) {
                        g_messages.speaker = digit - '0';
                    } else if (tag == 'p' && IsDigitIn(digit, 9)) {
                        g_messages.speakerValue[g_messages.speaker] = digit - '0';
                    }
                    pos_ += 3;
                } else if (tag == 'n') {
                    pos_ += 2;
                    if (!BreakLine()) break;
                } else if (tag == 'w') {
                    BreakLine();
                    break;
                } else if (tag == 'e') {
                    break;
                } else {
                    Put(tag);
                    if (pos_ + 2 < length_) Put(text_[pos_ + 2]);
                    pos_ += 3;
                }
            }
        }
        return line_;
    }

private:
    uint8_t At(int i) const { return i < length_ ? text_[i] : 0; }
    void Put(uint8_t c) {
        // A line keeps its first 255 bytes; the rest of it is dropped.
        if (column_ < kMessageLineBytes - 1)
            g_messages.lines[line_][column_] = static_cast<char>(c);
        column_ += 1;
    }
    bool BreakLine() {
        column_ = 0;
        line_ += 1;
        if (line_ >= kMessageLines) {
            line_ = kMessageLines - 1;  // stays a valid line index for the caller
            return false;
        }
        return true;
    }

    const uint8_t* text_;
    int length_;
    int pos_ = 0;
    int line_ = 0;
    int column_ = 0;
};

bool ValidMessage(int n) {
    return n >= 0 && n < kMessageCount;
}

}  // namespace

bool LoadMessages() {
    ClearMessages();
    MessageStore& m = g_messages;
    const int read = ReadWholeFile(kMessageFileName, m.image, kMessageImageBytes);
    if (read < 0) return false;
    m.size = read;
    ScrambleBuffer(m.image, m.image, 0, static_cast<size_t>(m.size));
    int pos = 0;
    for (int i = 0; i < kMessageCount; ++i) {
        m.start[i] = pos;
        while (pos < m.size &&
               !(m.image[pos] == '@' && pos + 1 < m.size && m.image[pos + 1] == 'e'))
            pos += 1;
        pos = std::min(pos + 2, m.size);
    }
    m.start[kMessageCount] = pos;
    // Kept scrambled in memory, as on disk.
    ScrambleBuffer(m.image, m.image, 0, static_cast<size_t>(m.size));
    SetMessageLineDrawer(&DrawMessageLine);
    return true;
}

void ClearMessages() {
    std::memset(&g_messages, 0, sizeof(g_messages));
}

int GetMessageLength(int n) {
    if (!ValidMessage(n)) return 0;
    return g_messages.start[n + 1] - g_messages.start[n];
}

void UnscrambleMessage(uint8_t* out, int n) {
    std::memset(out, 0, kMessageBufferBytes);
    const int length = std::min(GetMessageLength(n), kMessageBufferBytes);
    if (length <= 0) return;
    // The keystream of a stretch depends on its offset, so the stretch is unscrambled in place
    // of a copy that starts at the message.
    ScrambleBuffer(g_messages.image, out, static_cast<size_t>(g_messages.start[n]),
                   static_cast<size_t>(length));
}

int ParseMessage(int n, int k) {
    if (k < 1) {
        g_messages.speaker = 0;
        std::memset(g_messages.speakerValue, 0, sizeof(g_messages.speakerValue));
    }
    uint8_t buffer[kMessageBufferBytes];
    UnscrambleMessage(buffer, n);
    ClearMessageLines();
    PageParser parser(buffer, std::min(GetMessageLength(n), kMessageBufferBytes));
    parser.Skip(k);
    return parser.Parse();
}

void CopyMessageRaw(int m, int n) {
    if (m < 0 || m >= kMessageLines) return;
    char* line = g_messages.lines[m];
    std::memset(line, 0, kMessageLineBytes);
    uint8_t buffer[kMessageBufferBytes];
    UnscrambleMessage(buffer, n);
    const int length = std::min(GetMessageLength(n), kMessageBufferBytes);
    for (int i = 0; i < length && i < kMessageLineBytes - 1; ++i) {
        if (buffer[i] == '@' && i + 1 < length && buffer[i + 1] == 'e') break;
        line[i] = static_cast<char>(buffer[i]);
    }
}

const char* GetMessageLine(int m) {
    if (m < 0 || m >= kMessageLines) return "";
    return g_messages.lines[m];
}

void ClearMessageLines() {
    std::memset(g_messages.lines, 0, sizeof(g_messages.lines));
}

int GetMessageSpeaker() {
    return g_messages.speaker;
}

int GetSpeakerValue(int s) {
    if (s < 0 || s >= kSpeakerCount) return 0;
    return g_messages.speakerValue[s];
}

void DrawMessageLine(int x, int y, int n) {
    DrawTextAt(x, y, GetMessageLine(n), MakeColor(255, 255, 255), MakeColor(0, 0, 0));
}

}  // namespace velmora
