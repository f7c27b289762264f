// rovixtool backup as a hostile tester runs it: destinations on small real
// tmpfs mounts, two cards with the same names, packages next to each other,
// names a package uses itself, a destination in use, and the process killed
// mid-copy. Every package left behind must pass sha256sum -c.
#include "../backup/BackupTestSupport.h"
#include "MediaGen.h"
#include "StopSignalsWait.h"

#include <csignal>
#include <set>
#include <sys/file.h>
#include <thread>

using namespace backuptest;

namespace
{

struct BackupRun {
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

BackupRun tool(const std::string& args, const std::string& scratch, const std::string& cwd = std::string())
{
    BackupRun r;
    const std::string out = scratch + "/.out";
    const std::string err = scratch + "/.err";
    const std::string in = cwd.empty() ? std::string() : "cd " + quote(cwd) + " && ";
    const int raw = std::system((in + kTool + " " + args + " >" + quote(out) + " 2>" + quote(err)).c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

// Everything in a folder whose name starts with a dot, at any depth.
std::vector<std::string> hiddenFiles(const std::string& folder)
{
    std::vector<std::string> hidden;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->path().filename().string().front() == '.')
            hidden.push_back(it->path().string());
    return hidden;
}

std::vector<std::string> packages(const std::string& dest)
{
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dest))
        if (e.path().filename().string().rfind("Evidence-", 0) == 0)
            found.push_back(e.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

Shell verify(const std::string& package)
{
    return shell("cd " + quote(package) + " && sha256sum --strict -c SHA256SUMS");
}

int countLines(const std::string& text, const std::string& part)
{
    int n = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        n += line.find(part) != std::string::npos;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return n;
}

class BackupCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = makeTempDir("backup_cmd");
        ASSERT_FALSE(root.empty());
        fs::create_directories(root + "/dest");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // A recording of random bytes and, when `seed` is not 0, an NMEA log of
    // a drive of its own (each seed a different route).
    std::string recording(const std::string& folder, const std::string& name, std::size_t size, uint32_t seed,
                          const std::string& logExt = ".log")
    {
        const std::string path = root + "/" + folder + "/" + name;
        writeFile(path, randomBytes(size, seed + static_cast<uint32_t>(size)));
        if (seed != 0) {
            mediagen::NmeaSpec nmea;
            nmea.drive.seconds = 5;
            nmea.drive.seed = seed;
            nmea.drive.originLat = 35.0 + seed;
            const std::string stem = path.substr(0, path.find_last_of('.'));
            EXPECT_TRUE(mediagen::writeNmeaLog(stem + logExt, nmea));
        }
        return path;
    }
    std::string root;
};

TEST_F(BackupCommandTest, ALogThatDoesNotFitFailsItsRecordingAndStaleCopiesMakeRoom)
{
    SmallMount small(root + "/small", "size=2m");
    if (!small.mounted)
        GTEST_SKIP() << small.why;
    // A 573 KB recording with a 4.9 MB log on a 2 MB destination.
    const std::string rec = recording("card", "FILE210315-081100_M.MP4", 573 * 1024, 0);
    writeFile(root + "/card/FILE210315-081100_M.log", randomBytes(4900 * 1024, 7));
    BackupRun r = tool("backup " + quote(small.dir) + " " + quote(rec), root);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("FILE210315-081100_M.log"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(small.dir));

    // An earlier run's unfinished copy holds most of the space: it is of the
    // backup's own pattern, so it goes before the space is judged. Look-alikes stay.
    fs::remove(root + "/card/FILE210315-081100_M.log");
    writeFile(small.dir + "/.rovix-part-4242-7", randomBytes(1400 * 1024, 8));
    writeFile(small.dir + "/.rovix-part-x", "mine");
    writeFile(small.dir + "/notes.rovix-part-1-2", "mine too");
    r = tool("backup " + quote(small.dir) + " " + quote(rec), root);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(small.dir + "/FILE210315-081100_M.MP4"), readFile(rec));
    EXPECT_FALSE(fs::exists(small.dir + "/.rovix-part-4242-7"));
    EXPECT_TRUE(fs::exists(small.dir + "/.rovix-part-x"));
    EXPECT_TRUE(fs::exists(small.dir + "/notes.rovix-part-1-2"));
    EXPECT_EQ(hiddenFiles(small.dir), (std::vector<std::string>{small.dir + "/.rovix-part-x"}));
}

TEST_F(BackupCommandTest, ASecondCardReplacesRecordingAndLogTogetherAndIdenticalFilesAreKept)
{
    const std::string dest = root + "/dest";
    const std::string one = recording("card1", "FILE210315-081100_M.MP4", 300000, 1);
    const std::string two = recording("card2", "FILE210315-081100_M.MP4", 300000, 2);
    ASSERT_EQ(tool("backup " + quote(dest) + " " + quote(one), root).status, 0);
    const BackupRun trackOne = tool("track " + quote(dest + "/FILE210315-081100_M.MP4"), root);
    BackupRun r = tool("backup " + quote(dest) + " " + quote(two), root);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dest + "/FILE210315-081100_M.MP4"), readFile(two));
    EXPECT_EQ(readFile(dest + "/FILE210315-081100_M.log"), readFile(root + "/card2/FILE210315-081100_M.log"));
    // The copy's track is card 2's, not card 1's.
    const BackupRun trackCopy = tool("track " + quote(dest + "/FILE210315-081100_M.MP4"), root);
    const BackupRun trackTwo = tool("track " + quote(two), root);
    EXPECT_EQ(trackCopy.out, trackTwo.out);
    EXPECT_NE(trackCopy.out, trackOne.out);

    // The same card again: identical content counts as copied, the files are not rewritten.
    struct stat before {
    };
    ::stat((dest + "/FILE210315-081100_M.MP4").c_str(), &before);
    r = tool("backup " + quote(dest) + " " + quote(two), root);
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat after {
    };
    ::stat((dest + "/FILE210315-081100_M.MP4").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // A third card whose log has another name, and a fourth with no log at
    // all: the older logs would be read as the new recording's track, so they go.
    const std::string three = recording("card3", "FILE210315-081100_M.MP4", 300000, 3, ".NMEA");
    ASSERT_EQ(tool("backup " + quote(dest) + " " + quote(three), root).status, 0);
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081100_M.log"));
    EXPECT_EQ(tool("track " + quote(dest + "/FILE210315-081100_M.MP4"), root).out,
              tool("track " + quote(three), root).out);
    const std::string four = recording("card4", "FILE210315-081100_M.MP4", 300000, 0);
    ASSERT_EQ(tool("backup " + quote(dest) + " " + quote(four), root).status, 0);
    EXPECT_FALSE(fs::exists(dest + "/FILE210315-081100_M.NMEA"));
    EXPECT_EQ(readFile(dest + "/FILE210315-081100_M.MP4"), readFile(four));
    EXPECT_TRUE(hiddenFiles(dest).empty());
}

