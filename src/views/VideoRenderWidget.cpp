#include "views/VideoRenderWidget.h"

#include "views/MpvPlayer.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QWindow>
#include <QtGlobal>

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

void VideoRenderWidget::setProjection(std::unique_ptr<VideoProjection> projection)
{
    if (m_frameTarget || m_projection) {
        makeCurrent();
        m_frameTarget.reset();
        if (m_projection)
            m_projection->releaseGL();
        m_projection.reset();
        doneCurrent();
    }
    m_projection = std::move(projection);
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
    m_frameTargetFilled = false;
    m_render = m_player->createRenderContext(glProcAddress, nullptr);
    return m_render != nullptr;
}

// The renderer's GL objects live in the widget's context: freed there.
void VideoRenderWidget::freeRenderContext()
{
    if (!m_render && !m_frameTarget && !m_projection)
        return;
    makeCurrent();
    m_render.reset();
    m_frameTarget.reset();
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
        if (m_projection || m_frameTarget) {
            makeCurrent();
            m_frameTarget.reset();
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
    m_frameTargetFilled = false;
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
    // A picture of no size is not drawn, but the frame is still taken from mpv,
    // which otherwise waits for it before decoding the next.
    if (m_projection) {
        const QSize size = m_projection->frameSize(target);
        if (!size.isEmpty() && (!m_frameTarget || m_frameTarget->size() != size)) {
            m_frameTarget = std::make_unique<QOpenGLFramebufferObject>(size);
            m_frameTargetFilled = false;
        }
        if (size.isEmpty() || !m_frameTarget->isValid()) {
            m_render->render(defaultFramebufferObject(), QSize(), false, true);
        } else {
            // The texture keeps the picture's top row first. A repaint without
            // a new frame (the view turned) reuses it.
            if (!m_frameTargetFilled)
                m_render->render(m_frameTarget->handle(), size, false, false);
            m_frameTargetFilled = true;
            context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
            m_projection->draw(m_frameTarget->texture(), size, defaultFramebufferObject(), target);
        }
    } else {
        // The widget's framebuffer has OpenGL's origin at the bottom left.
        m_render->render(defaultFramebufferObject(), target, true, target.isEmpty());
    }
    if (m_framePending) {
        m_framePending = false;
        ++m_renderedFrames;
        Q_EMIT frameRendered();
    }
}
