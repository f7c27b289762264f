// The G-sensor graph picture and the G-sensor panel, checked pixel by pixel.
#include "core/GpsList.h"
#include "views/GSensorView.h"
#include "views/SensorGraphic.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace
{

const QColor kX(250, 0, 0), kY(0, 255, 0), kZ(0, 0, 255);
const QColor kBackdrop(10, 20, 30);

QImage backdrop()
{
    QImage img(SensorGraphic::kWidth, SensorGraphic::kHeight, QImage::Format_ARGB32);
    img.fill(kBackdrop);
    return img;
}

// A G-sensor track of n samples, all on the axes' values; extremes as a parser keeps them.
GpsList gTrack(int n, float x = 0, float y = 0, float z = 0)
{
    GpsList list;
    for (int i = 0; i < n; ++i) {
        GpsData d;
        d.setSensorValue(x, y, z);
        list.InsertData(&d, -1);
        list.UpdateGExtremes(x, y, z, i);
    }
    list.setBSenser(true);
    return list;
}

// Pixel row of a graph y (bottom-up) in the image.
int row(int y)
{
    return SensorGraphic::kHeight - 1 - y;
}

bool columnHas(const QImage& img, int x, const QColor& c)
{
    for (int r = 0; r < img.height(); ++r)
        if (img.pixelColor(x, r) == c)
            return true;
    return false;
}

// Pixels of text drawn in `c` over the dark panel background: antialiased
// glyphs (whatever sans the system gives for the panel's font) may have no
// pixel of exactly `c`, so a pixel counts when it is at least half covered by
// `c` and has no other colour in it.
int countInk(const QImage& img, const QRect& r, const QColor& c, const QColor& background = QColor(3, 3, 3))
{
    const int dr = c.red() - background.red(), dg = c.green() - background.green(),
              db = c.blue() - background.blue();
    const int span = std::max({std::abs(dr), std::abs(dg), std::abs(db)});
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            const int pr = p.red() - background.red(), pg = p.green() - background.green(),
                      pb = p.blue() - background.blue();
            // Coverage along the colour's strongest channel, then every channel on the same blend.
            const double a = std::abs(dr) == span   ? double(pr) / dr
                             : std::abs(dg) == span ? double(pg) / dg
                                                    : double(pb) / db;
            if (a < 0.5 || a > 1.05)
                continue;
            if (std::abs(pr - a * dr) <= 24 && std::abs(pg - a * dg) <= 24 && std::abs(pb - a * db) <= 24)
                ++n;
        }
    return n;
}

} // namespace

TEST(SensorGraphic, CurvesScaledToTheLargestExtreme)
{
    // Extremes -1.6 (on Y) and +0.8 (on X): M = 1.6.
    GpsList list = gTrack(10, 0.8f, -1.6f, 0.0f);
    const SensorGraphic g = createSensorGraphic(list, -1, backdrop(), kX, kY, kZ);
    ASSERT_FALSE(g.image.isNull());
    EXPECT_EQ(g.image.size(), QSize(238, 63));
    EXPECT_FLOAT_EQ(g.scale, 1.6f);
    // -1.6 g lies at y = 1, +0.8 g at y = 46, 0 g on the middle line y = 31.
    EXPECT_EQ(g.image.pixelColor(50, row(1)), kY);
    EXPECT_EQ(g.image.pixelColor(50, row(46)), kX);
    EXPECT_EQ(g.image.pixelColor(50, row(31)), kZ);
    EXPECT_EQ(g.image.pixelColor(50, row(20)), kBackdrop);
    // No event line.
    EXPECT_FALSE(columnHas(g.image, 0, Qt::red));
}

TEST(SensorGraphic, FlatTrackOneSampleAndNoData)
{
    // All at 0 g: scale 0, factor 1, every curve on the middle line (Z drawn last).
    GpsList flat = gTrack(5);
    const SensorGraphic g = createSensorGraphic(flat, -1, backdrop(), kX, kY, kZ);
    EXPECT_EQ(g.scale, 0.0f);
    EXPECT_EQ(g.image.pixelColor(100, row(31)), kZ);
    EXPECT_EQ(g.image.pixelColor(100, row(30)), kBackdrop);
    EXPECT_EQ(g.image.pixelColor(100, row(32)), kBackdrop);

    // One sample: only the backdrop, scale 2.0.
    GpsList one = gTrack(1, 1.0f, 1.0f, 1.0f);
    const SensorGraphic g1 = createSensorGraphic(one, 0, backdrop(), kX, kY, kZ);
    EXPECT_EQ(g1.scale, 2.0f);
    EXPECT_EQ(g1.image, backdrop().convertToFormat(g1.image.format()));

    // No samples, or no G-sensor data: no picture.
    GpsList none;
    none.setBSenser(true);
    EXPECT_TRUE(createSensorGraphic(none, -1, backdrop(), kX, kY, kZ).image.isNull());
    GpsList noSensor = gTrack(5, 1, 1, 1);
    noSensor.setBSenser(false);
    const SensorGraphic g2 = createSensorGraphic(noSensor, -1, backdrop(), kX, kY, kZ);
    EXPECT_TRUE(g2.image.isNull());
    EXPECT_EQ(g2.scale, 0.0f);
}

