// rovixtool clip [--before S] [--after S] [--overlay] DEST RECORDING TIME: checks the
// arguments' form here, then becomes the rovixprobe helper (next to the tool)
// that joins the video with FFmpeg; the tool itself loads no FFmpeg. The
// helper keeps the process, so signals, output and exit status are its own.
#include "tool/Commands.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace
{

int usage()
{
    std::fprintf(stderr, "usage: rovixtool clip [--before S] [--after S] [--overlay] DEST RECORDING TIME\n");
    return 2;
}

// A plain decimal number of seconds, 0 to one hour (TIME: up to a day).
bool seconds(const char* text, double limit, double& out)
{
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(out) && out >= 0 && out <= limit;
}

} // namespace

int runClipCommand(int argc, char** argv)
{
    double before = 30, after = 30;
    bool overlay = false;
    int i = 0;
    while (i < argc && std::strcmp(argv[i], "--overlay") == 0) {
        overlay = true;
        ++i;
    }
    while (i + 1 < argc && (std::strcmp(argv[i], "--before") == 0 || std::strcmp(argv[i], "--after") == 0)) {
        double& target = argv[i][2] == 'b' ? before : after;
        if (!seconds(argv[i + 1], 3600, target)) {
            std::fprintf(stderr, "rovixtool: clip: %s wants seconds from 0 to 3600\n", argv[i]);
            return 2;
        }
        i += 2;
        while (i < argc && std::strcmp(argv[i], "--overlay") == 0) {
            overlay = true;
            ++i;
        }
    }
    if (argc - i != 3)
        return usage();
    double time = 0;
    if (!seconds(argv[i + 2], 86400, time)) {
        std::fprintf(stderr, "rovixtool: clip: TIME wants seconds into the recording\n");
        return 2;
    }
    if (before + after <= 0) {
        std::fprintf(stderr, "rovixtool: clip: the clip would be empty\n");
        return 2;
    }
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string exe = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
    const auto slash = exe.find_last_of('/');
    if (slash == std::string::npos) {
        std::fprintf(stderr, "rovixtool: clip: cannot find rovixprobe\n");
        return 1;
    }
    const std::string helper = exe.substr(0, slash + 1) + "rovixprobe";
    char b[64], a[64];
    std::snprintf(b, sizeof b, "%.17g", before);
    std::snprintf(a, sizeof a, "%.17g", after);
    std::string name = "rovixprobe", mode = "clip", drawn = "overlay";
    char* args[] = {name.data(), mode.data(), b,           a,
                    argv[i],     argv[i + 1], argv[i + 2], overlay ? drawn.data() : nullptr,
                    nullptr};
    ::execv(helper.c_str(), args);
    std::fprintf(stderr, "rovixtool: clip: cannot run %s: %s\n", helper.c_str(), std::strerror(errno));
    return 1;
}
