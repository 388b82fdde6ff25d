// The process-wide runtime record. One instance, zero-filled at the start of
// pre-initialisation and read by every subsystem. Its first member is the
// part that plug-ins see (they get &rt().shared).
#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "api/draw_state.h"
#include "vozer_api.h"
#include "vozer_inputimp.h"
#include "vozer_rendimp.h"
#include "vozer_runtime.h"
#include "vozer_soundimp.h"

namespace vz {

namespace vudozar {
struct Array;
struct Node;
}  // namespace vudozar

constexpr int MAX_INPUTS = 8;

// What the DirectX version query found: the encoded version (0 for none or
// unknown) and the line that says so in the log.
struct DirectXAnswer {
    int32_t number = 0;
    std::string report;
};

// Values read from the boot configuration (prog.xml, developer.xml), with
// the defaults that pre-initialisation sets before reading it.
struct BootSettings {
    int32_t verboseLevel = 0;        // lowest level that is logged (0 INFO)
    bool developerMode = false;
    bool logging = false;            // write the log file
    bool console = false;            // developer console available
    int32_t consoleToggleKey = -89;  // 0xA7 read as a signed byte
    int32_t deviceWidth = 0, deviceHeight = 0;
    bool overrideDevice = false;
    bool autoscale = false;
    int32_t byteOrder = 1234;        // little-endian, read by the image code
    std::vector<std::string> featureLists; // [0] application + developer, [1] the variant's
    std::string variantId;           // id of the chosen variant node
    bool forceVariant = false;
    std::string forcedVariant;
    bool forceResolution = false;
    int32_t forcedWidth = 0, forcedHeight = 0;
    std::string supportedResolutions = "*";
    std::string locale;
    // The package lists in opening order: packages, addon_packages, sound
    // effects, music, developer_packages.
    std::string packages[5];
    std::vector<const vudozar::Array*> manifest; // later files first
    const vudozar::Node* applicationNode = nullptr; // for product-value lookups
    const vudozar::Node* variantNode = nullptr;
};

struct PopupEntry {
    int32_t level;
    std::string text;
};

struct RuntimeState {
    VozerRuntimeShared shared{};     // plug-ins read this through the pointer they get

    bool programInitialised = false;
    BootSettings boot;
    VozerDisplayParams requested{};  // what the Program and the configuration ask for
    VozerDisplayParams rendererParams{}; // what the renderer was last initialised with
    std::atomic<bool> quitRequested{false};
    bool reinitRequested = false;
    bool hostWindow = false;
    bool fatalExit = false;
    // Set when shutdown begins: nothing will bring a lost renderer back now.
    std::atomic<bool> shuttingDown{false};

    // Orientation (resolution and autoscaling own the meaning).
    int32_t allowedOrientations = 12;
    int32_t currentOrientation = 8;
    int32_t targetOrientation = 8;
    float rotationTimer = 0.0f;
    float rotationDuration = 0.0f;
    float rotationAngle = 0.0f;      // degrees, applied by the screen transform

    // Autoscaling of the reference resolution onto the screen (on while
    // boot.autoscale is set).
    float autoscaleOffsetX = 0.0f, autoscaleOffsetY = 0.0f;  // pixels
    float autoscaleX = 1.0f, autoscaleY = 1.0f;
    float inverseAutoscaleX = 1.0f, inverseAutoscaleY = 1.0f; // input positions map back with these
    bool allowAllResolutions = false; // the AllowAllResolutions extension: any windowed size is accepted
    bool multimouseActive = false;
    // The installed DirectX version (encoded) and its log line, read once per
    // run, -1 until then. A slow provider is asked on a worker (directXQuery)
    // after the first frame, and the Direct3D renderer bound before that
    // (directXUncheckedRenderer) is checked when the answer comes.
    int32_t directXVersion = -1;
    std::string directXReport;
    std::future<DirectXAnswer> directXQuery;
    std::string directXUncheckedRenderer;
    bool windowActive = true;
    std::atomic<bool> coreInitialised{false};
    std::atomic<bool> rendererReady{false};
    bool showFps = false;
    bool renderStereo = false;
    bool printReferenceCountChanges = false;
    bool hideCursor = false;
    int32_t currentPass = 0;
    int32_t transformDepth = -1;     // -1 when the transform stack is empty

    std::string rendererName = "gfxmod_d3d8.dll";
    std::string soundName;
    std::vector<std::string> inputNames;
    VozerInputImp* inputs[MAX_INPUTS] = {};
    int32_t inputCount = 0;
    VozerSoundImp* sound = nullptr;
    VozerRendImp* renderer = nullptr;
    int32_t rendererFailures = 0;
    int32_t pixelByteOrder = 1;      // the renderer's: 1 B,G,R,A in memory, 0 R,G,B,A    // process-wide; reset only by a successful Init

    std::vector<VozerBitmap*> renderTargets; // render-target stack; null = back buffer
    DrawState drawing;                       // colour, depth, transforms, vertex callbacks
    std::vector<PopupEntry> popupQueue;      // popups raised off the main thread (PRINT guards it)

    std::string commandLine;
    std::string developerPathName;   // user-data folder names derived from the identity
    std::string titlePathName;

    VozerDisplayInfo displayInfo{};  // its device size is the pair the renderer writes the back-buffer size to

    uint32_t mainThreadId = 0;
    uint32_t startTimeMs = 0;
    // VOZER_FIXED_FRAME_MS (core/frame_clock.h): the step every frame is
    // handed, 0 when frames follow the wall clock; and the Program's clock
    // then, the sum of the steps so far, which GetTime returns (to any thread).
    int32_t fixedFrameMs = 0;
    std::atomic<uint32_t> fixedClockMs{0};
    std::atomic<int32_t> openFileHandles{0}; // OpenFile handles not yet closed (log summary)

    // Frame-rate overlay accumulators.
    int32_t fpsFrames = 0;
    float fpsSeconds = 0.0f;
    float fps = 0.0f;

    // Library handles.
    void* programLibrary = nullptr;
    void* rendererLibrary = nullptr;
    void* soundLibrary = nullptr;
    void* inputLibraries[MAX_INPUTS] = {};
};

namespace detail {
extern RuntimeState* runtimeRecord;
RuntimeState& createRuntimeRecord();
}  // namespace detail

// The one runtime record, made on first use. Inline: every drawing slot asks
// for it, thousands of times a frame.
inline RuntimeState& rt() {
    RuntimeState* record = detail::runtimeRecord;
    return record ? *record : detail::createRuntimeRecord();
}

// Put the record back to its pre-initialisation defaults (used at start-up and by tests).
void resetRuntimeState();

}  // namespace vz
