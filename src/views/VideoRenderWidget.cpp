#include "views/VideoRenderWidget.h"

#include "views/MpvPlayer.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions>
#include <QWindow>
#include <QtGlobal>
#include <new>

namespace
{

void* glProcAddress(void*, const char* name)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(QByteArray(name))) : nullptr;
}

} // namespace

VideoRenderWidget::VideoRenderWidget(QWidget* parent) : QOpenGLWidget(parent) {}

VideoRenderWidget::~VideoRenderWidget()
{
    // QOpenGLWidget's own destructor destroys the context, which would call
    // onContextLost on an object whose part of this class is already gone:
    // stop listening and free the renderer here, while the context lives.
    if (QOpenGLContext* ctx = context())
        QObject::disconnect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, nullptr);
    detach();
}

bool VideoRenderWidget::ensureInitialised()
{
    if (!m_initialised)
        grabFramebuffer(); // creates the context and framebuffer of a widget never shown yet
    return m_initialised;
}

bool VideoRenderWidget::isInitialised() const
{
    return m_initialised;
}

bool VideoRenderWidget::attach(MpvPlayer* player)
{
    detach();
    if (!player || !player->isOpen() || !ensureInitialised())
        return false;
    m_player = player;
    connect(player, &MpvPlayer::renderUpdate, this, &VideoRenderWidget::onRenderUpdate);
    // The render context must go before the handle, whoever closes the player.
    connect(player, &MpvPlayer::closing, this, &VideoRenderWidget::detach);
    makeCurrent();
    const bool created = createRenderContext();
    doneCurrent();
    return created;
}

void VideoRenderWidget::detach()
{
    freeRenderContext();
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = nullptr;
    m_rendererLost = false;
    m_framePending = false;
}

bool VideoRenderWidget::isAttached() const
{
    return m_render != nullptr;
}

bool VideoRenderWidget::isSoftwareRendered() const
{
    return m_render && m_render->isSoftware();
}

void VideoRenderWidget::setProjection(std::unique_ptr<VideoProjection> projection)
{
    // The frame texture stays: it holds the picture while the renderer is
    // replaced.
    if (m_projection) {
        makeCurrent();
        m_projection->releaseGL();
        m_projection.reset();
        doneCurrent();
    }
    m_projection = std::move(projection);
    // Another projection wants the frame drawn again; the flat picture may
    // need the texture as it is meanwhile.
    m_frameTargetFilled = m_frameTargetFilled && m_frameTexture && !m_projection;
    update();
}

bool VideoRenderWidget::wantsSoftwareRenderer() const
{
    // The software renderer's pixels are uploaded as GL_BGRA, which OpenGL ES
    // lacks; there mpv's OpenGL renderer draws into the texture instead.
    return m_projection && !m_softwareFailed && context() && !context()->isOpenGLES();
}

// The flat picture and the projection want different renderers, and mpv
// takes one at a time. Freeing the one in use would make mpv drop the video
// track (and end a file without sound): its video output is switched off
// first, the renderer replaced, then the output switched on again. Meanwhile
// mpv has no frame: the texture keeps the last picture on the screen.
void VideoRenderWidget::requestRendererSwitch()
{
    if (m_switchRequested || !m_render || !m_player || m_render->isSoftware() == wantsSoftwareRenderer())
        return;
    m_switchRequested = true;
    m_player->setVideoOutput(false, [self = QPointer<VideoRenderWidget>(this), player = m_player] {
        if (self && self->m_player == player)
            self->replaceRenderContext();
    });
}

// Called with mpv's video output off.
void VideoRenderWidget::replaceRenderContext()
{
    if (!m_switchRequested || !m_render || !m_player)
        return; // detached meanwhile
    m_switchRequested = false;
    if (m_render->isSoftware() != wantsSoftwareRenderer()) {
        makeCurrent();
        m_render.reset();
        const bool created = createRenderContext();
        doneCurrent();
        if (!created) {
            qWarning("VideoRenderWidget: mpv render context failed, playing without picture");
            update();
            return;
        }
    }
    m_awaitingFirstFrame = true;
    m_player->setVideoOutput(true);
    update();
}

VideoProjection* VideoRenderWidget::projection() const
{
    return m_projection.get();
}

qint64 VideoRenderWidget::renderedFrameCount() const
{
    return m_renderedFrames;
}

void VideoRenderWidget::resetRenderedFrameCount()
{
    m_renderedFrames = 0;
    m_framePending = false;
}

