// The sound device: start-up with its log, shut-down, and the buffer primitives every sound
// handle plays through.
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/sound/sound.h"
#include "engine/sound/sound_internal.h"
#include "platform/win/window.h"

namespace tessra {

using namespace sjis_literals;

namespace {

SoundSystem g_sound{};

// A failed start-up step: the device goes and sound stays off.
int FailStart() {
    SoundSystem& s = g_sound;
    if (s.primary.created) ReleaseSoundBuffer(&s.primary);
    s.device->Release();
    s.device = nullptr;
    return -1;
}

plat::BOOL EnumSoundDeviceCallback(plat::GUID*, const char* description, const char* module,
                                   void*) {
    AppendLogFormat("モジュール名:%15s  ドライバ記述:%s "_sjis, module, description);
    return 1;
}

const char* Ok(uint32_t flags, uint32_t bit) {
    return (flags & bit) != 0 ? "OK" : "NO";
}

void LogDevice() {
    SoundSystem& s = g_sound;
    IncreaseLogIndent();
    plat::DSCAPS caps{};
    caps.dwSize = sizeof caps;
    s.device->GetCaps(&caps);
    AppendLog("DirectSound デバイスを列挙します\n"_sjis);
    IncreaseLogIndent();
    // Without a system library to load, the device list comes straight from the layer.
    plat::DirectSoundEnumerateA(EnumSoundDeviceCallback, nullptr);
    DecreaseLogIndent();
    AppendLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz "_sjis,
                    caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0);
    AppendLogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n"_sjis,
                    caps.dwTotalHwMemBytes / 1024.0, caps.dwFreeHwMemBytes / 1024.0);
    AppendLog("利用可能サンプリング精度\n"_sjis);
    const uint32_t f = caps.dwFlags;
    AppendLogFormat(" プライマリ １６bit = %s  ８bit = %s "_sjis, Ok(f, 0x8), Ok(f, 0x4));
    AppendLogFormat(" セカンダリ １６bit = %s  ８bit = %s \n"_sjis, Ok(f, 0x800), Ok(f, 0x400));
    AppendLog("利用可能チャンネル\n"_sjis);
    AppendLogFormat(" プライマリ MONO = %s  STEREO = %s "_sjis, Ok(f, 0x1), Ok(f, 0x2));
    AppendLogFormat(" セカンダリ MONO = %s  STEREO = %s \n"_sjis, Ok(f, 0x100), Ok(f, 0x200));
    DecreaseLogIndent();
}

// The looping silent buffer that keeps the output running for the whole run.
void StartSilence() {
    SoundSystem& s = g_sound;
    plat::WAVEFORMATEX format{plat::WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    plat::DSBUFFERDESC desc{sizeof(plat::DSBUFFERDESC), 0x8002, 400, 0, &format, {}};
    if (CreateSoundBuffer(&s.silence, &desc) == -1) {
        AppendLog("無音バッファの作成に失敗しました"_sjis);
        return;
    }
    void *part1 = nullptr, *part2 = nullptr;
    uint32_t size1 = 0, size2 = 0;
    if (LockSoundBuffer(&s.silence, 0, 400, &part1, &size1, &part2, &size2) == -1) {
        AppendLog("無音バッファのロックに失敗しました"_sjis);
        ReleaseSoundBuffer(&s.silence);
        return;
    }
    std::memset(part1, 0, size1);
    if (part2 != nullptr) std::memset(part2, 0, size2);
    UnlockSoundBuffer(&s.silence, part1, size1, part2, size2);
    PlaySoundBuffer(&s.silence, 1);
}

}  // namespace

SoundSystem& GetSoundSystem() {
    return g_sound;
}

