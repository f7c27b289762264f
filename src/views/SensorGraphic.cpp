#include "views/SensorGraphic.h"

#include "base/Services.h"
#include "core/GpsList.h"
#include "views/GSensorView.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace
{

// The graph's y runs upwards from its bottom edge; a point at y lies in pixel
// row (height - 1 - y) of the image.
inline double rowOf(double y)
{
    return SensorGraphic::kHeight - 1 - y;
}

} // namespace

SensorGraphic createSensorGraphic(const GpsList& list, int eventIndex, const QImage& backdrop,
                                  const QColor& xColor, const QColor& yColor, const QColor& zColor)
{
    SensorGraphic out;
    const int n = list.GetDataCount();
    if (n == 0 || !list.IsGSensorReady())
        return out;

    QImage image(SensorGraphic::kWidth, SensorGraphic::kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(30, 30, 30));
    QPainter p(&image);
    if (!backdrop.isNull())
        p.drawImage(0, 0, backdrop);
    if (n < 2) {
        p.end();
        out.image = image;
        out.scale = 2.0f;
        return out;
    }

    const float maxAbs = std::max(std::fabs(list.GetMinGValue()), std::fabs(list.GetMaxGValue()));
    const float m = std::isfinite(maxAbs) ? maxAbs : 0.0f;
    const double k = m > 0 ? 2.0 / m : 1.0;
    const int mid = static_cast<int>(SensorGraphic::kHeight * 0.5); // 31
    const int half = mid / 2;                                       // 15
    const float step = static_cast<float>(SensorGraphic::kWidth) / static_cast<float>(n);

    // Whole pixels: x truncated like the event line, y rounded to the nearest
    // row, so that a value of exactly +-M lands on its row whatever the
    // rounding of the scale factor.
    QPolygon curves[3];
    for (auto& c : curves)
        c.reserve(n + 1);
    const auto& samples = list.gpslist();
    int i = 0;
    for (const GpsData& s : samples) {
        const int x = static_cast<int>(step * static_cast<float>(i));
        const float g[3] = {s.GetGValueX(), s.GetGValueY(), s.GetGValueZ()};
        for (int a = 0; a < 3; ++a) {
            // Values beyond the scale (never from a consistent track) stay on the picture's edge.
            const double y =
                std::clamp(g[a] * half * k + mid, -1.0, static_cast<double>(SensorGraphic::kHeight));
            curves[a].append(QPoint(x, static_cast<int>(std::lround(rowOf(y)))));
        }
        ++i;
    }
    for (auto& c : curves)
        c.append(QPoint(SensorGraphic::kWidth, static_cast<int>(rowOf(mid))));

    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor colors[3] = {xColor, yColor, zColor};
    for (int a = 0; a < 3; ++a) {
        p.setPen(QPen(colors[a], 1));
        p.drawPolyline(curves[a]);
    }
    if (eventIndex >= 0 && eventIndex < n) {
        const int x = static_cast<int>(step * static_cast<float>(eventIndex));
        p.setPen(QPen(Qt::red, 1));
        p.drawLine(x, 0, x, SensorGraphic::kHeight - 1);
    }
    p.end();
    out.image = image;
    out.scale = m;
    return out;
}

SensorGraphic createSensorGraphic(const GpsList& list, int eventIndex, const SensorGraphColours& colours)
{
    return createSensorGraphic(list, eventIndex,
                               pmLoadAppImage(QStringLiteral("GSensorGraphic.png")).toImage(), colours.x,
                               colours.y, colours.z);
}

SensorGraphic createSensorGraphic(const GpsList& list, int eventIndex, const GSensorView& view)
{
    return createSensorGraphic(list, eventIndex,
                               pmLoadAppImage(QStringLiteral("GSensorGraphic.png")).toImage(),
                               view.getXAxisColor(), view.getYAxisColor(), view.getZAxisColor());
}

int sensorGraphicSampleAt(int x, int sampleCount)
{
    if (sampleCount <= 0)
        return -1;
    const double step = static_cast<double>(SensorGraphic::kWidth) / sampleCount;
    const long sample = std::lround(std::clamp(x, 0, SensorGraphic::kWidth - 1) / step);
    return static_cast<int>(std::min<long>(sample, sampleCount - 1));
}
