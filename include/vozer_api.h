/* The engine API table: everything a Program (and a renderer plug-in) may ask
 * of the runtime. 130 pointer-sized words: slots 0-128 are cdecl functions,
 * word 129 points to the shader sub-table.
 *
 * NEVER MOVE A SLOT. The order is the binary interface with separately built
 * Programs; new services go through CallExtension instead. */
#ifndef VOZER_API_H
#define VOZER_API_H

#include "vozer_types.h"
#include "vozer_render_types.h"
#include "vozer_program.h"
#include "vozer_keys.h"

/* A worker thread's entry: runs with the argument given to CreateThread. */
typedef void (VZ_CDECL *VozerThreadEntry)(void* argument);

/* A vertex callback rewrites `count` vertices in place before they are drawn. */
typedef void (VZ_CDECL *VozerVertexCallback)(VozerVertex* vertices, int32_t count, void* userData);

/* A byte buffer handed across the table, four words. CreateBuffer fills it as
 * {data, 0, size, size}; HttpRequest as the response: `size` bytes received so
 * far (readable while the request runs), `total` the Content-Length while it
 * is known, else `size`. `data` stays NUL-terminated after `size` bytes.
 * Free it with FreeBuffer. */
typedef struct VozerBuffer {
    uint8_t* data;
    int32_t cursor; /* 0; not used by the runtime */
    int32_t size;
    int32_t total;
} VozerBuffer;

/* What OpenFile returns. Games read `size` straight from the record (on i686
 * the 32-bit word at offset 4); `name` is the virtual path the file was
 * opened with, owned by the runtime and valid until CloseFile; `inner` is the
 * runtime's file object and must not be touched. */
struct VozerFile {
    const char* name;
    uint32_t size; /* bytes at the time of opening */
    void* inner;
};

/* Names found by FindFiles; owned by the runtime until FreeFileList. */
typedef struct VozerFileList {
    char** names;
    int32_t count;
    int32_t capacity;
} VozerFileList;

/* HttpRequest methods and results. */
#define VZ_HTTP_POST 1
#define VZ_HTTP_GET 2
#define VZ_HTTP_HEAD 3
#define VZ_HTTP_OK 200
#define VZ_HTTP_BAD_URL (-1)       /* not an http:// URL, or one that cannot be sent safely */
#define VZ_HTTP_NO_SOCKET (-2)
#define VZ_HTTP_REFUSED (-3)       /* neither a success nor a usable redirect, or a broken response */
#define VZ_HTTP_CANCELLED (-4)
#define VZ_HTTP_NO_HOST (-5)       /* the host name could not be resolved */
#define VZ_HTTP_NO_CONNECTION (-6)

typedef struct VozerPoint { float x, y; } VozerPoint;
typedef struct VozerColor { float r, g, b, a; } VozerColor;

/* Path targets of GetPath/GetPathEx. Only the prefix differs in the built
 * path: targets 0-2 give "user://", 3-4 give "res://". */
#define VZ_PATH_USER_PRIVATE 0 /* per-user application data */
#define VZ_PATH_USER 1         /* all-users application data: what user:// resolves to */
#define VZ_PATH_DOCUMENTS 2
#define VZ_PATH_RESOURCE 3     /* the folder of the program: what res:// resolves to */
#define VZ_PATH_DESKTOP 4

/* SetBlendMode modes: how what is drawn combines with what is there (the
 * Direct3D 8 renderer's blend factors; "colour" is the vertex colour times
 * the texture). The frame loop sets VZ_BLEND_ALPHA before every Render. */
#define VZ_BLEND_ALPHA 0           /* colour x alpha + there x (1 - alpha): normal drawing */
#define VZ_BLEND_ADDITIVE 1        /* colour x alpha + there: glows, light */
#define VZ_BLEND_OPAQUE 2          /* colour, alpha ignored */
#define VZ_BLEND_MULTIPLY 3        /* colour x there + there x (1 - alpha): darkens */
#define VZ_BLEND_MULTIPLY_BRIGHT 4 /* colour x there + there x alpha */

