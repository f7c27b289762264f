// The 360-degree view's arithmetic: camera order, sphere, turning rules,
// eye layers, the direction pad's cross and the head tracker's readings.
#include "core/View360.h"
#include "core/PSVRData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>

namespace
{

// Where the camera looks (it looks along -z before it turns).
void forward(const View360Matrix& m, double out[3])
{
    m.map(0, 0, -1, 0, out);
}

PSVRData reportWith(std::initializer_list<std::pair<int, int16_t>> values)
{
    uint8_t raw[64] = {};
    for (const auto& [offset, value] : values) {
        const uint16_t v = static_cast<uint16_t>(value);
        raw[offset] = static_cast<uint8_t>(v & 0xff);
        raw[offset + 1] = static_cast<uint8_t>(v >> 8);
    }
    return PSVRData(raw, sizeof raw);
}

} // namespace

TEST(View360, CameraTurnsRollThenPitchThenYaw)
{
    double f[3];
    forward(pmCameraTransform(0, 0, 0), f);
    EXPECT_NEAR(f[2], -1, 1e-12);
    // Yaw turns to the left, pitch up.
    forward(pmCameraTransform(0, 0, 90), f);
    EXPECT_NEAR(f[0], -1, 1e-12);
    forward(pmCameraTransform(0, 30, 0), f);
    EXPECT_NEAR(f[1], 0.5, 1e-12);
    // Pitch about the yawed axis: still looking left, and up. The other order
    // (yaw about a pitched axis) would look somewhere else.
    forward(pmCameraTransform(0, 30, 90), f);
    EXPECT_NEAR(f[0], -std::cos(M_PI / 6), 1e-12);
    EXPECT_NEAR(f[1], 0.5, 1e-12);
    EXPECT_NEAR(f[2], 0, 1e-12);
    // Roll comes first: it spins the picture about the line of sight without moving it.
    double up[3];
    pmCameraTransform(90, 30, 90).map(0, 1, 0, 0, up);
    forward(pmCameraTransform(90, 30, 90), f);
    EXPECT_NEAR(f[0], -std::cos(M_PI / 6), 1e-12);
    EXPECT_NEAR(up[0] * f[0] + up[1] * f[1] + up[2] * f[2], 0, 1e-12);
    EXPECT_NEAR(up[2], 1, 1e-12); // the camera's up now points to its own left (+z when facing -x)
}

TEST(View360, SphereIsClosedAndSeenFromInsideWithThePictureUpright)
{
    const SphereMesh mesh = pmMakeSphereMesh(60, 240);
    ASSERT_EQ(mesh.vertexCount(), 241 * 121);
    EXPECT_EQ(mesh.indices.size(), 240u * 120u * 6u);
    for (size_t i = 0; i < mesh.vertices.size(); i += 5) {
        const float* v = &mesh.vertices[i];
        EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 60.0, 1e-3);
    }
    for (uint32_t index : mesh.indices)
        ASSERT_LT(index, static_cast<uint32_t>(mesh.vertexCount()));
    // Triangles wind counter-clockwise seen from outside: their normal points out.
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 997 * 3) {
        const float* a = &mesh.vertices[mesh.indices[t] * 5];
        const float* b = &mesh.vertices[mesh.indices[t + 1] * 5];
        const float* c = &mesh.vertices[mesh.indices[t + 2] * 5];
        const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        if (std::abs(n[0]) + std::abs(n[1]) + std::abs(n[2]) < 1e-9)
            continue; // a sliver at a pole
        EXPECT_GT(n[0] * a[0] + n[1] * a[1] + n[2] * a[2], 0) << t;
    }
    EXPECT_TRUE(pmMakeSphereMesh(0, 240).indices.empty());
    EXPECT_TRUE(pmMakeSphereMesh(60, 0).indices.empty());

    // With the picture mirrored (s = 1 - u) and the sphere turned by pi, the
    // picture's middle column is straight ahead, its right quarter to the
    // right and its top overhead.
    const View360Matrix turn = pmRotationMatrix(180, 0, 1, 0);
    auto seen = [&](double s, double t, double out[3]) {
        double p[3];
        pmSphereDirection(1 - s, t, p);
        turn.map(p[0], p[1], p[2], 0, out);
    };
    double d[3];
    seen(0.5, 0.5, d);
    EXPECT_NEAR(d[2], -1, 1e-12);
    seen(0.75, 0.5, d);
    EXPECT_NEAR(d[0], 1, 1e-12);
    seen(0.5, 0.0, d);
    EXPECT_NEAR(d[1], 1, 1e-12);
}

