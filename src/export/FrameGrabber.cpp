#include "export/FrameGrabber.h"

#include "media/FrameGrabber.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace
{
using Pixels = std::vector<std::uint32_t>;

void freePixels(void* pixels)
{
    delete static_cast<Pixels*>(pixels);
}
} // namespace

FrameGrab pmGrabFrame(const QByteArray& nativePath, double seconds)
{
    MediaFrame frame = pmGrabMediaFrame(nativePath.toStdString(), seconds);
    FrameGrab grab;
    grab.time = frame.time;
    grab.error = QString::fromStdString(frame.error);
    if (frame.pixels.empty())
        return grab;
    // The image takes the decoded pixels over instead of copying a full-size
    // frame; its last copy frees them.
    auto* held = new Pixels(std::move(frame.pixels));
    grab.image = QImage(reinterpret_cast<uchar*>(held->data()), frame.width, frame.height, frame.width * 4,
                        QImage::Format_RGB32, freePixels, held);
    if (grab.image.isNull()) {
        delete held;
        grab.error = QStringLiteral("the frame could not be converted");
    }
    return grab;
}