/* SetTextureFilter modes. */
#define VZ_FILTER_NEAREST 0
#define VZ_FILTER_LINEAR 1         /* the default */

/* SetTextAlign flags: one horizontal flag or'ed with one vertical flag.
 * Without any (VZ_ALIGN_TOP_LEFT), lines start at x and the first line's top
 * is at y. */
#define VZ_ALIGN_TOP_LEFT 0
#define VZ_ALIGN_RIGHT 1           /* every line ends at x */
#define VZ_ALIGN_BOTTOM 2          /* the last line's bottom is at y */
#define VZ_ALIGN_MIDDLE 4          /* the lines are centred on y */
#define VZ_ALIGN_CENTER 8          /* every line is centred on x */

/* SoundCommand values (the engine's sound library, sndmod_wave). */
#define VZ_SOUND_STOP_ALL 0        /* stop every sound effect (music goes on) */
#define VZ_SOUND_PAUSE_ALL 1
#define VZ_SOUND_RESUME_ALL 2

/* PlaySound's three values with sndmod_wave: volume 0..1, pan -1 (left) ..
 * 1 (right), pitch as a playback speed 0.25..4. */
#define VZ_SOUND_VOLUME_FULL 1.0f
#define VZ_SOUND_PAN_LEFT (-1.0f)
#define VZ_SOUND_PAN_CENTER 0.0f
#define VZ_SOUND_PAN_RIGHT 1.0f
#define VZ_SOUND_PITCH_NORMAL 1.0f

/* The slot list. X(index, result, Name, (parameters), implementation).
 * `implementation` differs from Name only where two slots share one function. */
