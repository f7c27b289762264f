#include "library/MediaDuration.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <chrono>
#include <cmath>

namespace
{

using Clock = std::chrono::steady_clock;

// Gives up on a file that takes longer than this to open and probe.
constexpr auto kProbeBudget = std::chrono::seconds(5);

int interruptAfterDeadline(void* opaque)
{
    const auto* deadline = static_cast<const Clock::time_point*>(opaque);
    return Clock::now() > *deadline ? 1 : 0;
}

double usable(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
}

} // namespace

double pmGetMediaDurationSeconds(const std::string& path)
{
    if (path.empty())
        return 0;
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        return 0;
    Clock::time_point deadline = Clock::now() + kProbeBudget;
    context->interrupt_callback.callback = interruptAfterDeadline;
    context->interrupt_callback.opaque = &deadline;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "probesize", "5000000", 0);
    av_dict_set(&options, "analyzeduration", "5000000", 0);
    // Only local files: a playlist or a reference inside a file must not make
    // the probe open other files or the network.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avformat_open_input(&context, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return 0; // avformat_open_input frees the context on failure

    double seconds = 0;
    if (context->duration != AV_NOPTS_VALUE)
        seconds = usable(static_cast<double>(context->duration) / AV_TIME_BASE);
    if (seconds == 0) {
        // Containers without a duration in their header: estimate it from the streams.
        context->max_analyze_duration = 5 * AV_TIME_BASE;
        if (avformat_find_stream_info(context, nullptr) >= 0 && context->duration != AV_NOPTS_VALUE)
            seconds = usable(static_cast<double>(context->duration) / AV_TIME_BASE);
    }
    avformat_close_input(&context);
    return seconds;
}
