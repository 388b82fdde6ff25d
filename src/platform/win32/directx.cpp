// The installed DirectX version on Win32: first the DirectX diagnostics
// provider, then the file versions of the DirectX system libraries.
#include <windows.h>
#include <ole2.h>
#include <initguid.h>  // the provider's class and interface ids are defined here
#include <dxdiag.h>

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace vz::platform {

namespace {

template <typename T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

bool readNumber(IDxDiagContainer* container, const wchar_t* name, int32_t& out) {
    VARIANT value;
    VariantInit(&value);
    bool ok = SUCCEEDED(container->GetProp(name, &value));
    if (ok && value.vt == VT_UI4) {
        out = static_cast<int32_t>(value.ulVal);
    } else if (ok && value.vt == VT_I4) {
        out = value.lVal;
    } else {
        ok = false;
    }
    VariantClear(&value);
    return ok;
}

char readLetter(IDxDiagContainer* container, const wchar_t* name) {
    VARIANT value;
    VariantInit(&value);
    char letter = ' ';
    if (SUCCEEDED(container->GetProp(name, &value)) && value.vt == VT_BSTR && value.bstrVal &&
        value.bstrVal[0] > 0 && value.bstrVal[0] < 128)
        letter = static_cast<char>(value.bstrVal[0]);
    VariantClear(&value);
    return letter;
}

bool askProvider(DirectXVersion& out) {
    IDxDiagProvider* provider = nullptr;
    IDxDiagContainer* root = nullptr;
    IDxDiagContainer* info = nullptr;
    bool found = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                   reinterpret_cast<void**>(&provider)))) {
        DXDIAG_INIT_PARAMS params{};
        params.dwSize = sizeof params;
        params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
        params.bAllowWHQLChecks = FALSE;  // no network look-ups
        if (SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(&root)) &&
            SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &info))) {
            found = readNumber(info, L"dwDirectXVersionMajor", out.major) &&
                    readNumber(info, L"dwDirectXVersionMinor", out.minor);
            out.letter = readLetter(info, L"szDirectXVersionLetter");
        }
    }
    release(info);
    release(root);
    release(provider);
    return found;
}

// a.b.c.d as one comparable number.
constexpr uint64_t fileVersion(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | uint64_t(d);
}

bool readFileVersion(const char* file, uint64_t& version) {
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(file) >= MAX_PATH) return false;
    lstrcatA(path, "\\");
    lstrcatA(path, file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return false;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path, 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    version = (uint64_t(info->dwFileVersionMS) << 32) | info->dwFileVersionLS;
    return true;
}

// A release is recognised by the first version of a system file it shipped;
// later releases come later in the list. Any version newer than the last
// threshold (the libraries of later Windows versions) counts as that release.
struct Release {
    const char* file;
    uint64_t atLeast;
    DirectXVersion version;
};

const Release RELEASES[] = {
    {"ddraw.dll", fileVersion(4, 2, 0, 95), {1, 0, ' '}},
    {"ddraw.dll", fileVersion(4, 3, 0, 1096), {2, 0, ' '}},
    {"ddraw.dll", fileVersion(4, 4, 0, 68), {3, 0, ' '}},
    {"d3drg8x.dll", 0, {3, 0, ' '}},
    {"ddraw.dll", fileVersion(4, 5, 0, 155), {5, 0, ' '}},
    {"dplayx.dll", fileVersion(4, 5, 1, 1998), {5, 2, ' '}},
    {"ddraw.dll", fileVersion(4, 6, 0, 318), {6, 0, ' '}},
    {"ddraw.dll", fileVersion(4, 6, 2, 436), {6, 1, ' '}},
    {"dplayx.dll", fileVersion(4, 6, 3, 518), {6, 1, 'a'}},
    {"ddraw.dll", fileVersion(4, 7, 0, 700), {7, 0, ' '}},
    {"dinput.dll", fileVersion(4, 7, 0, 716), {7, 0, 'a'}},
    {"d3d8.dll", fileVersion(4, 8, 0, 400), {8, 0, ' '}},
    {"d3d8.dll", fileVersion(4, 8, 1, 881), {8, 1, ' '}},
    {"d3d8.dll", fileVersion(4, 8, 1, 901), {8, 1, 'a'}},
    {"mpg2splt.ax", fileVersion(6, 3, 1, 893), {8, 1, 'b'}},
    {"dpnet.dll", fileVersion(4, 9, 0, 134), {8, 2, ' '}},
    {"d3d9.dll", fileVersion(4, 9, 0, 900), {9, 0, ' '}},
    {"d3d9.dll", fileVersion(4, 9, 0, 901), {9, 0, 'a'}},
    {"d3d9.dll", fileVersion(4, 9, 0, 902), {9, 0, 'b'}},
    {"d3d9.dll", fileVersion(4, 9, 0, 904), {9, 0, 'c'}},
};

}  // namespace

// It gathers the whole system report (display and sound devices among it)
// before it answers.
bool directXProviderIsSlow() { return true; }

bool directXVersionFromDiagnostics(DirectXVersion& out) {
    const HRESULT com = CoInitialize(nullptr);
    out = DirectXVersion{};
    const bool found = askProvider(out);
    if (SUCCEEDED(com)) CoUninitialize();
    return found;
}

bool directXVersionFromFiles(DirectXVersion& out) {
    out = DirectXVersion{};
    bool anyRead = false;
    const char* lastFile = nullptr;
    uint64_t version = 0;
    bool present = false;
    for (const Release& release : RELEASES) {
        if (!lastFile || lstrcmpiA(lastFile, release.file) != 0) {
            lastFile = release.file;
            present = readFileVersion(release.file, version);
            anyRead = anyRead || present;
        }
        if (present && version >= release.atLeast) out = release.version;
    }
    return anyRead;
}

}  // namespace vz::platform
