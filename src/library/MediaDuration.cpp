#include "library/MediaDuration.h"

#include "core/ContainerProbe.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/version.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <chrono>
#include <cmath>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace
{

using Clock = std::chrono::steady_clock;

// Gives up on a file that takes longer than this to open and probe.
constexpr auto kProbeBudget = std::chrono::seconds(5);

// The few libavformat/libavutil entry points the probe uses, resolved from the
// library this code was compiled against (same major version).
struct AvApi {
    decltype(&avformat_alloc_context) allocContext = nullptr;
    decltype(&avformat_open_input) openInput = nullptr;
    decltype(&avformat_find_stream_info) findStreamInfo = nullptr;
    decltype(&avformat_close_input) closeInput = nullptr;
    decltype(&av_dict_set) dictSet = nullptr;
    decltype(&av_dict_free) dictFree = nullptr;
    decltype(&av_log_set_level) logSetLevel = nullptr;
    bool ok = false;
};

template <typename T> bool resolve(void* handle, const char* name, T& fn)
{
    fn = reinterpret_cast<T>(::dlsym(handle, name));
    return fn != nullptr;
}

const AvApi& avApi()
{
    static AvApi api;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string soname = "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR);
        void* handle = ::dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        // dlsym on the libavformat handle also finds libavutil's symbols (its dependency).
        api.ok = resolve(handle, "avformat_alloc_context", api.allocContext) &&
                 resolve(handle, "avformat_open_input", api.openInput) &&
                 resolve(handle, "avformat_find_stream_info", api.findStreamInfo) &&
                 resolve(handle, "avformat_close_input", api.closeInput) &&
                 resolve(handle, "av_dict_set", api.dictSet) &&
                 resolve(handle, "av_dict_free", api.dictFree) &&
                 resolve(handle, "av_log_set_level", api.logSetLevel);
        // The probe is silent; problems show up as a 0 duration.
        if (api.ok)
            api.logSetLevel(AV_LOG_QUIET);
    });
    return api;
}

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
    struct stat st {
    };
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    const double fromHeader = pmGetContainerDurationSeconds(path);
    if (fromHeader > 0)
        return fromHeader;
    const AvApi& av = avApi();
    if (!av.ok)
        return 0;
    AVFormatContext* context = av.allocContext();
    if (!context)
        return 0;
    Clock::time_point deadline = Clock::now() + kProbeBudget;
    context->interrupt_callback.callback = interruptAfterDeadline;
    context->interrupt_callback.opaque = &deadline;

    AVDictionary* options = nullptr;
    av.dictSet(&options, "probesize", "5000000", 0);
    av.dictSet(&options, "analyzeduration", "5000000", 0);
    // Only local files: a playlist or a reference inside a file must not make
    // the probe open other files or the network.
    av.dictSet(&options, "protocol_whitelist", "file", 0);
    const int opened = av.openInput(&context, path.c_str(), nullptr, &options);
    av.dictFree(&options);
    if (opened < 0)
        return 0; // the context is freed on failure

    double seconds = 0;
    if (context->duration != AV_NOPTS_VALUE)
        seconds = usable(static_cast<double>(context->duration) / AV_TIME_BASE);
    if (seconds == 0) {
        // Containers without a duration in their header: estimate it from the streams.
        context->max_analyze_duration = 5 * AV_TIME_BASE;
        if (av.findStreamInfo(context, nullptr) >= 0 && context->duration != AV_NOPTS_VALUE)
            seconds = usable(static_cast<double>(context->duration) / AV_TIME_BASE);
    }
    av.closeInput(&context);
    return seconds;
}
