#pragma once
// Shared by the fleet command tests: running rovixtool, and what an archive
// and a generated card hold.
#include "../backup/BackupTestSupport.h"
#include "MediaGen.h"

#include <atomic>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fleettest
{
using namespace backuptest;

const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";

inline std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// rovixtool with `args` (shell words), its output kept apart in `scratch`.
inline ToolRun tool(const std::string& args, const std::string& scratch)
{
    static std::atomic<int> n{0};
    const std::string base = scratch + "/.run" + std::to_string(++n);
    const int raw = std::system((kTool + " " + args + " >" + base + ".out 2>" + base + ".err").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(base + ".out"), readFile(base + ".err")};
}

// Every file of the archive but the embedded catalogue, relative.
inline std::multiset<std::string> archivedFiles(const std::string& archive)
{
    std::multiset<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(archive)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file() && name.rfind("catalogue.sqlite", 0) != 0)
            files.insert(fs::relative(e.path(), archive).string());
    }
    return files;
}

// Hidden files in the archive: copies in progress.
inline std::vector<std::string> hiddenFiles(const std::string& archive)
{
    std::vector<std::string> hidden;
    for (const auto& e : fs::recursive_directory_iterator(archive))
        if (e.path().filename().string().front() == '.')
            hidden.push_back(e.path().string());
    return hidden;
}

// The SHA-256 of every recording of a generated card that the library admits.
inline std::set<std::string> recordingHashes(const std::string& card)
{
    std::set<std::string> hashes;
    std::ifstream in(card + "/" + mediagen::kManifestName);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::size_t at = 0;
        for (std::size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
            f.push_back(line.substr(at, tab - at));
        f.push_back(line.substr(at));
        // path, container, type, camera, kind, admitted, ...
        if (f.size() > 5 && f[5] == "1")
            hashes.insert(shell("sha256sum < " + quote(card + "/" + f[0])).out.substr(0, 64));
    }
    return hashes;
}

} // namespace fleettest
