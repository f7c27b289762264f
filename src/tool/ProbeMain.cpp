// rovixprobe FILE: prints the media duration of FILE in seconds (the
// application's own answer: the container header, else FFmpeg), exactly
// enough to read back the same number; exit 1 when none is known. rovixtool
// runs it for a recording whose header states no duration.
//
// rovixprobe clip BEFORE AFTER DEST RECORDING TIME [overlay] [NAME=VALUE...]: the incident clip of
// `rovixtool clip` (media/ClipExport.h), which checked the arguments' form;
// prints the clip's folder. Exit 0 written, 1 failed or stopped by a signal
// (nothing left behind), 2 a request or destination that cannot be used.
#include "core/ClipBlur.h"
#include "core/Version.h"
#include "media/ClipExport.h"
#include "media/MediaDuration.h"
#include "tool/StopSignals.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

int runClip(char** argv, int extras)
{
    ClipRequest request;
    for (int k = 0; k < extras; ++k) {
        const std::string word = argv[5 + k];
        const auto eq = word.find('=');
        const std::string key = word.substr(0, eq),
                          value = eq == std::string::npos ? "" : word.substr(eq + 1);
        bool ok = true;
        if (word == "overlay") {
            request.overlay = true;
        } else if (key == "layout") {
            ok = pmParseClipLayout(value, request.layout.layout);
        } else if (key == "crf") {
            request.layout.crf = std::atoi(value.c_str());
        } else if (key == "corner") {
            request.layout.corner = std::atoi(value.c_str());
        } else if (key == "inset") {
            request.layout.insetShare = std::atoi(value.c_str()) / 100.0;
        } else if (key == "blur") {
            BlurArea area;
            ok = pmParseBlurArea(value, area).empty();
            request.layout.blur.push_back(area);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "rovixtool: clip: %s: not understood\n", word.c_str());
            return 2;
        }
    }
    char* end = nullptr;
    request.before = std::strtod(argv[0], &end);
    request.after = std::strtod(argv[1], &end);
    request.dest = argv[2];
    request.recording = argv[3];
    request.seconds = std::strtod(argv[4], &end);
    request.creator = pmProductCreator();

    ClipJobState state;
    pmCancelOnStopSignals(state.cancel);
    const ClipResult r = pmExportClip(request, state);
    // A signal that came after the work was complete stops nothing.
    if (r.status != ClipStatus::Done && pmStoppedBySignal("clip"))
        return 1;
    switch (r.status) {
    case ClipStatus::Done:
        // A clip that lacks part of the window says so here too, not only in clip.txt.
        for (const std::string& hole : r.holes)
            std::fprintf(stderr, "rovixtool: clip: %s\n", hole.c_str());
        std::printf("%s\n", r.folder.c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    case ClipStatus::BadRequest:
        std::fprintf(stderr, "rovixtool: clip: %s\n", r.message.c_str());
        return 2;
    default:
        std::fprintf(stderr, "rovixtool: clip: %s\n", r.message.c_str());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 7 && std::strcmp(argv[1], "clip") == 0)
        return runClip(argv + 2, argc - 7);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rovixprobe FILE\n");
        return 2;
    }
    const double seconds = pmGetMediaDurationSeconds(argv[1]);
    if (!(seconds > 0))
        return 1;
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, seconds);
    if (r.ec != std::errc())
        return 1;
    std::fwrite(text, 1, static_cast<std::size_t>(r.ptr - text), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
