// 3-D matrices of the transform state: 16 floats in row-major order used with row vectors, so
// translation lies in elements 12, 13 and 14.
#pragma once

#include <cstdint>

namespace tessra {

struct TransformState {
    float world[16];
    float view[16];
    float projection[16];
    float viewport[16];
    float combined[16];      // world x view x projection x viewport
    float cameraFacing[16];  // transposed upper 3 x 3 of the view, other elements 0
    // Screen size the projection's aspect is taken from; 0 means 640 x 480.
    int32_t screenWidth;
    int32_t screenHeight;
};

TransformState& GetTransformState();

void SetMatrixIdentity(float* out);
// out = a x b; out may be a or b.
void MultiplyMatrix(float* out, const float* a, const float* b);
// Perspective matrix; -1 (out unchanged) when |far - near| or |sin(fov / 2)| is below 0.01.
int MakeProjectionMatrix(float* out, float fov, float nearZ, float farZ);
void MakeViewportMatrix(float* out, float offsetX, float offsetY, float width, float height);
void BuildLookAtMatrix(float* out, const float* eye, const float* target, const float* up);

// Copy into the transform state and recompute the combined matrices; 0.
int SetWorldMatrix(const float* matrix);
int SetViewMatrix(const float* matrix);
int SetProjectionMatrix(const float* matrix);
void CombineTransformMatrices();
// The default camera for a draw target of width x height: shows it pixel for pixel at depth 0.
void SetDefaultCameraForTarget(int32_t width, int32_t height);

}  // namespace tessra