TEST(SensorGraphic, EventLine)
{
    GpsList list = gTrack(120, 0.5f, 0.2f, -0.3f);
    // 238 / 120 x 40 = 79.33: column 79, full height.
    const SensorGraphic g = createSensorGraphic(list, 40, backdrop(), kX, kY, kZ);
    for (int r = 0; r < 63; ++r)
        ASSERT_EQ(g.image.pixelColor(79, r), QColor(Qt::red)) << "row " << r;
    EXPECT_NE(g.image.pixelColor(78, 5), QColor(Qt::red));
    EXPECT_NE(g.image.pixelColor(80, 5), QColor(Qt::red));
    // Index 0 (a track without an event mark) puts it on the left edge.
    EXPECT_EQ(createSensorGraphic(list, 0, backdrop(), kX, kY, kZ).image.pixelColor(0, 5), QColor(Qt::red));
}

namespace
{

// Synthetic artwork: every picture a flat colour, arrows 20 x 10 with their
// own colour at the centre.
QImage flat(int w, int h, const QColor& c)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

GSensorView::ImageSource testImages()
{
    GSensorView::ImageSource src;
    src.skin = [](const QString& name) -> QImage {
        if (name == "G-Sensor Screen_disable.png")
            return flat(350, 230, QColor(1, 1, 1));
        if (name == "G-Sensor Screen_default_d.png")
            return flat(350, 230, QColor(2, 2, 2));
        if (name == "G-Sensor Screen_bg.png")
            return flat(350, 230, QColor(3, 3, 3));
        if (name == "G-Sensor Screen_default.png")
            return flat(350, 230, QColor(4, 4, 4));
        if (name == "arrow_x1.png")
            return flat(20, 10, QColor(200, 10, 10));
        if (name == "arrow_x2.png")
            return flat(20, 10, QColor(150, 10, 10));
        if (name == "arrow_y1.png")
            return flat(20, 10, QColor(10, 200, 10));
        if (name == "arrow_y2.png")
            return flat(20, 10, QColor(10, 150, 10));
        if (name == "arrow_z1.png")
            return flat(20, 10, QColor(10, 10, 200));
        if (name == "arrow_z2.png")
            return flat(20, 10, QColor(10, 10, 150));
        return QImage();
    };
    src.app = [](const QString& name) -> QImage {
        if (name == "G-Sensor Screen_disable.png")
            return flat(350, 230, QColor(5, 5, 5));
        return QImage();
    };
    return src;
}

int countColor(const QImage& img, const QRect& r, const QColor& c)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) == c)
                ++n;
    return n;
}

} // namespace

TEST(GSensorView, NoGraphPicturesPerKind)
{
    GSensorView view(nullptr, testImages());
    EXPECT_EQ(view.backgroundWidth(), 350);
    EXPECT_EQ(view.backgroundHeight(), 230);
    EXPECT_EQ(view.getXAxisColor(), QColor(200, 10, 10));
    EXPECT_EQ(view.getZAxisColor(), QColor(10, 10, 200));

    // Kind 0: the plain default picture; a cursor move is stored but draws nothing.
    EXPECT_EQ(view.getGensorBitmap().pixelColor(5, 5), QColor(2, 2, 2));
    view.drawIndicator(100, 0, 0, 0);
    EXPECT_EQ(view.indicatorPos(), 151);
    EXPECT_EQ(view.getGensorBitmap().pixelColor(151, 30), QColor(2, 2, 2));

    // Kind 1: the application's picture with the no-data text (grey pixels in the text band).
    view.setGensorGraphic(QImage(), 1, 0);
    const QImage k1 = view.getGensorBitmap();
    EXPECT_EQ(k1.pixelColor(5, 100), QColor(5, 5, 5));
    EXPECT_GT(countColor(k1, QRect(0, 8, 350, 62), QColor(103, 103, 103)), 0);

    // Kind 2: the skin's default picture with the text.
    view.setGensorGraphic(QImage(), 2, 0);
    const QImage k2 = view.getGensorBitmap();
    EXPECT_EQ(k2.pixelColor(5, 100), QColor(2, 2, 2));
    EXPECT_GT(countColor(k2, QRect(0, 8, 350, 62), QColor(103, 103, 103)), 0);
}

