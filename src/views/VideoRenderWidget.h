#pragma once
// Draws a player's picture: mpv renders each frame into this widget's
// framebuffer at device-pixel size.
//
// Design notes
// - attach() makes the render context in the widget's GL context, which is
//   initialised then even while the widget is hidden: mpv refuses to open a
//   video output without one. The context is freed with the GL context current
//   and before the player's handle (detach, or the player's closing()).
// - Qt replaces the GL context when the widget moves to another top-level
//   window. The renderer's GL objects die with the old context, so the
//   renderer goes first and comes back in the new context, with the video
//   output reopened.
// - Nobody paints a hidden widget, yet mpv waits for each frame to be drawn
//   before it decodes the next: a frame that arrives while the widget is not
//   shown is drawn into the framebuffer at once.
// - A projection, when set, takes the frame from a texture and draws it
//   itself (the 360-degree sphere); without one the picture is flat, drawn by
//   mpv's OpenGL renderer straight into the framebuffer.
//   For a projection mpv converts the frame on the CPU (its software
//   renderer) into memory that is uploaded into the texture: with software
//   OpenGL that costs about half of drawing the frame into a texture with
//   mpv's OpenGL renderer. A player has one renderer at a time, so setting or
//   dropping the projection replaces it, with mpv's video output switched off
//   meanwhile and the texture keeping the last picture on the screen. Should
//   mpv have no software renderer, its OpenGL one draws into the texture.
//   The texture is filled only when there is a new frame (or the texture is
//   new): turning the sphere repaints from the texture as it is.
//
// Must run on the main thread.
#include <QOpenGLWidget>
#include <QPointer>
#include <QSize>
#include <memory>

class MpvPlayer;
class MpvRenderContext;

// Draws a decoded frame, given as a texture, into the widget's framebuffer.
class VideoProjection
{
public:
    virtual ~VideoProjection() = default;
    // The size of the texture mpv draws the frame into, for a target of the
    // given size in device pixels.
    virtual QSize frameSize(QSize targetPixels) const = 0;
    // With the widget's GL context current and `fbo` bound.
    virtual void draw(unsigned int texture, QSize textureSize, unsigned int fbo, QSize targetPixels) = 0;
    // Frees the projection's own GL objects: called with the widget's GL
    // context current before the projection is dropped or the context goes.
    virtual void releaseGL() {}
};

class VideoRenderWidget final : public QOpenGLWidget
{
    Q_OBJECT
public:
    explicit VideoRenderWidget(QWidget* parent = nullptr);
    ~VideoRenderWidget() override;

    // Creates the GL context of a widget never shown yet; false without OpenGL.
    bool ensureInitialised();
    bool isInitialised() const;

    // Starts drawing the player's video (open, not yet loading). False when
    // no render context could be made; the player then needs vo=null.
    bool attach(MpvPlayer* player);
    // Frees the render context; the widget then draws black.
    void detach();
    bool isAttached() const;
    // Whether mpv converts the frames on the CPU (its software renderer).
    bool isSoftwareRendered() const;

    void setProjection(std::unique_ptr<VideoProjection> projection);
    VideoProjection* projection() const;

    // Frames drawn since the last reset.
    qint64 renderedFrameCount() const;
    void resetRenderedFrameCount();

Q_SIGNALS:
    // A new video frame was drawn into the framebuffer.
    void frameRendered();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    bool createRenderContext();
    bool wantsSoftwareRenderer() const;
    void requestRendererSwitch();
    void replaceRenderContext();
    void freeRenderContext();
    void freeFrameTexture();
    bool prepareFrameTexture(QSize size);
    bool fillFrameTexture();
    void drawFrameTextureFlat(QSize target);
    void takeFrame();
    void onContextLost();
    void onRenderUpdate();
    void drawFrame();
    QSize pixelSize() const;

    QPointer<MpvPlayer> m_player;
    std::unique_ptr<MpvRenderContext> m_render;
    std::unique_ptr<VideoProjection> m_projection;
    // The projection's texture: drawn into by mpv's OpenGL renderer through
    // m_frameFbo, or uploaded from m_pixels, which mpv's software renderer
    // fills.
    unsigned int m_frameTexture = 0;
    unsigned int m_frameFbo = 0;
    QSize m_frameTextureSize;
    std::unique_ptr<unsigned char[]> m_pixels;
    size_t m_pixelsCapacity = 0;
    bool m_initialised = false;
    bool m_rendererLost = false; // the GL context went away under a live player
    bool m_framePending = false;
    bool m_frameTargetFilled = false;  // m_frameTexture holds mpv's latest frame
    bool m_softwareFailed = false;     // this mpv has no software renderer
    bool m_switchRequested = false;    // mpv is switching its video output off
    bool m_awaitingFirstFrame = false; // a new renderer has not drawn yet
    qint64 m_renderedFrames = 0;
};
