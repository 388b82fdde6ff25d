// Textures: uploading bitmaps with their border, render targets (creating,
// drawing into, reading back) and releasing.
#include <cstring>

#include "rendimp_d3d8.h"
#include "texture_packer.h"

namespace vz::d3d8 {

namespace {

constexpr uint32_t OPAQUE_ALPHA = 0xFF000000u;

// The data size of a bitmap: 0 means the size the game sees.
void settleDataSize(Bitmap* bitmap) {
    if (bitmap->dataWidth == 0) bitmap->dataWidth = bitmap->width;
    if (bitmap->dataHeight == 0) bitmap->dataHeight = bitmap->height;
}

const char* nameOf(const Bitmap* bitmap) { return bitmap->name ? bitmap->name : "(unnamed)"; }

}  // namespace

// A texture of that size must fit the device; a failure says which bitmap and why.
static bool fitsDevice(const Bitmap* bitmap, int32_t width, int32_t height) {
    const LibraryState& s = lib();
    if (width > 0 && height > 0 && (s.maxTextureWidth <= 0 || width <= s.maxTextureWidth) &&
        (s.maxTextureHeight <= 0 || height <= s.maxTextureHeight))
        return true;
    s.api->Log(VZ_ERROR, "Unable to Create D3D8 Texture.\n");
    s.api->Log(VZ_ERROR, "Bitmap '%s' needs a %dx%d texture; the device allows 1x1 to %dx%d.\n", nameOf(bitmap),
               static_cast<int>(width), static_cast<int>(height), s.maxTextureWidth, s.maxTextureHeight);
    return false;
}

// The bitmap's texture may be written again only when it is an uploaded one
// of the same size; anything else is released and made anew.
static IDirect3DTexture8* reusableTexture(RendImpD3D8& renderer, Bitmap* bitmap, int32_t width, int32_t height,
                                          bool renderTarget) {
    VozerHardwareData& hw = bitmap->hw;
    if (!hw.hasTexture || !hw.texture) return nullptr;
    const bool wasTarget = (bitmap->flags & VZ_BITMAP_RENDER_TARGET) != 0;
    if (hw.textureWidth == width && hw.textureHeight == height && wasTarget == renderTarget) {
        auto* texture = static_cast<IDirect3DTexture8*>(hw.texture);
        // Quads waiting in the batch show what the texture holds now.
        if (lib().stageTexture[0] == texture) renderer.drawBatch();
        return texture;
    }
    renderer.ReleaseTexture(&hw);
    return nullptr;
}

vz_bool RendImpD3D8::UploadBitmap(Bitmap* bitmap) {
    LibraryState& s = lib();
    if (!s.ready || !s.device || !bitmap) return 0;
    if (!bitmap->pixels) {
        s.api->Popup(VZ_WARNING, "BitmapPacker::BeginPacking bitmap '%s' has no pixels. This should never happen.",
                     nameOf(bitmap));
        return 0;
    }
    settleDataSize(bitmap);
    const PackLayout layout = planPacking(bitmap->dataWidth, bitmap->dataHeight, bitmap->packMode,
                                          (bitmap->flags & VZ_BITMAP_HAS_ALPHA) != 0);
    if (bitmap->dataWidth <= 0 || bitmap->dataHeight <= 0 ||
        !fitsDevice(bitmap, layout.textureWidth, layout.textureHeight)) {
        if (bitmap->dataWidth <= 0 || bitmap->dataHeight <= 0)
            s.api->Log(VZ_ERROR, "Bitmap '%s' has no pixels to upload (size %dx%d).\n", nameOf(bitmap),
                       static_cast<int>(bitmap->dataWidth), static_cast<int>(bitmap->dataHeight));
        return 0;
    }
    bitmap->packMode = static_cast<int16_t>(layout.packMode);

    IDirect3DTexture8* texture = reusableTexture(*this, bitmap, layout.textureWidth, layout.textureHeight, false);
    const bool created = texture == nullptr;
    if (created && FAILED(s.device->CreateTexture(static_cast<UINT>(layout.textureWidth),
                                                  static_cast<UINT>(layout.textureHeight), 1, 0, D3DFMT_A8R8G8B8,
                                                  D3DPOOL_MANAGED, &texture))) {
        s.api->Log(VZ_ERROR, "Unable to Create D3D8 Texture.\n");
        return 0;
    }
    auto dropNew = [&] {
        if (created) texture->Release();
    };
    IDirect3DSurface8* surface = nullptr;
    if (FAILED(texture->GetSurfaceLevel(0, &surface))) {
        s.api->Log(VZ_ERROR, "Unable to GetSurfaceLevel for D3D8 Texture.\n");
        dropNew();
        return 0;
    }
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_DISCARD)) &&
        FAILED(surface->LockRect(&locked, nullptr, 0))) {
        s.api->Log(VZ_ERROR, "Unable to lock surface.\n");
        surface->Release();
        dropNew();
        return 0;
    }
    if (locked.pBits) {
        copyPacked(bitmap->pixels, layout, static_cast<uint8_t*>(locked.pBits), locked.Pitch);
    } else {
        s.api->Log(VZ_WARNING, "BitmapTexturePacker unable to get target pixel memory.\n");
    }
    VozerHardwareData& hw = bitmap->hw;
    const float tw = static_cast<float>(layout.textureWidth), th = static_cast<float>(layout.textureHeight);
    hw.textureWidth = layout.textureWidth;
    hw.textureHeight = layout.textureHeight;
    hw.uLeft = static_cast<float>(layout.padX) / tw;
    hw.vTop = static_cast<float>(layout.padY) / th;
    hw.uRight = static_cast<float>(layout.padX + layout.width) / tw;
    hw.vBottom = static_cast<float>(layout.padY + layout.height) / th;
    surface->UnlockRect();
    surface->Release();
    hw.hasTexture = 1;
    hw.texture = texture;
    bitmap->flags = static_cast<uint8_t>(bitmap->flags & ~VZ_BITMAP_RENDER_TARGET);
    return 1;
}

