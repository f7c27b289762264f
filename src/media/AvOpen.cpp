#include "media/AvOpen.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <mutex>

namespace media
{
namespace
{

int interruptAfterDeadline(void* opaque)
{
    const auto* deadline = static_cast<const std::chrono::steady_clock::time_point*>(opaque);
    return std::chrono::steady_clock::now() > *deadline ? 1 : 0;
}

} // namespace

OpenedFormat openLocalFile(const std::string& path, std::chrono::milliseconds budget)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    OpenedFormat opened;
    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        opened.error = AVERROR(ENOMEM);
        return opened;
    }
    if (budget.count() > 0) {
        opened.deadline = std::make_unique<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now() + budget);
        context->interrupt_callback.callback = interruptAfterDeadline;
        context->interrupt_callback.opaque = opened.deadline.get();
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "probesize", "5000000", 0);
    av_dict_set(&options, "analyzeduration", "5000000", 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int rc = avformat_open_input(&context, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        opened.error = rc; // the context is freed on failure
        return opened;
    }
    opened.context.reset(context);
    return opened;
}

} // namespace media
