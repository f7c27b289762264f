#include "views/EyeView.h"

#include "core/Log.h"

#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace
{

// A texture larger than this on either side is not asked for before GL has
// told its own limit.
constexpr int kDefaultTextureLimit = 4096;

// The picture is seen from inside the sphere, so it is mirrored (u -> 1 - u,
// which over the mesh's 0..1 is u -> -u with the texture repeated); `window`
// picks the part of the frame this eye sees. Both are linear in u and v, so
// they are worked out per vertex: interpolated, they give each pixel what it
// would compute itself, and software OpenGL saves that work on every pixel.
const char* kVertexShader = R"(
attribute highp vec3 position;
attribute highp vec2 texcoord;
uniform highp mat4 mvp;
uniform highp vec4 window;
varying highp vec2 uv;
void main()
{
    uv = window.xy + vec2(1.0 - texcoord.x, texcoord.y) * window.zw;
    gl_Position = mvp * vec4(position, 1.0);
}
)";

const char* kFragmentShader = R"(
uniform sampler2D frame;
varying highp vec2 uv;
void main()
{
    gl_FragColor = texture2D(frame, uv);
}
)";

QMatrix4x4 toQt(const View360Matrix& m)
{
    QMatrix4x4 q;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            q(row, col) = static_cast<float>(m.m[row][col]);
    return q;
}

} // namespace

EyeView::EyeView(QSize frame) : m_mesh(pmMakeSphereMesh(kRadius, kSegments))
{
    if (frame.isValid())
        setEyeLayer(QRect(QPoint(0, 0), frame), frame);
    m_sphereTransform.rotate(180.0f, 0, 1, 0);
    applyCameraTransform();
}

EyeView::~EyeView()
{
    releaseGL();
}

void EyeView::setContents(QSize pictureSize)
{
    m_contents = pictureSize.isValid() ? pictureSize : QSize();
}

void EyeView::setProjectionTransform(const QMatrix4x4& transform)
{
    m_sphereTransform = transform;
}

void EyeView::setYaw(double degrees)
{
    m_rotation.yaw = degrees;
    applyCameraTransform();
}

void EyeView::setPitch(double degrees)
{
    m_rotation.pitch = degrees;
    applyCameraTransform();
}

void EyeView::setRoll(double degrees)
{
    m_rotation.roll = degrees;
    applyCameraTransform();
}

void EyeView::applyCameraTransform()
{
    m_camera = toQt(pmCameraTransform(m_rotation.roll, m_rotation.pitch, m_rotation.yaw));
}

void EyeView::setEyeLayer(const QRect& frame, QSize surface)
{
    m_eyeFrame = frame;
    m_eyeSurface = surface;
}

void EyeView::setPictureWindow(const QRectF& window)
{
    m_pictureWindow = window;
}

void EyeView::releaseEye()
{
    m_mesh = SphereMesh();
    m_rotation.reset();
    applyCameraTransform();
    m_steps.clear();
}

QSize EyeView::frameSize(QSize targetPixels) const
{
    // Software OpenGL spends most of a frame writing and reading this texture:
    // it is no finer than the screen shows it in the middle of the view.
    int w = 0, h = 0;
    pmSphereTextureSize(m_contents.width(), m_contents.height(), m_pictureWindow.width(),
                        m_pictureWindow.height(), viewport(targetPixels).height(), kFieldOfView,
                        m_maxTextureSize > 0 ? m_maxTextureSize : kDefaultTextureLimit, w, h);
    return QSize(w, h);
}

QRect EyeView::viewport(QSize target) const
{
    // The eye layer is given in points of a surface with the origin at the
    // bottom left, which is GL's own origin: only the scale changes.
    if (m_eyeFrame.isEmpty() || m_eyeSurface.isEmpty())
        return QRect(QPoint(0, 0), target);
    const double sx = static_cast<double>(target.width()) / m_eyeSurface.width();
    const double sy = static_cast<double>(target.height()) / m_eyeSurface.height();
    return QRect(qRound(m_eyeFrame.x() * sx), qRound(m_eyeFrame.y() * sy), qRound(m_eyeFrame.width() * sx),
                 qRound(m_eyeFrame.height() * sy));
}