#define VOZER_API_SLOTS(X) \
    /* Log at INFO; printf rules; the text is cut at the log's line buffer. Returns the characters logged. */ \
    X(0, int32_t, Print, (const char* format, ...), Print) \
    /* Log at `level` (0 INFO .. 3 SYSTEM; other values count as ERROR); dropped below the configured verbose level. */ \
    X(1, int32_t, Log, (int32_t level, const char* format, ...), Log) \
    /* Message box, once per distinct text; queued for the next frame when called off the main thread. Returns the box's answer. */ \
    X(2, int32_t, Popup, (int32_t level, const char* format, ...), Popup) \
    /* Suspend the calling thread for `milliseconds`. */ \
    X(3, void, Sleep, (uint32_t milliseconds), Sleep) \
    /* Milliseconds since the runtime started; wraps after 49 days. */ \
    X(4, uint32_t, GetTime, (void), GetTime) \
    /* Local time into six ints: year (4 digits), month 1-12, day, hour, minute, second. */ \
    X(5, void, GetDateTime, (int32_t* out6), GetDateTime) \
    /* Find the mutex of that name or create it; a null or empty name always creates a new one. */ \
    X(6, VozerMutex*, CreateMutex, (const char* name), CreateMutex) \
    /* Destroy a mutex from CreateMutex; null does nothing. */ \
    X(7, void, DestroyMutex, (VozerMutex* mutex), DestroyMutex) \
    /* Enter (recursive per thread); null does nothing. */ \
    X(8, void, LockMutex, (VozerMutex* mutex), LockMutex) \
    /* Leave; null does nothing. */ \
    X(9, void, UnlockMutex, (VozerMutex* mutex), UnlockMutex) \
    /* Start a counted worker thread; `flags` must be 0. Returns (VozerThread)-1 when refused. */ \
    X(10, VozerThread, CreateThread, (const char* name, VozerThreadEntry entry, void* argument, int32_t flags), CreateThread) \
    /* The calling thread's id. */ \
    X(11, uint32_t, GetThreadId, (void), GetThreadId) \
    /* 1 when called on the thread that started the runtime. */ \
    X(12, vz_bool, IsMainThread, (void), IsMainThread) \
    /* Off the main thread: hold off the frame loop (waits for the gap between frames). On it: nothing. */ \
    X(13, void, LockMainLoop, (void), LockMainLoop) \
    /* The matching release. */ \
    X(14, void, UnlockMainLoop, (void), UnlockMainLoop) \
    /* Shared font by name, counted once per name; null when it cannot be loaded. */ \
    X(15, VozerFont*, GetFont, (const char* name), GetFont) \
    /* Counted load of a font. */ \
    X(16, VozerFont*, LoadFont, (const char* name), LoadFont) \
    /* Rebuild the font's glyph atlas. */ \
    X(17, void, RecreateFontAtlas, (VozerFont* font), RecreateFontAtlas) \
    /* Counted release; null does nothing. */ \
    X(18, void, ReleaseFont, (VozerFont* font), ReleaseFont) \
    /* Write the font file to `path`; true on success. */ \
    X(19, vz_bool, SaveFont, (VozerFont* font, const char* path), SaveFont) \
    /* Select the mouse cursor by name. */ \
    X(20, void, SetCursor, (const char* name), SetCursor) \
    /* End the run after the current frame. */ \
    X(21, void, Quit, (void), Quit) \
    /* Ask for another resolution or window mode, applied between frames; true when accepted. */ \
    X(22, vz_bool, Reinitialize, (VozerDisplayParams params), Reinitialize) \
    /* Named platform service; the result's meaning is the service's. Unknown names give null. */ \
    X(23, void*, CallExtension, (const char* name, void* argument), CallExtension) \
    /* Build a path of `target` into one of 16 rotating 260-byte buffers. Main thread only: use GetPathEx elsewhere. */ \
    X(24, const char*, GetPath, (int32_t target, const char* format, ...), GetPath) \
    /* GetPath into the caller's buffer of `size` bytes; returns `destination`. */ \
    X(25, char*, GetPathEx, (char* destination, int32_t size, int32_t target, const char* format, ...), GetPathEx) \
    /* Create a directory (and its parents); true when it exists afterwards. */ \
    X(26, vz_bool, CreateDir, (const char* path), CreateDir) \
    /* Add a resource search path (high priority: searched first); returns the number of search paths. */ \
    X(27, int32_t, AddSearchPath, (const char* path, vz_bool highPriority), AddSearchPath) \
    /* Remove a search path; unknown paths are ignored. */ \
    X(28, void, RemoveSearchPath, (const char* path), RemoveSearchPath) \
    /* Search path `index` in priority order, or null. The text stays valid until the path is removed. */ \
    X(29, const char*, GetSearchPath, (int32_t index), GetSearchPath) \
    /* Number of search paths. */ \
    X(30, int32_t, GetSearchPathCount, (void), GetSearchPathCount) \
    /* Delete a file; true when it was deleted. */ \
    X(31, vz_bool, DeleteFile, (const char* path), DeleteFile) \
    /* Open `name` with mode "r", "w" or "a"; relative names are read along the search paths. Null on failure. */ \
    X(32, VozerFile*, OpenFile, (const char* name, const char* mode), OpenFile) \
    /* Close a file; null does nothing. */ \
    X(33, void, CloseFile, (VozerFile* file), CloseFile) \
    /* Read up to `bytes` into `buffer`; returns the bytes read. */ \
    X(34, int32_t, ReadFile, (void* buffer, int32_t bytes, VozerFile* file), ReadFile) \
    /* Write `bytes` from `buffer`; returns the bytes written. */ \
    X(35, int32_t, WriteFile, (const void* buffer, int32_t bytes, VozerFile* file), WriteFile) \
    /* Flush buffered writes. */ \
    X(36, void, FlushFile, (VozerFile* file), FlushFile) \
    /* Current position in bytes. */ \
    X(37, int32_t, TellFile, (VozerFile* file), TellFile) \
    /* Move to `offset` from the start (origin 0), the current position (1) or the end (2); true on success. */ \
    X(38, vz_bool, SeekFile, (VozerFile* file, int32_t offset, int32_t origin), SeekFile) \
    /* The next byte; 0 when nothing could be read. */ \
    X(39, int32_t, ReadFileByte, (VozerFile* file), ReadFileByte) \
    /* Same function as slot 38. */ \
    X(40, vz_bool, SeekFile40, (VozerFile* file, int32_t offset, int32_t origin), SeekFile) \
    /* Same function as slot 37. */ \
    X(41, int32_t, TellFile41, (VozerFile* file), TellFile) \
    /* Read size x count bytes; returns the bytes read. */ \
    X(42, int32_t, ReadFileBlocks, (void* buffer, int32_t size, int32_t count, VozerFile* file), ReadFileBlocks) \
    /* Write size x count bytes; returns the bytes written. */ \
    X(43, int32_t, WriteFileBlocks, (const void* buffer, int32_t size, int32_t count, VozerFile* file), WriteFileBlocks) \
    /* List files of `directory` matching `wildcard` ("*.ext") into `list`; true when at least one was found. */ \
    X(44, vz_bool, FindFiles, (VozerFileList* list, const char* directory, const char* wildcard, vz_bool recurse), FindFiles) \
    /* Free every name of `list` and empty it. */ \
    X(45, void, FreeFileList, (VozerFileList* list), FreeFileList) \
    /* Blocking HTTP/1.0 request (VZ_HTTP_POST, _GET, _HEAD) to an http:// URL; null content type: application/octet-stream. `response` (may be null) receives the body, or the header text of a refused response; free it with FreeBuffer. The request stops with VZ_HTTP_CANCELLED once *cancel (may be null) is 1 or the runtime quits. Returns 200 or a VZ_HTTP_ result. */ \
    X(46, int32_t, HttpRequest, (int32_t method, const char* url, const char* contentType, const void* body, int32_t bodyLength, VozerBuffer* response, volatile int32_t* cancel), HttpRequest) \
    /* Allocate `size` bytes into `buffer` as {data, 0, size, size}; all zero when size <= 0 or allocation fails. Returns `buffer`. */ \
    X(47, VozerBuffer*, CreateBuffer, (VozerBuffer* buffer, int32_t size), CreateBuffer) \
    /* Free the data and zero the record; null does nothing. */ \
    X(48, void, FreeBuffer, (VozerBuffer* buffer), FreeBuffer) \
    /* State word of a key; bit 0 ("pressed since the last query") is cleared for indices below 800. */ \
    X(49, uint32_t, GetKeyState, (int32_t key), GetKeyState) \
    X(50, void, SetKeyState, (int32_t key, uint32_t value), SetKeyState) \
    /* Analogue input value. */ \
    X(51, float, GetAxis, (int32_t index), GetAxis) \
    X(52, void, SetAxis, (int32_t index, float value), SetAxis) \
    /* GetSoundEx(name, VZ_CACHE_HARDWARE): name without extension (".wav", ".ogg", ".mp3" are tried). */ \
    X(53, VozerSound*, GetSound, (const char* name), GetSound) \
    /* Counted load of a sound. */ \
    X(54, VozerSound*, LoadSound, (const char* name), LoadSound) \
    /* Shared sound by name with a cache mode (VZ_CACHE_HARDWARE: loaded, VZ_CACHE_NOTHING: name only), counted once. A file not found still gives a record, which plays nothing; null only when the pool of 256 is full. */ \
    X(55, VozerSound*, GetSoundEx, (const char* name, int32_t cacheMode), GetSoundEx) \
    /* Counted release; null does nothing. */ \
    X(56, void, ReleaseSound, (VozerSound* sound), ReleaseSound) \
    /* Load (VZ_CACHE_HARDWARE) or drop (VZ_CACHE_NOTHING) the sound's data. */ \
    X(57, void, SetSoundCacheMode, (VozerSound* sound, int32_t mode), SetSoundCacheMode) \
    /* Forwarded to the sound implementation: VZ_SOUND_STOP_ALL, _PAUSE_ALL, _RESUME_ALL. */ \
    X(58, void, SoundCommand, (int32_t value), SoundCommand) \
    /* Play with volume, pan and pitch (VZ_SOUND_VOLUME_FULL, VZ_SOUND_PAN_CENTER, VZ_SOUND_PITCH_NORMAL); at most once per 50 ms per sound. Null channel when not played. */ \
    X(59, VozerChannel, PlaySound, (VozerSound* sound, float value1, float value2, float value3), PlaySound) \
    /* Channel operations forwarded to the sound implementation (named by vz_channel_stop() and the others below); a null channel does nothing. */ \
    X(60, void, ChannelOpA, (VozerChannel channel), ChannelOpA) \
    X(61, void, ChannelOpB, (VozerChannel channel, float value), ChannelOpB) \
    X(62, void, ChannelOpC, (VozerChannel channel, float value), ChannelOpC) \
    X(63, void, ChannelOpD, (VozerChannel channel, float value), ChannelOpD) \
    X(64, void, ChannelOpE, (VozerChannel channel, float value), ChannelOpE) \
    X(65, void, ChannelOpF, (VozerChannel channel, float value), ChannelOpF) \
    X(66, vz_bool, ChannelOpG, (VozerChannel channel), ChannelOpG) \
    X(67, int32_t, ChannelOpH, (VozerChannel channel), ChannelOpH) \
    /* Slide a channel's volume to `target` over `seconds`; a target of -0.1 fades out and stops. */ \
    X(68, void, SlideSoundVolume, (VozerChannel channel, float target, float seconds), SlideSoundVolume) \
    /* SlideSoundVolume(channel, -0.1, seconds). */ \
    X(69, void, FadeOutSound, (VozerChannel channel, float seconds), FadeOutSound) \
    /* Start looping music at `volume` (0..1), fading in over `fadeInSeconds`. */ \
    X(70, void, PlayMusic, (VozerSound* sound, float volume, float fadeInSeconds), PlayMusic) \
    X(71, void, StopMusic, (float fadeOutSeconds), StopMusic) \
    X(72, void, SetMusicVolume, (float volume), SetMusicVolume) \
    /* Deprecated: music always loops. */ \
    X(73, void, SetMusicLooping, (vz_bool looping), SetMusicLooping) \
    /* The music playing now, or null. */ \
    X(74, VozerSound*, GetCurrentMusic, (void), GetCurrentMusic) \
    X(75, void, SlideMusicVolume, (float target, float seconds), SlideMusicVolume) \
    /* Push a 4x4 matrix (16 floats, rows, translation in the last column) multiplied onto the top; null pushes the identity. */ \
    X(76, void, PushTransform, (const float* matrix16), PushTransform) \
    X(77, void, PopTransform, (void), PopTransform) \
    /* Copy the current transform into 16 floats. */ \
    X(78, void, GetTransform, (float* out16), GetTransform) \
    /* Push a vertex callback; a null callback is a barrier hiding those below. */ \
    X(79, void, PushVertexCallback, (VozerVertexCallback callback, void* userData), PushVertexCallback) \
    X(80, void, PopVertexCallback, (void), PopVertexCallback) \
    /* Remove an active callback with this user data; true when found. */ \
    X(81, vz_bool, RemoveVertexCallback, (VozerVertexCallback callback, void* userData), RemoveVertexCallback) \
    /* Run the active callbacks on one vertex. */ \
    X(82, void, ApplyVertexCallbacks, (VozerVertex* vertex), ApplyVertexCallbacks) \
    /* GetBitmapEx(name, VZ_CACHE_HARDWARE). */ \
    X(83, VozerBitmap*, GetBitmap, (const char* name), GetBitmap) \
    /* Shared bitmap by name without extension (".png", ".jpg", ".bms", ".tga" are tried), counted once. A file that cannot be found or decoded still gives a record: loadState 3 without an image, width 0, drawing nothing (and a popup in developer mode); test `width == 0` for a failed load. Null only for VZ_CACHE_FIND_ONLY of an unknown name or when the pool of 768 is full. */ \
    X(84, VozerBitmap*, GetBitmapEx, (const char* name, int32_t cacheMode), GetBitmapEx) \
    /* Counted load (every call counts; balance it with ReleaseBitmap); a failed load as GetBitmapEx. */ \
    X(85, VozerBitmap*, LoadBitmap, (const char* name, int32_t cacheMode), LoadBitmap) \
    /* Counted release; a count reaching zero hibernates or frees the bitmap. */ \
    X(86, void, ReleaseBitmap, (VozerBitmap* bitmap), ReleaseBitmap) \
    /* Save as PNG, JPEG (quality 1-100) or TGA by the path's extension; true on success. */ \
    X(87, vz_bool, SaveBitmap, (VozerBitmap* bitmap, const char* path, int32_t quality), SaveBitmap) \
    /* Reload from its source file. */ \
    X(88, void, RefreshBitmap, (VozerBitmap* bitmap), RefreshBitmap) \
    /* Resize the pixels in place. */ \
    X(89, void, ResizeBitmap, (VozerBitmap* bitmap, int32_t width, int32_t height), ResizeBitmap) \
    /* VZ_CACHE_ bits: where the data must live; VZ_CACHE_NOTHING drops it and keeps the name. */ \
    X(90, void, SetBitmapCacheMode, (VozerBitmap* bitmap, int32_t mode), SetBitmapCacheMode) \
    /* Empty bitmap, or a render target when `kind` is 1. */ \
    X(91, VozerBitmap*, CreateBitmap, (const char* name, int32_t width, int32_t height, int32_t kind), CreateBitmap) \
    /* Select a frame of a bitmap sequence. */ \
    X(92, void, SetBitmapFrame, (VozerBitmap* bitmap, int32_t frame), SetBitmapFrame) \
    /* Clear the current target to an opaque colour (components 0..1). */ \
    X(93, void, ClearScreen, (float red, float green, float blue), ClearScreen) \
    X(94, void, SetClipRect, (int32_t x, int32_t y, int32_t width, int32_t height), SetClipRect) \
    X(95, void, ResetClipRect, (void), ResetClipRect) \
    /* Draw into the bitmap, or the screen for null; true on success. */ \
    X(96, vz_bool, SetRenderTarget, (VozerBitmap* bitmap), SetRenderTarget) \
    X(97, vz_bool, PushRenderTarget, (VozerBitmap* bitmap), PushRenderTarget) \
    X(98, vz_bool, PopRenderTarget, (void), PopRenderTarget) \
    /* VZ_BLEND_ALPHA (the default at every Render), _ADDITIVE, _OPAQUE, _MULTIPLY, _MULTIPLY_BRIGHT. */ \
    X(99, void, SetBlendMode, (int32_t mode), SetBlendMode) \
    /* VZ_FILTER_NEAREST or VZ_FILTER_LINEAR (the default). */ \
    X(100, void, SetTextureFilter, (int32_t mode), SetTextureFilter) \
    X(101, void, SetColor, (float red, float green, float blue), SetColor) \
    /* Clamped to 0..1. */ \
    X(102, void, SetAlpha, (float alpha), SetAlpha) \
    /* VZ_ALIGN_ flags for the following DrawText calls: one horizontal or'ed with one vertical. */ \
    X(103, void, SetTextAlign, (int32_t flags), SetTextAlign) \
    /* Below 0.1 means no wrapping (64000). */ \
    X(104, void, SetTextWrapWidth, (float width), SetTextWrapWidth) \
    X(105, void, SetTextScale, (float scaleX, float scaleY, float angle), SetTextScale) \
    /* The bitmap's top-left corner at (x, y), at its own size; nothing while alpha is 0 or the bitmap has no image. */ \
    X(106, void, DrawBitmap, (VozerBitmap* bitmap, float x, float y), DrawBitmap) \
    /* Rotated (radians) and scaled about the centre (x, y). */ \
    X(107, void, DrawBitmapEx, (VozerBitmap* bitmap, float x, float y, float angle, float scale), DrawBitmapEx) \
    /* Textured strip from p0 (width0, colour0) to p1 (width1, colour1). */ \
    X(108, void, DrawBitmapLine, (VozerBitmap* bitmap, VozerPoint p0, VozerPoint p1, float width0, float width1, VozerColor color0, VozerColor color1), DrawBitmapLine) \
    /* The section left..right, top..bottom (bitmap pixels) at (x, y). */ \
    X(109, void, DrawBitmapSection, (VozerBitmap* bitmap, float x, float y, float left, float top, float right, float bottom), DrawBitmapSection) \
    /* Formatted text (2048-byte buffer); returns the width drawn, 0 for a null font. */ \
    X(110, float, DrawText, (VozerFont* font, float x, float y, const char* format, ...), DrawText) \
    /* Untextured rectangle in the current colour. */ \
    X(111, void, FillRect, (float x, float y, float width, float height), FillRect) \
    X(112, void, DrawLine, (float x0, float y0, float x1, float y1), DrawLine) \
    /* The first two vertices of the array, unchanged. */ \
    X(113, void, DrawLineVertices, (const VozerVertex* vertices), DrawLineVertices) \
    /* Four vertices, u/v mapped into the bitmap's texture; null bitmap: untextured. */ \
    X(114, void, DrawQuad, (VozerBitmap* bitmap, const VozerVertex* vertices), DrawQuad) \
    /* Reserved: does nothing. */ \
    X(115, void, Reserved115, (void), Reserved) \
    /* Four vertices unchanged. */ \
    X(116, void, DrawQuadRaw, (VozerBitmap* bitmap, const VozerVertex* vertices), DrawQuadRaw) \
    /* Reserved: does nothing. */ \
    X(117, void, Reserved117, (void), Reserved) \
    /* Indexed triangle list (index count a multiple of 3). */ \
    X(118, void, DrawMesh, (VozerBitmap* bitmap, const VozerVertex* vertices, int32_t vertexCount, const uint16_t* indices, int32_t indexCount), DrawMesh) \
    /* Measure formatted text. */ \
    X(119, void, GetTextSize, (VozerFont* font, float* width, float* height, const char* format, ...), GetTextSize) \
    X(120, float, GetTextWidth, (VozerFont* font, const char* format, ...), GetTextWidth) \
    X(121, float, GetTextHeight, (VozerFont* font, const char* format, ...), GetTextHeight) \
    /* Perspective depth range: near (at least 0.1), screen plane, far (at least near). */ \
    X(122, void, SetDepthRange, (float nearZ, float screenZ, float farZ), SetDepthRange) \
    /* Drawing depth of the following primitives. */ \
    X(123, void, SetDepth, (float z), SetDepth) \
    X(124, float, GetDepth, (void), GetDepth) \
    /* Clear the depth buffer to z. */ \
    X(125, void, ClearDepth, (float z), ClearDepth) \
    X(126, void, SetRenderStateb, (int32_t state, vz_bool value), SetRenderStateb) \
    X(127, void, SetRenderStatef, (int32_t state, float value), SetRenderStatef) \
    X(128, void, SetRenderStatei, (int32_t state, int32_t value), SetRenderStatei)

