#pragma once
// The 360-degree view of one eye: the current video frame laid on the inside
// of a sphere (radius 60, 240 segments) and seen by a camera at its centre
// with a 90-degree vertical field of view. It is the render widget's
// projection: the widget hands it each frame as a texture and it draws the
// sphere into the widget's framebuffer.
//
// Design notes
// - The arithmetic (mesh, camera order, eye layers) is core/View360; this
//   class only keeps the state and draws it.
// - GL objects are made on the first draw and freed by releaseGL(), which the
//   render widget calls with its GL context current (projection replaced,
//   renderer freed, context lost). releaseEye() drops the mesh as well.
// - The frame texture is at most the GL limit on each side, and no finer than
//   the middle of the view shows it (a 1920-pixel-wide picture seen 540
//   pixels tall needs about 1700 texels around): mpv scales the picture down
//   as it draws into it.
// - A small view draws the sphere with every second (fourth...) ring and
//   column of the mesh: software OpenGL pays for every small triangle, and
//   the picture still lands within a quarter of a pixel of the true sphere.
// - Should the sphere's shader not build, the frame is drawn flat instead,
//   with one log line.
//
// Must run on the main thread.
#include "core/View360.h"
#include "views/VideoRenderWidget.h"

#include <QMatrix4x4>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QOpenGLShaderProgram;
class QOpenGLBuffer;

class EyeView final : public VideoProjection
{
public:
    static constexpr float kRadius = 60.0f;
    static constexpr int kSegments = 240;
    static constexpr float kFieldOfView = 90.0f;

    // A view for an eye layer of this size (the mesh is built here).
    explicit EyeView(QSize frame = QSize());
    ~EyeView() override;

    // The picture laid on the sphere: its size in pixels (the texture's size
    // follows it). The texture is mirrored horizontally and repeated.
    void setContents(QSize pictureSize);
    QSize contents() const { return m_contents; }

    // The sphere's transform (the projection method's turn).
    void setProjectionTransform(const QMatrix4x4& transform);
    QMatrix4x4 projectionTransform() const { return m_sphereTransform; }

    // Degrees; each stores and re-applies the camera.
    void setYaw(double degrees);
    void setPitch(double degrees);
    void setRoll(double degrees);
    double yaw() const { return m_rotation.yaw; }
    double pitch() const { return m_rotation.pitch; }
    double roll() const { return m_rotation.roll; }
    void applyCameraTransform();
    QMatrix4x4 cameraTransform() const { return m_camera; }

    // The eye layer within the render target (bottom-left origin, points of a
    // surface of layerSurface size), and the part of the picture this eye
    // sees (texture coordinates, top-left origin). Set by a projection method.
    void setEyeLayer(const QRect& frame, QSize surface);
    QRect eyeLayerFrame() const { return m_eyeFrame; }
    void setPictureWindow(const QRectF& window);
    QRectF pictureWindow() const { return m_pictureWindow; }

    // Drops the mesh and the camera state; GL objects go at the next releaseGL().
    void releaseEye();
    bool isReleased() const { return m_mesh.indices.empty(); }

    // VideoProjection.
    QSize frameSize(QSize targetPixels) const override;
    void draw(unsigned int texture, QSize textureSize, unsigned int fbo, QSize targetPixels) override;
    void releaseGL() override;

    // Sphere draws since creation, and the step between the mesh's rings and
    // columns that the last one used (tests).
    int sphereDraws() const { return m_sphereDraws; }
    int meshStep() const { return m_meshStep; }

private:
    bool ensureGL();
    void drawFlat(unsigned int texture, QSize textureSize, unsigned int fbo, QSize targetPixels);
    QRect viewport(QSize targetPixels) const;

    SphereMesh m_mesh;
    View360Rotation m_rotation;
    QMatrix4x4 m_camera;
    QMatrix4x4 m_sphereTransform;
    QSize m_contents;
    QRect m_eyeFrame;
    QSize m_eyeSurface;
    QRectF m_pictureWindow{0, 0, 1, 1};

    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::unique_ptr<QOpenGLBuffer> m_vertices;
    std::unique_ptr<QOpenGLBuffer> m_indices;
    struct Steps {
        int step = 1;  // every step-th ring and column of the mesh
        int first = 0; // in the index buffer
        int count = 0;
    };
    std::vector<Steps> m_steps; // finest first
    int m_meshStep = 0;
    int m_maxTextureSize = 0; // read from GL on the first draw
    bool m_glFailed = false;
    int m_sphereDraws = 0;
};

// How a 360-degree recording lays its picture out for the eyes: a name and
// the handler that sets an eye view up for eye 1 (left or only) or 2, for a
// surface of the given size.
struct VideoPlayerViewProjectionMethod {
    QString name;
    View360Projection kind = View360Projection::Regular360;
    std::function<void(EyeView* eyeView, int eye, QSize size)> eyeLayerHandler;

    // The three methods, made once and shared: regular first.
    static const std::vector<VideoPlayerViewProjectionMethod>& allProjectionMethods();
};
