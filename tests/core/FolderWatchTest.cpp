// The folder monitor's rules without an event loop: which flags make the
// controller check, event paths, the watch list, the mount table and the
// batch that coalesces a burst.
#include "core/FolderWatch.h"

#include <gtest/gtest.h>

TEST(FolderWatch, FlagRules)
{
    using W = WatchReaction;
    // Root changed and unmount count only as they are, not with other bits.
    EXPECT_EQ(pmWatchReaction(0x20), W::RemovedOrUnmounted);
    EXPECT_EQ(pmWatchReaction(0x80), W::RemovedOrUnmounted);
    EXPECT_EQ(pmWatchReaction(0x20 | 0x1), W::None);
    EXPECT_EQ(pmWatchReaction(0x80 | 0x40), W::None);
    EXPECT_EQ(pmWatchReaction(0x20 | 0x200), W::ItemRemovedOrRenamed);
    EXPECT_EQ(pmWatchReaction(0x20 | 0x800 | 0x10000), W::ItemRemovedOrRenamed);
    // Removed or renamed items, whatever else comes with them.
    EXPECT_EQ(pmWatchReaction(0x200 | 0x10000), W::ItemRemovedOrRenamed);
    EXPECT_EQ(pmWatchReaction(0x800 | 0x20000), W::ItemRemovedOrRenamed);
    // Additions and modifications are only logged.
    EXPECT_EQ(pmWatchReaction(0x100 | 0x20000), W::None);
    EXPECT_EQ(pmWatchReaction(0x1000 | 0x10000), W::None);
    EXPECT_EQ(pmWatchReaction(0), W::None);

    // What may bring a recording: a file written or moved in, a folder made or
    // moved in, lost events; never a removal or the root's own fate.
    EXPECT_TRUE(pmWatchMayAddFiles(WatchFlag::ItemModified | WatchFlag::ItemIsFile));
    EXPECT_TRUE(pmWatchMayAddFiles(WatchFlag::ItemRenamed | WatchFlag::ItemIsFile));
    EXPECT_TRUE(pmWatchMayAddFiles(WatchFlag::ItemCreated | WatchFlag::ItemIsDir));
    EXPECT_TRUE(pmWatchMayAddFiles(WatchFlag::MustScanSubDirs));
    EXPECT_FALSE(pmWatchMayAddFiles(WatchFlag::ItemRemoved | WatchFlag::ItemIsFile));
    EXPECT_FALSE(pmWatchMayAddFiles(WatchFlag::ItemCreated | WatchFlag::ItemIsFile)); // still being written
    EXPECT_FALSE(pmWatchMayAddFiles(WatchFlag::RootChanged));
    EXPECT_FALSE(pmWatchMayAddFiles(WatchFlag::Unmount));
}

TEST(FolderWatch, EventPathsAndWatchList)
{
    EXPECT_EQ(pmTrimEventPath("/Volumes/CARD/"), "/Volumes/CARD");
    EXPECT_EQ(pmTrimEventPath("/Volumes/CARD"), "/Volumes/CARD");
    EXPECT_EQ(pmTrimEventPath("/"), "/");
    EXPECT_EQ(pmTrimEventPath(""), "");
    EXPECT_EQ(pmTrimEventPath("/a//"), "/a/"); // one slash only

    using L = std::vector<std::string>;
    EXPECT_EQ(pmMonitorWatchList("/Volumes/CARD/DCIM"), (L{"/Volumes/CARD/DCIM", "/Volumes/CARD"}));
    EXPECT_EQ(pmMonitorWatchList("/Volumes/CARD/DCIM/Movie"),
              (L{"/Volumes/CARD/DCIM/Movie", "/Volumes/CARD"}));
    EXPECT_EQ(pmMonitorWatchList("/Volumes/CARD"), (L{"/Volumes/CARD"}));
    EXPECT_EQ(pmMonitorWatchList("/Volumes/CARD/"), (L{"/Volumes/CARD/"}));
    EXPECT_EQ(pmMonitorWatchList("/Volumes"), (L{"/Volumes"}));
    EXPECT_EQ(pmMonitorWatchList("/Users/me/Movies"), (L{"/Users/me/Movies"}));
    EXPECT_TRUE(pmMonitorWatchList("").empty());
    // Here the volume root is the mount point holding the folder.
    EXPECT_EQ(pmMonitorWatchList("/media/me/CARD/DCIM", "/media/me/CARD"),
              (L{"/media/me/CARD/DCIM", "/media/me/CARD"}));
    EXPECT_EQ(pmMonitorWatchList("/media/me/CARD", "/media/me/CARD"), (L{"/media/me/CARD"}));
    EXPECT_EQ(pmMonitorWatchList("/media/me/CARD/", "/media/me/CARD"), (L{"/media/me/CARD/"}));
    EXPECT_EQ(pmMonitorWatchList("/home/me/Videos", "/"), (L{"/home/me/Videos"}));

    EXPECT_TRUE(pmPathIsWithin("/a/b", "/a/b"));
    EXPECT_TRUE(pmPathIsWithin("/a/b/c", "/a/b/"));
    EXPECT_FALSE(pmPathIsWithin("/a/bc", "/a/b"));
    EXPECT_FALSE(pmPathIsWithin("/a", "/a/b"));
    EXPECT_TRUE(pmPathIsWithin("/x", "/"));
}

