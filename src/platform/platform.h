// Everything a port of the runtime provides, grouped by concern. The portable
// code never includes a system header of its own; it calls these. One folder
// per platform implements them: win32/ (the product) and posix/ (the
// development host: a headless window host, dlopen, stderr for message boxes).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vz::platform {

// ---------------------------------------------------------------------------
// [SECTION] Libraries
// ---------------------------------------------------------------------------

// Load a shared library by file-system path or bare name. On the development
// host a name ending in ".dll" is loaded as the same name ending in ".so".
// Null on failure; lastErrorCode() then tells why.
void* loadLibrary(const char* path);
// Address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);
void freeLibrary(void* library);
// The system's error code of the last failed call on this thread.
uint32_t lastErrorCode();

// ---------------------------------------------------------------------------
// [SECTION] Time
// ---------------------------------------------------------------------------

// Ask the system for 1 ms timer and sleep resolution for the whole run.
void setTimerResolution1ms();
// Millisecond clock of the multimedia timer; wraps after 49 days.
uint32_t timeMs();
void sleepMs(uint32_t milliseconds);
// Local year, month 1-12, day, hour, minute, second.
void localDateTime(int32_t out[6]);

// ---------------------------------------------------------------------------
// [SECTION] Threads
// ---------------------------------------------------------------------------

using ThreadEntry = void (*)(void* argument);

uint32_t currentThreadId();
// Start a detached thread with the default stack size. Returns the system's
// handle for the thread (never freed by the caller), null on failure.
void* startThread(ThreadEntry entry, void* argument);

// ---------------------------------------------------------------------------
// [SECTION] Dialogs and process
// ---------------------------------------------------------------------------

