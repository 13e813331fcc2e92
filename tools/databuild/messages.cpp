// The message file dat/velm1.dat: the 96 messages of message_texts.h in Shift-JIS, one after
// another, each ended by "@e", scrambled with the game's message keystream and padded to the
// size the game's start-up expects.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/core/game_vars.h"
#include "platform/win/codepage.h"
#include "tools/databuild/databuild.h"
#include "tools/databuild/message_texts.h"
#include "tools/databuild/messages.h"

namespace databuild {

bool CheckMessage(const std::string& sjis, std::string* error) {
    if (sjis.size() > kMessageMaxBytes) {
        *error = "longer than " + std::to_string(kMessageMaxBytes) + " bytes";
        return false;
    }
    if (sjis.size() < 2 || sjis.compare(sjis.size() - 2, 2, "@e") != 0) {
        *error = "does not end in \"@e\"";
        return false;
    }
    size_t lineBytes = 0;
    for (size_t i = 0; i < sjis.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(sjis[i]);
        const bool lead = (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
        if (lead) {
            // The game reads tags byte by byte: a second byte equal to '@' would start one.
            if (i + 1 >= sjis.size() || sjis[i + 1] == '@') {
                *error = "holds a character whose second byte reads as '@'";
                return false;
            }
            lineBytes += 2;
            ++i;
        } else if (c == '@') {
            if (i + 1 >= sjis.size()) {
                *error = "ends in a lone '@'";
                return false;
            }
            const char tag = sjis[i + 1];
            if (tag == 'e' && i + 2 != sjis.size()) {
                *error = "has \"@e\" before its end";
                return false;
            }
            if (tag == 'c' || tag == 'p') {
                const char digit = i + 2 < sjis.size() ? sjis[i + 2] : '\0';
                if (digit < '0' || digit > (tag == 'c' ? '3' : '9')) {
                    *error = std::string("has a bad digit after \"@") + tag + "\"";
                    return false;
                }
                i += 2;
            } else if (tag == 'n' || tag == 'w' || tag == 'e') {
                lineBytes = 0;
                ++i;
            } else {
                *error = std::string("has an unknown tag \"@") + tag + "\"";
                return false;
            }
        } else if (c == '\r' || c == '\n') {
            *error = "holds a line end (lines are broken by \"@n\")";
            return false;
        } else {
            ++lineBytes;
        }
        if (lineBytes > kMessageMaxLineBytes) {
            *error = "has a line longer than " + std::to_string(kMessageMaxLineBytes) + " bytes";
            return false;
        }
    }
    return true;
}

bool BuildMessageFile(const char* source, std::vector<uint8_t>* file) {
    std::vector<uint8_t> plain;
    int count = 0;
    const std::string text(source);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        const size_t space = line.find(' ');
        const int number = std::atoi(line.c_str());
        if (space == std::string::npos || number != count) {
            std::fprintf(stderr, "databuild: message %d: expected \"%02d text\", found \"%s\"\n",
                         count, count, line.c_str());
            return false;
        }
        std::string sjis, error;
        if (!plat::TryUtf8ToSjis(line.substr(space + 1), &sjis)) {
            std::fprintf(stderr, "databuild: message %d has no Shift-JIS form\n", count);
            return false;
        }
        if (!CheckMessage(sjis, &error)) {
            std::fprintf(stderr, "databuild: message %d %s\n", count, error.c_str());
            return false;
        }
        plain.insert(plain.end(), sjis.begin(), sjis.end());
        ++count;
    }
    if (count != kMessageCount) {
        std::fprintf(stderr, "databuild: %d messages written, %d expected\n", count, kMessageCount);
        return false;
    }
    if (plain.size() > kMessageFileSize) {
        std::fprintf(stderr, "databuild: the messages need %zu bytes, more than the %zu of %s\n",
                     plain.size(), kMessageFileSize, kMessageFileName);
        return false;
    }
    plain.resize(kMessageFileSize, 0);  // the padding is scrambled like the text
    file->assign(plain.size(), 0);
    velmora::ScrambleBuffer(plain.data(), file->data(), 0, plain.size());
    return true;
}

namespace {

bool RunMessages(const std::string& outDir) {
    std::vector<uint8_t> file;
    if (!BuildMessageFile(kMessageSource, &file)) return false;
    return WriteFileAtomic(JoinPath(outDir, kMessageFileName), file);
}

RegisterProducer reg("messages", 40, RunMessages);

}  // namespace
}  // namespace databuild