// With the widget's GL context current.
bool VideoRenderWidget::createRenderContext()
{
    if (!m_player)
        return false;
    if (wantsSoftwareRenderer()) {
        m_render = m_player->createSoftwareRenderContext();
        m_softwareFailed = !m_render;
    }
    if (!m_render)
        m_render = m_player->createRenderContext(glProcAddress, nullptr);
    return m_render != nullptr;
}

// With the widget's GL context current.
void VideoRenderWidget::freeFrameTexture()
{
    QOpenGLFunctions* gl = m_frameTexture || m_frameFbo ? context()->functions() : nullptr;
    if (m_frameFbo)
        gl->glDeleteFramebuffers(1, &m_frameFbo);
    if (m_frameTexture)
        gl->glDeleteTextures(1, &m_frameTexture);
    m_frameFbo = 0;
    m_frameTexture = 0;
    m_frameTextureSize = QSize();
    m_pixels.reset();
    m_pixelsCapacity = 0;
    m_frameTargetFilled = false;
}

// With the widget's GL context current: a texture of the given size (its
// contents undefined when it is new), and a framebuffer that draws into it.
bool VideoRenderWidget::prepareFrameTexture(QSize size)
{
    QOpenGLFunctions* gl = context()->functions();
    if (m_frameTexture && m_frameTextureSize == size)
        return true;
    if (!m_frameTexture)
        gl->glGenTextures(1, &m_frameTexture);
    if (!m_frameFbo)
        gl->glGenFramebuffers(1, &m_frameFbo);
    gl->glBindTexture(GL_TEXTURE_2D, m_frameTexture);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Without alpha: the software renderer leaves its fourth byte undefined,
    // and the picture must stay opaque whichever renderer filled it.
    const bool es = context()->isOpenGLES();
    gl->glTexImage2D(GL_TEXTURE_2D, 0, es ? GL_RGBA : GL_RGB8, size.width(), size.height(), 0,
                     es ? GL_RGBA : GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, m_frameFbo);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_frameTexture, 0);
    const bool complete = gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    m_frameTargetFilled = false;
    if (!complete) {
        freeFrameTexture(); // too large for this GL, or out of memory
        return false;
    }
    m_frameTextureSize = size;
    return true;
}

// With the widget's GL context current and the texture prepared: mpv draws
// its current frame into it, top row first. False when out of memory.
bool VideoRenderWidget::fillFrameTexture()
{
    const QSize size = m_frameTextureSize;
    if (!m_render->isSoftware()) {
        m_render->render(m_frameFbo, size, false, false);
        context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
        return true;
    }
    // Rows of a multiple of 64 bytes from a 64-byte boundary: mpv's
    // converters take their fast path there.
    constexpr size_t kAlign = 64;
    const size_t stride = (static_cast<size_t>(size.width()) * 4 + kAlign - 1) / kAlign * kAlign;
    const size_t bytes = stride * static_cast<size_t>(size.height()) + kAlign;
    if (bytes > m_pixelsCapacity) {
        m_pixels.reset(new (std::nothrow) unsigned char[bytes]);
        m_pixelsCapacity = m_pixels ? bytes : 0;
    }
    if (!m_pixels)
        return false;
    const auto address = reinterpret_cast<quintptr>(m_pixels.get());
    unsigned char* pixels = m_pixels.get() + (kAlign - address % kAlign) % kAlign;
    m_render->renderSoftware(size, pixels, stride, false);
    QOpenGLFunctions* gl = context()->functions();
    gl->glBindTexture(GL_TEXTURE_2D, m_frameTexture);
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(stride / 4));
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_BGRA, GL_UNSIGNED_BYTE,
                        pixels);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

// With the widget's GL context current: the texture as it is, upright and
// stretched over the target (black without one).
void VideoRenderWidget::drawFrameTextureFlat(QSize target)
{
    QOpenGLFunctions* gl = context()->functions();
    gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    gl->glViewport(0, 0, target.width(), target.height());
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    QOpenGLExtraFunctions* extra = context()->extraFunctions();
    if (!m_frameTexture || !m_frameTargetFilled || !extra || target.isEmpty())
        return;
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_frameFbo);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, defaultFramebufferObject());
    // The texture holds the top row first; the framebuffer's origin is the bottom.
    extra->glBlitFramebuffer(0, 0, m_frameTextureSize.width(), m_frameTextureSize.height(), 0,
                             target.height(), target.width(), 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
}