TEST(FolderWatch, MountTable)
{
    const std::string text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 22 0:26 / /proc rw,nosuid - proc proc rw\n"
        "41 22 0:40 / /media/me/MY\\040CARD rw,relatime shared:7 master:2 - vfat /dev/sdb1 rw\n"
        "garbage line\n"
        "42 41 0:41 / /media/me/MY\\040CARD/DCIM rw - tmpfs tmpfs rw\n"
        "43 22 0:42 / /media/me/MY\\040CARD2 rw - tmpfs tmpfs rw\n"
        "44 22 0:43 / relative rw - tmpfs tmpfs rw\n";
    const std::vector<MountEntry> table = pmParseMountInfo(text);
    ASSERT_EQ(table.size(), 5u); // the garbage and the relative mount point are passed over
    EXPECT_EQ(table[2].mountPoint, "/media/me/MY CARD");
    EXPECT_EQ(table[2].fsType, "vfat"); // after the optional fields
    EXPECT_EQ(table[2].mountId, 41);

    EXPECT_EQ(pmMountOf("/media/me/MY CARD/DCIM/Movie", table)->mountId, 42);
    EXPECT_EQ(pmMountOf("/media/me/MY CARD/NORMAL", table)->mountId, 41);
    EXPECT_EQ(pmMountOf("/media/me/MY CARD2/x", table)->mountId, 43); // not taken for "MY CARD"
    EXPECT_EQ(pmMountOf("/home/me", table)->mountId, 22);
    EXPECT_FALSE(pmMountOf("/x", {}).has_value());
    // A later mount on the same place covers the earlier one.
    const auto stacked = pmParseMountInfo("1 0 0:1 / / rw - ext4 a rw\n"
                                          "5 1 0:5 / /mnt rw - tmpfs a rw\n"
                                          "6 5 0:6 / /mnt rw - tmpfs b rw\n");
    EXPECT_EQ(pmMountOf("/mnt/x", stacked)->mountId, 6);
    EXPECT_TRUE(pmParseMountInfo("").empty());
    EXPECT_TRUE(pmParseMountInfo("x y z\n1 2 3 4 5 6 7\n").empty());
}

TEST(FolderWatch, BatchCoalescesAndStaysBounded)
{
    WatchEventBatch batch(4);
    EXPECT_TRUE(batch.empty());
    EXPECT_TRUE(batch.add("/c/a", 0x1000));  // starts a batch
    EXPECT_FALSE(batch.add("/c/a", 0x1000)); // the same event again: dropped
    EXPECT_FALSE(batch.add("/c/a", 0x200));  // same path, other flags: kept, in order
    EXPECT_FALSE(batch.add("/c/b", 0x200));
    EXPECT_EQ(batch.size(), 3u);
    std::vector<PendingWatchEvent> out = batch.take({"/c"});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].path, "/c/a");
    EXPECT_EQ(out[0].flags, 0x1000u);
    EXPECT_EQ(out[1].flags, 0x200u);
    EXPECT_EQ(out[2].path, "/c/b");
    EXPECT_TRUE(batch.empty());
    EXPECT_TRUE(batch.add("/c/a", 0x1000)); // a fresh batch forgets what it saw

    // A flood past the limit becomes one look-again event per root.
    WatchEventBatch flood(100);
    for (int i = 0; i < 100000; ++i)
        flood.add("/c/f" + std::to_string(i), 0x1000 | 0x10000);
    EXPECT_TRUE(flood.overflowed());
    EXPECT_EQ(flood.size(), 0u); // nothing of the flood kept
    out = flood.take({"/c", "/v"});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].path, "/c");
    EXPECT_EQ(out[0].flags, WatchFlag::MustScanSubDirs);
    EXPECT_EQ(out[1].path, "/v");
    EXPECT_TRUE(flood.empty());
    EXPECT_FALSE(flood.overflowed());
}
