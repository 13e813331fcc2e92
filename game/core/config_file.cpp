#include "game/core/config.h"

#include <cstdio>
#include <string>

#include "engine/tessra.h"
#include "platform/win/file.h"
#include "platform/win/message_box.h"
#include "platform/win/messages.h"

namespace velmora {

using namespace tessra::sjis_literals;

namespace {

const char* Caption() {
    return "ヴェルモラ"_sjis;
}

// The settings boxes come before the engine's window exists, so they may have no owner.
int AskBox(const char* text, plat::UINT buttons) {
    return plat::MessageBoxA(reinterpret_cast<plat::HWND>(GetEngineWindow()), text, Caption(),
                             buttons | plat::MB_TOPMOST);
}

bool FileOpensForReading(const char* name) {
    plat::FileHandle f = plat::CreateFileA(name, plat::GENERIC_READ, plat::FILE_SHARE_READ, nullptr,
                                           plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (f == plat::INVALID_HANDLE_VALUE) return false;
    plat::CloseHandle(f);
    return true;
}

struct Date {
    int year, month, day;
};

Date Today() {
    int t[6] = {};
    GetLocalDateTime(t);
    return Date{t[0], t[1], t[2]};
}

// The backups count every month as 31 days, so stepping back never needs a calendar.
void StepBackOneDay(Date& d) {
    if (--d.day < 1) {
        d.day = 31;
        if (--d.month < 1) {
            d.month = 12;
            --d.year;
        }
    }
}

// Decodes the first `got` bytes of a file image. Words the file does not hold in full read as
// 0: the zero bytes behind a short file would decode to the key stream, scattering stray unlock
// and run bits and passing a missing marker as valid.
void DecodeImage(const uint8_t* image, int got, ConfigStore& store) {
    UnscrambleConfig(image, store);
    for (int n = got / 4; n < kConfigWordCount; ++n) SetStoreWord(store, n, 0);
}

}  // namespace

// A settings file is replaced, never rewritten in place: the new image goes to a file beside it,
// is written through to the disk, and only then renamed over the old one, the rename itself
// written through (the folder synced). A crash or a power loss keeps the old file or the new
// one, never a part of either.
int WriteFileReplacing(const char* name, const void* buffer, int n) {
    const std::string temp = std::string(name) + ".new";
    plat::SetFileAttributesA(temp.c_str(), plat::FILE_ATTRIBUTE_NORMAL);
    plat::FileHandle f = plat::CreateFileA(temp.c_str(), plat::GENERIC_WRITE, 0, nullptr,
                                           plat::CREATE_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
    if (f == plat::INVALID_HANDLE_VALUE) return -1;
    uint32_t written = 0;
    const bool whole = plat::WriteFile(f, buffer, static_cast<uint32_t>(n), &written) != 0 &&
                       written == static_cast<uint32_t>(n) && plat::FlushFileBuffers(f) != 0;
    plat::CloseHandle(f);
    if (!whole) {
        plat::DeleteFileA(temp.c_str());
        return -1;
    }
    plat::SetFileAttributesA(name, plat::FILE_ATTRIBUTE_NORMAL);
    if (plat::MoveFileExA(temp.c_str(), name,
                          plat::MOVEFILE_REPLACE_EXISTING | plat::MOVEFILE_WRITE_THROUGH) == 0) {
        plat::DeleteFileA(temp.c_str());
        return -1;
    }
    return n;
}

void FirstRunQuestions() {
    const bool fullScreen =
        AskBox("フルスクリーンで起動しますか？"_sjis, plat::MB_YESNO) != plat::IDNO;
    const bool vsync = AskBox("垂直同期をとりますか？"_sjis, plat::MB_YESNO) != plat::IDNO;
    ResetConfig();
    SetConfigVar(kCfgScreenMode, fullScreen ? 0 : 2);
    SetConfigVar(kCfgPacing, vsync ? 0 : 1);
}

int LoadConfig() {
    uint8_t image[kConfigFileSize] = {};
    bool usable = false;
    const int got = ReadWholeFile(kConfigFileName, image, kConfigFileSize);
    if (got >= 0) {
        DecodeImage(image, got, GetConfigStore());
        usable = GetConfigVar(kConfigValidWord) >= kConfigValidMarker;
    }
    if (usable) {
        ValidateConfig();
    } else {
        const int answer =
            AskBox("コンフィグが見つかりません\n初期化しますか？"_sjis, plat::MB_YESNOCANCEL);
        if (answer != plat::IDYES) {
            // The game's thread owns the window, so the quit message goes to this thread.
            plat::PostQuitMessage(0);
            return -1;
        }
        FirstRunQuestions();
    }
    SetConfigVar(kConfigValidWord, kConfigValidMarker);
    if (GetConfigVar(kCfgInstallId) == 0) {
        // Seeded from this moment first: an unseeded generator would give every fresh
        // installation the same id.
        int now[6] = {};
        GetLocalDateTime(now);
        const uint32_t secondsOfMonth =
            static_cast<uint32_t>(((now[2] * 24 + now[3]) * 60 + now[4]) * 60 + now[5]);
        SeedEngineRandom(GetTimeMs() ^ (secondsOfMonth << 10));
        SetConfigVar(kCfgInstallId, static_cast<int32_t>(GetEngineRandom(0x3fffffff)));
    }
    SaveConfig();
    BackupConfigDaily();
    return kConfigFileSize;
}

int SaveConfig() {
    uint8_t image[kConfigFileSize];
    ScrambleConfig(image);
    const int written = WriteFileReplacing(kConfigFileName, image, kConfigFileSize);
    // Play goes on without the file, but the failure is said: in a folder that cannot be written
    // (read-only, or a full disk) the first-run questions would otherwise come back at every
    // start with no word why.
    if (written < 0) {
        std::fprintf(stderr,
                     "settings: %s could not be written (read-only folder or full disk?); play "
                     "goes on, but the settings are not kept\n",
                     kConfigFileName);
    }
    return written;
}

void FormatBackupName(char* out, int size, int year, int month, int day) {
    const int stamp = (year % 100) * 10000 + month * 100 + day;
    std::snprintf(out, static_cast<size_t>(size), "userdata\\config_backup%06d.sav", stamp);
}

void BackupConfigDaily() {
    Date d = Today();
    char name[64];
    FormatBackupName(name, sizeof name, d.year, d.month, d.day);
    // A file shorter than a whole image is taken as absent: it is what a write cut short left,
    // and keeping it would block the day's backup for good. The backup is written the way the
    // settings are, so a full disk leaves no short file.
    if (GetFileLength(name) < kConfigFileSize) {
        uint8_t image[kConfigFileSize];
        ScrambleConfig(image);
        if (WriteFileReplacing(name, image, kConfigFileSize) < 0)
            std::fprintf(stderr, "settings: the day's backup %s could not be written\n", name);
    }
    // Keep about nine days back: the 10th and 11th backups found are the oldest to go.
    int found = 0;
    for (int i = 0; i < 11; ++i) {
        StepBackOneDay(d);
        FormatBackupName(name, sizeof name, d.year, d.month, d.day);
        if (!FileOpensForReading(name)) continue;
        ++found;
        if (found == 10 || found == 11) plat::DeleteFileA(name);
    }
}

bool RollBackConfig() {
    Date d = Today();
    char name[64];
    while (d.year > 2006) {
        FormatBackupName(name, sizeof name, d.year, d.month, d.day);
        if (FileOpensForReading(name)) {
            // Decode into a scratch store: the live settings change only when the player agrees.
            uint8_t image[kConfigFileSize] = {};
            ConfigStore scratch;
            const int got = ReadWholeFile(name, image, kConfigFileSize);
            if (got >= 0) {
                DecodeImage(image, got, scratch);
                char text[160];
                std::snprintf(
                    text, sizeof text,
                    "%4d年%2d月%2d日のデータが見つかりました\nロールバックしますか？"_sjis, d.year,
                    d.month, d.day);
                if (GetStoreWord(scratch, kConfigValidWord) >= kConfigValidMarker &&
                    AskBox(text, plat::MB_YESNO) == plat::IDYES) {
                    GetConfigStore() = scratch;
                    ValidateConfig();
                    return true;
                }
            }
        }
        StepBackOneDay(d);
    }
    return false;
}

}  // namespace velmora
