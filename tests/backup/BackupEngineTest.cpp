// The copy engine on real files: copies byte for byte with their logs and
// times, the refusals made before anything is written, cancel, a source that
// vanishes or changes, a destination that fills up, and the evidence package
// checked by sha256sum itself.
#include "BackupTestSupport.h"

#include "MediaGen.h"
#include "core/BackupEngine.h"
#include "core/Sha256.h"

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <thread>

using namespace backuptest;

namespace
{

class BackupEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = makeTempDir("backup");
        ASSERT_FALSE(root.empty());
        card = root + "/card/DCIM";
        dest = root + "/dest";
        fs::create_directories(card);
        fs::create_directories(dest);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // A recording of `size` random bytes, stamped with a time of its own, with
    // an optional companion log.
    std::string recording(const std::string& name, std::size_t size, const char* logExt = nullptr,
                          const std::string& folder = std::string())
    {
        const std::string dir = folder.empty() ? card : folder;
        const std::string path = dir + "/" + name;
        writeFile(path, randomBytes(size, static_cast<uint32_t>(size + name.size())));
        mediagen::setFileTime(path, 1615795860 + static_cast<std::time_t>(size % 1000));
        if (logExt) {
            const std::string log = path.substr(0, path.find_last_of('.')) + logExt;
            writeFile(log, "$GPRMC log of " + name + "\r\n");
        }
        return path;
    }
    std::string root, card, dest;
};

