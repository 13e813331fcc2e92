// System information and settings: code page, operating system, CPU, memory, COM, screen saver.
#pragma once

#include "platform/win/types.h"

namespace plat {

// The OEM code page: 932 (Shift-JIS) here; tests may make it 949 (Korean).
UINT GetOEMCP();
UINT GetACP();

// The operating system, for the start-up log.
struct OsVersion {
    char name[64];     // for example "Linux"
    char release[64];  // the kernel release text
    char machine[32];  // for example "x86_64"
    uint32_t major;    // release numbers, 0 when unreadable
    uint32_t minor;
    uint32_t build;
    char description[192];  // one line: name, release and machine
};
BOOL GetOsVersion(OsVersion* version);

// CPU information read with cpuid.
struct CpuInfo {
    bool hasCpuid;
    bool hasMmx;
    bool hasTsc;      // time-stamp counter
    char vendor[13];  // for example "GenuineIntel"; empty without cpuid
    char name[49];    // the brand text, leading spaces removed; empty when not offered
};
void GetCpuInfo(CpuInfo* info);
// The CPU's time-stamp counter; a nanosecond count where there is none.
uint64_t ReadTimeStampCounter();

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;  // per cent in use
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

// COM start and end for the calling thread; nothing else of COM exists here.
constexpr LONG S_OK = 0;
constexpr LONG S_FALSE = 1;
LONG CoInitialize(void* reserved);
void CoUninitialize();

// System parameters. SPI_SETSCREENSAVEACTIVE switches the screen saver off or on for this
// process only (never the system's setting); the foreground lock time-out is kept by the layer.
constexpr UINT SPI_SETSCREENSAVEACTIVE = 0x0011;
constexpr UINT SPI_GETFOREGROUNDLOCKTIMEOUT = 0x2000;
constexpr UINT SPI_SETFOREGROUNDLOCKTIMEOUT = 0x2001;
constexpr UINT SPIF_SENDCHANGE = 0x0002;
// SPI_GETFOREGROUNDLOCKTIMEOUT writes a DWORD to data; SPI_SETFOREGROUNDLOCKTIMEOUT takes the
// value in data's pointer value. FALSE for other actions.
BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni);
// Whether the screen saver is currently held off for this process.
bool IsScreenSaverInhibited();

}  // namespace plat