enum class BoxIcon { Information, Warning, Error, Exclamation };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Modal system message box owned by `owner` (a window, desktopWindow(), or
// null for none): an owned box stays above its owner, so it cannot open
// hidden behind a full-screen window. Returns the Win32 button id (1 OK,
// 2 cancel, 6 yes, 7 no). With VOZER_POPUPS=log in the environment nothing
// is shown: the caption and text go to stderr and the answer is OK (or yes).
int messageBox(void* owner, const char* text, const char* caption, BoxIcon icon, BoxButtons buttons);
// The desktop's window, an owner for boxes shown on threads that must not
// wait on the main window.
void* desktopWindow();
// True when message boxes are written to stderr instead of shown.
bool popupsAreLogged();

[[noreturn]] void exitProcess(int code);
// End the process at once with `code` after flushing buffered output. No
// exit handler, destructor or library unload code runs, none of the
// runtime's and none of a library that has just crashed.
[[noreturn]] void abandonProcess(int code);

// What a guarded call ran into.
struct Fault {
    const char* kind = "";  // "access violation", "integer division by zero", ... (static text)
    uintptr_t address = 0;  // the faulting instruction; 0 when the system did not tell
};
// Run `call(argument)` and come back even when it faults (an access
// violation, a division by zero, an illegal instruction): false then, and
// `fault` (may be null) says what happened. The call's work is abandoned
// where it stood (its locks stay taken, its memory and destructors are left),
// so this is only for a call into a library whose run ends with the fault.
// Main thread only. Calls nest (a guarded entry that pumps messages into
// another guarded entry): the innermost guard catches.
bool callSurvivingFaults(void (*call)(void* argument), void* argument, Fault* fault = nullptr);
// A code address for people: "0x00401a2b (prog.dll+0x1a2b)" inside a loaded
// library or the program, the bare number elsewhere.
std::string describeCodeAddress(uintptr_t address);
// Value of an environment variable, empty when unset.
std::string environment(const char* name);

// ---------------------------------------------------------------------------
// [SECTION] Single instance
// ---------------------------------------------------------------------------

// Whether a system-wide mutex of that name exists (opened and closed again).
bool namedMutexExists(const char* name);
// Create the system-wide mutex, not owned; it stays open for the whole run.
void createNamedMutex(const char* name);
// Find the first top-level window whose text equals `title` exactly, bring it
// to the foreground and restore it. True when one was found.
bool activateWindowWithTitle(const char* title);

// ---------------------------------------------------------------------------
// [SECTION] Screen, windows and messages
// ---------------------------------------------------------------------------
// One main window. The port decodes the system's messages for it into
// WindowMessages and hands them to the runtime's handler on the main thread;
// what only concerns the system (painting, erasing, destruction) the port
// answers itself.

enum class WindowMessageKind {
    Close,          // the player asked to close the window
    Maximised,      // x, y: the new client size
    Activation,     // active: whether the window now has the focus (not minimised)
    KeyDown,        // key: virtual-key code
    KeyUp,
    SystemKeyDown,  // key; altHeld: Alt is down; repeat: an auto-repeat of a held key
    SystemKeyUp,
    Character,      // key: the character
    MouseMove,      // x, y: client pixels (negative or past the size while captured)
    ButtonDown,     // key: 0 left, 1 right, 2 middle; x, y
    ButtonUp,
    Wheel,          // wheelDelta: signed, 120 per notch
    FilesDropped,   // text: the first file name, whole, as the system spells it; x, y: drop point
    RawInput,       // handle: the record to read with readRawMouse
};

struct WindowMessage {
    WindowMessageKind kind = WindowMessageKind::Close;
    int32_t key = 0;
    int32_t x = 0, y = 0;
    int32_t wheelDelta = 0;
    bool active = false;
    bool altHeld = false;
    bool repeat = false;
    const char* text = nullptr;  // lent for the call
    void* handle = nullptr;
};

// The runtime's side of the window procedure. True when the message was
// handled; false asks for the system's default processing (a host window's
// owner is answered -1 instead and does its own).
using WindowMessageHandler = bool (*)(const WindowMessage& message);

// Full screen: a pop-up at (0, 0) of exactly the size. Popup: a window without
// caption, for a windowed size as tall as the screen. Caption: title bar,
// system menu and minimise box, centred on the primary screen.
enum class WindowFrame { FullScreen, Popup, Caption };

struct WindowRequest {
    const char* title = "";
    int32_t width = 0, height = 0;  // client area in pixels
    WindowFrame frame = WindowFrame::Caption;
    bool maximiseBox = false;
    bool acceptDroppedFiles = false;
};

// Primary screen size in pixels.
void desktopSize(int32_t& width, int32_t& height);
// Where the main window's messages go; set before the window exists.
void setWindowMessageHandler(WindowMessageHandler handler);
// Create, show, focus and bring forward the main window. Null on failure. The
// headless host returns a token that is not a window.
void* createMainWindow(const WindowRequest& request);
// Destroy the main window. Messages still waiting for it are dropped.
void destroyMainWindow(void* window);
// Serve a window that another program created and owns: its owner hands the
// messages on and does the default processing of those answered -1.
void useHostWindow(void* window);
// Handle every waiting message; false once the system asked the process to quit.
bool pumpMessages();

// ---------------------------------------------------------------------------
// [SECTION] Cursors
// ---------------------------------------------------------------------------

enum class SystemCursor { Arrow, IBeam, Wait, Cross, UpArrow, SizeNwse, SizeNesw, SizeWe, SizeNs, SizeAll, No, Help };

// A cursor of the system, shared and never freed; null when it has none.
void* systemCursor(SystemCursor which);
// The cursor resource `id` of the program file; null when missing.
void* programCursor(int id);
// Show `cursor` over the main window from now on (also after the pointer
// leaves and comes back); null hides the pointer over the window. Main thread.
void showCursor(void* cursor);

// ---------------------------------------------------------------------------
// [SECTION] Raw mouse input
// ---------------------------------------------------------------------------
// Several physical mice told apart. The system functions are looked up at run
// time: systems without them simply have no raw input.

// Button transitions of a raw mouse record, as the system reports them.
enum RawButtonFlag : uint16_t {
    RAW_LEFT_DOWN = 0x0001, RAW_LEFT_UP = 0x0002,
    RAW_RIGHT_DOWN = 0x0004, RAW_RIGHT_UP = 0x0008,
    RAW_MIDDLE_DOWN = 0x0010, RAW_MIDDLE_UP = 0x0020,
    RAW_BUTTON4_DOWN = 0x0040, RAW_BUTTON4_UP = 0x0080,
    RAW_BUTTON5_DOWN = 0x0100, RAW_BUTTON5_UP = 0x0200,
};

struct RawMouseRecord {
    void* device = nullptr;   // the device handle, as listed by listRawMice
    bool absolute = false;    // lastX/lastY are positions 0..65535 over the screen, not movement
    int32_t lastX = 0, lastY = 0;
    uint16_t buttons = 0;     // RawButtonFlags
};

// Whether the system has the raw-input functions (looked up once).
bool rawInputAvailable();
// The mouse devices among the system's first `scanLimit` input devices, in
// list order, at most `capacity`. Returns how many were written to `out`.
int listRawMice(void** out, int capacity, int scanLimit);
// Ask for generic-desktop mouse input (usage page 1, usage 2) for the process.
// False with the system's error code on failure.
bool registerRawMouseInput(uint32_t& errorCode);
// Read the record behind a raw-input message. False when it cannot be read,
// is shorter than a mouse record or comes from another kind of device.
bool readRawMouse(void* handle, RawMouseRecord& out);
// The player's pointer speed setting, 1..20 (10 is the system's default).
int32_t pointerSpeed();

// ---------------------------------------------------------------------------
// [SECTION] DirectX
// ---------------------------------------------------------------------------

struct DirectXVersion {
    int32_t major = 0, minor = 0;
    char letter = ' ';  // ' ' when the version has none
};

// The installed version as the DirectX diagnostics provider reports it.
// False when the provider cannot be asked.
bool directXVersionFromDiagnostics(DirectXVersion& out);
// Whether asking the provider takes long enough (tenths of a second) to be
// worth a thread of its own.
bool directXProviderIsSlow();
// The version told by the file versions of the DirectX system libraries.
// False when none of them can be read.
bool directXVersionFromFiles(DirectXVersion& out);

// ---------------------------------------------------------------------------
// [SECTION] Folders and files
// ---------------------------------------------------------------------------
// What the virtual-path and file layer (fs/) needs from the system. Every path
// here is an operating-system path with '/' as separator (Win32 accepts it);
// folder results never end in '/'.

enum class SystemFolder { UserAppData, SharedAppData, Documents, Desktop };

// A folder of the system, created when missing; empty when the system has
// none. The development host has one per-installation data folder
// (VOZER_USER_ROOT, else $XDG_DATA_HOME/vozer, else ~/.local/share/vozer) that
// stands for both application-data folders.
std::string systemFolder(SystemFolder which);
// The folder that holds the running program file (VOZER_RES_ROOT overrides it
// on the development host).
std::string programFolder();
// Create one directory whose parent exists. With `everyoneMayWrite` the Win32
// port gives it an access list that lets every user of the machine write it
// and everything created below it. True when it exists as a directory afterwards.
bool createDirectory(const char* path, bool everyoneMayWrite);
bool deleteFile(const char* path);
// Move a file over another, replacing it in one step, so a reader sees either
// the old file or the whole new one. False when it could not be moved.
bool replaceFile(const char* from, const char* to);
bool isDirectory(const char* path);

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
};
// The entries of a folder, "." and ".." left out, in the system's order.
// False when the folder cannot be listed.
bool listDirectory(const char* path, std::vector<DirectoryEntry>& out);

