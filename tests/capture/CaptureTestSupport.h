#pragma once
// Recordings whose pictures carry their own frame number (the generator's
// seven-segment "F nnnnn" / "r nnnnn" line), and a reader for that number, so
// a test can tell exactly which frame a grab returned.
#include "MediaGen.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <algorithm>

namespace capturetest
{

inline bool makeNumberedRecording(const QString& path, mediagen::Container container, double seconds,
                                  int width, int height, int fps, bool rear = false, int gopSeconds = 2,
                                  bool h265 = false)
{
    mediagen::RecordingSpec wanted;
    wanted.container = container;
    wanted.seconds = seconds;
    wanted.width = width;
    wanted.height = height;
    wanted.fps = fps;
    wanted.rear = rear;
    wanted.gopSeconds = gopSeconds;
    wanted.faststart = true;
    wanted.crf = 23;
    wanted.h265 = h265;
    return mediagen::writeRecording(QFile::encodeName(path).toStdString(), wanted);
}

// The frame number drawn into a picture the generator made at this size
// (the picture may since have been drawn on only at its bottom right), or
// -1 when a digit cannot be read.
inline int readFrameNumber(const QImage& image)
{
    if (image.isNull())
        return -1;
    const int W = image.width();
    const int H = image.height();
    const int cell = std::max(6, std::min(W / 14, H / 7));
    const int t = std::max(1, cell / 6);
    const int w = std::max(3, cell - cell / 4);
    const int h = 2 * w;
    const int margin = std::max(2, cell / 3);
    const int top = 2 * margin + h;
    auto on = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= W || y >= H)
            return false;
        return qGray(image.pixel(x, y)) > 128;
    };
    static const int kDigits[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    int number = 0;
    for (int i = 0; i < 5; ++i) {
        const int x = margin + (2 + i) * cell;
        // a b c d e f g
        const bool segments[7] = {
            on(x + w / 2, top + t / 2),
            on(x + w - t + t / 2, top + h / 4),
            on(x + w - t + t / 2, top + 3 * h / 4),
            on(x + w / 2, top + h - t + t / 2),
            on(x + t / 2, top + 3 * h / 4),
            on(x + t / 2, top + h / 4),
            on(x + w / 2, top + h / 2),
        };
        int bits = 0;
        for (int s = 0; s < 7; ++s)
            bits |= segments[s] ? (1 << s) : 0;
        const int* found = std::find(std::begin(kDigits), std::end(kDigits), bits);
        if (found == std::end(kDigits))
            return -1;
        number = number * 10 + static_cast<int>(found - kDigits);
    }
    return number;
}

} // namespace capturetest
