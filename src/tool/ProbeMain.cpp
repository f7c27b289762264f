// rovixprobe FILE: prints the media duration of FILE in seconds (the
// application's own answer: the container header, else FFmpeg), exactly
// enough to read back the same number; exit 1 when none is known. rovixtool
// runs it for a recording whose header states no duration.
#include "media/MediaDuration.h"

#include <charconv>
#include <cstdio>

int main(int argc, char** argv)
{
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
