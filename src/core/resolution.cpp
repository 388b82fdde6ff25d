// Choosing the screen size from the variant's list of supported resolutions,
// the orientation, and the Program's Reinitialize requests.
#include "core/resolution.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/engine_api.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

constexpr size_t MAX_ENTRIES = 32;
constexpr size_t MAX_LIST_LENGTH = 512;     // a longer list is taken as empty
constexpr int32_t WINDOW_FRAME_WIDTH = 50;  // room a window's frame and the task bar need
constexpr int32_t WINDOW_FRAME_HEIGHT = 70;
constexpr float SAME_ASPECT = 0.03f;
constexpr int32_t DEFAULT_WIDTH = 800;      // for a Program that asks for no size at all
constexpr int32_t DEFAULT_HEIGHT = 600;

struct Entry {
    int32_t width = 0, height = 0;
    bool device = false;  // "*": the device's own size
};

std::vector<Entry> parseEntries(const std::string& list) {
    std::vector<Entry> entries;
    if (list.size() >= MAX_LIST_LENGTH) return entries;
    size_t start = 0;
    while (start <= list.size() && entries.size() < MAX_ENTRIES) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string text = list.substr(start, end - start);
        Entry entry;
        if (!text.empty() && text[0] == '*') {
            entry.device = true;
        } else {
            entry.width = std::atoi(text.c_str());
            const size_t x = text.find('x');
            entry.height = x == std::string::npos ? 0 : std::atoi(text.c_str() + x + 1);
        }
        entries.push_back(entry);
        start = end + 1;
    }
    return entries;
}

int64_t area(int32_t width, int32_t height) { return static_cast<int64_t>(width) * height; }

void parseSize(const char* text, int32_t& width, int32_t& height) {
    width = std::atoi(text);
    const char* x = std::strchr(text, 'x');
    height = x ? std::atoi(x + 1) : 0;
}

int32_t nativeOrientationOf(int32_t width, int32_t height) { return width <= height ? 1 : 4; }

const char* orientationName(int32_t orientation) {
    if (orientation == 1 || orientation == 2) return "PORTRAIT";
    if (orientation == 4 || orientation == 8) return "LANDSCAPE";
    return "UNKNOWN";
}

}  // namespace

const char* typicalFallbackResolution(const std::string& variant) {
    const size_t slash = variant.find('/');
    const std::string sizeClass = slash == std::string::npos ? "" : variant.substr(slash + 1);
    auto is = [&](const char* prefix) { return variant.compare(0, std::strlen(prefix), prefix) == 0; };
    // Longer names first, so that WINDOWS_PHONE is not read as WINDOWS.
    if (is("WINDOWS_PHONE")) return "800x480";
    if (is("WINDOWS") || is("MAC") || is("LINUX")) return "1280x720";
    if (is("IOS")) return sizeClass == "SMALL" ? "960x640" : "1024x768";
    if (is("WEBOS")) return sizeClass == "SMALL" ? "480x320" : "1024x768";
    if (is("BADA")) return "800x480";
    if (is("ANDROID")) return "854x480";
    if (is("QT")) return "640x360";
    if (is("QNX")) return "1024x600";
    if (is("PS_VITA")) return "960x544";
    if (is("PSP")) return "480x272";
    if (is("FLASH")) return "550x400";
    return "800x600";
}

bool isResolutionSupported(int32_t width, int32_t height, bool windowed) {
    RuntimeState& state = rt();
    const BootSettings& boot = state.boot;
    if (boot.forceVariant) return true;
    if (boot.forceResolution && width == boot.forcedWidth && height == boot.forcedHeight) return true;
    const VozerDisplayInfo& info = state.displayInfo;
    if (windowed && info.desktopWidth > 0 && info.desktopHeight > 0)
        return width <= info.desktopWidth - WINDOW_FRAME_WIDTH && height <= info.desktopHeight - WINDOW_FRAME_HEIGHT;
    VozerRendImp* renderer = state.renderer;
    if (!renderer || !renderer->ops->IsResolutionSupported(renderer, width, height)) return false;
    api()->Log(VZ_SYSTEM, "Requested resolution %dx%d (windowed=%d) is supported.", width, height, windowed ? 1 : 0);
    return true;
}

