// rovixtool scan FOLDER: the library exactly as the application builds it, in
// playlist order, one tab-separated line per recording:
//   type  camera  container  start-time  companion-log  path
// Start time and companion log print "-" when there is none; a start time the
// name spells but that never existed (day 0, month 13, 25 o'clock) prints "-"
// too. File names may hold any byte but "/" and NUL, so in the two path fields
// a backslash is written "\\", a tab "\t", a newline "\n" and a carriage
// return "\r": every recording stays one line of six fields.
#include "tool/Commands.h"

#include "core/FileRules.h"
#include "core/LibraryScan.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace
{

// Answers the companion-log rule's existence tests from the listings the walk
// has just read, so a card of thousands of recordings costs no extra stat per
// candidate. A path whose folder was not listed whole is asked of the disk.
class ListingCache
{
public:
    void add(const std::string& folder, const std::vector<std::string>& names)
    {
        m_folders[folder] = std::unordered_set<std::string>(names.begin(), names.end());
    }

    bool exists(const std::string& path) const
    {
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash + 1 < path.size()) {
            const auto it = m_folders.find(path.substr(0, slash));
            if (it != m_folders.end())
                return it->second.count(path.substr(slash + 1)) != 0;
        }
        return pmIsFileExist(path);
    }

    bool isFolder(const std::string& path) const
    {
        if (m_folders.count(path))
            return true;
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash + 1 < path.size()) {
            const auto it = m_folders.find(path.substr(0, slash));
            if (it != m_folders.end() && !it->second.count(path.substr(slash + 1)))
                return false;
        }
        struct stat st {
        };
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

private:
    std::unordered_map<std::string, std::unordered_set<std::string>> m_folders;
};

} // namespace

int runScanCommand(const char* folder)
{
    struct stat st {
    };
    if (!folder || !*folder || ::stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "rovixtool: scan: %s: not an existing folder\n", folder ? folder : "");
        return 2;
    }

    LibraryScanner scanner;
    ListingCache listings;
    scanner.onFolderListed = [&listings](const std::string& path, const std::vector<std::string>& names) {
        listings.add(path, names);
    };
    const std::vector<ScannedRecording> library = scanner.scan(folder);
    const PathTest exists = [&listings](const std::string& p) { return listings.exists(p); };
    const PathTest isFolder = [&listings](const std::string& p) { return listings.isFolder(p); };
    std::vector<std::string> paths;
    paths.reserve(library.size());
    for (const ScannedRecording& entry : library)
        paths.push_back(entry.path);

    std::string out;
    bool written = true;
    for (std::size_t index : pmSortByFileDate(paths)) {
        const std::string& path = paths[index];
        _SYSTEMTIME start;
        char when[64] = "-";
        if (pmGetFileDateTime(path, start) && pmIsRealDateTime(start))
            std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(start.wYear),
                          unsigned(start.wMonth), unsigned(start.wDay), unsigned(start.wHour),
                          unsigned(start.wMinute), unsigned(start.wSecond));
        const std::string log = pmGetGpsLogFile(path, exists, isFolder);
        char codes[64];
        std::snprintf(codes, sizeof codes, "%u\t%u\t%d\t", unsigned(pmGetFileType(path)),
                      unsigned(pmGetCameraType(path)), int(pmGetMediaType(path)));
        out += codes;
        out += when;
        out += '\t';
        if (log.empty())
            out += '-';
        else
            pmAppendEscapedField(out, log);
        out += '\t';
        pmAppendEscapedField(out, path);
        out += '\n';
        // Written as it goes, so a card of any size costs a bounded buffer.
        if (out.size() >= (1u << 16)) {
            written = written && std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
            out.clear();
        }
    }
    written = written && std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: scan: cannot write the listing\n");
        return 1;
    }
    return 0;
}
