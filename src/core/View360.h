#pragma once
// The arithmetic of the 360-degree view, with no window and no OpenGL: the
// sphere the picture is laid on, the camera's rotation, the three ways a
// recording lays its picture out for the eyes, the turning rules of the
// direction pad, mouse and head tracker, and the direction pad's layout.
//
// Design notes
// - Matrices act on column vectors (p' = M p), like QMatrix4x4. The camera
//   turns roll first, then pitch, then yaw: M = Ry(yaw) Rx(pitch) Rz(roll), so
//   pitch tilts about the already-yawed horizontal axis and the horizon stays
//   level however far the viewer has turned.
// - Positive yaw turns the view to the left (about +y), positive pitch up
//   (about +x); the camera looks along -z.
// - The sphere's own texture coordinate u runs counter-clockwise seen from
//   above, starting at -z. The picture is laid on it mirrored (u -> -u, the
//   texture repeated) because it is seen from inside, and the sphere turned by
//   the projection's rotation about y; with the regular projection the centre
//   column of an equirectangular picture is then straight ahead and its right
//   half to the right.
#include "core/Frame.h"

#include <cstdint>
#include <string>
#include <vector>

struct View360Matrix {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    View360Matrix operator*(const View360Matrix& o) const;
    // The matrix applied to the point or direction (x, y, z, w).
    void map(double x, double y, double z, double w, double out[3]) const;
};

// A rotation of `degrees` about the axis (x, y, z), right-handed.
View360Matrix pmRotationMatrix(double degrees, double x, double y, double z);
// Starting from the identity: roll about (0, 0, 1), then pitch about (1, 0, 0),
// then yaw about (0, 1, 0); the camera's transform.
View360Matrix pmCameraTransform(double roll, double pitch, double yaw);

// The view's turn in degrees. Pitch stays within [-60, 60]; yaw is not
// limited; roll is kept but nothing turns it yet.
struct View360Rotation {
    static constexpr double kPitchLimit = 60.0;
    static constexpr double kDpadStep = 20.0;
    static constexpr double kDragDegreesPerPoint = 0.3;
    static constexpr double kTrackerDegreesPerUnit = 0.00003125; // 1 / 32000

    double roll = 0;
    double pitch = 0;
    double yaw = 0;

    // Direction pad commands 19 up (pitch +20), 20 down (pitch -20), 21 left
    // (yaw +20), 22 right (yaw -20), 23 reset. False for any other command,
    // which changes nothing.
    bool applyDpad(int command);
    void reset();
    // A mouse drag by (dx, dy) points, dy growing downwards: the picture
    // follows the pointer.
    void drag(double dx, double dy);
    // One head-tracker report's yaw and pitch readings; roll is not applied.
    void applyTracker(int yawReading, int pitchReading);
    void clampPitch();
};

struct SphereMesh {
    // x, y, z, u, v per vertex; u around (0..1), v from the top (0) to the bottom (1).
    std::vector<float> vertices;
    std::vector<uint32_t> indices; // triangles, counter-clockwise seen from outside
    int vertexCount() const { return static_cast<int>(vertices.size() / 5); }
};

// A sphere of the given radius, `segments` steps around and `segments` / 2
// from pole to pole (at least 3 and 2). Null mesh for a radius or segment
// count that is not positive.
SphereMesh pmMakeSphereMesh(float radius, int segments);
// The triangles of pmMakeSphereMesh(radius, segments) over every `step`-th
// column and ring of its vertices: the same sphere in fewer, larger
// triangles, wound the same way (step 1 gives the mesh's own). Empty unless
// step divides both counts.
std::vector<uint32_t> pmSphereMeshIndices(int segments, int step);
// The coarsest such step (a power of two) with which the picture laid on the
// sphere, seen from its centre by a camera of `focalPixels` pixels a radian,
// lands at most maxPixels from where the true sphere would show it. A flat
// triangle's texture coordinates stray most near the poles, by about a
// quarter of the square of its side's angle. 1 for anything unusable.
int pmSphereMeshStep(int segments, double focalPixels, double maxPixels);
// The point of the unit sphere with texture coordinate (u, v).
void pmSphereDirection(double u, double v, double out[3]);

// How a recording lays its picture out for one or two eyes.
enum class View360Projection { Regular360 = 0, Stacked360 = 1, SideBySide180 = 2 };

struct EyeLayer {
    PmFrame frame;         // the eye layer within the surface (bottom-left origin)
    int pictureShiftX = 0; // the picture moved left by this many points
    bool masked = false;   // only `mask` of the picture shows
    PmFrame mask;
};

// "2D 360° Regular", "3D 360° Horizontal (Stacked)", "3D 180° Vertical (Side By Side)".
const char* pmProjectionName(View360Projection projection);
// The eye layer of eye 1 or any other eye for a surface of width x height.
EyeLayer pmEyeLayer(View360Projection projection, int eye, int width, int height);
// The sphere's turn about the vertical axis: pi, or pi / 2 side by side.
double pmProjectionRotationRadians(View360Projection projection);

// The direction pad's cross for a view `width` points wide, 24 x 24 buttons
// with the bottom-left origin.
struct DpadLayout {
    PmFrame up, down, left, right, reset;
};
DpadLayout pmDpadLayout(int width);

// The largest size within maxSide x maxSide with the same shape as
// (width, height), never larger than it; (0, 0) for an empty size.
void pmFitTextureSize(int width, int height, int maxSide, int& outWidth, int& outHeight);

// The size of the texture a width x height picture is drawn into before it
// is laid on the sphere, for an eye viewport `viewportHeight` pixels tall
// seen through a vertical field of view of `fieldOfView` degrees, when the
// eye sees the part (windowWidth, windowHeight) of the picture (fractions, 1
// for all of it) around the whole sphere. The texture needs no more texels
// per degree than the viewport has pixels per degree in its middle: the
// picture is scaled down to that (never up), in steps of 1/64 so that a
// window being resized does not remake the texture at every step, then
// fitted within maxSide. A viewport of no height gets the whole picture.
void pmSphereTextureSize(int width, int height, double windowWidth, double windowHeight, int viewportHeight,
                         double fieldOfView, int maxSide, int& outWidth, int& outHeight);
