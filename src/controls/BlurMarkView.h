#pragma once
// The clip window's picture for marking areas to blur: the frame at the
// chosen moment, scaled to fit, the areas shown at that moment drawn over
// it, and a rectangle dragged with the mouse handed on in the picture's own
// pixels (clamped into it). It keeps no areas of its own: the window gives
// it what to draw. Main thread only.
#include <QImage>
#include <QRect>
#include <QVector>
#include <QWidget>

class BlurMarkView : public QWidget
{
    Q_OBJECT
public:
    explicit BlurMarkView(QWidget* parent = nullptr);

    // The frame shown; a null image shows `note` instead.
    void setFrame(const QImage& frame, const QString& note = {});
    const QImage& frame() const { return m_frame; }
    // Rectangles in the picture's pixels; `selected` is drawn apart, -1 none.
    void setRects(const QVector<QRect>& rects, int selected);
    // Where a rectangle of the picture lies in the widget (for a test's drag).
    QRect toWidget(const QRect& picture) const;

Q_SIGNALS:
    void rectDrawn(const QRect& picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override { return {480, 270}; }

private:
    QRectF shownArea() const;
    QPoint toPicture(const QPointF& at) const;
    QImage m_frame;
    QString m_note;
    QVector<QRect> m_rects;
    int m_selected = -1;
    bool m_dragging = false;
    QPoint m_from, m_to; // in the picture's pixels
};