bool EyeView::ensureGL()
{
    if (m_glFailed || m_mesh.indices.empty())
        return false;
    if (m_program)
        return true;
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (!ctx)
        return false;
    GLint limit = 0;
    ctx->functions()->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    m_maxTextureSize = limit > 0 ? limit : kDefaultTextureLimit;

    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) ||
        (program->bindAttributeLocation("position", 0), program->bindAttributeLocation("texcoord", 1),
         !program->link())) {
        pmWriteLog(("EyeView - the sphere cannot be drawn, the picture is shown flat - " +
                    program->log().simplified())
                       .toStdString());
        m_glFailed = true;
        return false;
    }
    // The mesh's vertices fit 16-bit indices (241 x 121 at 240 segments).
    // The index buffer holds the mesh's triangles over every vertex, then
    // over every second, fourth... ring and column, for smaller views.
    std::vector<quint16> indices;
    const bool shortIndices = m_mesh.vertexCount() <= 65536;
    m_vertices = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
    m_indices = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::IndexBuffer);
    if (!shortIndices || !m_vertices->create() || !m_indices->create()) {
        pmWriteLog("EyeView - the sphere cannot be drawn, the picture is shown flat - no buffers");
        m_vertices.reset();
        m_indices.reset();
        m_glFailed = true;
        return false;
    }
    m_steps.clear();
    for (int step = 1;; step *= 2) {
        const std::vector<uint32_t> part = step == 1 ? m_mesh.indices : pmSphereMeshIndices(kSegments, step);
        if (part.empty())
            break;
        m_steps.push_back({step, static_cast<int>(indices.size()), static_cast<int>(part.size())});
        indices.insert(indices.end(), part.begin(), part.end());
    }
    m_vertices->bind();
    m_vertices->allocate(m_mesh.vertices.data(), static_cast<int>(m_mesh.vertices.size() * sizeof(float)));
    m_vertices->release();
    m_indices->bind();
    m_indices->allocate(indices.data(), static_cast<int>(indices.size() * sizeof(quint16)));
    m_indices->release();
    m_program = std::move(program);
    return true;
}

void EyeView::draw(unsigned int texture, QSize textureSize, unsigned int fbo, QSize targetPixels)
{
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (!ctx || targetPixels.isEmpty())
        return;
    QOpenGLFunctions* gl = ctx->functions();
    if (!ensureGL()) {
        drawFlat(texture, textureSize, fbo, targetPixels);
        return;
    }
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl->glViewport(0, 0, targetPixels.width(), targetPixels.height());
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    const QRect port = viewport(targetPixels);
    if (port.isEmpty())
        return;
    gl->glViewport(port.x(), port.y(), port.width(), port.height());

    QMatrix4x4 mvp;
    mvp.perspective(kFieldOfView, static_cast<float>(port.width()) / static_cast<float>(port.height()), 0.5f,
                    kRadius * 4);
    mvp *= m_camera.inverted();
    mvp *= m_sphereTransform;

    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_BLEND);
    // Seen from inside: the sphere's outer (front) faces are not drawn.
    gl->glEnable(GL_CULL_FACE);
    gl->glCullFace(GL_FRONT);
    gl->glFrontFace(GL_CCW);
    gl->glActiveTexture(GL_TEXTURE0);
    gl->glBindTexture(GL_TEXTURE_2D, texture);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    m_program->bind();
    m_program->setUniformValue("mvp", mvp);
    m_program->setUniformValue("frame", 0);
    m_program->setUniformValue("window", QVector4D(static_cast<float>(m_pictureWindow.x()),
                                                   static_cast<float>(m_pictureWindow.y()),
                                                   static_cast<float>(m_pictureWindow.width()),
                                                   static_cast<float>(m_pictureWindow.height())));
    m_vertices->bind();
    m_indices->bind();
    m_program->enableAttributeArray(0);
    m_program->enableAttributeArray(1);
    m_program->setAttributeBuffer(0, GL_FLOAT, 0, 3, 5 * sizeof(float));
    m_program->setAttributeBuffer(1, GL_FLOAT, 3 * sizeof(float), 2, 5 * sizeof(float));
    // Small triangles cost software OpenGL dearly: the coarsest triangles
    // that put the picture within a quarter of a pixel of the true sphere.
    const double focal = port.height() / 2.0 / std::tan(qDegreesToRadians(kFieldOfView) / 2);
    const int step = pmSphereMeshStep(kSegments, focal, 0.25);
    const auto drawn =
        std::find_if(m_steps.begin(), m_steps.end(), [step](const Steps& s) { return s.step == step; });
    const Steps& use = drawn != m_steps.end() ? *drawn : m_steps.front();
    gl->glDrawElements(GL_TRIANGLES, use.count, GL_UNSIGNED_SHORT,
                       reinterpret_cast<const void*>(static_cast<quintptr>(use.first) * sizeof(quint16)));
    m_meshStep = use.step;
    m_program->disableAttributeArray(0);
    m_program->disableAttributeArray(1);
    m_indices->release();
    m_vertices->release();
    m_program->release();

    // Leave the state as mpv and Qt expect it.
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    gl->glDisable(GL_CULL_FACE);
    gl->glViewport(0, 0, targetPixels.width(), targetPixels.height());
    ++m_sphereDraws;
}

