// Code page, operating system, CPU, memory, COM and the screen saver.
#include <SDL.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <time.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/testing.h"
#include "platform/win/internal.h"
#include "platform/win/system.h"

namespace plat {
namespace {

std::atomic<bool> g_screenSaverOff{false};
std::atomic<UINT> g_oemCodePage{932};
std::atomic<DWORD> g_foregroundLockTimeout{200000};
thread_local int t_comCount = 0;

// Copies as much of the text as fits, always ending it.
void CopyText(char* out, size_t size, const char* text) {
    if (size == 0) return;
    size_t n = text != nullptr ? strnlen(text, size - 1) : 0;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

}  // namespace

UINT GetOEMCP() {
    return g_oemCodePage;
}
UINT GetACP() {
    return 932;
}

BOOL GetOsVersion(OsVersion* version) {
    if (version == nullptr) return FALSE;
    std::memset(version, 0, sizeof *version);
    utsname names;
    if (uname(&names) != 0) return FALSE;
    CopyText(version->name, sizeof version->name, names.sysname);
    CopyText(version->release, sizeof version->release, names.release);
    CopyText(version->machine, sizeof version->machine, names.machine);
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
    version->major = major;
    version->minor = minor;
    version->build = build;
    std::string description =
        std::string(names.sysname) + " " + names.release + " (" + names.machine + ")";
    CopyText(version->description, sizeof version->description, description.c_str());
    return TRUE;
}

void GetCpuInfo(CpuInfo* info) {
    if (info == nullptr) return;
    std::memset(info, 0, sizeof *info);
#if defined(__x86_64__) || defined(__i386__)
    unsigned a, b, c, d;
    if (__get_cpuid(0, &a, &b, &c, &d) == 0) return;
    info->hasCpuid = true;
    std::memcpy(info->vendor + 0, &b, 4);
    std::memcpy(info->vendor + 4, &d, 4);
    std::memcpy(info->vendor + 8, &c, 4);
    info->vendor[12] = '\0';
    if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
        info->hasMmx = (d & (1u << 23)) != 0;
        info->hasTsc = (d & (1u << 4)) != 0;
    }
    unsigned top = __get_cpuid_max(0x80000000u, nullptr);
    if (top >= 0x80000004u) {
        char brand[49];
        for (unsigned i = 0; i < 3; ++i) {
            __get_cpuid(0x80000002u + i, &a, &b, &c, &d);
            std::memcpy(brand + i * 16 + 0, &a, 4);
            std::memcpy(brand + i * 16 + 4, &b, 4);
            std::memcpy(brand + i * 16 + 8, &c, 4);
            std::memcpy(brand + i * 16 + 12, &d, 4);
        }
        brand[48] = '\0';
        const char* start = brand;
        while (*start == ' ') ++start;
        CopyText(info->name, sizeof info->name, start);
    }
#endif
}

uint64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
#endif
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    std::memset(status, 0, sizeof *status);
    status->dwLength = sizeof *status;
    struct sysinfo si;
    if (sysinfo(&si) != 0) return;
    uint64_t unit = si.mem_unit;
    status->dwTotalPhys = static_cast<SIZE_T>(si.totalram * unit);
    status->dwAvailPhys = static_cast<SIZE_T>((si.freeram + si.bufferram) * unit);
    status->dwTotalPageFile = static_cast<SIZE_T>((si.totalram + si.totalswap) * unit);
    status->dwAvailPageFile = static_cast<SIZE_T>((si.freeram + si.freeswap) * unit);
    status->dwTotalVirtual = static_cast<SIZE_T>(UINTPTR_MAX >> 17);  // 47-bit user space
    status->dwAvailVirtual = status->dwTotalVirtual;
    if (status->dwTotalPhys > 0) {
        status->dwMemoryLoad =
            static_cast<DWORD>(100 - (status->dwAvailPhys * 100) / status->dwTotalPhys);
    }
}

LONG CoInitialize(void*) {
    return t_comCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_comCount > 0) --t_comCount;
}

BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT) {
    switch (action) {
        case SPI_SETSCREENSAVEACTIVE:
            // Held off only for this process; the desktop's own setting stays as it is.
            g_screenSaverOff.store(param == 0);
            if (detail::VideoStarted()) {
                if (param == 0) {
                    SDL_DisableScreenSaver();
                } else {
                    SDL_EnableScreenSaver();
                }
            }
            return TRUE;
        case SPI_GETFOREGROUNDLOCKTIMEOUT:
            if (data == nullptr) return FALSE;
            *static_cast<DWORD*>(data) = g_foregroundLockTimeout.load();
            return TRUE;
        case SPI_SETFOREGROUNDLOCKTIMEOUT:
            g_foregroundLockTimeout.store(static_cast<DWORD>(reinterpret_cast<uintptr_t>(data)));
            return TRUE;
        default:
            return FALSE;
    }
}

bool IsScreenSaverInhibited() {
    return g_screenSaverOff.load();
}

namespace testing {

void SetOemCodePage(UINT codePage) {
    g_oemCodePage = codePage;
}

}  // namespace testing

namespace detail {

void ResetSystemControls() {
    g_oemCodePage = 932;
}

}  // namespace detail
}  // namespace plat
