// The developer overlays drawn over each pass after the frame-rate counter:
// F1 frame rate, F2 memory panel, F3 frame-time graph, F4 resource listing,
// F5 bitmap reload (developer mode), the information panel (F6 held in
// developer mode, or the feature SHOW_INFO), and the console on top.
#pragma once

namespace vz::diag {

// Once per pass, in screen pixels, after the Program's transform is popped.
// `seconds` is the frame's time step.
void drawDeveloperOverlays(float seconds);
// Forget the samples and key edges (start of a run; tests).
void resetDeveloperOverlays();

}  // namespace vz::diag