// The worst distance (radians, seen from the centre) between where a point of
// a flat triangle shows and where its interpolated texture coordinate belongs
// on the true sphere, over one column of quads from pole to pole.
double worstStray(const SphereMesh& mesh, const std::vector<uint32_t>& indices)
{
    double worst = 0;
    for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        const float* v[3] = {&mesh.vertices[indices[t] * 5], &mesh.vertices[indices[t + 1] * 5],
                             &mesh.vertices[indices[t + 2] * 5]};
        if (v[0][3] > 0.05f)
            continue; // the first column of quads is enough: the sphere is the same all round
        for (int a = 0; a <= 8; ++a)
            for (int b = 0; a + b <= 8; ++b) {
                const double w[3] = {a / 8.0, b / 8.0, (8 - a - b) / 8.0};
                double p[3] = {}, uv[2] = {};
                for (int k = 0; k < 3; ++k) {
                    for (int x = 0; x < 3; ++x)
                        p[x] += w[k] * v[k][x];
                    uv[0] += w[k] * v[k][3];
                    uv[1] += w[k] * v[k][4];
                }
                double d[3];
                pmSphereDirection(uv[0], uv[1], d);
                const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
                const double c = (p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / length;
                worst = std::max(worst, std::acos(std::clamp(c, -1.0, 1.0)));
            }
    }
    return worst;
}

TEST(View360, CoarserTrianglesOfTheSameSphereStayWithinTheirBound)
{
    const SphereMesh mesh = pmMakeSphereMesh(60, 240);
    EXPECT_EQ(pmSphereMeshIndices(240, 1), mesh.indices);
    const std::vector<uint32_t> half = pmSphereMeshIndices(240, 2);
    ASSERT_EQ(half.size(), mesh.indices.size() / 4);
    for (uint32_t index : half) { // only every second column (of 241) and ring
        ASSERT_EQ(index % 241 % 2, 0u) << index;
        ASSERT_EQ(index / 241 % 2, 0u) << index;
    }
    // Wound like the mesh: the first quad's triangles are the mesh's, doubled.
    EXPECT_EQ(std::vector<uint32_t>(half.begin(), half.begin() + 6),
              (std::vector<uint32_t>{0, 2 * 241, 2 * 241 + 2, 0, 2 * 241 + 2, 2}));
    EXPECT_TRUE(pmSphereMeshIndices(240, 16).empty()); // 120 rings are not a multiple of 16
    EXPECT_TRUE(pmSphereMeshIndices(240, 0).empty());
    EXPECT_TRUE(pmSphereMeshIndices(0, 1).empty());

    // The stray is about a quarter of the square of the triangles' angle.
    for (int step : {1, 2, 4, 8}) {
        const double angle = 2 * 3.141592653589793 * step / 240;
        const double stray = worstStray(mesh, pmSphereMeshIndices(240, step));
        EXPECT_LE(stray, angle * angle / 4 * 1.02) << step;
        EXPECT_GE(stray, angle * angle / 4 * 0.8) << step;
    }
    // A 960 x 540 view (270 pixels a radian) takes every second ring and column,
    // a full-screen one every one; a tiny one every eighth (never past what
    // divides the mesh).
    EXPECT_EQ(pmSphereMeshStep(240, 270, 0.25), 2);
    EXPECT_LE(worstStray(mesh, pmSphereMeshIndices(240, 2)) * 270, 0.25);
    EXPECT_EQ(pmSphereMeshStep(240, 540, 0.25), 1);
    EXPECT_EQ(pmSphereMeshStep(240, 80, 0.25), 4);
    EXPECT_EQ(pmSphereMeshStep(240, 1, 0.25), 8);
    EXPECT_EQ(pmSphereMeshStep(240, 0, 0.25), 1);
    EXPECT_EQ(pmSphereMeshStep(240, 270, 0), 1);
    EXPECT_EQ(pmSphereMeshStep(0, 270, 0.25), 1);
}