// Binary streams with 64-bit positions, so a pak up to 4 GB can be addressed
// on the 32-bit product. Modes are the C library's ("rb", "wb", "ab").
std::FILE* openFile(const char* path, const char* mode);
bool seekFile(std::FILE* file, int64_t offset, int origin);
int64_t tellFile(std::FILE* file);

// ---------------------------------------------------------------------------
// [SECTION] Sockets
// ---------------------------------------------------------------------------
// TCP over IPv4 for the HTTP client, plus a loopback listener that the tests
// and benchmarks serve from. Sockets are non-blocking: callers wait with
// waitSocket in short slices, so a stalled peer never holds a thread for
// longer than the caller allows. Every function may be called from any
// thread once startSockets has succeeded.

using Socket = intptr_t;
constexpr Socket NO_SOCKET = -1;
// Results of sendSome and receiveSome besides a byte count.
constexpr int SOCKET_WOULD_BLOCK = -1;
constexpr int SOCKET_FAILED = -2;  // an error or a reset by the peer
enum class SocketWait { Ready, TimedOut, Failed };

// Start the system's socket library, once per process. False when it cannot.
bool startSockets();
// A non-blocking TCP socket, or NO_SOCKET.
Socket openTcpSocket();
// The IPv4 address of a host name or dotted quad, in network byte order.
bool resolveHost(const char* host, uint32_t& address);
// Begin connecting to address:port (network order address, host order port).
// True when the connection is made or under way: wait for it with
// waitSocket(..., forWrite = true), then ask connectSucceeded.
bool startConnect(Socket socket, uint32_t address, uint16_t port);
bool connectSucceeded(Socket socket);
// Wait until the socket is readable (or writable), at most timeoutMs.
SocketWait waitSocket(Socket socket, bool forWrite, int timeoutMs);
// Bytes sent or received (receiveSome: 0 = the peer closed its side), or
// SOCKET_WOULD_BLOCK, or SOCKET_FAILED. Never raises a signal.
int sendSome(Socket socket, const void* data, size_t bytes);
int receiveSome(Socket socket, void* data, size_t bytes);
void closeSocket(Socket socket);
// Close so that the peer sees a reset instead of an orderly end.
void resetSocket(Socket socket);
// A listening socket on 127.0.0.1 only; port 0 picks a free port, which is
// written back. NO_SOCKET on failure.
Socket listenLoopback(uint16_t& port);
// The next waiting connection (non-blocking), or NO_SOCKET when none waits.
Socket acceptConnection(Socket listener);

