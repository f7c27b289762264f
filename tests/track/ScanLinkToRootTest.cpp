// A generated card that holds a folder link to "/" (and to /proc and /sys
// directly): the scan still lists the card's recordings, and never enters a
// kernel or virtual file system.
#include "MediaGen.h"
#include "core/LibraryScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// Whether the folder is the mount point of a devtmpfs, by the mount table.
bool isDevtmpfsMounted(const std::string& mountPoint)
{
    std::FILE* f = std::fopen("/proc/self/mounts", "r");
    if (!f)
        return false;
    char source[512], target[512], type[128];
    bool found = false;
    while (std::fscanf(f, "%511s %511s %127s %*[^\n]", source, target, type) == 3) {
        if (mountPoint == target && std::string(type) == "devtmpfs")
            found = true;
    }
    std::fclose(f);
    return found;
}
} // namespace

TEST(ScanLinkToRoot, PseudoFileSystemsAreNotWalked)
{
    struct statfs proc {
    };
    if (::statfs("/proc", &proc) != 0 || proc.f_type != 0x9fa0)
        GTEST_SKIP() << "no proc file system mounted at /proc";
    char pattern[] = "/tmp/rovix_rootlink_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    const std::string card = root + "/card";
    std::vector<mediagen::ManifestEntry> manifest;
    std::string error;
    ASSERT_TRUE(mediagen::makeCard(card, mediagen::CardSpec{}, &manifest, &error)) << error;
    fs::create_directory_symlink("/", card + "/everything");
    fs::create_directory_symlink("/proc", card + "/proc-link");
    fs::create_directory_symlink("/sys", card + "/sys-link");
    // The device tree looks like a card in memory by its file-system number.
    const bool devtmpfs = isDevtmpfsMounted("/dev");
    fs::create_directory_symlink("/dev", card + "/dev-link");

    LibraryScanner scanner;
    std::vector<std::string> listed;
    scanner.onFolderListed = [&listed](const std::string& folder, const std::vector<std::string>&) {
        listed.push_back(folder);
    };
    const std::vector<ScannedRecording> found = scanner.scan(card);

    for (const std::string& folder : listed) {
        for (const std::string& pseudo :
             {card + "/proc-link", card + "/sys-link", card + "/everything/proc", card + "/everything/sys"})
            EXPECT_NE(folder.rfind(pseudo, 0), 0u) << folder;
        if (devtmpfs) {
            EXPECT_NE(folder.rfind(card + "/dev-link", 0), 0u) << folder;
            EXPECT_NE(folder.rfind(card + "/everything/dev", 0), 0u) << folder;
        }
    }
    // The link to "/" itself is an ordinary folder: it is entered.
    EXPECT_NE(std::find(listed.begin(), listed.end(), card + "/everything"), listed.end());
    // Every recording of the card is still there, by its own path.
    std::set<std::string> paths;
    for (const ScannedRecording& r : found)
        paths.insert(r.path);
    std::size_t admitted = 0;
    for (const mediagen::ManifestEntry& e : manifest) {
        if (!e.admitted)
            continue;
        ++admitted;
        EXPECT_TRUE(paths.count(card + "/" + e.path)) << e.path;
    }
    EXPECT_GT(admitted, 10u);

    // The links first (remove_all does not follow them either, but be plain about it).
    std::error_code ec;
    for (const char* link : {"/everything", "/proc-link", "/sys-link", "/dev-link"})
        fs::remove(card + link, ec);
    fs::remove_all(root, ec);
}
