#include "engine/graphics/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessra {
namespace {

void ExpectMatrixNear(const float* got, const float* want) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-5f) << "element " << i;
}

TEST(Matrix, LookAtStraightAheadIsIdentity) {
    const float eye[3] = {0, 0, 0}, target[3] = {0, 0, 1}, up[3] = {0, 1, 0};
    float m[16], id[16];
    BuildLookAtMatrix(m, eye, target, up);
    SetMatrixIdentity(id);
    ExpectMatrixNear(m, id);
}

TEST(Matrix, LookAtTranslatesByEye) {
    const float eye[3] = {3, 4, -5}, target[3] = {3, 4, 10}, up[3] = {0, 2, 0};
    float m[16];
    BuildLookAtMatrix(m, eye, target, up);
    EXPECT_NEAR(m[12], -3.0f, 1e-5f);
    EXPECT_NEAR(m[13], -4.0f, 1e-5f);
    EXPECT_NEAR(m[14], 5.0f, 1e-5f);
    EXPECT_EQ(m[15], 1.0f);
    // The eye on the target gives no NaN.
    BuildLookAtMatrix(m, eye, eye, up);
    for (float v : m) EXPECT_FALSE(std::isnan(v));
}

TEST(Matrix, MultiplyInPlaceMatchesSeparateOutput) {
    // clang-format off
    float a[16] = {-2.5f,  0.5f,  3.5f, -0.5f,
                    2.5f, -1.5f,  1.5f, -2.5f,
                    0.5f,  3.5f, -0.5f,  2.5f,
                   -1.5f,  1.5f, -2.5f,  0.5f};
    const float b[16] = {0.0f, 2.5f, 5.0f, 2.0f,
                         4.5f, 1.5f, 4.0f, 1.0f,
                         3.5f, 0.5f, 3.0f, 0.0f,
                         2.5f, 5.0f, 2.0f, 4.5f};
    // Row r, column c of the product: the sum over k of a[r][k] * b[k][c], worked out by hand
    // (all exact in binary).
    const float product[16] = {13.25f, -6.25f, -1.0f, -6.75f,
                               -7.75f, -7.75f,  6.0f, -7.75f,
                               20.25f, 18.75f, 20.0f, 15.75f,
                               -0.75f, -0.25f, -8.0f,  0.75f};
    // clang-format on
    float separate[16];
    MultiplyMatrix(separate, a, b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(separate[i], product[i]) << "element " << i;
    MultiplyMatrix(a, a, b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], product[i]) << "in place, element " << i;
}

TEST(Matrix, ProjectionAndViewport) {
    GetTransformState().screenWidth = 0;  // unset: 640 x 480
    float p[16];
    ASSERT_EQ(MakeProjectionMatrix(p, 1.5707964f, 1.0f, 11.0f), 0);  // 90 degrees: t = 1
    float want[16] = {};
    want[0] = 0.75f;
    want[5] = 1.0f;
    want[10] = 1.1f;
    want[11] = 1.0f;
    want[14] = -1.1f;
    ExpectMatrixNear(p, want);

    const float before = p[0];
    EXPECT_EQ(MakeProjectionMatrix(p, 1.0f, 5.0f, 5.0f), -1);
    EXPECT_EQ(MakeProjectionMatrix(p, 0.001f, 1.0f, 100.0f), -1);
    EXPECT_EQ(p[0], before);

    float v[16];
    MakeViewportMatrix(v, 320, 240, 640, 480);
    float wantV[16] = {};
    wantV[0] = 320;
    wantV[5] = -240;
    wantV[10] = 1;
    wantV[15] = 1;
    wantV[12] = 320;
    wantV[13] = 240;
    ExpectMatrixNear(v, wantV);
}

TEST(Matrix, CombineAndCameraFacing) {
    float m[16];
    SetMatrixIdentity(m);
    SetWorldMatrix(m);
    SetProjectionMatrix(m);
    MakeViewportMatrix(GetTransformState().viewport, 0, 0, 2, 2);
    float view[16];
    for (int i = 0; i < 16; ++i) view[i] = static_cast<float>(i + 1);
    SetViewMatrix(view);
    const TransformState& st = GetTransformState();
    float want[16];
    MultiplyMatrix(want, view, st.viewport);
    ExpectMatrixNear(st.combined, want);
    EXPECT_EQ(st.cameraFacing[1], view[4]);
    EXPECT_EQ(st.cameraFacing[4], view[1]);
    EXPECT_EQ(st.cameraFacing[10], view[10]);
    EXPECT_EQ(st.cameraFacing[3], 0.0f);
    EXPECT_EQ(st.cameraFacing[15], 0.0f);
}

TEST(Matrix, DefaultCameraMapsTargetCentreToCentre) {
    GetTransformState().screenWidth = 320;
    GetTransformState().screenHeight = 240;
    SetDefaultCameraForTarget(320, 240);
    const TransformState& st = GetTransformState();
    const float p[4] = {160, 120, 0, 1};
    float o[4] = {};
    for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 4; ++k) o[j] += p[k] * st.combined[k * 4 + j];
    ASSERT_GT(o[3], 0.0f);
    EXPECT_NEAR(o[0] / o[3], 160.0f, 1e-3f);
    EXPECT_NEAR(o[1] / o[3], 120.0f, 1e-3f);
    GetTransformState().screenWidth = 0;
    GetTransformState().screenHeight = 0;
}

}  // namespace
}  // namespace tessra
