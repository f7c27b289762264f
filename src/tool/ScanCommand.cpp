// rovixtool scan FOLDER: the library exactly as the application builds it, in
// playlist order, one tab-separated line per recording:
//   type  camera  container  start-time  companion-log  path
// Start time and companion log print "-" when there is none.
#include "tool/Commands.h"

#include "core/FileRules.h"
#include "core/LibraryScan.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

int runScanCommand(const char* folder)
{
    struct stat st {
    };
    if (!folder || !*folder || ::stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "rovixtool: scan: %s: not an existing folder\n", folder ? folder : "");
        return 2;
    }

    LibraryScanner scanner;
    const std::vector<ScannedRecording> library = scanner.scan(folder);
    std::vector<std::string> paths;
    paths.reserve(library.size());
    for (const ScannedRecording& entry : library)
        paths.push_back(entry.path);

    std::string out;
    for (std::size_t index : pmSortByFileDate(paths)) {
        const std::string& path = paths[index];
        _SYSTEMTIME start;
        char when[64] = "-";
        if (pmGetFileDateTime(path, start))
            std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(start.wYear),
                          unsigned(start.wMonth), unsigned(start.wDay), unsigned(start.wHour),
                          unsigned(start.wMinute), unsigned(start.wSecond));
        const std::string log = pmGetGpsLogFile(path);
        char codes[64];
        std::snprintf(codes, sizeof codes, "%u\t%u\t%d\t", unsigned(pmGetFileType(path)),
                      unsigned(pmGetCameraType(path)), int(pmGetMediaType(path)));
        out += codes;
        out += when;
        out += '\t';
        out += log.empty() ? std::string("-") : log;
        out += '\t';
        out += path;
        out += '\n';
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: scan: cannot write the listing\n");
        return 1;
    }
    return 0;
}
