// Autoscaling: the Program draws at its reference resolution and one screen
// transform maps that onto the real screen, centred, with black bars where
// the aspect ratios differ. Also the orientation rotation of each pass.
#include <cmath>
#include <utility>

#include "api/engine_api.h"
#include "core/resolution.h"
#include "state/features.h"
#include "state/runtime_state.h"

namespace vz {

namespace {

constexpr float PI = 3.14159265358979f;

// The rotation of an orientation code, in degrees.
float angleOf(int32_t orientation) {
    switch (orientation) {
        case 2: return 180.0f;
        case 4: return -90.0f;
        case 8: return 90.0f;
        default: return 0.0f;
    }
}

int32_t programOrientation(const VozerDisplayParams& display) {
    return display.referenceWidth <= display.referenceHeight ? 1 : 4;
}

// 4x4 matrices for column vectors, row by row.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix operator*(const Matrix& b) const {
        Matrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) sum += m[4 * i + k] * b.m[4 * k + j];
                r.m[4 * i + j] = sum;
            }
        return r;
    }
};

Matrix translation(float x, float y) {
    Matrix r;
    r.m[3] = x;
    r.m[7] = y;
    return r;
}
Matrix scaling(float x, float y) {
    Matrix r;
    r.m[0] = x;
    r.m[5] = y;
    return r;
}
Matrix rotation(float radians) {
    Matrix r;
    r.m[0] = r.m[5] = std::cos(radians);
    r.m[1] = -std::sin(radians);
    r.m[4] = std::sin(radians);
    return r;
}

}  // namespace

void setupAutoscaling() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    if (!state.boot.autoscale || !program) {
        state.autoscaleOffsetX = state.autoscaleOffsetY = 0.0f;
        state.autoscaleX = state.autoscaleY = 1.0f;
        state.inverseAutoscaleX = state.inverseAutoscaleY = 1.0f;
        return;
    }
    VozerDisplayParams& display = program->display;
    VozerEngineApi* a = api();
    a->Log(VZ_SYSTEM, "Setting up autoscaling from %dx%d -> %dx%d.", display.referenceWidth, display.referenceHeight,
           display.width, display.height);
    if (display.referenceWidth == display.width && display.referenceHeight == display.height) {
        a->Log(VZ_SYSTEM, "Target resolution matches source, no need for scaling.");
        state.boot.autoscale = false;
        setupAutoscaling();
        return;
    }
    // A reference size of nothing cannot be scaled to anything.
    if (display.referenceWidth <= 0 || display.referenceHeight <= 0) {
        a->Log(VZ_WARNING, "Reference resolution %dx%d cannot be scaled: autoscaling off.", display.referenceWidth,
               display.referenceHeight);
        state.boot.autoscale = false;
        setupAutoscaling();
        return;
    }
    // The Program always sees its reference size from now on.
    display.width = state.rendererParams.width = display.referenceWidth;
    display.height = state.rendererParams.height = display.referenceHeight;
    updateAutoscaling();
    a->Log(VZ_SYSTEM, "Offset x=%.2f y=%.2f", static_cast<double>(state.autoscaleOffsetX),
           static_cast<double>(state.autoscaleOffsetY));
    a->Log(VZ_SYSTEM, "Scale x=%.2f y=%.2f", static_cast<double>(state.autoscaleX), static_cast<double>(state.autoscaleY));
}