vz_bool RendImpD3D8::CreateRenderTarget(Bitmap* bitmap) {
    LibraryState& s = lib();
    if (!s.ready || !bitmap) return 0;
    settleDataSize(bitmap);
    const int32_t tw = static_cast<int32_t>(nextPowerOfTwo(static_cast<uint32_t>(bitmap->dataWidth > 0 ? bitmap->dataWidth : 0)));
    const int32_t th = static_cast<int32_t>(nextPowerOfTwo(static_cast<uint32_t>(bitmap->dataHeight > 0 ? bitmap->dataHeight : 0)));
    if (bitmap->dataWidth <= 0 || bitmap->dataHeight <= 0) {
        s.api->Log(VZ_ERROR, "Unable to Create D3D8 Texture.\n");
        s.api->Log(VZ_ERROR, "Render target '%s' has no size (%dx%d).\n", nameOf(bitmap),
                   static_cast<int>(bitmap->dataWidth), static_cast<int>(bitmap->dataHeight));
        return 0;
    }
    if (!fitsDevice(bitmap, tw, th)) return 0;
    IDirect3DTexture8* texture = reusableTexture(*this, bitmap, tw, th, true);
    if (!texture && FAILED(s.device->CreateTexture(static_cast<UINT>(tw), static_cast<UINT>(th), 1, D3DUSAGE_RENDERTARGET,
                                                   D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture))) {
        s.api->Log(VZ_ERROR, "Unable to Create D3D8 Texture.\n");
        return 0;
    }
    VozerHardwareData& hw = bitmap->hw;
    hw.texture = texture;
    hw.textureWidth = tw;
    hw.textureHeight = th;
    hw.hasTexture = 1;
    bitmap->flags = static_cast<uint8_t>(bitmap->flags | VZ_BITMAP_RENDER_TARGET);
    hw.uLeft = 0.0f;
    hw.vTop = 0.0f;
    hw.uRight = static_cast<float>(bitmap->dataWidth) / static_cast<float>(tw);
    hw.vBottom = static_cast<float>(bitmap->dataHeight) / static_cast<float>(th);
    return 1;
}

vz_bool RendImpD3D8::SetRenderTarget(Bitmap* bitmap) {
    LibraryState& s = lib();
    if (!s.ready) return 0;
    drawBatch();  // what is batched belongs to the target it was drawn for
    s.clippedAway = false;  // a new target starts with its whole viewport
    if (bitmap && bitmap->hw.hasTexture && bitmap->hw.texture) {
        auto* texture = static_cast<IDirect3DTexture8*>(bitmap->hw.texture);
        IDirect3DSurface8* surface = nullptr;
        if (SUCCEEDED(texture->GetSurfaceLevel(0, &surface)) && SUCCEEDED(s.device->SetRenderTarget(surface, nullptr))) {
            surface->Release();  // the device holds it while it is the target
            currentTarget = bitmap;
            SetupProjection(bitmap->hw.textureWidth, bitmap->hw.textureHeight, 0, 0);
            return 1;
        }
        if (surface) surface->Release();
        SetRenderTarget(nullptr);
        return 0;
    }
    int32_t width, height;
    screenSize(width, height);
    SetupProjection(width, height, 0, 0);
    if (FAILED(s.device->SetRenderTarget(backBuffer, depthSurface))) return 0;
    currentTarget = nullptr;
    return 1;
}

