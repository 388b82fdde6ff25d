// Display resolution choice, orientation and autoscaling of the reference
// resolution onto the real screen.
#pragma once

namespace vz {

// Choose the display size for the requested parameters.
void chooseResolution(bool windowed, bool variantForced);
// Derive the orientation and apply the device-size override.
void applyOrientationAndDeviceSize();
void setupAutoscaling();
void updateAutoscaling();
// Advance the orientation rotation of the current pass.
void advanceRotationAngle();
// The screen transform (16 floats) that maps the Program's coordinates to the screen.
void buildScreenTransform(float out[16]);
// Black bars around the scaled picture.
void drawLetterbox();

}  // namespace vz
