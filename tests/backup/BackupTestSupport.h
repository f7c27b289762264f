#pragma once
// Shared by the backup tests: a fresh temporary folder, files of known bytes,
// a small tmpfs mounted for the test (skipped where mounting is refused), and
// running shell tools on the results.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace backuptest
{
namespace fs = std::filesystem;

inline std::string makeTempDir(const char* tag)
{
    std::string pattern = std::string("/tmp/rovix_") + tag + "_XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return std::string();
    return pattern;
}

inline std::string randomBytes(std::size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline struct timespec mtimeOf(const std::string& path)
{
    struct stat st {
    };
    ::stat(path.c_str(), &st);
    return st.st_mtim;
}

// Files whose name marks a copy in progress.
inline int partialFiles(const std::string& folder)
{
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().filename().string().rfind(".rovix-part-", 0) == 0)
            ++n;
    return n;
}

struct Shell {
    int status = -1;
    std::string out;
};

inline Shell shell(const std::string& command)
{
    Shell r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return r;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.out.append(buffer, got);
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

// A tmpfs of the given size, mounted for the lifetime of the object and
// lazily unmounted however the test ends.
struct SmallMount {
    std::string dir;
    bool mounted = false;
    std::string why;
    SmallMount(const std::string& where, const char* options)
    {
        dir = where;
        fs::create_directories(dir);
        if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0)
            mounted = true;
        else
            why = std::string("cannot mount a tmpfs (") + std::strerror(errno) + "); needs root";
    }
    void unmount()
    {
        if (mounted && ::umount2(dir.c_str(), MNT_DETACH) == 0)
            mounted = false;
    }
    ~SmallMount() { unmount(); }
};

} // namespace backuptest
