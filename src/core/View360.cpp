#include "core/View360.h"

#include <algorithm>
#include <cmath>

namespace
{

// The columns and rings of pmMakeSphereMesh's grid.
int aroundOf(int segments)
{
    return std::max(3, segments);
}
int ringsOf(int segments)
{
    return std::max(2, segments / 2);
}

constexpr double kPi = 3.141592653589793;
} // namespace

View360Matrix View360Matrix::operator*(const View360Matrix& o) const
{
    View360Matrix r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += m[row][k] * o.m[k][col];
            r.m[row][col] = sum;
        }
    return r;
}

void View360Matrix::map(double x, double y, double z, double w, double out[3]) const
{
    const double in[4] = {x, y, z, w};
    for (int row = 0; row < 3; ++row)
        out[row] = m[row][0] * in[0] + m[row][1] * in[1] + m[row][2] * in[2] + m[row][3] * in[3];
}

View360Matrix pmRotationMatrix(double degrees, double x, double y, double z)
{
    View360Matrix r;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0) || !std::isfinite(degrees))
        return r;
    x /= len;
    y /= len;
    z /= len;
    const double a = degrees * kPi / 180.0;
    const double c = std::cos(a), s = std::sin(a), t = 1 - c;
    r.m[0][0] = t * x * x + c;
    r.m[0][1] = t * x * y - s * z;
    r.m[0][2] = t * x * z + s * y;
    r.m[1][0] = t * x * y + s * z;
    r.m[1][1] = t * y * y + c;
    r.m[1][2] = t * y * z - s * x;
    r.m[2][0] = t * x * z - s * y;
    r.m[2][1] = t * y * z + s * x;
    r.m[2][2] = t * z * z + c;
    return r;
}

View360Matrix pmCameraTransform(double roll, double pitch, double yaw)
{
    // Each rotation is applied after the ones before it, so it goes on the left.
    View360Matrix m;
    m = pmRotationMatrix(roll, 0, 0, 1) * m;
    m = pmRotationMatrix(pitch, 1, 0, 0) * m;
    m = pmRotationMatrix(yaw, 0, 1, 0) * m;
    return m;
}

bool View360Rotation::applyDpad(int command)
{
    switch (command) {
    case 19:
        pitch += kDpadStep;
        break;
    case 20:
        pitch -= kDpadStep;
        break;
    case 21:
        yaw += kDpadStep;
        break;
    case 22:
        yaw -= kDpadStep;
        break;
    case 23:
        reset();
        break;
    default:
        return false;
    }
    clampPitch();
    return true;
}

void View360Rotation::reset()
{
    roll = pitch = yaw = 0;
}

void View360Rotation::drag(double dx, double dy)
{
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return;
    yaw += dx * kDragDegreesPerPoint;
    pitch += dy * kDragDegreesPerPoint;
    clampPitch();
}

void View360Rotation::applyTracker(int yawReading, int pitchReading)
{
    yaw += yawReading * kTrackerDegreesPerUnit;
    pitch += pitchReading * kTrackerDegreesPerUnit;
    // The tracker's own rule leaves pitch free; a headset left tilted would
    // otherwise roll the picture over the pole, so it is held like the pad's.
    clampPitch();
}

void View360Rotation::clampPitch()
{
    pitch = std::clamp(pitch, -kPitchLimit, kPitchLimit);
}

void pmSphereDirection(double u, double v, double out[3])
{
    const double latitude = (0.5 - v) * kPi;
    const double around = 2 * kPi * u;
    out[0] = -std::sin(around) * std::cos(latitude);
    out[1] = std::sin(latitude);
    out[2] = -std::cos(around) * std::cos(latitude);
}

SphereMesh pmMakeSphereMesh(float radius, int segments)
{
    SphereMesh mesh;
    if (!(radius > 0) || segments <= 0)
        return mesh;
    const int around = aroundOf(segments);
    const int rings = ringsOf(segments);
    mesh.vertices.reserve(static_cast<size_t>(around + 1) * (rings + 1) * 5);
    for (int j = 0; j <= rings; ++j) {
        const double v = static_cast<double>(j) / rings;
        for (int i = 0; i <= around; ++i) {
            const double u = static_cast<double>(i) / around;
            double p[3];
            pmSphereDirection(u, v, p);
            mesh.vertices.push_back(static_cast<float>(p[0] * radius));
            mesh.vertices.push_back(static_cast<float>(p[1] * radius));
            mesh.vertices.push_back(static_cast<float>(p[2] * radius));
            mesh.vertices.push_back(static_cast<float>(u));
            mesh.vertices.push_back(static_cast<float>(v));
        }
    }
    mesh.indices = pmSphereMeshIndices(segments, 1);
    return mesh;
}