#define VZ_API_SLOT_COUNT 129

/* The shader sub-table (word 129). */
typedef struct VozerShaderApi {
    VozerShader* (VZ_CDECL *GetShader)(const char* name);        /* shared shader by name */
    void (VZ_CDECL *SetShader)(VozerShader* shader);              /* null: the plain pipeline */
    void (VZ_CDECL *SetShaderTexture)(int32_t stage, VozerBitmap* bitmap); /* stage 0-7 */
    void (VZ_CDECL *SetShaderParam)(VozerShader* shader, int32_t index, const void* value); /* one 32-bit value */
    void (VZ_CDECL *DrawBitmapShaded)(VozerBitmap* bitmap, float x, float y, float angle, float scale);
} VozerShaderApi;

typedef struct VozerEngineApi {
#define VZ_API_MEMBER(index, result, name, params, impl) result (VZ_CDECL *name) params;
    VOZER_API_SLOTS(VZ_API_MEMBER)
#undef VZ_API_MEMBER
    const VozerShaderApi* shaders;
} VozerEngineApi;

/* The channel operations A-H by what the engine's sound library, sndmod_wave,
 * does with them (another sound library may give them other meanings). */
static inline void vz_channel_stop(const VozerEngineApi* zt, VozerChannel channel) { zt->ChannelOpA(channel); }
static inline void vz_channel_set_volume(const VozerEngineApi* zt, VozerChannel channel, float volume) {
    zt->ChannelOpB(channel, volume); /* 0..1 */
}
static inline void vz_channel_set_pan(const VozerEngineApi* zt, VozerChannel channel, float pan) {
    zt->ChannelOpC(channel, pan); /* -1 left .. 1 right */
}
static inline void vz_channel_set_pitch(const VozerEngineApi* zt, VozerChannel channel, float pitch) {
    zt->ChannelOpD(channel, pitch); /* playback speed 0.25..4 */
}
static inline void vz_channel_set_looping(const VozerEngineApi* zt, VozerChannel channel, vz_bool looping) {
    zt->ChannelOpE(channel, looping ? 1.0f : 0.0f);
}
static inline void vz_channel_fade_out(const VozerEngineApi* zt, VozerChannel channel, float seconds) {
    zt->ChannelOpF(channel, seconds); /* then stops */
}
static inline vz_bool vz_channel_is_playing(const VozerEngineApi* zt, VozerChannel channel) {
    return zt->ChannelOpG(channel);
}
static inline int32_t vz_channel_milliseconds_played(const VozerEngineApi* zt, VozerChannel channel) {
    return zt->ChannelOpH(channel);
}

