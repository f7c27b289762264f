#pragma once
// A round spinning indicator of twelve fins, drawn in one colour (white by
// default) with fading tails.
//
// The animation runs on a timer of the main thread, not on a thread of its
// own: a widget must never be painted from another thread. Work that blocks
// the main thread keeps it turning by calling advanceIfDue() now and then.
#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class YRKSpinningProgressIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit YRKSpinningProgressIndicator(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }
    int step() const { return m_step; }

    // Steps and repaints at once when a frame is due (for callers that block the event loop).
    void advanceIfDue();

    QSize sizeHint() const override { return QSize(64, 64); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();

    static constexpr int kFinCount = 12;
    static constexpr int kFrameMsecs = 80;
    QColor m_color = Qt::white;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
    int m_step = 0;
};