TEST(View360, TurningRules)
{
    View360Rotation r;
    r.pitch = 50;
    EXPECT_TRUE(r.applyDpad(19));
    EXPECT_EQ(r.pitch, 60); // not 70
    for (int i = 0; i < 10; ++i)
        r.applyDpad(20);
    EXPECT_EQ(r.pitch, -60);
    EXPECT_TRUE(r.applyDpad(21));
    EXPECT_TRUE(r.applyDpad(21));
    EXPECT_EQ(r.yaw, 40);
    for (int i = 0; i < 20; ++i)
        r.applyDpad(22);
    EXPECT_EQ(r.yaw, -360); // yaw is not limited
    EXPECT_FALSE(r.applyDpad(24));
    EXPECT_FALSE(r.applyDpad(18));
    EXPECT_EQ(r.yaw, -360);
    r.roll = 5;
    EXPECT_TRUE(r.applyDpad(23));
    EXPECT_EQ(r.roll, 0);
    EXPECT_EQ(r.pitch, 0);
    EXPECT_EQ(r.yaw, 0);

    r.drag(100, 10);
    EXPECT_DOUBLE_EQ(r.yaw, 30);
    EXPECT_DOUBLE_EQ(r.pitch, 3);
    r.drag(0, 1000);
    EXPECT_EQ(r.pitch, 60);
    r.drag(0, -5000);
    EXPECT_EQ(r.pitch, -60);
    r.drag(NAN, 1);
    EXPECT_EQ(r.pitch, -60);

    View360Rotation t;
    t.applyTracker(32000, -16000);
    EXPECT_DOUBLE_EQ(t.yaw, 1.0);
    EXPECT_DOUBLE_EQ(t.pitch, -0.5);
    EXPECT_EQ(t.roll, 0);
}

TEST(View360, EyeLayersOfTheThreeProjections)
{
    EXPECT_STREQ(pmProjectionName(View360Projection::Regular360), "2D 360\u00b0 Regular");
    EXPECT_STREQ(pmProjectionName(View360Projection::Stacked360), "3D 360\u00b0 Horizontal (Stacked)");
    EXPECT_STREQ(pmProjectionName(View360Projection::SideBySide180), "3D 180\u00b0 Vertical (Side By Side)");

    for (int eye : {1, 2}) {
        const EyeLayer l = pmEyeLayer(View360Projection::Regular360, eye, 640, 481);
        EXPECT_EQ(l.frame, (PmFrame{0, 0, 640, 481}));
        EXPECT_FALSE(l.masked);
        EXPECT_EQ(l.pictureShiftX, 0);
    }
    EXPECT_EQ(pmEyeLayer(View360Projection::Stacked360, 1, 640, 481).frame, (PmFrame{0, 241, 640, 241}));
    EXPECT_EQ(pmEyeLayer(View360Projection::Stacked360, 2, 640, 481).frame, (PmFrame{0, 0, 640, 241}));
    const EyeLayer left = pmEyeLayer(View360Projection::SideBySide180, 1, 641, 480);
    EXPECT_EQ(left.frame, (PmFrame{0, 0, 641, 480}));
    EXPECT_EQ(left.pictureShiftX, 321);
    EXPECT_FALSE(left.masked);
    const EyeLayer right = pmEyeLayer(View360Projection::SideBySide180, 2, 641, 480);
    EXPECT_EQ(right.pictureShiftX, 0);
    EXPECT_TRUE(right.masked);
    EXPECT_EQ(right.mask, (PmFrame{0, 0, 320, 480}));
    EXPECT_DOUBLE_EQ(pmProjectionRotationRadians(View360Projection::Regular360), M_PI);
    EXPECT_DOUBLE_EQ(pmProjectionRotationRadians(View360Projection::Stacked360), M_PI);
    EXPECT_DOUBLE_EQ(pmProjectionRotationRadians(View360Projection::SideBySide180), M_PI / 2);
}