// ---------------------------------------------------------------------------
// [SECTION] Clipboard, shell and dialogs
// ---------------------------------------------------------------------------
// The platform services behind the extension functions. `window` is the main
// window (null when there is none); the development host has no desktop, so
// there these report "not available" (false) and touch nothing.

// Put plain text on the system clipboard. False when it could not.
bool setClipboardText(void* window, const char* text);
// The clipboard's plain text, cut to at most maxBytes bytes. False when the
// clipboard holds no text (or cannot be read); `out` is then empty.
bool clipboardText(void* window, std::string& out, size_t maxBytes);
// Ask the system shell to "open" an address (a web page, a mail form) in a
// normal window. The caller has checked the address. False when it failed.
bool openWithShell(const char* address);
// The system's open (or save) dialog, owned by `window`. `filter` holds
// description and pattern pairs, each part ended by a NUL. True with the
// chosen path ('/'-separated); false when cancelled or not available.
bool fileDialog(void* window, bool save, const std::string& filter, std::string& chosen);
// A modal dialog titled `title` that shows `heading` above an editable copy of
// `text`. True with the edited text when closed with OK; false when cancelled
// or not available.
bool editTextDialog(void* window, const char* title, const std::string& heading, std::string& text);

// ---------------------------------------------------------------------------
// [SECTION] System information
// ---------------------------------------------------------------------------

struct SystemFacts {
    std::string osMajor;         // "Windows" (or the host's system name)
    std::string osMinor;         // "major.minor.build"
    std::string implementation;  // "ZT_Win32" (or the host's)
    int32_t platformId = 0;      // 1 WINDOWS, 11 LINUX
};
SystemFacts systemFacts();
// The hardware address of the first network adapter that answers, as twelve
// lower-case hex digits and a line feed; empty when none answers.
std::string networkAdapterAddress();
// The user's country (ISO 3166, "US"); empty when unknown.
std::string userCountryCode();

}  // namespace vz::platform
