// System facts on Win32: the version, the network adapter, the language and country.
#include <windows.h>
#include <nb30.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace vz::platform {

namespace {

constexpr int32_t PLATFORM_WINDOWS = 1;

// The true version: GetVersionEx reports what the program's manifest claims to support.
bool realVersion(DWORD& major, DWORD& minor, DWORD& build) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                            : nullptr;
    if (getVersion) {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (getVersion(&info) == 0) {
            major = info.dwMajorVersion;
            minor = info.dwMinorVersion;
            build = info.dwBuildNumber;
            return true;
        }
    }
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return false;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    build = info.dwBuildNumber;
    return true;
}

std::string localeText(LCID locale, LCTYPE what) {
    char text[16] = {};
    if (GetLocaleInfoA(locale, what, text, sizeof text) <= 0) return std::string();
    return text;
}

}  // namespace

SystemFacts systemFacts() {
    SystemFacts facts;
    facts.osMajor = "Windows";
    facts.implementation = "ZT_Win32";
    facts.platformId = PLATFORM_WINDOWS;
    DWORD major = 0, minor = 0, build = 0;
    realVersion(major, minor, build);
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<int>(major), static_cast<int>(minor),
                  static_cast<int>(build));
    facts.osMinor = text;
    return facts;
}

std::string networkAdapterAddress() {
    LANA_ENUM lanas{};
    NCB enumerate{};
    enumerate.ncb_command = NCBENUM;
    enumerate.ncb_buffer = reinterpret_cast<UCHAR*>(&lanas);
    enumerate.ncb_length = sizeof lanas;
    if (Netbios(&enumerate) != NRC_GOODRET) return std::string();
    for (int i = 0; i < lanas.length && i < MAX_LANA; ++i) {
        NCB reset{};
        reset.ncb_command = NCBRESET;
        reset.ncb_lana_num = lanas.lana[i];
        if (Netbios(&reset) != NRC_GOODRET) continue;
        struct {
            ADAPTER_STATUS status;
            NAME_BUFFER names[30];
        } answer{};
        NCB status{};
        status.ncb_command = NCBASTAT;
        status.ncb_lana_num = lanas.lana[i];
        std::memset(status.ncb_callname, ' ', NCBNAMSZ);
        status.ncb_callname[0] = '*';
        status.ncb_buffer = reinterpret_cast<UCHAR*>(&answer);
        status.ncb_length = sizeof answer;
        if (Netbios(&status) != NRC_GOODRET) continue;
        const UCHAR* a = answer.status.adapter_address;
        char text[16];
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x\n", a[0], a[1], a[2], a[3], a[4], a[5]);
        return text;
    }
    return std::string();
}

std::string userCountryCode() { return localeText(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME); }

}  // namespace vz::platform