// Clearing an older card's log never reaches a log that another recording in
// the destination reads: the front's log shared by its rear partner, or the
// log of a recording of the same stem in another container.
TEST_F(BackupCommandTest, ClearingStaleLogsSparesTheLogsOfOtherRecordings)
{
    const std::string dest = root + "/dest";
    const std::string front = recording("card/100MEDIA_M", "FILE210315-083000_M.MP4", 20000, 0);
    const std::string rear = recording("card/100MEDIA_2", "FILE210315-083000_2.MP4", 20000, 0);
    mediagen::NmeaSpec nmea;
    nmea.drive.seconds = 5;
    ASSERT_TRUE(mediagen::writeNmeaLog(root + "/card/100MEDIA_M/FILE210315-083000_N.NMEA", nmea));
    const std::string frontTrack = tool("track " + quote(front), root).out;
    ASSERT_NE(frontTrack.find("#gps=1"), std::string::npos);
    ASSERT_EQ(tool("backup " + quote(dest) + " " + quote(front), root).status, 0);
    // The rear in either order with the front, alone or together.
    for (const std::string& args :
         {quote(rear), quote(rear) + " " + quote(front), quote(front) + " " + quote(rear)}) {
        const BackupRun r = tool("backup " + quote(dest) + " " + args, root);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(fs::exists(dest + "/FILE210315-083000_N.NMEA")) << args;
        EXPECT_EQ(tool("track " + quote(dest + "/FILE210315-083000_M.MP4"), root).out, frontTrack);
        EXPECT_EQ(tool("track " + quote(dest + "/FILE210315-083000_2.MP4"), root).out, frontTrack);
    }

    // X.MOV came with X.log; X.MP4 from another card has no log of its own.
    const std::string mov = recording("cardA", "X.MOV", 20000, 5);
    const std::string mp4 = recording("cardB", "X.MP4", 20000, 0);
    ASSERT_EQ(tool("backup " + quote(dest) + " " + quote(mov), root).status, 0);
    ASSERT_EQ(tool("backup " + quote(dest) + " " + quote(mp4), root).status, 0);
    EXPECT_EQ(readFile(dest + "/X.log"), readFile(root + "/cardA/X.log"));
    EXPECT_EQ(tool("track " + quote(dest + "/X.MOV"), root).out, tool("track " + quote(mov), root).out);
}

