// Display resolution choice, orientation and autoscaling of the reference
// resolution onto the real screen.
#pragma once

#include <cstdint>
#include <string>

namespace vz {

// Choose the size from the variant's supported resolutions into `requested`
// (its windowed flag becomes `windowed`). False when there is no list or no
// usable entry; `requested` then keeps its size.
bool ZTI_SelectOptimalResolution(bool windowed, bool forcing);
// Whether the screen can show width x height: always with a forced variant or
// the forced resolution; windowed, whether it fits the desktop with room for
// the window's frame; else whether the renderer's adapter lists it.
bool isResolutionSupported(int32_t width, int32_t height, bool windowed);
// The typical screen of a platform variant name ("IOS/SMALL"): "WxH".
const char* typicalFallbackResolution(const std::string& variant);

// The choice made during pre-initialisation (a usable size even when the
// configuration gives none).
void chooseResolution(bool windowed, bool variantForced);
// Derive the orientation and apply the device-size override.
void applyOrientationAndDeviceSize();

void setupAutoscaling();
void updateAutoscaling();
// Advance the orientation rotation of the current pass.
void advanceRotationAngle();
// The screen transform (16 floats, rows for column vectors) that maps the
// Program's coordinates to the screen.
void buildScreenTransform(float out[16]);
// Black bars around the scaled picture, in the Program's coordinates.
void drawLetterbox();

}  // namespace vz