TEST(GSensorView, GraphCursorArrowsAndFigures)
{
    GSensorView view(nullptr, testImages());
    QImage graph = flat(238, 63, QColor(20, 20, 20));
    view.setGensorGraphic(graph, 1, 1.6f);
    EXPECT_FLOAT_EQ(view.displayGValue(), 1.6f);
    QImage img = view.getGensorBitmap();
    // Kind 1's background, the graph at (51, H - 66 - 63 .. ) = image rows 3..65.
    EXPECT_EQ(img.pixelColor(345, 225), QColor(3, 3, 3));
    EXPECT_EQ(img.pixelColor(51, 3), QColor(20, 20, 20));
    EXPECT_EQ(img.pixelColor(288, 65), QColor(20, 20, 20));
    EXPECT_NE(img.pixelColor(51, 66), QColor(20, 20, 20));
    // Legend squares in the axis colours; scale labels drawn in white.
    EXPECT_EQ(img.pixelColor(305, 13), QColor(200, 10, 10));
    EXPECT_EQ(img.pixelColor(305, 33), QColor(10, 200, 10));
    EXPECT_EQ(img.pixelColor(305, 53), QColor(10, 10, 200));
    EXPECT_GT(countInk(img, QRect(0, 5, 46, 16), Qt::white), 0);
    EXPECT_GT(countInk(img, QRect(0, 50, 46, 16), Qt::white), 0);

    // (250, -1200, 0): X positive arrow and figure, Y negative, Z nothing.
    view.drawIndicator(100, 250, -1200, 0);
    img = view.getGensorBitmap();
    // Cursor: column 151, rows 3..65, white.
    for (int r = 3; r <= 65; ++r)
        ASSERT_EQ(img.pixelColor(151, r), QColor(Qt::white)) << r;
    EXPECT_EQ(img.pixelColor(151, 2), QColor(3, 3, 3));
    EXPECT_EQ(img.pixelColor(151, 66), QColor(3, 3, 3));
    // Arrow X1 at x 114, top 168; arrow Y2 at x 107, top 104; no Z arrow at either place.
    EXPECT_EQ(img.pixelColor(124, 173), QColor(200, 10, 10));
    EXPECT_EQ(img.pixelColor(117, 109), QColor(10, 150, 10));
    EXPECT_EQ(img.pixelColor(172, 95), QColor(3, 3, 3));
    EXPECT_EQ(img.pixelColor(172, 175), QColor(3, 3, 3));
    // Figures in the axis colour in the value rectangles (X positive, Y negative).
    EXPECT_GT(countInk(img, view.toImageRect(view.valueRect(0, 0)), QColor(200, 10, 10)), 0);
    EXPECT_EQ(countInk(img, view.toImageRect(view.valueRect(0, 1)), QColor(200, 10, 10)), 0);
    EXPECT_GT(countInk(img, view.toImageRect(view.valueRect(1, 1)), QColor(10, 200, 10)), 0);
    EXPECT_EQ(countInk(img, view.toImageRect(view.valueRect(2, 0)), QColor(10, 10, 200)), 0);
    EXPECT_EQ(countInk(img, view.toImageRect(view.valueRect(2, 1)), QColor(10, 10, 200)), 0);

    // A skin change drops the graph: back to kind 1's no-graph picture.
    view.loadSkinBitmap();
    EXPECT_FALSE(view.hasGraphic());
    EXPECT_EQ(view.getGensorBitmap().pixelColor(151, 100), QColor(5, 5, 5));
}

TEST(GSensorView, MissingArtworkStillDraws)
{
    GSensorView::ImageSource none;
    none.skin = [](const QString&) { return QImage(); };
    none.app = [](const QString&) { return QImage(); };
    GSensorView view(nullptr, none);
    EXPECT_EQ(view.backgroundWidth(), GSensorView::kDefaultWidth);
    EXPECT_FALSE(view.getGensorBitmap().isNull());
    GpsList list = gTrack(60, 1.0f, -1.0f, 0.5f);
    const SensorGraphic g = createSensorGraphic(list, 10, view);
    ASSERT_FALSE(g.image.isNull());
    view.setGensorGraphic(g.image, 1, g.scale);
    view.drawIndicator(237, -5, 5, 0);
    EXPECT_EQ(view.getGensorBitmap().pixelColor(288, 30), QColor(Qt::white));
}
