// The bitmap manager's slots. Bitmaps are not loaded by this build yet: every
// request answers as for an image file that cannot be found.
#include "api/engine_api.h"

namespace vz::slots {

VozerBitmap* GetBitmap(const char*) { return nullptr; }
VozerBitmap* GetBitmapEx(const char*, int32_t) { return nullptr; }
VozerBitmap* LoadBitmap(const char*, int32_t) { return nullptr; }
void ReleaseBitmap(VozerBitmap*) { }
vz_bool SaveBitmap(VozerBitmap*, const char*, int32_t) { return 0; }
void RefreshBitmap(VozerBitmap*) { }
void ResizeBitmap(VozerBitmap*, int32_t, int32_t) { }
void SetBitmapCacheMode(VozerBitmap*, int32_t) { }
VozerBitmap* CreateBitmap(const char*, int32_t, int32_t, int32_t) { return nullptr; }
void SetBitmapFrame(VozerBitmap*, int32_t) { }

}  // namespace vz::slots