// The renderer's GL objects live in the widget's context: freed there.
void VideoRenderWidget::freeRenderContext()
{
    m_switchRequested = false;
    m_awaitingFirstFrame = false;
    if (!m_render && !m_frameTexture && !m_projection)
        return;
    makeCurrent();
    m_render.reset();
    freeFrameTexture();
    if (m_projection)
        m_projection->releaseGL();
    doneCurrent();
}

void VideoRenderWidget::initializeGL()
{
    m_initialised = context() && context()->isValid();
    if (!m_initialised)
        return;
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &VideoRenderWidget::onContextLost,
            Qt::DirectConnection);
    // A new context after the old one went under a live player.
    if (!m_rendererLost || m_render || !m_player || !m_player->isOpen())
        return;
    m_rendererLost = false;
    if (createRenderContext())
        m_player->reloadVideo();
}

void VideoRenderWidget::onContextLost()
{
    if (!m_render) {
        if (m_projection || m_frameTexture) {
            makeCurrent();
            freeFrameTexture();
            if (m_projection)
                m_projection->releaseGL();
            doneCurrent();
        }
        return;
    }
    freeRenderContext(); // mpv then drops its video output
    m_rendererLost = true;
}

void VideoRenderWidget::onRenderUpdate()
{
    if (!m_render || !m_render->takeNewFrame())
        return;
    m_framePending = true;
    // Until the video output is off, the texture keeps the frame drawn
    // last: mpv may forget this one before it is drawn.
    if (!m_switchRequested) {
        m_frameTargetFilled = false;
        m_awaitingFirstFrame = false;
    }
    QWindow* window = this->window()->windowHandle();
    // A widget of no size is never painted either.
    if (isVisible() && window && window->isExposed() && !size().isEmpty()) {
        update();
        return;
    }
    makeCurrent();
    drawFrame();
    doneCurrent();
}

void VideoRenderWidget::paintGL()
{
    drawFrame();
}

// Lets mpv go on to the next frame without drawing this one.
void VideoRenderWidget::takeFrame()
{
    if (m_render->isSoftware())
        m_render->renderSoftware(QSize(), nullptr, 0, true);
    else
        m_render->render(defaultFramebufferObject(), QSize(), false, true);
}

QSize VideoRenderWidget::pixelSize() const
{
    const qreal dpr = devicePixelRatioF();
    return QSize(qRound(width() * dpr), qRound(height() * dpr));
}

// With the widget's GL context current.
void VideoRenderWidget::drawFrame()
{
    if (!m_render) {
        QOpenGLFunctions* gl = context()->functions();
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const QSize target = pixelSize();
    // While the renderer is replaced mpv has no frame to draw: the texture
    // shows the picture drawn last.
    const bool holdPicture = m_switchRequested || m_awaitingFirstFrame;
    // mpv's video output waits for its frame to be taken, and cannot be
    // switched off before.
    if (m_switchRequested && m_framePending)
        takeFrame();
    // A picture of no size is not drawn, but the frame is still taken from mpv,
    // which otherwise waits for it before decoding the next.
    if (m_projection) {
        const QSize size = m_projection->frameSize(target);
        if (size.isEmpty() || !prepareFrameTexture(size)) {
            if (!holdPicture)
                takeFrame();
        } else {
            // A repaint without a new frame (the view turned) reuses the texture.
            if (!m_frameTargetFilled && !holdPicture)
                m_frameTargetFilled = fillFrameTexture();
            if (!m_frameTargetFilled && !holdPicture) {
                takeFrame();
            } else {
                context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
                m_projection->draw(m_frameTexture, size, defaultFramebufferObject(), target);
            }
        }
    } else if (holdPicture || m_render->isSoftware()) {
        // The software renderer before it is replaced: its frame through the texture.
        if (!holdPicture && !m_frameTargetFilled) {
            if (prepareFrameTexture(m_frameTexture ? m_frameTextureSize : target))
                m_frameTargetFilled = fillFrameTexture();
            if (!m_frameTargetFilled)
                takeFrame();
        }
        drawFrameTextureFlat(target);
    } else {
        if (m_frameTexture)
            freeFrameTexture(); // the flat picture needs none
        // The widget's framebuffer has OpenGL's origin at the bottom left.
        m_render->render(defaultFramebufferObject(), target, true, target.isEmpty());
    }
    // Once the texture holds the picture (or nothing newer can be drawn into
    // it), the renderer can be replaced.
    if (!m_projection || m_frameTargetFilled || holdPicture)
        requestRendererSwitch();
    if (m_framePending) {
        m_framePending = false;
        ++m_renderedFrames;
        Q_EMIT frameRendered();
    }
}
