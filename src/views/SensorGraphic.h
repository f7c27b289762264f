#pragma once
// The G-sensor graph of one recording: a 238 x 63 picture of the three axes
// over the whole track, scaled to the largest acceleration, with a red line at
// the event's sample. Pure drawing: the track, the backdrop picture and the
// axis colours go in, the picture and its scale come out, so it can be built
// and tested without a window.
#include <QColor>
#include <QImage>

class GpsList;
class GSensorView;

struct SensorGraphic {
    static constexpr int kWidth = 238;
    static constexpr int kHeight = 63;

    // The picture (null when the track has no samples or no G-sensor data).
    QImage image;
    // The scale in g the picture is drawn to: the largest |extreme| of the
    // track, 2.0 for a one-sample track, 0 when there is no picture.
    float scale = 0;
};

// Builds the graph. `eventIndex` is the sample of the event mark, -1 for none.
// `backdrop` ("GSensorGraphic.png") is drawn first; a null backdrop leaves a
// dark field.
SensorGraphic createSensorGraphic(const GpsList& list, int eventIndex, const QImage& backdrop,
                                  const QColor& xColor, const QColor& yColor, const QColor& zColor);
// The axis colours of a graph (the G-sensor panel's, or these for none).
struct SensorGraphColours {
    QColor x = Qt::red;
    QColor y = Qt::green;
    QColor z = Qt::blue;
};
// The same with the application's backdrop, in these colours or the panel's.
SensorGraphic createSensorGraphic(const GpsList& list, int eventIndex, const SensorGraphColours& colours);
SensorGraphic createSensorGraphic(const GpsList& list, int eventIndex, const GSensorView& view);

// The sample drawn nearest the graph's column x (sample i sits at column
// i * kWidth / sampleCount); -1 when the track has no samples.
int sensorGraphicSampleAt(int x, int sampleCount);