// The frame as it is, upright, when the sphere cannot be drawn.
void EyeView::drawFlat(unsigned int texture, QSize textureSize, unsigned int fbo, QSize targetPixels)
{
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    QOpenGLFunctions* gl = ctx->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl->glViewport(0, 0, targetPixels.width(), targetPixels.height());
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    auto* extra = ctx->extraFunctions();
    if (!extra || textureSize.isEmpty())
        return;
    GLuint reader = 0;
    gl->glGenFramebuffers(1, &reader);
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, reader);
    gl->glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    // The texture holds the top row first; the framebuffer's origin is the bottom.
    extra->glBlitFramebuffer(0, 0, textureSize.width(), textureSize.height(), 0, targetPixels.height(),
                             targetPixels.width(), 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl->glDeleteFramebuffers(1, &reader);
}

void EyeView::releaseGL()
{
    // Qt's GL wrappers free their objects in the current context, or know
    // that theirs is already gone with its context.
    m_vertices.reset();
    m_indices.reset();
    m_program.reset();
    m_steps.clear();
}

const std::vector<VideoPlayerViewProjectionMethod>& VideoPlayerViewProjectionMethod::allProjectionMethods()
{
    static const std::vector<VideoPlayerViewProjectionMethod> methods = [] {
        std::vector<VideoPlayerViewProjectionMethod> all;
        for (View360Projection kind : {View360Projection::Regular360, View360Projection::Stacked360,
                                       View360Projection::SideBySide180}) {
            VideoPlayerViewProjectionMethod m;
            m.kind = kind;
            m.name = QString::fromUtf8(pmProjectionName(kind));
            m.eyeLayerHandler = [kind](EyeView* eyeView, int eye, QSize size) {
                if (!eyeView)
                    return;
                const EyeLayer layer = pmEyeLayer(kind, eye, size.width(), size.height());
                eyeView->setEyeLayer(
                    QRect(layer.frame.x, layer.frame.y, layer.frame.width, layer.frame.height), size);
                // The part of the picture this eye sees, in texture coordinates.
                QRectF window(0, 0, 1, 1);
                if (kind == View360Projection::Stacked360)
                    window = eye == 1 ? QRectF(0, 0, 1, 0.5) : QRectF(0, 0.5, 1, 0.5);
                else if (kind == View360Projection::SideBySide180)
                    window = layer.masked ? QRectF(0, 0, 0.5, 1) : QRectF(0.5, 0, 0.5, 1);
                eyeView->setPictureWindow(window);
                QMatrix4x4 turn;
                turn.rotate(static_cast<float>(qRadiansToDegrees(pmProjectionRotationRadians(kind))), 0, 1,
                            0);
                eyeView->setProjectionTransform(turn);
            };
            all.push_back(m);
        }
        return all;
    }();
    return methods;
}
