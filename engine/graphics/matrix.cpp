#include "engine/graphics/matrix.h"

#include <cmath>
#include <cstring>

#include "engine/base/strings.h"

namespace tessra {

TransformState& GetTransformState() {
    static TransformState state{};
    return state;
}

void SetMatrixIdentity(float* out) {
    std::memset(out, 0, 16 * sizeof(float));
    out[0] = out[5] = out[10] = out[15] = 1.0f;
}

void MultiplyMatrix(float* out, const float* a, const float* b) {
    float r[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = sum;
        }
    }
    std::memcpy(out, r, sizeof r);
}

int MakeProjectionMatrix(float* out, float fov, float nearZ, float farZ) {
    const TransformState& st = GetTransformState();
    const float w = st.screenWidth > 0 ? static_cast<float>(st.screenWidth) : 640.0f;
    const float h = st.screenHeight > 0 ? static_cast<float>(st.screenHeight) : 480.0f;
    float s = 0.0f, c = 0.0f;
    GetSinCos(fov * 0.5f, &s, &c);
    if (std::fabs(farZ - nearZ) < 0.01f || std::fabs(s) < 0.01f) return -1;
    const float t = c / s;
    const float q = farZ / (farZ - nearZ);
    std::memset(out, 0, 16 * sizeof(float));
    out[0] = (h / w) * t;
    out[5] = t;
    out[10] = q;
    out[11] = 1.0f;
    out[14] = -q * nearZ;
    return 0;
}

void MakeViewportMatrix(float* out, float offsetX, float offsetY, float width, float height) {
    std::memset(out, 0, 16 * sizeof(float));
    out[0] = width * 0.5f;
    out[5] = height * -0.5f;
    out[10] = 1.0f;
    out[15] = 1.0f;
    out[12] = offsetX;
    out[13] = offsetY;
    out[14] = 0.0f;
}

namespace {

void Normalise(float* v) {
    const float len = GetSqrtFloat(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    // A zero vector (eye on the target, or up along the view) stays zero rather than NaN.
    if (len == 0.0f) return;
    v[0] /= len;
    v[1] /= len;
    v[2] /= len;
}

float Dot(const float* a, const float* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross(float* out, const float* a, const float* b) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void BuildLookAtMatrix(float* out, const float* eye, const float* target, const float* up) {
    float f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    float x[3], y[3];
    Cross(x, up, f);
    Cross(y, f, x);
    Normalise(x);
    Normalise(y);
    Normalise(f);
    for (int r = 0; r < 3; ++r) {
        out[r * 4 + 0] = x[r];
        out[r * 4 + 1] = y[r];
        out[r * 4 + 2] = f[r];
        out[r * 4 + 3] = 0.0f;
    }
    out[12] = -Dot(x, eye);
    out[13] = -Dot(y, eye);
    out[14] = -Dot(f, eye);
    out[15] = 1.0f;
}

void CombineTransformMatrices() {
    TransformState& st = GetTransformState();
    MultiplyMatrix(st.combined, st.world, st.view);
    MultiplyMatrix(st.combined, st.combined, st.projection);
    MultiplyMatrix(st.combined, st.combined, st.viewport);
    std::memset(st.cameraFacing, 0, sizeof st.cameraFacing);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) st.cameraFacing[i * 4 + j] = st.view[j * 4 + i];
    }
}

int SetWorldMatrix(const float* matrix) {
    std::memcpy(GetTransformState().world, matrix, 16 * sizeof(float));
    CombineTransformMatrices();
    return 0;
}

int SetViewMatrix(const float* matrix) {
    std::memcpy(GetTransformState().view, matrix, 16 * sizeof(float));
    CombineTransformMatrices();
    return 0;
}

int SetProjectionMatrix(const float* matrix) {
    std::memcpy(GetTransformState().projection, matrix, 16 * sizeof(float));
    CombineTransformMatrices();
    return 0;
}

void SetDefaultCameraForTarget(int32_t width, int32_t height) {
    TransformState& st = GetTransformState();
    const auto w = static_cast<float>(width);
    const auto h = static_cast<float>(height);
    float m[16];
    SetMatrixIdentity(m);
    SetWorldMatrix(m);
    MakeViewportMatrix(st.viewport, w / 2, h / 2, w, h);
    const float d = static_cast<float>(height / 2) * 1.9098593f;
    const float eye[3] = {w * 0.5f, h * 0.5f, 43.0f - d};
    const float target[3] = {w * 0.5f, h * 0.5f, 44.0f - d};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    BuildLookAtMatrix(m, eye, target, up);
    SetViewMatrix(m);
    if (MakeProjectionMatrix(m, 1.0471976f, d * 0.1f, d + 1000.0f) == 0) SetProjectionMatrix(m);
    CombineTransformMatrices();
}

}  // namespace tessra
