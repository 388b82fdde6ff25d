// Bitmap sequences: animations whose frames are further bitmap records.
// Frames come from numbered image files (walk*.png) or from one ".bms" file,
// the engine's own container ("ZT_Bm_Seq_v1"), which holds every frame either
// packed into one atlas image or run-length encoded one by one.
//
// Memory: a sequence's frame array is calloc'ed, frame names strdup'ed, the
// atlas record calloc'ed with its own name and pixels, so the bitmap
// manager's freeBitmapFrames frees them. A frame with `sameAs` set shares the
// pixel memory of that earlier frame and owns none.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image_codec.h"
#include "vozer_render_types.h"

namespace vz::image {

// Largest frame count a sequence file may claim; far above any animation,
// low enough that a lying count cannot ask for gigabytes of records.
constexpr int32_t MAX_SEQUENCE_FRAMES = 65536;
// The tolerance OptimizeBitmapSequence matches frames with (3 of 255 levels).
constexpr float SEQUENCE_MATCH_TOLERANCE = 3.0f / 255.0f;

// LoadBitmapSequenceFromFiles: `pattern` is a file name whose '*' stands for
// a four-digit frame number (walk*.png finds walk0000.png, walk0001.png,
// walk0003.png...). Each file found becomes a frame named after its file, with
// its number and 30 frames a second; frame 0 is selected. False, with a
// popup, when no file is found or none decodes.
bool LoadBitmapSequenceFromFiles(VozerBitmap* sequence, const char* pattern);

// OptimizeBitmapSequence: a frame that repeats an earlier one (within 3 of
// 255 levels per byte) gets `sameAs` set to the first such frame and gives up
// its own pixels. `sameAs` always names a frame that owns its image.
void OptimizeBitmapSequence(VozerBitmap* sequence);

// BitmapPixelsMatch: same size and every byte within `tolerance` (a fraction
// of 255); a tolerance of 1 or more matches any two images of one size.
bool BitmapPixelsMatch(const VozerBitmap* a, const VozerBitmap* b, float tolerance);

// ZTI_SaveBitmapSequence: writes the sequence as a ".bms" file, its distinct
// frames packed into one atlas when the runtime packs atlases (else frame by
// frame). The sequence itself is not changed. False, with a popup, when the
// sequence is unusable, its frames do not fit an atlas (no file is made) or
// the file cannot be written.
bool ZTI_SaveBitmapSequence(VozerBitmap* sequence, const char* path);

// LoadBitmapSequence: reads a ".bms" file into the sequence, replacing any
// frames it had. False when the file cannot be opened (quietly) or is not a
// readable sequence file (with a message); the sequence then has no frames.
bool LoadBitmapSequence(VozerBitmap* sequence, const char* path);

// The file's bytes: the same as LoadBitmapSequence and ZTI_SaveBitmapSequence
// without the file layer. `name` is used in messages. Every size and count is
// checked against the bytes there are before anything is allocated.
bool readBitmapSequence(VozerBitmap* sequence, const uint8_t* data, size_t size, const char* name);
bool writeBitmapSequence(const VozerBitmap* sequence, const char* name, ByteSink& out);

// The run-length pixel block: width, height, then runs of (count 1..255,
// pixel as B,G,R,A) row by row from the top. The reader converts to the pixel
// byte order in force, stops at the end of the pixel memory, and fails with a
// message when the data ends first. `used` receives the bytes the block took.
void encodeRunLength(const VozerBitmap* bitmap, ByteSink& out);
bool decodeRunLength(VozerBitmap* bitmap, const uint8_t* data, size_t size, size_t* used, const char* name);

// Drop the frames and atlas of a sequence (the bitmap manager's
// freeBitmapFrames for records outside the pool, such as a tool's).
void freeSequence(VozerBitmap* sequence);

}  // namespace vz::image
