// rovixtool clip [OPTIONS] DEST RECORDING TIME: checks the arguments' form
// here, then becomes the rovixprobe helper (next to the tool) that joins the
// video with FFmpeg; the tool itself loads no FFmpeg. The helper keeps the
// process, so signals, output and exit status are its own. The options reach
// the helper as NAME=VALUE words after its fixed arguments.
#include "tool/Commands.h"

#include "core/ClipBlur.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

int usage()
{
    std::fprintf(stderr, "usage: rovixtool clip [--before S] [--after S] [--overlay]\n"
                         "                      [--layout separate|side-by-side|pip|front|rear] [--crf N]\n"
                         "                      [--pip-corner tl|tr|bl|br] [--pip-size PERCENT]\n"
                         "                      [--blur X,Y,W,H@T0-T1 | --blur X,Y,W,H@T0;X,Y,W,H@T1...]...\n"
                         "                      DEST RECORDING TIME\n");
    return 2;
}

// A plain decimal number of seconds, 0 to one hour (TIME: up to a day).
bool seconds(const char* text, double limit, double& out)
{
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(out) && out >= 0 && out <= limit;
}

bool wholeNumber(const char* text, int low, int high, int& out)
{
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc() && r.ptr == end && out >= low && out <= high;
}

int bad(const std::string& why)
{
    std::fprintf(stderr, "rovixtool: clip: %s\n", why.c_str());
    return 2;
}

} // namespace

int runClipCommand(int argc, char** argv)
{
    double before = 30, after = 30;
    std::vector<std::string> extra; // for the helper
    std::string layout = "separate";
    bool overlay = false;
    int i = 0;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string option = argv[i];
        if (option == "--overlay") {
            overlay = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        if (option == "--before" || option == "--after") {
            if (!seconds(value, 3600, option == "--before" ? before : after))
                return bad(option + " wants seconds from 0 to 3600");
        } else if (option == "--layout") {
            layout = value;
            if (layout != "separate" && layout != "side-by-side" && layout != "pip" && layout != "front" &&
                layout != "rear")
                return bad("--layout wants separate, side-by-side, pip, front or rear");
        } else if (option == "--crf") {
            int crf = 0;
            if (!wholeNumber(value, 0, 51, crf))
                return bad("--crf wants a whole number from 0 (best) to 51");
            extra.push_back("crf=" + std::to_string(crf));
        } else if (option == "--pip-corner") {
            const std::string c = value;
            const int corner = c == "tl" ? 0 : c == "tr" ? 1 : c == "bl" ? 2 : c == "br" ? 3 : -1;
            if (corner < 0)
                return bad("--pip-corner wants tl, tr, bl or br");
            extra.push_back("corner=" + std::to_string(corner));
        } else if (option == "--pip-size") {
            int percent = 0;
            if (!wholeNumber(value, 10, 50, percent))
                return bad("--pip-size wants the inset's width in percent of the front's, 10 to 50");
            extra.push_back("inset=" + std::to_string(percent));
        } else if (option == "--blur") {
            BlurArea area;
            const std::string why = pmParseBlurArea(value, area);
            if (!why.empty())
                return bad("--blur " + why);
            extra.push_back(std::string("blur=") + value);
        } else {
            return usage();
        }
    }
    if (argc - i != 3)
        return usage();
    double time = 0;
    if (!seconds(argv[i + 2], 86400, time))
        return bad("TIME wants seconds into the recording");
    if (before + after <= 0)
        return bad("the clip would be empty");
    if (overlay)
        extra.insert(extra.begin(), "overlay");
    extra.push_back("layout=" + layout);
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
    std::string name = "rovixprobe", mode = "clip";
    std::vector<char*> args = {name.data(), mode.data(), b, a, argv[i], argv[i + 1], argv[i + 2]};
    for (std::string& e : extra)
        args.push_back(e.data());
    args.push_back(nullptr);
    ::execv(helper.c_str(), args.data());
    std::fprintf(stderr, "rovixtool: clip: cannot run %s: %s\n", helper.c_str(), std::strerror(errno));
    return 1;
}
