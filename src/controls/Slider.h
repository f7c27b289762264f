#pragma once
// A horizontal slider drawn from three skin images (background, filled part,
// thumb), an optional event mark ("icon_m1.png") and any number of time marks
// (TimeMark: a wedge over the track, its text as the tooltip). Values and
// positions are 16-bit like the rest of the play bar; a drag moves the value
// by the pointer's total movement since the press, clamped to the range.
//
// Geometry is computed with the origin at the bottom left and y upward, and
// converted when painting and when reading the pointer.
// Must run on the main thread.
#include "controls/TimeMark.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

class Slider : public QWidget
{
    Q_OBJECT
public:
    explicit Slider(const QRect& frame = QRect(), QWidget* parent = nullptr);
    ~Slider() override;

    // Filled, background and thumb base names; the event mark is "icon_m1.png".
    void loadBitmaps(const QString& filled, const QString& background, const QString& thumb);
    // The same with images at hand (a null event mark keeps "icon_m1.png" from the skin).
    void setBitmapImages(const QPixmap& filled, const QPixmap& background, const QPixmap& thumb,
                         const QPixmap& eventMark = QPixmap());
    // -1 removes the mark; otherwise the mark is centred over that value.
    void setEventMarkPos(int value);
    // The time marks, at values of the slider's range; drawn where their
    // values fall, so they follow the range and the skin.
    void setTimeMarks(const QList<TimeMark>& marks);
    const QList<TimeMark>& timeMarks() const { return m_timeMarks; }
    // The centre of the mark at this value, in the widget's x.
    int timeMarkX(int value) const { return thumbXFor(clampToRange(value)) + nThumbWidth / 2; }
    void setRange(int minimum, int maximum);
    void setCurrentValue(int value);
    int getCurrentValue() const { return nCurrentValue; }
    // Thumb position for the current value (also stored as the thumb's x).
    int getCurrentPos();
    // The value's position over a 260-point span less the thumb (the G-sensor cursor).
    int getCurrentIndicatorPos();
    void setRealParent(const QString& text);
    QString realParent() const { return strParentWindow; }
    // QWidget::setEnabled gates the mouse only; the look does not change.
    void loadSkinBitmap();

    int minValue() const { return nMinValue; }
    int maxValue() const { return nMaxValue; }
    int eventPos() const { return nEventPos; }
    int thumbXPos() const { return nThumbXPos; }
    int sliderLength() const { return nSliderLength; }
    int moveGap() const { return nMoveGap; }
    bool isDragging() const { return bInDragMode; }
    int backgroundWidth() const { return nBackgroundWidth; }
    int thumbWidth() const { return nThumbWidth; }
    int thumbHeight() const { return nThumbHeight; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    int span() const { return nMaxValue - nMinValue; }
    int clampToRange(int value) const;
    int thumbXFor(int value) const;
    int drawnThumbX() const;
    void startDrag(const QPoint& pt);
    void postChange();

    QPixmap poSliderEmptyBitmap;
    QPixmap poThumbBitmap;
    QPixmap poSliderFullBitmap;
    QPixmap poEventBitmap;
    QString m_names[3]; // filled, background, thumb
    qint16 nStartValue = 0;
    qint16 nCurrentValue = 0;
    qint16 nMinValue = 0;
    qint16 nMaxValue = 10;
    qint16 nThumbXPos = 0;
    QRect rectClient;
    bool bInDragMode = false;
    qint16 nMoveGap = 1;
    qint16 nSliderLength = 0;
    qint16 nEventPos = -1;
    QPoint ptLastPoint;
    int nBackgroundWidth = 0;
    int nBackgroundHeight = 0;
    int nThumbWidth = 0;
    int nThumbHeight = 0;
    QString strParentWindow;
    bool m_bEnabled = true;
    QList<TimeMark> m_timeMarks;
};