bool ZTI_SelectOptimalResolution(bool windowed, bool forcing) {
    RuntimeState& state = rt();
    const BootSettings& boot = state.boot;
    VozerEngineApi* a = api();
    if (boot.supportedResolutions.empty()) return false;
    a->Print("Selecting optimal resolution for %s %s.", windowed ? "windowed" : "fullscreen", forcing ? "(forcing)" : "");
    const VozerDisplayInfo& info = state.displayInfo;
    a->Print("Desktop size %dx%d.", info.desktopWidth, info.desktopHeight);
    VozerDisplayParams& requested = state.requested;
    requested.windowed = windowed ? 1 : 0;
    if (boot.forceVariant) forcing = true;
    auto take = [&](int32_t width, int32_t height) {
        requested.width = width;
        requested.height = height;
        return true;
    };
    if (boot.forceResolution) {
        a->Print("Selected %dx%d. (forced)", boot.forcedWidth, boot.forcedHeight);
        return take(boot.forcedWidth, boot.forcedHeight);
    }

    const std::vector<Entry> entries = parseEntries(boot.supportedResolutions);
    if (!forcing && info.desktopWidth > 0 && info.desktopHeight > 0) {
        const float desktopAspect = static_cast<float>(info.desktopWidth) / static_cast<float>(info.desktopHeight);
        const Entry* best = nullptr;
        Entry bestSize;
        float bestAspect = 10000.0f;
        for (const Entry& entry : entries) {
            const int32_t w = entry.device ? info.deviceWidth : entry.width;
            const int32_t h = entry.device ? info.deviceHeight : entry.height;
            if (w <= 0 || h <= 0) continue;
            const float aspect = static_cast<float>(w) / static_cast<float>(h);
            const bool closer = std::fabs(aspect - desktopAspect) < std::fabs(bestAspect - desktopAspect) &&
                                std::fabs(aspect - bestAspect) > SAME_ASPECT;
            if ((!best || closer) && isResolutionSupported(w, h, windowed)) {
                best = &entry;
                bestSize = Entry{w, h, false};
                bestAspect = aspect;
            }
        }
        if (best) {
            a->Print("Closest supported aspect ratio is %dx%d (aspect %.2f vs desktop %.2f)", bestSize.width,
                     bestSize.height, static_cast<double>(bestAspect), static_cast<double>(desktopAspect));
            return take(bestSize.width, bestSize.height);
        }
    }

    a->Print("Trying to find any resolution.");
    const VozerDisplayParams& program = state.shared.program ? state.shared.program->display : requested;
    bool haveSmallest = false;
    Entry smallest;
    for (const Entry& entry : entries) {
        int32_t w = entry.width, h = entry.height;
        if (entry.device) {
            w = info.deviceWidth;
            h = info.deviceHeight;
            if (!info.deviceSizeKnown) {
                w = h = 0;
                if (boot.forceVariant) parseSize(typicalFallbackResolution(boot.forcedVariant), w, h);
                if (w <= 0 || h <= 0) {
                    w = program.referenceWidth;
                    h = program.referenceHeight;
                }
                a->Print("Device screen size not set. Using typical fallback resolution %dx%d.", w, h);
            }
        }
        if (w <= 0 || h <= 0) continue;
        if (!haveSmallest || area(w, h) < area(smallest.width, smallest.height)) {
            smallest = Entry{w, h, false};
            haveSmallest = true;
        }
        if (forcing || isResolutionSupported(w, h, windowed)) {
            a->Print("Selected resolution %dx%d.", w, h);
            return take(w, h);
        }
    }

    a->Print("Trying to select the smallest possible resolution.");
    if (windowed && info.desktopWidth > 0 && info.desktopHeight > 0 && haveSmallest)
        return take(smallest.width, smallest.height);
    a->Log(VZ_WARNING, "No resolution found in ZTI_SelectOptimalResolution!");
    return false;
}

void chooseResolution(bool windowed, bool variantForced) {
    VozerDisplayParams& requested = rt().requested;
    ZTI_SelectOptimalResolution(windowed, variantForced);
    requested.windowed = windowed ? 1 : 0;
    if (requested.width <= 0 || requested.height <= 0) {
        requested.width = DEFAULT_WIDTH;
        requested.height = DEFAULT_HEIGHT;
    }
}

void applyOrientationAndDeviceSize() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    if (!program) return;
    VozerDisplayParams& display = program->display;
    VozerDisplayInfo& info = state.displayInfo;
    BootSettings& boot = state.boot;
    VozerEngineApi* a = api();

    if (display.referenceHeight < display.referenceWidth) {
        state.allowedOrientations = 12;
        state.currentOrientation = 8;
    } else {
        state.allowedOrientations = 3;
        state.currentOrientation = 1;
    }
    const bool known = info.deviceSizeKnown != 0;
    info.nativeOrientation = known ? nativeOrientationOf(info.deviceWidth, info.deviceHeight)
                                   : nativeOrientationOf(info.desktopWidth, info.desktopHeight);
    if (info.deviceWidth == 0 || info.deviceHeight == 0) {
        info.deviceWidth = boot.deviceWidth;
        info.deviceHeight = boot.deviceHeight;
    }
    state.targetOrientation = state.currentOrientation;

    if (display.width == 0 || display.height == 0 || boot.overrideDevice) {
        a->Print("Important parameter is 0: width=%d height=%d override=%d. Forcing override.", display.width,
                 display.height, boot.overrideDevice ? 1 : 0);
        // An override without a device size would leave the Program no screen at all.
        if (boot.deviceWidth > 0 && boot.deviceHeight > 0) {
            display.width = boot.deviceWidth;
            display.height = boot.deviceHeight;
        }
        a->Print("Parameters after override: width=%d height=%d override=%d.", display.width, display.height,
                 boot.overrideDevice ? 1 : 0);
    }
    if (!known) {
        if (!boot.forceResolution) {
            boot.deviceWidth = info.deviceWidth = display.width;
            boot.deviceHeight = info.deviceHeight = display.height;
            info.nativeOrientation = nativeOrientationOf(info.deviceWidth, info.deviceHeight);
        }
    } else {
        const bool programLandscape = display.referenceWidth > display.referenceHeight;
        if (info.nativeOrientation == 1 && programLandscape) {
            state.allowedOrientations = 12;
            display.width = info.deviceHeight;
            display.height = info.deviceWidth;
        } else {
            state.allowedOrientations = 3;
            display.width = info.deviceWidth;
            display.height = info.deviceHeight;
        }
        boot.overrideDevice = true;
        boot.deviceWidth = display.width;
        boot.deviceHeight = display.height;
    }
    a->Print("Program orientation: %s.", orientationName(state.currentOrientation));
    a->Print("Native device screen buffer orientation: %s.", orientationName(info.nativeOrientation));
}

}  // namespace vz
