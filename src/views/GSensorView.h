#pragma once
// The G-sensor panel: a recording's graph (SensorGraphic) composed onto the
// skin's background with legend, scale labels, the white cursor at the
// playback position, and an arrow and figure per axis for the current second.
// Without a graph it shows the no-data picture of the recording kind. Time
// marks (TimeMark) are drawn over the graph at their seconds, with their texts
// as tooltips.
//
// Geometry is given with the origin at the panel's bottom left (W x H is the
// size of the skin image "G-Sensor Screen_disable.png") and converted to image
// rows where drawn. The composed background is cached; a cursor move only
// recomposes the panel picture from it.
// Must run on the main thread.
#include "controls/TimeMark.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class GSensorView : public QWidget
{
    Q_OBJECT
public:
    // Where the images come from (tests give their own); empty functions mean
    // the skin (pmLoadSkinImage) and the application images (pmLoadAppImage).
    struct ImageSource {
        std::function<QImage(const QString&)> skin;
        std::function<QImage(const QString&)> app;
    };
    // Panel size when the skin image is missing.
    static constexpr int kDefaultWidth = 350, kDefaultHeight = 212;
    // Left edge of the graph in the panel.
    static constexpr int kGraphLeft = 51;

    explicit GSensorView(QWidget* parent = nullptr, ImageSource source = ImageSource());
    ~GSensorView() override;

    // Installs a recording's graph (null: none), its kind (0, 1, 2) and scale in g.
    void setGensorGraphic(const QImage& graphic, int16_t motorType, float scale);
    // Moves the cursor to `pos` on the graph and shows the values (thousandths of g).
    void drawIndicator(int pos, int x, int y, int z);
    // The time marks over a track of `sampleCount` seconds (the graph's width
    // is the whole track); shown while a graph is installed.
    void setTimeMarks(const QList<TimeMark>& marks, int sampleCount);
    const QList<TimeMark>& timeMarks() const { return m_timeMarks; }
    // The panel's x of the mark at this second.
    int timeMarkX(int second) const;
    // Recomposes the panel picture with these values.
    void createGensorBitmap(int x, int y, int z);
    QImage getGensorBitmap() const { return poGensorBitmap.copy(); }

    QColor getXAxisColor() const { return colorXAxis; }
    QColor getYAxisColor() const { return colorYAxis; }
    QColor getZAxisColor() const { return colorZAxis; }

    // Reloads every image (skin change); the installed graph is dropped.
    void loadSkinBitmap();
    // The no-data text is left out for Korean and Arabic.
    static bool IsShowNoSensorMsg(int languageId) { return languageId != 4 && languageId != 13; }
    bool IsShowNoSensorMsg() const;

    // For the controller and tests.
    int backgroundWidth() const { return nBackgroundWidth; }
    int backgroundHeight() const { return nBackgroundHeight; }
    int indicatorPos() const { return nIndicatorPos; }
    float displayGValue() const { return fDisplayGValue; }
    int16_t motorType() const { return m_nMotorType; }
    bool hasGraphic() const { return !poGraphicBitmap.isNull(); }
    // Rectangles of the panel (bottom-left coordinates) and the same in image rows.
    QRect rectGraphicBL() const { return rectGraphic; }
    QRect valueRect(int axis, int sign) const;
    QPoint arrowPoint(int axis, int sign) const;
    QRect toImageRect(const QRect& bottomLeft) const;
    QImage arrowImage(int axis, int sign) const { return arrowBitmaps[axis][sign]; }

    QSize sizeHint() const override { return QSize(nBackgroundWidth, nBackgroundHeight); }

Q_SIGNALS:
    // The graph was clicked at this column of it (0 .. 237); only while a
    // graph is installed.
    void graphClicked(int graphX);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void loadImages();
    void xCheckArrowColor();
    void xCreateBackgroundBitmap();
    QImage xCombineBitmapWithText(const QImage& source, const QString& text) const;
    QImage skinImage(const QString& name) const;
    QImage appImage(const QString& name) const;
    QImage sized(const QImage& image) const;
    void setGeometryFields();

    ImageSource m_source;
    int nBackgroundWidth = kDefaultWidth;
    int nBackgroundHeight = kDefaultHeight;
    QString backgroundImageName = QStringLiteral("G-Sensor Screen_disable.png");
    QImage poBackgroundBitmap;
    QImage poDisableBitmap;
    QImage poGraphicBitmap;
    QImage poGensorBitmap;
    QImage arrowBitmaps[3][2]; // poXArrowBitmap, poYArrowBitmap, poZArrowBitmap
    QRect rectGraphic;
    QRect rectAxis[3];     // rectX, rectY, rectZ
    QRect rectValue[3][2]; // rectXValue, rectYValue, rectZValue
    QPoint ptArrow[3][2];  // ptXArrow, ptYArrow, ptZArrow (bottom-left)
    QRect rectMax, rectMean, rectMin;
    int nIndicatorPos = -1;
    float fDisplayGValue = 2.0f;
    QColor colorXAxis{230, 60, 60};
    QColor colorYAxis{80, 200, 80};
    QColor colorZAxis{70, 150, 240};
    QImage poDefaultUnknownBmp;
    QImage poDisableMotoBmp;
    int16_t m_nMotorType = 0;
    QList<TimeMark> m_timeMarks;
    int m_nMarkSamples = 0;
};