// A package holds the log every track it shows was read from (a rear
// recording's is its front's), and recordings or logs of one name from two
// folders both go, in a package and in a plain backup, each in its folder.
TEST_F(BackupCommandTest, PackagesHoldEachTracksLogAndKeepFoldersApart)
{
    const std::string dest = root + "/dest";
    recording("card/100MEDIA_M", "FILE210315-083000_M.MP4", 20000, 0);
    const std::string rear = recording("card/100MEDIA_2", "FILE210315-083000_2.MP4", 20000, 0);
    mediagen::NmeaSpec nmea;
    nmea.drive.seconds = 5;
    const std::string frontLog = root + "/card/100MEDIA_M/FILE210315-083000_N.NMEA";
    ASSERT_TRUE(mediagen::writeNmeaLog(frontLog, nmea));
    BackupRun r = tool("backup --evidence " + quote(dest) + " " + quote(rear), root);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string pkg = r.out.substr(0, r.out.size() - 1);
    EXPECT_EQ(verify(pkg).status, 0) << verify(pkg).out;
    EXPECT_EQ(readFile(pkg + "/recordings/FILE210315-083000_N.NMEA"), readFile(frontLog));
    EXPECT_EQ(countLines(readFile(pkg + "/SHA256SUMS"), "  recordings/FILE210315-083000_N.NMEA"), 1);
    EXPECT_EQ(
        countLines(readFile(pkg + "/package.txt"), "\trecordings/FILE210315-083000_N.NMEA\t" + frontLog), 1);
    EXPECT_NE(readFile(pkg + "/tracks/FILE210315-083000_2.MP4.csv").find("35.6"), std::string::npos);

    // Tracks inside the recording, and in the two files its camera writes beside it.
    mediagen::RecordingSpec video;
    video.seconds = 5;
    mediagen::EmbeddedSpec inside;
    mediagen::DriveSpec drive;
    drive.seconds = 5;
    drive.originLat = 48.5;
    inside.samples = mediagen::makeDrive(drive);
    mediagen::EmbeddedSpec beside = inside;
    beside.layout = mediagen::EmbeddedLayout::BlackVueSideFiles;
    const std::string novatek = root + "/card3/NOVATEK.MP4",
                      blackvue = root + "/card3/20210315_083100_NF.mp4";
    fs::create_directories(root + "/card3");
    ASSERT_TRUE(mediagen::writeRecordingWithEmbeddedTrack(novatek, video, inside));
    ASSERT_TRUE(mediagen::writeRecordingWithEmbeddedTrack(blackvue, video, beside));
    r = tool("backup --evidence " + quote(dest) + " " + quote(novatek) + " " + quote(blackvue), root);
    ASSERT_EQ(r.status, 0) << r.err;
    pkg = r.out.substr(0, r.out.size() - 1);
    EXPECT_EQ(verify(pkg).status, 0) << verify(pkg).out;
    for (const char* side : {"20210315_083100_NF.gps", "20210315_083100_NF.3gf"})
        EXPECT_EQ(readFile(pkg + "/recordings/" + side), readFile(root + "/card3/" + side)) << side;
    for (const char* name : {"NOVATEK.MP4", "20210315_083100_NF.mp4"}) {
        const std::string csv = readFile(pkg + "/tracks/" + name + ".csv");
        EXPECT_NE(csv.find(",48.5"), std::string::npos) << name << csv;
    }
    // The G values of the side file came along too.
    EXPECT_EQ(readFile(pkg + "/tracks/20210315_083100_NF.mp4.csv").find(",,,\n"), std::string::npos);

    // Front/ and Rear/ of one card, same names, each recording with its own log.
    std::vector<std::string> chosen;
    for (const char* folder : {"card2/Front", "card2/Rear"})
        chosen.push_back(recording(folder, "FILE210315-090000.MP4", 30000, folder[6] == 'F' ? 7 : 8));
    std::string args = quote(chosen[0]) + " " + quote(chosen[1]);
    // Named from the card's parent: package.txt still says where each came from.
    r = tool("backup --evidence " + quote(dest) +
                 " card2/Front/FILE210315-090000.MP4 "
                 "card2/Rear/FILE210315-090000.MP4",
             root, root);
    ASSERT_EQ(r.status, 0) << r.err;
    pkg = r.out.substr(0, r.out.size() - 1);
    EXPECT_EQ(verify(pkg).status, 0) << verify(pkg).out;
    const std::string card2 = fs::canonical(root + "/card2").string();
    const std::string listed = readFile(pkg + "/package.txt");
    EXPECT_NE(listed.find("Source folder: " + card2 + "\n"), std::string::npos) << listed;
    for (const char* source : {"/Front/FILE210315-090000.MP4\n", "/Rear/FILE210315-090000.log\n"})
        EXPECT_NE(listed.find("\t" + card2 + source), std::string::npos) << source << listed;
    const std::string sums = readFile(pkg + "/SHA256SUMS");
    for (const char* folder : {"Front", "Rear"}) {
        const std::string card = root + "/card2/" + folder;
        for (const char* file : {"FILE210315-090000.MP4", "FILE210315-090000.log"}) {
            const std::string copy = std::string("recordings/") + folder + "/" + file;
            EXPECT_EQ(readFile(pkg + "/" + copy), readFile(card + "/" + file)) << copy;
            EXPECT_EQ(countLines(sums, "  " + copy), 1) << copy;
        }
        EXPECT_EQ(readFile(pkg + "/tracks/" + folder + "/FILE210315-090000.MP4.gpx").size() > 0, true);
    }
    EXPECT_NE(readFile(pkg + "/tracks/Front/FILE210315-090000.MP4.csv"),
              readFile(pkg + "/tracks/Rear/FILE210315-090000.MP4.csv"));
    const std::string dest2 = root + "/dest2";
    fs::create_directories(dest2);
    r = tool("backup " + quote(dest2) + " " + args, root);
    ASSERT_EQ(r.status, 0) << r.err;
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string copy = dest2 + (i == 0 ? "/Front" : "/Rear") + "/FILE210315-090000.MP4";
        EXPECT_EQ(readFile(copy), readFile(chosen[i]));
        EXPECT_EQ(tool("track " + quote(copy), root).out, tool("track " + quote(chosen[i]), root).out);
    }
    EXPECT_TRUE(hiddenFiles(dest2).empty());
}

