#include "media/MediaDuration.h"

#include "core/ContainerProbe.h"
#include "media/AvOpen.h"

#include <chrono>
#include <cmath>
#include <string>
#include <sys/stat.h>

namespace
{

// Gives up on a file that takes longer than this to open and probe.
constexpr auto kProbeBudget = std::chrono::seconds(5);

double usable(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
}

} // namespace

double pmGetMediaDurationSeconds(const std::string& path)
{
    struct stat st {
    };
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    const double fromHeader = pmGetContainerDurationSeconds(path);
    if (fromHeader > 0)
        return fromHeader;
    media::OpenedFormat opened = media::openLocalFile(path, kProbeBudget);
    AVFormatContext* context = opened.context.get();
    if (!context)
        return 0;
    double seconds = 0;
    if (context->duration != AV_NOPTS_VALUE)
        seconds = usable(static_cast<double>(context->duration) / AV_TIME_BASE);
    if (seconds == 0) {
        // Containers without a duration in their header: estimate it from the streams.
        context->max_analyze_duration = 5 * AV_TIME_BASE;
        if (avformat_find_stream_info(context, nullptr) >= 0 && context->duration != AV_NOPTS_VALUE)
            seconds = usable(static_cast<double>(context->duration) / AV_TIME_BASE);
    }
    return seconds;
}