vz_bool RendImpD3D8::CopyRenderTargetToBitmapPixels(Bitmap* bitmap) {
    LibraryState& s = lib();
    if (!s.ready || !bitmap || !(bitmap->flags & VZ_BITMAP_RENDER_TARGET) || !bitmap->hw.hasTexture ||
        !bitmap->hw.texture)
        return 0;
    VozerImageLoader* loader = s.runtime->imageLoader;
    if (!loader) return 0;  // nowhere to get pixel memory from
    if (bitmap == currentTarget) drawBatch();
    VozerHardwareData& hw = bitmap->hw;
    IDirect3DSurface8* source = nullptr;
    IDirect3DSurface8* image = nullptr;
    auto fail = [&](const char* text) {
        s.api->Popup(VZ_WARNING, "%s", text);
        if (image) image->Release();
        if (source) source->Release();
        return static_cast<vz_bool>(0);
    };
    if (FAILED(static_cast<IDirect3DTexture8*>(hw.texture)->GetSurfaceLevel(0, &source)))
        return fail("Failed to GetSurfaceLevel.");
    if (FAILED(s.device->CreateImageSurface(static_cast<UINT>(hw.textureWidth), static_cast<UINT>(hw.textureHeight),
                                            D3DFMT_X8R8G8B8, &image)))
        return fail("Failed to CreateImageSurface.");
    if (FAILED(s.device->CopyRects(source, nullptr, 0, image, nullptr))) return fail("Failed to CopyRects.");

    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(image->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        const int32_t dataWidth = bitmap->dataWidth ? bitmap->dataWidth : bitmap->width;
        const int32_t dataHeight = bitmap->dataHeight ? bitmap->dataHeight : bitmap->height;
        if (bitmap->pixels && (dataWidth != bitmap->width || dataHeight != bitmap->height))
            loader->ops->FreeImagePixels(loader, bitmap);
        if (!bitmap->pixels) loader->ops->AllocateImagePixels(loader, bitmap, bitmap->width, bitmap->height);
        const float tw = static_cast<float>(hw.textureWidth), th = static_cast<float>(hw.textureHeight);
        const int32_t left = static_cast<int32_t>(tw * hw.uLeft), top = static_cast<int32_t>(th * hw.vTop);
        int32_t w = static_cast<int32_t>(tw * hw.uRight) - left, h = static_cast<int32_t>(th * hw.vBottom) - top;
        if (w > bitmap->width || h > bitmap->height) {
            s.api->Popup(VZ_WARNING, "CopyRenderTargetToBitmapPixels surface dimension %dx%d is bigger than bitmap %dx%d.",
                         static_cast<int>(w), static_cast<int>(h), static_cast<int>(bitmap->width),
                         static_cast<int>(bitmap->height));
            if (w > bitmap->width) w = bitmap->width;
            if (h > bitmap->height) h = bitmap->height;
        }
        if (bitmap->pixels && locked.pBits) {
            for (int32_t y = 0; y < h; ++y) {
                const auto* from = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                     static_cast<int64_t>(top + y) * locked.Pitch) + left;
                uint32_t* to = bitmap->pixels + static_cast<int64_t>(y) * bitmap->width;
                // The target has no alpha channel: what was drawn there is opaque.
                for (int32_t x = 0; x < w; ++x) to[x] = from[x] | OPAQUE_ALPHA;
            }
        }
        image->UnlockRect();
    }
    image->Release();
    source->Release();
    return 1;
}

void RendImpD3D8::ReleaseTexture(VozerHardwareData* hw) {
    LibraryState& s = lib();
    if (!hw || !hw->texture || hw->hasTexture != 1) return;
    hw->hasTexture = 0;
    auto* texture = static_cast<IDirect3DBaseTexture8*>(hw->texture);
    // A texture still bound would live on in the device (and a new one at the
    // same address would be taken for it by the binding cache).
    for (int stage = 0; stage < STAGE_COUNT; ++stage) {
        if (s.stageTexture[stage] != texture) continue;
        if (stage == 0) drawBatch();
        if (s.device) s.device->SetTexture(static_cast<DWORD>(stage), nullptr);
        s.stageTexture[stage] = nullptr;
    }
    const ULONG left = texture->Release();
    if (left > 0 && s.api) {
        const char* name = "texture";
        if (s.runtime && s.runtime->bitmaps) {
            for (int32_t i = 0; i < s.runtime->bitmapCount; ++i) {
                if (&s.runtime->bitmaps[i].hw == hw && s.runtime->bitmaps[i].name) name = s.runtime->bitmaps[i].name;
            }
        }
        s.api->Log(VZ_ERROR, "'%s' D3D Texture reference count is %d, not zero!\n", name, static_cast<int>(left));
    }
    hw->texture = nullptr;
}

}  // namespace vz::d3d8