#if VZ_LAYOUT_IS_I686
VZ_STATIC_ASSERT(sizeof(VozerEngineApi) == 130 * 4, "the engine API table is 130 words");
VZ_STATIC_ASSERT(sizeof(VozerBuffer) == 16, "a buffer record is four words");
VZ_STATIC_ASSERT(offsetof(VozerBuffer, size) == 8, "buffer size at 8");
VZ_STATIC_ASSERT(offsetof(VozerBuffer, total) == 12, "buffer total at 12");
VZ_STATIC_ASSERT(sizeof(struct VozerFile) == 12, "a file handle is three words");
VZ_STATIC_ASSERT(offsetof(struct VozerFile, name) == 0, "file name at 0");
VZ_STATIC_ASSERT(offsetof(struct VozerFile, size) == 4, "file size at 4");
VZ_STATIC_ASSERT(offsetof(struct VozerFile, inner) == 8, "inner file at 8");
VZ_STATIC_ASSERT(sizeof(VozerFileList) == 12, "a file list is three words");
#endif
VZ_STATIC_ASSERT(sizeof(VozerEngineApi) == (VZ_API_SLOT_COUNT + 1) * sizeof(void*), "129 slots and the shader word");
#ifdef __cplusplus
#define VZ_API_OFFSET_CHECK(index, result, name, params, impl) \
    static_assert(offsetof(VozerEngineApi, name) == (index) * sizeof(void*), "slot " #name " has moved");
VOZER_API_SLOTS(VZ_API_OFFSET_CHECK)
#undef VZ_API_OFFSET_CHECK
#endif

#endif