std::vector<uint32_t> pmSphereMeshIndices(int segments, int step)
{
    std::vector<uint32_t> indices;
    if (segments <= 0 || step <= 0)
        return indices;
    const int around = aroundOf(segments), rings = ringsOf(segments);
    if (around % step != 0 || rings % step != 0)
        return indices;
    indices.reserve(static_cast<size_t>(around / step) * (rings / step) * 6);
    const auto at = [around](int i, int j) { return static_cast<uint32_t>(j * (around + 1) + i); };
    for (int j = 0; j < rings; j += step)
        for (int i = 0; i < around; i += step) {
            // Seen from outside, u grows to the right and v downwards.
            const uint32_t a = at(i, j), b = at(i + step, j), c = at(i, j + step), d = at(i + step, j + step);
            indices.insert(indices.end(), {a, c, d, a, d, b});
        }
    return indices;
}

int pmSphereMeshStep(int segments, double focalPixels, double maxPixels)
{
    if (segments <= 0 || !(focalPixels > 0) || !(maxPixels > 0))
        return 1;
    const int around = aroundOf(segments), rings = ringsOf(segments);
    int step = 1;
    for (int next = 2; around % next == 0 && rings % next == 0; next *= 2) {
        const double angle = 2 * kPi * next / around;
        if (angle * angle / 4 * focalPixels > maxPixels)
            break;
        step = next;
    }
    return step;
}

const char* pmProjectionName(View360Projection projection)
{
    switch (projection) {
    case View360Projection::Regular360:
        return "2D 360\u00b0 Regular";
    case View360Projection::Stacked360:
        return "3D 360\u00b0 Horizontal (Stacked)";
    case View360Projection::SideBySide180:
        return "3D 180\u00b0 Vertical (Side By Side)";
    }
    return "";
}

EyeLayer pmEyeLayer(View360Projection projection, int eye, int width, int height)
{
    EyeLayer layer;
    width = std::max(0, width);
    height = std::max(0, height);
    layer.frame = {0, 0, width, height};
    switch (projection) {
    case View360Projection::Regular360:
        break;
    case View360Projection::Stacked360: {
        const int h = static_cast<int>(std::lround(height / 2.0));
        layer.frame = {0, eye == 1 ? h : 0, width, h};
        break;
    }
    case View360Projection::SideBySide180:
        if (eye == 1) {
            layer.pictureShiftX = static_cast<int>(std::lround(width / 2.0));
        } else {
            layer.masked = true;
            layer.mask = {0, 0, width / 2, height};
        }
        break;
    }
    return layer;
}

double pmProjectionRotationRadians(View360Projection projection)
{
    return projection == View360Projection::SideBySide180 ? kPi / 2 : kPi;
}

DpadLayout pmDpadLayout(int width)
{
    constexpr int kSide = 24;
    const int x = (width - kSide) / 2;
    DpadLayout l;
    l.down = {x, 2, kSide, kSide};
    l.reset = {x, 26, kSide, kSide};
    l.up = {x, 50, kSide, kSide};
    l.left = {x - kSide, 26, kSide, kSide};
    l.right = {x + kSide, 26, kSide, kSide};
    return l;
}

void pmFitTextureSize(int width, int height, int maxSide, int& outWidth, int& outHeight)
{
    outWidth = outHeight = 0;
    if (width <= 0 || height <= 0 || maxSide <= 0)
        return;
    const int longest = std::max(width, height);
    if (longest <= maxSide) {
        outWidth = width;
        outHeight = height;
        return;
    }
    const double scale = static_cast<double>(maxSide) / longest;
    outWidth = std::clamp(static_cast<int>(width * scale), 1, maxSide);
    outHeight = std::clamp(static_cast<int>(height * scale), 1, maxSide);
}

void pmSphereTextureSize(int width, int height, double windowWidth, double windowHeight, int viewportHeight,
                         double fieldOfView, int maxSide, int& outWidth, int& outHeight)
{
    outWidth = outHeight = 0;
    if (width <= 0 || height <= 0)
        return;
    double scale = 1;
    if (viewportHeight > 0 && windowWidth > 0 && windowHeight > 0 && fieldOfView > 0 && fieldOfView < 180) {
        // Pixels per radian in the middle of the viewport.
        const double focal = viewportHeight / 2.0 / std::tan(fieldOfView * kPi / 360);
        // The picture's window goes once around (2 pi) and once from pole to pole (pi).
        const double needed =
            std::max(2 * kPi * focal / (windowWidth * width), kPi * focal / (windowHeight * height));
        scale = std::min(1.0, std::ceil(needed * 64) / 64);
    }
    const int w = std::clamp(static_cast<int>(std::ceil(width * scale)), 1, width);
    const int h = std::clamp(static_cast<int>(std::ceil(height * scale)), 1, height);
    pmFitTextureSize(w, h, maxSide, outWidth, outHeight);
}
