#pragma once
// Opening a file for FFmpeg the one way every reader of this library does:
// local files only (a playlist or a reference inside a hostile recording must
// not make FFmpeg open other files' protocols or the network), bounded
// probing, and, when asked for, a deadline after which every blocking call
// gives up. Internal to rovixmedia.
extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <memory>
#include <string>

namespace media
{

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};

struct OpenedFormat {
    // Read by the context's interrupt callback, so it lives as long as the context.
    std::unique_ptr<std::chrono::steady_clock::time_point> deadline;
    std::unique_ptr<AVFormatContext, FormatCloser> context; // null when the file could not be opened
    int error = 0;                                          // FFmpeg's code then
};

// budget 0: no deadline. FFmpeg's own log stays quiet: problems are answers.
OpenedFormat openLocalFile(const std::string& path, std::chrono::milliseconds budget);

} // namespace media
