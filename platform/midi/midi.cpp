// The sequencer devices over FluidSynth.
#include "platform/midi/midi.h"

#include <fluidsynth.h>

#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/dsound/dsound.h"
#include "platform/win/messages.h"

namespace plat {
namespace {

struct Sequencer {
    MCIDEVICEID id = 0;
    std::string file;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    int source = 0;
    bool playing = false;
    HWND notifyWindow = nullptr;
    bool notify = false;
    std::mutex mutex;  // taken inside the mixer's lock by the render, never around it
};

std::mutex g_tableMutex;
std::map<MCIDEVICEID, Sequencer*> g_devices;
MCIDEVICEID g_nextId = 1;

// The General MIDI SoundFont: TESSRA_SOUNDFONT when set, else the system's.
const char* SoundFontPath() {
    static const char* const kCandidates[] = {"/usr/share/sounds/sf2/default-GM.sf2",
                                              "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                              "/usr/share/sounds/sf2/TimGM6mb.sf2"};
    if (const char* env = std::getenv("TESSRA_SOUNDFONT"); env != nullptr && *env) return env;
    struct stat st {};
    for (const char* path : kCandidates) {
        if (::stat(path, &st) == 0) return path;
    }
    return nullptr;
}

void Render(void* context, int16_t* out, int frames) {
    auto* s = static_cast<Sequencer*>(context);
    std::lock_guard<std::mutex> lock(s->mutex);
    fluid_synth_write_s16(s->synth, frames, out, 0, 2, out, 1, 2);
    // The end of play is the end of the song's events; the notes still sounding die away on
    // their own (the player itself reports done only after the last release).
    const int total = fluid_player_get_total_ticks(s->player);
    const bool ended = fluid_player_get_status(s->player) == FLUID_PLAYER_DONE ||
                       (total > 0 && fluid_player_get_current_tick(s->player) >= total);
    if (s->playing && ended) {
        s->playing = false;
        if (s->notify) {
            s->notify = false;
            PostMessageA(s->notifyWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL,
                         static_cast<LPARAM>(s->id));
        }
    }
}

bool NewPlayer(Sequencer* s) {
    if (s->player != nullptr) delete_fluid_player(s->player);
    s->player = new_fluid_player(s->synth);
    return s->player != nullptr && fluid_player_add(s->player, s->file.c_str()) == FLUID_OK;
}

void Destroy(Sequencer* s) {
    if (s->source != 0) RemovePulledSource(s->source);
    if (s->player != nullptr) {
        fluid_player_stop(s->player);
        delete_fluid_player(s->player);
    }
    if (s->synth != nullptr) delete_fluid_synth(s->synth);
    if (s->settings != nullptr) delete_fluid_settings(s->settings);
    delete s;
}

MCIERROR Open(uintptr_t flags, MCI_OPEN_PARMSA* p) {
    if (p == nullptr || !(flags & MCI_OPEN_ELEMENT) || p->lpstrElementName == nullptr)
        return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_OPEN_TYPE) && p->lpstrDeviceType != nullptr &&
        std::strcmp(p->lpstrDeviceType, "sequencer") != 0)
        return MCIERR_INVALID_DEVICE_NAME;
    if (fluid_is_midifile(p->lpstrElementName) == 0) return MCIERR_FILE_NOT_FOUND;
    const char* font = SoundFontPath();
    if (font == nullptr) return MCIERR_HARDWARE;
    auto* s = new Sequencer;
    s->file = p->lpstrElementName;
    s->settings = new_fluid_settings();
    fluid_settings_setnum(s->settings, "synth.sample-rate", kMixerRate);
    fluid_settings_setnum(s->settings, "synth.gain", 0.6);
    fluid_settings_setint(s->settings, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(s->settings, "synth.reverb.active", 1);
    fluid_settings_setint(s->settings, "synth.chorus.active", 0);
    // The sequencer advances with the samples the synthesiser renders, not with a clock.
    fluid_settings_setstr(s->settings, "player.timing-source", "sample");
    s->synth = new_fluid_synth(s->settings);
    if (s->synth == nullptr || fluid_synth_sfload(s->synth, font, 1) == FLUID_FAILED ||
        !NewPlayer(s)) {
        Destroy(s);
        return MCIERR_HARDWARE;
    }
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        s->id = g_nextId++;
        g_devices[s->id] = s;
    }
    s->source = AddPulledSource(Render, s);
    if (s->source == 0) {  // no sound device to render into
        std::lock_guard<std::mutex> lock(g_tableMutex);
        g_devices.erase(s->id);
        Destroy(s);
        return MCIERR_HARDWARE;
    }
    p->wDeviceID = s->id;
    return 0;
}

Sequencer* Find(MCIDEVICEID id) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = g_devices.find(id);
    return it != g_devices.end() ? it->second : nullptr;
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, uintptr_t flags, uintptr_t params) {
    if (message == MCI_OPEN) return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(params));
    Sequencer* s = Find(device);
    if (s == nullptr) return MCIERR_INVALID_DEVICE_ID;
    switch (message) {
        case MCI_PLAY: {
            auto* p = reinterpret_cast<MCI_PLAY_PARMS*>(params);
            std::lock_guard<std::mutex> lock(s->mutex);
            const int status = fluid_player_get_status(s->player);
            if (status == FLUID_PLAYER_DONE ||
                ((flags & MCI_FROM) && p != nullptr && p->dwFrom == 0)) {
                fluid_synth_all_sounds_off(s->synth, -1);
                if (!NewPlayer(s)) return MCIERR_HARDWARE;
            }
            s->notify = (flags & MCI_NOTIFY) != 0 && p != nullptr;
            s->notifyWindow = s->notify ? reinterpret_cast<HWND>(p->dwCallback) : nullptr;
            s->playing = fluid_player_play(s->player) == FLUID_OK;
            return s->playing ? 0 : MCIERR_HARDWARE;
        }
        case MCI_STOP: {
            std::lock_guard<std::mutex> lock(s->mutex);
            fluid_player_stop(s->player);
            fluid_synth_all_sounds_off(s->synth, -1);
            s->playing = false;
            s->notify = false;
            return 0;
        }
        case MCI_CLOSE: {
            {
                std::lock_guard<std::mutex> lock(g_tableMutex);
                g_devices.erase(device);
            }
            Destroy(s);
            return 0;
        }
        default:
            return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

}  // namespace plat