TEST_F(BackupCommandTest, EachPackageIsAFolderOfItsOwnThatVerifies)
{
    const std::string dest = root + "/dest";
    // Names whose tracks once collided, names the package uses for itself,
    // and a carriage return at the end of a name.
    std::vector<std::string> first;
    first.push_back(recording("card", "X.MP4", 20000, 11));     // log X.log
    first.push_back(recording("card", "X.MOV", 20000, 0));      // shares X.log
    first.push_back(recording("card", "X.MOV.AVI", 20000, 12)); // log X.MOV.log
    first.push_back(recording("card", "package.txt", 3000, 0));
    first.push_back(recording("card", "SHA256SUMS", 3000, 0));
    first.push_back(recording("card", "FILE210315-081100_M\r.MP4", 5000, 13)); // log ...\r.log
    std::string args = "backup --evidence " + quote(dest);
    for (const std::string& f : first)
        args += " " + quote(f);
    BackupRun r = tool(args, root);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> made = packages(dest);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(r.out, made[0] + "\n");
    const std::string pkg = made[0];
    const Shell check = verify(pkg);
    EXPECT_EQ(check.status, 0) << check.out;
    const std::string sums = readFile(pkg + "/SHA256SUMS");
    // A KML, GPX and CSV for each recording with a track, each its own file.
    EXPECT_EQ(countLines(sums, "  tracks/"), 12);
    EXPECT_EQ(countLines(sums, "  tracks/X."), 9);
    for (const char* name : {"X.MP4", "X.MOV", "X.MOV.AVI"})
        for (const char* ext : {".kml", ".gpx", ".csv"})
            EXPECT_TRUE(fs::exists(pkg + "/tracks/" + name + ext)) << name << ext;
    EXPECT_NE(readFile(pkg + "/tracks/X.MOV.kml").find("<name><![CDATA[X.MOV]]></name>"), std::string::npos);
    // The recordings named like the package's own files are in recordings/, untouched.
    EXPECT_EQ(readFile(pkg + "/recordings/package.txt"), readFile(first[3]));
    EXPECT_EQ(readFile(pkg + "/recordings/SHA256SUMS"), readFile(first[4]));
    EXPECT_EQ(readFile(pkg + "/package.txt").rfind("Rovix Manager ", 0), 0u);
    EXPECT_EQ(countLines(sums, "recordings/X.log"), 1); // a shared log is one file
    EXPECT_EQ(countLines(sums, "  recordings/FILE210315-081100_M\\r.MP4"), 1);

    // A second package into the same folder leaves the first as it was.
    const std::string other = recording("card", "FILE210315-081200_M.MP4", 7000, 14);
    r = tool("backup --evidence " + quote(dest) + " " + quote(other), root);
    ASSERT_EQ(r.status, 0) << r.err;
    made = packages(dest);
    ASSERT_EQ(made.size(), 2u);
    for (const std::string& p : made)
        EXPECT_EQ(verify(p).status, 0) << p;

    // A failed run (its second recording is missing) leaves no package of its own.
    r = tool("backup --evidence " + quote(dest) + " " + quote(other) + " " + quote(root + "/card/gone.MP4"),
             root);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("gone.MP4"), std::string::npos) << r.err;
    EXPECT_EQ(packages(dest), made);
    for (const std::string& p : made)
        EXPECT_EQ(verify(p).status, 0) << p;
    EXPECT_TRUE(hiddenFiles(dest).empty());
}