int InitializeSound() {
    SoundSystem& s = g_sound;
    if (s.device != nullptr) return -1;
    if (s.musicMode == 1) {
        // No DirectMusic loader can be made here: start as the older interface does.
        AppendLog("DirectSound8 の初期化を行います\n"_sjis);
        AppendLog("DirectMusicLoader8 オブジェクトの作成に失敗しました\n"_sjis);
        AppendLog("前バージョンでの初期化処理に移ります\n"_sjis);
        s.musicMode = 0;
        return InitializeSound();
    }
    AppendLog("DirectSound の初期化を行います\n"_sjis);
    AppendLog("DirectSound インターフェースの取得を行います....  "_sjis);
    plat::IDirectSound* device = nullptr;
    if (plat::FAILED(plat::CreateDirectSound(&device))) {
        s.device = nullptr;
        AppendLog("DirectSoundインターフェースの作成に失敗しました\n"_sjis);
        return -1;
    }
    s.device = device;
    AppendLog("成功\n"_sjis);
    AppendLog("引き続きインターフェースの初期化処理...  "_sjis);
    if (plat::FAILED(device->Initialize(nullptr))) {
        AppendLog("初期化に失敗しました\n"_sjis);
        return FailStart();
    }
    AppendLog("成功\n"_sjis);
    if (device->SetCooperativeLevel(plat::GetDesktopWindow(), plat::DSSCL_PRIORITY) != 0) {
        AppendLog("DirectSoundの協調レベルの設定に失敗しました\n"_sjis);
        return FailStart();
    }
    plat::DSBUFFERDESC primary{
        sizeof(plat::DSBUFFERDESC), plat::DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    if (CreateSoundBuffer(&s.primary, &primary) == -1) {
        AppendLog("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n"_sjis);
        return FailStart();
    }
    plat::DSCAPS caps{};
    caps.dwSize = sizeof caps;
    device->GetCaps(&caps);
    plat::WAVEFORMATEX format{};
    format.wFormatTag = plat::WAVE_FORMAT_PCM;
    format.nChannels = (caps.dwFlags & plat::DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    format.wBitsPerSample = (caps.dwFlags & plat::DSCAPS_PRIMARY16BIT) ? 16 : 8;
    format.nSamplesPerSec =
        caps.dwMaxSecondarySampleRate < 44100 ? caps.dwMaxSecondarySampleRate : 44100;
    format.nBlockAlign = static_cast<uint16_t>(format.wBitsPerSample / 8 * format.nChannels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    if (plat::FAILED(s.primary.buffer->SetFormat(&format))) {
        AppendLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n"_sjis);
    }
    StartSilence();
    s.keepMode = 0;
    s.oggSampleWidth = 2;
    InitLinkedList(&s.streamHead, &s.streamTail);
    LogDevice();
    AppendLog("DirectSound の初期化は正常に終了しました\n"_sjis);
    DeleteAllSounds();
    return 0;
}

int TerminateSound() {
    SoundSystem& s = g_sound;
    if (s.device == nullptr) return -1;
    FinishSoundCaptureFile();
    DeleteAllSounds();
    DeleteAllMidi();
    DeleteMciTempFile();
    if (s.primary.created) {
        StopSoundBuffer(&s.primary);
        ReleaseSoundBuffer(&s.primary);
    }
    if (s.silence.created) {
        StopSoundBuffer(&s.silence);
        ReleaseSoundBuffer(&s.silence);
    }
    s.device->Release();
    s.device = nullptr;
    AppendLog("DirectSound の終了処理は正常に終了しました\n"_sjis);
    return 0;
}

// --- Buffer primitives -------------------------------------------------------------------------

int CreateSoundBuffer(SoundBufferRecord* record, const plat::DSBUFFERDESC* description) {
    if (record->created || g_sound.device == nullptr) return -1;
    plat::IDirectSoundBuffer* buffer = nullptr;
    if (plat::FAILED(g_sound.device->CreateSoundBuffer(description, &buffer, nullptr))) return -1;
    record->buffer = buffer;
    record->created = 1;
    return 0;
}

int DuplicateSoundBuffer(const SoundBufferRecord* source, SoundBufferRecord* record) {
    if (record->created || !source->created || g_sound.device == nullptr) return -1;
    plat::IDirectSoundBuffer* buffer = nullptr;
    if (plat::FAILED(g_sound.device->DuplicateSoundBuffer(source->buffer, &buffer))) return -1;
    record->buffer = buffer;
    record->created = 1;
    return 0;
}

int ReleaseSoundBuffer(SoundBufferRecord* record) {
    if (!record->created) return -1;
    record->buffer->Release();
    record->buffer = nullptr;
    record->created = 0;
    return 0;
}

int PlaySoundBuffer(SoundBufferRecord* record, int loop) {
    if (!record->created) return -1;
    return plat::FAILED(record->buffer->Play(0, 0, loop ? plat::DSBPLAY_LOOPING : 0)) ? -1 : 0;
}

int StopSoundBuffer(SoundBufferRecord* record) {
    if (!record->created) return -1;
    record->buffer->Stop();
    return 0;
}

int GetSoundBufferStatus(SoundBufferRecord* record, uint32_t* status) {
    if (!record->created) return -1;
    plat::DWORD value = 0;
    if (plat::FAILED(record->buffer->GetStatus(&value))) return -1;
    *status = value;
    return 0;
}

int LockSoundBuffer(SoundBufferRecord* record, uint32_t offset, uint32_t bytes, void** part1,
                    uint32_t* size1, void** part2, uint32_t* size2) {
    if (!record->created) return -1;
    plat::DWORD n1 = 0, n2 = 0;
    if (plat::FAILED(record->buffer->Lock(offset, bytes, part1, &n1, part2, &n2, 0))) return -1;
    *size1 = n1;
    *size2 = n2;
    return 0;
}

int UnlockSoundBuffer(SoundBufferRecord* record, void* part1, uint32_t size1, void* part2,
                      uint32_t size2) {
    if (!record->created) return -1;
    return plat::FAILED(record->buffer->Unlock(part1, size1, part2, size2)) ? -1 : 0;
}

int SetSoundBufferVolume(SoundBufferRecord* record, int32_t volume) {
    if (!record->created) return -1;
    record->buffer->SetVolume(volume);
    return 0;
}

int SetSoundBufferPosition(SoundBufferRecord* record, uint32_t position) {
    if (!record->created) return -1;
    record->buffer->SetCurrentPosition(position);
    return 0;
}

}  // namespace tessra