void updateAutoscaling() {
    RuntimeState& state = rt();
    VozerProgramRecord* program = state.shared.program;
    if (!state.boot.autoscale || !program) return;
    const VozerDisplayParams& display = program->display;
    const VozerDisplayInfo& info = state.displayInfo;
    float screenWidth = static_cast<float>(info.deviceWidth), screenHeight = static_cast<float>(info.deviceHeight);
    if (info.nativeOrientation != programOrientation(display)) std::swap(screenWidth, screenHeight);
    const float referenceWidth = static_cast<float>(display.referenceWidth);
    const float referenceHeight = static_cast<float>(display.referenceHeight);
    if (referenceWidth <= 0.0f || referenceHeight <= 0.0f) return;
    float scaleX = screenWidth / referenceWidth, scaleY = screenHeight / referenceHeight;
    if (hasFeature("AUTOSCALE_RETAIN_ASPECT_RATIO")) scaleX = scaleY = std::fmin(scaleX, scaleY);
    state.autoscaleX = scaleX;
    state.autoscaleY = scaleY;
    state.autoscaleOffsetX = std::trunc((screenWidth - referenceWidth * scaleX) * 0.5f);
    state.autoscaleOffsetY = std::trunc((screenHeight - referenceHeight * scaleY) * 0.5f);
    state.inverseAutoscaleX = scaleX != 0.0f ? 1.0f / scaleX : 1.0f;
    state.inverseAutoscaleY = scaleY != 0.0f ? 1.0f / scaleY : 1.0f;
}

void advanceRotationAngle() {
    RuntimeState& state = rt();
    const VozerProgramRecord* program = state.shared.program;
    if (!program) return;
    state.allowedOrientations = program->display.width > program->display.height ? 12 : 3;
    if (state.currentOrientation == state.targetOrientation || state.rotationDuration <= 0.0f) {
        state.rotationAngle = angleOf(state.currentOrientation);
        return;
    }
    const float t = state.rotationTimer / state.rotationDuration;
    const float e = 1.0f - std::cos(PI * 0.5f * std::sin(PI * 0.5f * t));
    state.rotationAngle = angleOf(state.currentOrientation) * (1.0f - e) + angleOf(state.targetOrientation) * e;
}

void buildScreenTransform(float out[16]) {
    RuntimeState& state = rt();
    const VozerProgramRecord* program = state.shared.program;
    const VozerDisplayInfo& info = state.displayInfo;
    if (!program) {
        const Matrix unit;
        for (int i = 0; i < 16; ++i) out[i] = unit.m[i];
        return;
    }
    const VozerDisplayParams& display = program->display;
    const bool turned = info.nativeOrientation != programOrientation(display);
    // Before any renderer has reported the screen, the screen is the Program's size.
    const int32_t screenWidth = info.deviceWidth > 0 ? info.deviceWidth : display.width;
    const int32_t screenHeight = info.deviceHeight > 0 ? info.deviceHeight : display.height;
    Matrix m = translation(0.5f * static_cast<float>(screenWidth), 0.5f * static_cast<float>(screenHeight));
    if (state.boot.autoscale) {
        m = turned ? m * scaling(state.autoscaleY, state.autoscaleX) : m * scaling(state.autoscaleX, state.autoscaleY);
    }
    if (info.deviceSizeKnown && turned) m = m * rotation(state.rotationAngle * PI / 180.0f);
    m = m * translation(-0.5f * static_cast<float>(display.width), -0.5f * static_cast<float>(display.height));
    for (int i = 0; i < 16; ++i) out[i] = m.m[i];
}

void drawLetterbox() {
    RuntimeState& state = rt();
    const VozerProgramRecord* program = state.shared.program;
    if (!program) return;
    const bool rotating = state.currentOrientation != state.targetOrientation;
    const bool vertical = state.autoscaleOffsetY > 0.0f || rotating;
    const bool horizontal = state.autoscaleOffsetX > 0.0f || rotating;
    if (!vertical && !horizontal) return;
    VozerEngineApi* a = api();
    const float pw = static_cast<float>(program->display.width), ph = static_cast<float>(program->display.height);
    a->SetAlpha(1.0f);
    a->SetColor(0.0f, 0.0f, 0.0f);
    a->SetBlendMode(0);
    if (vertical) {
        a->FillRect(0.0f, ph, pw, ph);
        a->FillRect(0.0f, -ph, pw, ph);
    }
    if (horizontal) {
        a->FillRect(pw, 0.0f, pw, ph);
        a->FillRect(-pw, 0.0f, pw, ph);
    }
    a->SetColor(1.0f, 1.0f, 1.0f);
}

}  // namespace vz