TEST_F(BackupCommandTest, ADestinationInUseIsRefusedAtOnce)
{
    const std::string dest = root + "/dest";
    const std::string rec = recording("card", "FILE210315-081100_M.MP4", 10000, 1);
    // Another backup holds the destination.
    const int fd = ::open((dest + "/.rovix-backup.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    for (const char* mode : {"", "--evidence "}) {
        const BackupRun r = tool(std::string("backup ") + mode + quote(dest) + " " + quote(rec), root);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(dest + " is in use by another backup"), std::string::npos) << r.err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dest), fs::directory_iterator()), 1);
    ::close(fd);
    // Once it is free, the lock file left by the other run is taken and removed.
    const BackupRun r = tool("backup " + quote(dest) + " " + quote(rec), root);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(hiddenFiles(dest).empty());
}

// Killed at whatever moment the signal lands (the outcome varies, what is
// left must not): with Ctrl+C, SIGTERM or SIGHUP the run removes what is
// unfinished and exits 1; with SIGKILL nothing of an unfinished copy has a name. A second
// run then succeeds, and every package that has SHA256SUMS verifies.
TEST_F(BackupCommandTest, KilledRunsLeaveNothingHiddenAndNoPackageThatFails)
{
    const std::string dest = root + "/dest";
    std::vector<std::string> recs;
    for (int i = 0; i < 3; ++i)
        recs.push_back(recording("card", "FILE210315-08110" + std::to_string(i) + "_M.MP4", 3 << 20,
                                 static_cast<uint32_t>(i + 1)));
    std::mt19937 rng(20261208);
    const int signals[] = {SIGKILL, SIGINT, SIGTERM, SIGHUP, SIGKILL};
    for (int round = 0; round < 5; ++round) {
        const bool evidence = round % 2 == 0;
        std::vector<std::string> argv = {kTool, "backup"};
        if (evidence)
            argv.push_back("--evidence");
        argv.push_back(dest);
        argv.insert(argv.end(), recs.begin(), recs.end());
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<char*> args;
            for (std::string& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(kTool.c_str(), args.data());
            ::_exit(127);
        }
        if (signals[round] != SIGKILL) {
            ASSERT_TRUE(stopsignalswait::catchesStopSignals(pid)) << "round " << round;
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(rng)));
        ::kill(pid, signals[round]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        // SIGKILL ends it; the others stop it with exit 1 (0 when it finished first).
        if (signals[round] == SIGKILL && WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), SIGKILL);
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << "round " << round << " died by signal " << WTERMSIG(status);
            EXPECT_TRUE(WEXITSTATUS(status) == 0 || (signals[round] != SIGKILL && WEXITSTATUS(status) == 1))
                << "round " << round << " exit " << WEXITSTATUS(status);
        }
        if (signals[round] != SIGKILL) {
            EXPECT_TRUE(hiddenFiles(dest).empty()) << "round " << round;
        }
        // Whatever stands under a recording's name is that recording, whole.
        for (const std::string& rec : recs) {
            const std::string copy = dest + "/" + fs::path(rec).filename().string();
            if (fs::exists(copy)) {
                EXPECT_EQ(readFile(copy), readFile(rec)) << copy;
            }
        }
        for (const std::string& p : packages(dest)) {
            if (fs::exists(p + "/SHA256SUMS")) {
                EXPECT_EQ(verify(p).status, 0) << p;
            }
        }

        const BackupRun again = tool(std::string("backup ") + (evidence ? "--evidence " : "") + quote(dest) +
                                         " " + quote(recs[0]) + " " + quote(recs[1]) + " " + quote(recs[2]),
                                     root);
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(hiddenFiles(dest).empty()) << "round " << round;
        for (const std::string& p : packages(dest)) {
            if (fs::exists(p + "/SHA256SUMS")) {
                EXPECT_EQ(verify(p).status, 0) << p;
            }
        }
    }
}

} // namespace
