// MIDI playback in the MCI style: a sequencer device opened on a Standard MIDI File, played with
// an optional end-of-play notification, stopped and closed. The synthesiser (FluidSynth with the
// system's General MIDI SoundFont) renders into the sound device's mixer as a pulled source, and
// its sequencer is timed by the samples rendered, so a stepped mixer gives the same sound on
// every run. It needs an open sound device.
#pragma once

#include <cstdint>

#include "platform/win/types.h"

namespace plat {

using MCIERROR = DWORD;
using MCIDEVICEID = UINT;

constexpr UINT MCI_OPEN = 0x0803;
constexpr UINT MCI_CLOSE = 0x0804;
constexpr UINT MCI_PLAY = 0x0806;
constexpr UINT MCI_STOP = 0x0808;

constexpr DWORD MCI_NOTIFY = 0x00000001;
constexpr DWORD MCI_WAIT = 0x00000002;
constexpr DWORD MCI_FROM = 0x00000004;
constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
constexpr DWORD MCI_OPEN_TYPE = 0x00002000;

// wParam of MM_MCINOTIFY (platform/win/messages.h) at the natural end of play.
constexpr WPARAM MCI_NOTIFY_SUCCESSFUL = 0x0001;

constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = 257;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr MCIERROR MCIERR_HARDWARE = 262;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = 263;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = 275;
constexpr MCIERROR MCIERR_MISSING_PARAMETER = 273;

struct MCI_OPEN_PARMSA {
    uintptr_t dwCallback;
    MCIDEVICEID wDeviceID;
    const char* lpstrDeviceType;   // "sequencer"
    const char* lpstrElementName;  // the MIDI file
    const char* lpstrAlias;
};

struct MCI_PLAY_PARMS {
    uintptr_t dwCallback;  // the window told at the end (with MCI_NOTIFY)
    DWORD dwFrom;          // milliseconds (with MCI_FROM)
    DWORD dwTo;
};

struct MCI_GENERIC_PARMS {
    uintptr_t dwCallback;
};

// Open, play, stop and close. Stop and close post no notification.
MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, uintptr_t flags, uintptr_t params);

}  // namespace plat