TEST(View360, DpadCrossAndTextureLimit)
{
    const DpadLayout l = pmDpadLayout(100);
    EXPECT_EQ(l.down, (PmFrame{38, 2, 24, 24}));
    EXPECT_EQ(l.reset, (PmFrame{38, 26, 24, 24}));
    EXPECT_EQ(l.up, (PmFrame{38, 50, 24, 24}));
    EXPECT_EQ(l.left, (PmFrame{14, 26, 24, 24}));
    EXPECT_EQ(l.right, (PmFrame{62, 26, 24, 24}));
    EXPECT_EQ(pmDpadLayout(101).up.x, 38); // integer division

    int w = -1, h = -1;
    pmFitTextureSize(1920, 960, 4096, w, h);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 960);
    pmFitTextureSize(16384, 8192, 8192, w, h);
    EXPECT_EQ(w, 8192);
    EXPECT_EQ(h, 4096);
    pmFitTextureSize(100000, 3, 4096, w, h);
    EXPECT_EQ(w, 4096);
    EXPECT_EQ(h, 1);
    pmFitTextureSize(0, 960, 4096, w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

// The sphere's texture is as fine as the middle of the view shows it, never
// finer than the picture, never past the GL limit.
TEST(View360, SphereTextureFollowsTheViewport)
{
    int w = -1, h = -1;
    // 540 pixels for 90 degrees: 270 pixels a radian, 1696 around.
    pmSphereTextureSize(1920, 960, 1, 1, 540, 90, 4096, w, h);
    EXPECT_EQ(w, 1710); // 57/64 of the picture, the first step at or above 1696
    EXPECT_EQ(h, 855);
    // A little taller: the same step, the same texture.
    int w2 = 0, h2 = 0;
    pmSphereTextureSize(1920, 960, 1, 1, 541, 90, 4096, w2, h2);
    EXPECT_EQ(std::pair(w2, h2), std::pair(w, h));
    // A full-screen view needs more than the picture has: the picture as it is.
    pmSphereTextureSize(1920, 960, 1, 1, 1080, 90, 4096, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(1920, 960));
    // Each eye of a stacked picture has half its height for the whole 180 degrees.
    pmSphereTextureSize(1920, 1920, 1, 0.5, 270, 90, 4096, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(870, 870));
    EXPECT_GE(h / 2, 424); // pi x 135
    // Past the GL limit: fitted.
    pmSphereTextureSize(16384, 8192, 1, 1, 4000, 90, 8192, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(8192, 4096));
    // A tiny view still gets a texel.
    pmSphereTextureSize(1920, 960, 1, 1, 1, 90, 4096, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(30, 15));
    // No viewport, no window or no field of view: the whole picture (fitted).
    const std::tuple<int, double, double> unsized[] = {{0, 1, 90}, {540, 0, 90}, {540, 1, 0}, {540, 1, 180}};
    for (const auto& [vh, ww, fov] : unsized) {
        pmSphereTextureSize(1920, 960, ww, 1, vh, fov, 1024, w, h);
        EXPECT_EQ(std::pair(w, h), std::pair(1024, 512)) << vh << " " << ww << " " << fov;
    }
    // No picture: no texture.
    pmSphereTextureSize(0, 960, 1, 1, 540, 90, 4096, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(0, 0));
}

TEST(View360, HeadTrackerReadingsWrapTo16Bits)
{
    EXPECT_EQ(reportWith({{20, 100}, {36, -40}}).yawAcceleration(), 60);
    EXPECT_EQ(reportWith({{22, 30000}, {38, 10000}}).pitchAcceleration(), -25536);
    EXPECT_EQ(reportWith({{24, -32768}, {40, -1}}).rollAcceleration(), 32767);
    const PSVRData r = reportWith({{20, 0x1234}, {62, -2}});
    EXPECT_EQ(r.readInt16(20), 0x1234);
    EXPECT_EQ(r.readInt16(62), -2);
    EXPECT_EQ(r.readInt16(63), 0); // past the end
    EXPECT_EQ(r.readInt16(1000), 0);

    uint8_t raw[65] = {};
    raw[20] = 7;
    EXPECT_FALSE(PSVRData(raw, 63).isValid());
    EXPECT_FALSE(PSVRData(raw, 65).isValid());
    EXPECT_EQ(PSVRData(raw, 65).yawAcceleration(), 0);
    EXPECT_TRUE(PSVRData(raw, 64).isValid());
    EXPECT_EQ(PSVRData(raw, 64).rawData().size(), 64u);
}