TEST_F(BackupEngineTest, CopiesEachRecordingWithItsLogByteForByteAndKeepsTimes)
{
    const std::string a = recording("FILE210315-081100_M.MP4", 3 * 1024 * 1024 + 17, ".log");
    const std::string empty = recording("FILE210315-081200_M.MP4", 0, ".txt");
    const std::string c = recording("FILE210315-081300_M.MP4", 70000, ".nmea");
    // A log of that name is already there (another card's): it is replaced with the recording.
    writeFile(dest + "/FILE210315-081300_M.nmea", "older log");
    writeFile(dest + "/FILE210315-081300_M.MP4", "an older copy");
    ::chmod(c.c_str(), 0444); // a protected recording stays protected

    BackupOptions options;
    options.blockSize = 256 * 1024;
    std::vector<uint64_t> counts;
    options.onBlock = [&](uint64_t done) { counts.push_back(done); };
    BackupProgress progress;
    const BackupResult r = pmRunBackup(dest, {a, empty, c}, options, progress);
    ASSERT_EQ(r.status, BackupStatus::Done) << pmDescribeBackupResult(r);
    EXPECT_EQ(r.copied, 3);

    for (const std::string& src : {a, empty, c}) {
        const std::string copy = dest + "/" + fs::path(src).filename().string();
        EXPECT_EQ(readFile(copy), readFile(src)) << copy;
        EXPECT_EQ(mtimeOf(copy).tv_sec, mtimeOf(src).tv_sec) << copy;
        EXPECT_EQ(mtimeOf(copy).tv_nsec, mtimeOf(src).tv_nsec) << copy;
    }
    EXPECT_EQ(fs::file_size(dest + "/FILE210315-081200_M.MP4"), 0u);
    EXPECT_EQ(readFile(dest + "/FILE210315-081100_M.log"), readFile(card + "/FILE210315-081100_M.log"));
    EXPECT_EQ(readFile(dest + "/FILE210315-081200_M.txt"), readFile(card + "/FILE210315-081200_M.txt"));
    EXPECT_EQ(readFile(dest + "/FILE210315-081300_M.nmea"), readFile(card + "/FILE210315-081300_M.nmea"));
    EXPECT_EQ(fs::status(dest + "/FILE210315-081300_M.MP4").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    // The count moves per block and ends at the total of the recordings and their logs.
    const uint64_t total = pmBackupTotalSize({a, empty, c});
    uint64_t logs = 0;
    for (const char* log : {"FILE210315-081100_M.log", "FILE210315-081200_M.txt", "FILE210315-081300_M.nmea"})
        logs += fs::file_size(card + "/" + log);
    EXPECT_EQ(total, 3u * 1024 * 1024 + 17 + 70000 + logs);
    EXPECT_EQ(progress.bytesDone.load(), total);
    ASSERT_GE(counts.size(), 13u);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_EQ(partialFiles(dest), 0);
    EXPECT_EQ(pmBackupTotalSize({a, root + "/missing.MP4"}),
              fs::file_size(a) + fs::file_size(card + "/FILE210315-081100_M.log"));
}

TEST_F(BackupEngineTest, CancelDuringTheSecondOfThreeKeepsTheFirstAndRemovesThePartial)
{
    const std::string a = recording("FILE210315-081100_M.MP4", 1 << 20, ".log");
    const std::string b = recording("FILE210315-081200_M.MP4", 1 << 20, ".log");
    const std::string c = recording("FILE210315-081300_M.MP4", 1 << 20, ".log");
    BackupOptions options;
    options.blockSize = 64 * 1024;
    BackupProgress progress;
    const uint64_t firstPair = pmBackupTotalSize({a});
    options.onBlock = [&](uint64_t done) {
        if (done >= firstPair + 5 * 64 * 1024)
            progress.canceled.store(true);
    };
    const BackupResult r = pmRunBackup(dest, {a, b, c}, options, progress);
    EXPECT_EQ(r.status, BackupStatus::Canceled);
    EXPECT_EQ(r.copied, 1);
    EXPECT_EQ(readFile(dest + "/FILE210315-081100_M.MP4"), readFile(a));
    EXPECT_TRUE(fs::exists(dest + "/FILE210315-081100_M.log"));
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081200_M.MP4"));
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081200_M.log"));
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081300_M.MP4"));
    EXPECT_EQ(partialFiles(dest), 0);
    // Cancel is seen after the block that set it, not at the end of the file.
    EXPECT_EQ(progress.bytesDone.load(), firstPair + 5 * 64 * 1024);
}

TEST_F(BackupEngineTest, RefusesDestinationsThatHoldARecordingBeforeWritingAnything)
{
    const std::string a = recording("FILE210315-081100_M.MP4", 5000, ".log");
    const std::string before = readFile(a);
    BackupProgress progress;
    // The recording's own folder, by its name and through a link to it.
    fs::create_directory_symlink(card, root + "/link");
    for (const std::string& target : {card, card + "/", root + "/link", root + "/card/../card/DCIM"}) {
        const BackupResult r = pmRunBackup(target, {a}, BackupOptions(), progress);
        EXPECT_EQ(r.status, BackupStatus::SourceInDestination) << target;
        EXPECT_EQ(r.file, a);
    }
    // The same file under the same name in another folder (a hard link).
    fs::create_hard_link(a, dest + "/FILE210315-081100_M.MP4");
    EXPECT_EQ(pmRunBackup(dest, {a}, BackupOptions(), progress).status, BackupStatus::SourceInDestination);
    EXPECT_EQ(readFile(a), before);
    EXPECT_EQ(fs::file_size(a), 5000u);

    // A recording chosen twice, a missing destination, a file as destination.
    // (Two recordings of one name from two folders both go: see the tool's tests.)
    const std::string twin = recording("FILE210315-081100_M.MP4", 10, nullptr, root + "/other");
    EXPECT_EQ(pmCheckBackupDestination(root + "/d2", {a}).status, BackupStatus::NoDestination);
    fs::create_directory(root + "/d2");
    EXPECT_EQ(pmCheckBackupDestination(root + "/d2", {a, a}).status, BackupStatus::DuplicateName);
    EXPECT_EQ(pmCheckBackupDestination(root + "/d2", {a, twin}).status, BackupStatus::Done);
    EXPECT_EQ(pmCheckBackupDestination(a, {twin}).status, BackupStatus::NoDestination);
    EXPECT_TRUE(fs::is_empty(root + "/d2"));
    EXPECT_EQ(progress.bytesDone.load(), 0u);
}

TEST_F(BackupEngineTest, ASourceThatVanishesOrChangesMidCopyFailsAndLeavesNoCopy)
{
    const std::string a = recording("FILE210315-081100_M.MP4", 1 << 20, ".log");
    const std::string b = recording("FILE210315-081200_M.MP4", 1 << 20, ".log");
    const std::string c = recording("FILE210315-081300_M.MP4", 1 << 20);
    BackupOptions options;
    options.blockSize = 64 * 1024;
    const uint64_t firstPair = pmBackupTotalSize({a});
    options.onBlock = [&](uint64_t done) {
        if (done >= firstPair + 64 * 1024 && fs::exists(b))
            fs::remove(b);
    };
    BackupProgress progress;
    BackupResult r = pmRunBackup(dest, {a, b, c}, options, progress);
    EXPECT_EQ(r.status, BackupStatus::ReadFailed);
    EXPECT_EQ(r.file, b);
    EXPECT_NE(pmDescribeBackupResult(r).find("FILE210315-081200_M.MP4"), std::string::npos);
    EXPECT_EQ(r.copied, 1);
    EXPECT_TRUE(fs::exists(dest + "/FILE210315-081100_M.MP4"));
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081200_M.MP4"));
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081300_M.MP4"));
    EXPECT_EQ(partialFiles(dest), 0);

    // Cut short while it is read (the camera rewriting it): not a copy of anything.
    fs::remove_all(dest);
    fs::create_directory(dest);
    options.onBlock = [&](uint64_t done) {
        if (done == 64 * 1024)
            fs::resize_file(c, 100000);
    };
    BackupProgress again;
    r = pmRunBackup(dest, {c}, options, again);
    EXPECT_EQ(r.status, BackupStatus::SourceChanged);
    EXPECT_TRUE(fs::is_empty(dest));

    // Not a regular file at all: refused without waiting on it.
    ASSERT_EQ(::mkfifo((card + "/FILE210315-081400_M.MP4").c_str(), 0644), 0);
    BackupProgress third;
    r = pmRunBackup(dest, {card + "/FILE210315-081400_M.MP4"}, BackupOptions(), third);
    EXPECT_EQ(r.status, BackupStatus::ReadFailed);
    EXPECT_TRUE(fs::is_empty(dest));
}

TEST_F(BackupEngineTest, ACopyThatDoesNotReadBackTheSameFailsVerification)
{
    const std::string a = recording("FILE210315-081100_M.MP4", 200000);
    BackupOptions options;
    options.evidence = true;
    options.blockSize = 200000;
    // After the last block is written, one byte of the copy changes on its
    // way to disk (the copy has no name yet: reached through this process's
    // open files).
    options.onBlock = [&](uint64_t) {
        for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            const std::string target = fs::read_symlink(e.path(), ec).string();
            if (ec || target.rfind(dest + "/", 0) != 0 || target.find("/recordings/") == std::string::npos)
                continue;
            std::fstream f(e.path(), std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(1234);
            f.put('\x5a' ^ readFile(a)[1234]);
        }
    };
    BackupProgress progress;
    const BackupResult r = pmRunBackup(dest, {a}, options, progress);
    EXPECT_EQ(r.status, BackupStatus::VerifyFailed);
    EXPECT_EQ(r.file, a);
    EXPECT_TRUE(fs::is_empty(dest));
}

TEST_F(BackupEngineTest, EvidencePackageIsAccountedForBySha256sum)
{
    // Two recordings with NMEA logs (tracks in three formats), one without a
    // track, and one whose name sha256sum must escape (backslash, line feed,
    // carriage return).
    mediagen::NmeaSpec wanted;
    wanted.drive.seconds = 12;
    const std::string a = recording("FILE210315-083000_M.MP4", 300000);
    ASSERT_TRUE(mediagen::writeNmeaLog(card + "/FILE210315-083000_M.NMEA", wanted));
    const std::string odd = recording("FILE210315-083100_M\\odd\nname\r.MP4", 1000);
    ASSERT_TRUE(mediagen::writeNmeaLog(card + "/FILE210315-083100_M\\odd\nname\r.log", wanted));
    const std::string plain = recording("FILE210315-083200_M.MP4", 4096);
    BackupOptions options;
    options.evidence = true;
    options.version = "9.8.7";
    options.sourceFolder = card;
    options.videoSeconds = [](const std::string&) { return 12.0; };
    BackupProgress progress;
    const BackupResult r = pmRunBackup(dest, {a, odd, plain}, options, progress);
    ASSERT_EQ(r.status, BackupStatus::Done) << pmDescribeBackupResult(r);
    // One folder of its own, named after the moment of packaging; nothing else in DEST.
    const std::string pkg = r.packageFolder;
    ASSERT_EQ(pkg.rfind(dest + "/Evidence-", 0), 0u) << pkg;
    EXPECT_EQ(std::distance(fs::directory_iterator(dest), fs::directory_iterator()), 1);

    for (const char* name : {"recordings/FILE210315-083000_M.MP4", "recordings/FILE210315-083000_M.NMEA",
                             "tracks/FILE210315-083000_M.MP4.kml", "tracks/FILE210315-083000_M.MP4.gpx",
                             "tracks/FILE210315-083000_M.MP4.csv", "package.txt", "SHA256SUMS"})
        EXPECT_TRUE(fs::exists(pkg + "/" + name)) << name;
    EXPECT_FALSE(fs::exists(pkg + "/tracks/FILE210315-083200_M.MP4.gpx"));
    // The KML document is named after the recording.
    EXPECT_NE(readFile(pkg + "/tracks/FILE210315-083000_M.MP4.kml")
                  .find("<name><![CDATA[FILE210315-083000_M.MP4]]>"),
              std::string::npos);

    const std::string package = readFile(pkg + "/package.txt");
    EXPECT_EQ(package.rfind("Rovix Manager 9.8.7\n", 0), 0u) << package;
    EXPECT_NE(package.find("Source folder: " + card), std::string::npos);
    EXPECT_NE(package.find("300000\t2021-03-15T08:11:00Z\trecordings/FILE210315-083000_M.MP4"),
              std::string::npos)
        << package;
    EXPECT_NE(package.find("FILE210315-083100_M\\\\odd\\nname\\r.MP4"), std::string::npos);

    // Every file of the package is listed, and sha256sum agrees with each line.
    const std::string sums = readFile(pkg + "/SHA256SUMS");
    int lines = 0;
    for (char ch : sums)
        lines += ch == '\n';
    EXPECT_EQ(lines, 3 + 2 + 6 + 1); // recordings, logs, tracks, package.txt
    Shell check = shell("cd '" + pkg + "' && sha256sum --strict -c SHA256SUMS");
    EXPECT_EQ(check.status, 0) << check.out;

    // One byte of one copy changed: sha256sum names it.
    {
        std::fstream f(pkg + "/recordings/FILE210315-083000_M.MP4",
                       std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(150000);
        const char old = static_cast<char>(f.get());
        f.seekp(150000);
        f.put(static_cast<char>(old ^ 1));
    }
    check = shell("cd '" + pkg + "' && sha256sum -c SHA256SUMS");
    EXPECT_NE(check.status, 0);
    EXPECT_NE(check.out.find("recordings/FILE210315-083000_M.MP4: FAILED"), std::string::npos) << check.out;

    // The GPX is well formed and gpsbabel reads back one point per sample with a position.
    const std::string gpx = pkg + "/tracks/FILE210315-083000_M.MP4.gpx";
    EXPECT_EQ(shell("xmllint --noout '" + gpx + "'").status, 0);
    const Shell points = shell("gpsbabel -t -i gpx -f '" + gpx + "' -o unicsv -F - | tail -n +2 | wc -l");
    ASSERT_EQ(points.status, 0) << points.out;
    int trkpt = 0;
    const std::string text = readFile(gpx);
    for (std::size_t at = 0; (at = text.find("<trkpt ", at)) != std::string::npos; ++at)
        ++trkpt;
    EXPECT_EQ(trkpt, 12);
    EXPECT_EQ(std::stoi(points.out), trkpt);
}

// A log rewritten on the card after its copy was verified, while a later
// recording is still being copied: the package's tracks show the log the
// package holds, not the one on the card.
TEST_F(BackupEngineTest, EvidenceTracksAreReadFromTheVerifiedCopies)
{
    mediagen::NmeaSpec original;
    original.drive.seconds = 8;
    original.drive.originLat = 35.25;
    const std::string a = recording("FILE210315-083000_M.MP4", 4096);
    const std::string log = card + "/FILE210315-083000_M.NMEA";
    ASSERT_TRUE(mediagen::writeNmeaLog(log, original));
    const std::string originalLog = readFile(log);
    const std::string b = recording("FILE210315-083100_M.MP4", 3 << 20);
    BackupOptions options;
    options.evidence = true;
    options.blockSize = 65536;
    bool rewritten = false;
    options.onBlock = [&](uint64_t done) {
        if (!rewritten && done > (1u << 20)) {
            mediagen::NmeaSpec other = original;
            other.drive.originLat = 51.75;
            rewritten = mediagen::writeNmeaLog(log, other);
        }
    };
    BackupProgress progress;
    const BackupResult r = pmRunBackup(dest, {a, b}, options, progress);
    ASSERT_EQ(r.status, BackupStatus::Done) << pmDescribeBackupResult(r);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(readFile(r.packageFolder + "/recordings/FILE210315-083000_M.NMEA"), originalLog);
    for (const char* ext : {".gpx", ".csv", ".kml"}) {
        const std::string track = readFile(r.packageFolder + "/tracks/FILE210315-083000_M.MP4" + ext);
        EXPECT_NE(track.find("35.25"), std::string::npos) << ext;
        EXPECT_EQ(track.find("51.7"), std::string::npos) << ext;
    }
}

TEST_F(BackupEngineTest, ASourceRewrittenInPlaceDuringItsCopyIsNotCertified)
{
    // The camera rewrites a recording in place at the same size: only the times tell.
    const std::string a = recording("FILE210315-081100_M.MP4", 1 << 20, ".log");
    const std::string log = card + "/FILE210315-081100_M.log";
    for (bool evidence : {false, true}) {
        for (const std::string& victim : {a, log}) {
            // Times of their own from the past, as a card's files have.
            mediagen::setFileTime(a, 1615795860);
            mediagen::setFileTime(log, 1615795860);
            BackupOptions options;
            options.evidence = evidence;
            options.blockSize = 64 * 1024;
            bool done = false;
            options.onBlock = [&](uint64_t bytes) {
                // Mid-recording, or after the log's only block.
                if (done || bytes < (victim == a ? 128u * 1024 : fs::file_size(a) + 1))
                    return;
                done = true;
                std::fstream f(victim, std::ios::in | std::ios::out | std::ios::binary);
                f.seekp(0);
                f.put('#');
            };
            BackupProgress progress;
            const BackupResult r = pmRunBackup(dest, {a}, options, progress);
            EXPECT_EQ(r.status, BackupStatus::SourceChanged) << victim << " evidence " << evidence;
            EXPECT_EQ(r.file, victim);
            EXPECT_NE(pmDescribeBackupResult(r).find("changed while being copied"), std::string::npos);
            ASSERT_EQ(r.items.size(), 1u);
            EXPECT_EQ(r.items[0].outcome, BackupItemOutcome::Failed);
            EXPECT_TRUE(r.packageFolder.empty());
            // Nothing of it stays: not the recording, not its log, no package.
            EXPECT_TRUE(fs::is_empty(dest)) << victim << " evidence " << evidence;
        }
    }
}

TEST_F(BackupEngineTest, OneRunPerDestinationTheOtherWaitsOrIsTurnedAway)
{
    const std::string a = recording("FILE210315-081100_M.MP4", 100000, ".log");
    const int held = ::open((dest + "/.rovix-backup.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    BackupProgress busy;
    BackupResult r = pmRunBackup(dest, {a}, BackupOptions(), busy);
    EXPECT_EQ(r.status, BackupStatus::Busy);
    EXPECT_EQ(pmDescribeBackupResult(r), dest + " is in use by another backup");

    // The application's way: it waits, and can be canceled while it waits.
    BackupOptions waiting;
    waiting.waitForDestination = true;
    BackupProgress progress;
    std::thread job([&] { r = pmRunBackup(dest, {a}, waiting, progress); });
    for (int i = 0; i < 2000 && progress.phase.load() != int(BackupPhase::WaitingForDestination); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(progress.phase.load(), int(BackupPhase::WaitingForDestination));
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081100_M.MP4"));
    ::close(held); // the other run ends (without removing its lock file)
    job.join();
    EXPECT_EQ(r.status, BackupStatus::Done) << pmDescribeBackupResult(r);
    EXPECT_EQ(readFile(dest + "/FILE210315-081100_M.MP4"), readFile(a));
    EXPECT_FALSE(fs::exists(dest + "/.rovix-backup.lock"));
    // A copy already there byte for byte counts as copied without being written again.
    BackupProgress again;
    r = pmRunBackup(dest, {a}, BackupOptions(), again);
    EXPECT_EQ(r.status, BackupStatus::Done);
    EXPECT_EQ(r.identical, 1);
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0].outcome, BackupItemOutcome::Identical);
    EXPECT_EQ(again.bytesDone.load(), pmBackupTotalSize({a}));

    const int again2 = ::open((dest + "/.rovix-backup.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(::flock(again2, LOCK_EX), 0);
    BackupProgress canceled;
    std::thread stopper([&] {
        for (int i = 0; i < 2000 && canceled.phase.load() != int(BackupPhase::WaitingForDestination); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        canceled.canceled.store(true);
    });
    r = pmRunBackup(dest, {a}, waiting, canceled);
    stopper.join();
    EXPECT_EQ(r.status, BackupStatus::Canceled);
    ::close(again2);
}

TEST(Sha256Test, MatchesSha256sumOnRealFilesWithAndWithoutTheCpuInstructions)
{
    const std::string dir = makeTempDir("sha");
    for (std::size_t size : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000003u}) {
        const std::string path = dir + "/f" + std::to_string(size);
        const std::string bytes = randomBytes(size, static_cast<uint32_t>(size));
        writeFile(path, bytes);
        const Shell expected = shell("sha256sum '" + path + "' | cut -c1-64");
        for (bool hardware : {true, false}) {
            Sha256::setHardwareAllowed(hardware);
            // Fed in uneven pieces, as a copy loop hands them over.
            Sha256 h;
            for (std::size_t at = 0; at < bytes.size();) {
                const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1 + (at * 7919) % 4099);
                h.update(bytes.data() + at, n);
                at += n;
            }
            EXPECT_EQ(Sha256::toHex(h.finish()) + "\n", expected.out) << size << " hardware " << hardware;
        }
    }
    Sha256::setHardwareAllowed(true);
    fs::remove_all(dir);
}

// A destination on a small file system of its own (a card or a stick).
class SmallMountTest : public BackupEngineTest
{
};

TEST_F(SmallMountTest, FullDiskReadOnlyVolumeAndPulledCard)
{
    SmallMount small(root + "/small", "size=8m");
    if (!small.mounted)
        GTEST_SKIP() << small.why;

    // Does not fit with 1 MiB to spare: refused before a byte is written.
    const std::string big = recording("FILE210315-081100_M.MP4", 7 * 1024 * 1024 + 512 * 1024);
    BackupProgress p1;
    BackupResult r = pmRunBackup(small.dir, {big}, BackupOptions(), p1);
    EXPECT_EQ(r.status, BackupStatus::NoSpace);
    EXPECT_TRUE(fs::is_empty(small.dir));

    // Fits at the check, then something else takes the space: the write fails,
    // the partial copy goes, the earlier recording stays.
    const std::string first = recording("FILE210315-081200_M.MP4", 100000, ".log");
    const std::string second = recording("FILE210315-081300_M.MP4", 5 * 1024 * 1024);
    BackupOptions options;
    options.blockSize = 256 * 1024;
    const uint64_t firstPair = pmBackupTotalSize({first});
    bool filled = false;
    options.onBlock = [&](uint64_t done) {
        if (done >= firstPair + 256 * 1024 && !filled) {
            filled = true;
            std::ofstream filler(small.dir + "/filler", std::ios::binary);
            const std::string chunk(64 * 1024, 'x');
            for (int i = 0; i < 200 && filler.write(chunk.data(), chunk.size()); ++i) {
            }
        }
    };
    BackupProgress p2;
    r = pmRunBackup(small.dir, {first, second}, options, p2);
    EXPECT_EQ(r.status, BackupStatus::WriteFailed) << pmDescribeBackupResult(r);
    EXPECT_EQ(r.file, second);
    EXPECT_EQ(readFile(small.dir + "/FILE210315-081200_M.MP4"), readFile(first));
    EXPECT_FALSE(fs::exists(small.dir + "/FILE210315-081300_M.MP4"));
    EXPECT_EQ(partialFiles(small.dir), 0);
    small.unmount();

    // A read-only volume is not a destination.
    SmallMount readOnly(root + "/ro", "size=1m");
    ASSERT_TRUE(readOnly.mounted);
    ASSERT_EQ(::mount(nullptr, readOnly.dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(pmCheckBackupDestination(readOnly.dir, {first}).status, BackupStatus::NoDestination);

    // The card is pulled while a recording is read from it.
    SmallMount cardMount(root + "/cardfs", "size=4m");
    ASSERT_TRUE(cardMount.mounted);
    const std::string onCard = recording("FILE210315-081400_M.MP4", 2 * 1024 * 1024, nullptr, cardMount.dir);
    options.onBlock = [&](uint64_t done) {
        if (done == 256 * 1024)
            cardMount.unmount();
    };
    BackupProgress p3;
    r = pmRunBackup(dest, {onCard}, options, p3);
    EXPECT_EQ(r.status, BackupStatus::ReadFailed) << pmDescribeBackupResult(r);
    EXPECT_TRUE(fs::is_empty(dest));
}

} // namespace
