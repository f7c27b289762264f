// rovixtool against hostile cards: names that would break the listing, start
// times that never existed, recordings that are not there or not files, KML
// outputs that would overwrite what they export, and a chunk claiming 2 GB.
#include "MediaGen.h"
#include "SanitizerBuild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const std::string kTool = ROVIX_BINARY_DIR "/src/rovixtool";

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (const char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class ToolHostileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!fs::exists(kTool))
            GTEST_SKIP() << "rovixtool not built";
        char pattern[] = "/tmp/rovix_toolhostile_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    // Runs rovixtool with these arguments (each passed as one word).
    ToolRun tool(const std::vector<std::string>& args)
    {
        std::string command = kTool;
        for (const std::string& a : args)
            command += " " + quoted(a);
        command += " >" + root + "/out.txt 2>" + root + "/err.txt";
        ToolRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = slurp(root + "/out.txt");
        run.err = slurp(root + "/err.txt");
        return run;
    }

    // One small playable recording, copied under each name asked for.
    std::string recording(const std::string& rel)
    {
        if (sample.empty()) {
            sample = root + "/sample.mp4";
            mediagen::RecordingSpec wanted;
            wanted.seconds = 1;
            std::string error;
            EXPECT_TRUE(mediagen::writeRecording(sample, wanted, &error)) << error;
        }
        const std::string path = root + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        fs::copy_file(sample, path, fs::copy_options::overwrite_existing);
        return path;
    }

    std::string root;
    std::string sample;
};

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

// The reverse of the listing's escapes; "?" marks an escape it never writes.
std::string unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        out += c == '\\' ? '\\' : c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : '?';
    }
    return out;
}

} // namespace

TEST_F(ToolHostileTest, ScanListingSurvivesAnyNameAndShowsOnlyRealMoments)
{
    const std::string card = root + "/card";
    const std::vector<std::string> names = {
        "ok/FILE250101-100000F.MP4",          // a plain name: a real moment
        "tab\tfolder/FILE250101-100001F.MP4", // a tab in the folder
        "nl\nfolder/FILE250101-100002F.MP4",  // a newline in the folder
        "ok/FILE250101-100003F\r\\x.MP4",     // carriage return and backslash in the name
        "ok/FILE2501xx-xx3045.MP4",           // day and hour are not numbers
        "ok/FILE251301-100000F.MP4",          // month 13
        "ok/FILE250229-100000F.MP4",          // 29 February of a common year
        "ok/FILE250101-246000F.MP4",          // 24:60
        "ok/NODIGITS-ANYWHERE-AT-ALL.MP4",    // nothing to read
    };
    std::vector<std::string> paths;
    for (const std::string& n : names)
        paths.push_back(recording("card/" + n));
    // The log of the recording in the tab folder sits beside it, so its path has a tab too.
    std::ofstream(card + "/tab\tfolder/FILE250101-100001F.log") << "$GPRMC\n";

    const ToolRun run = tool({"scan", card});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = splitLines(run.out);
    ASSERT_EQ(lines.size(), names.size()) << run.out;
    std::map<std::string, std::vector<std::string>> byPath;
    for (const std::string& line : lines) {
        const std::vector<std::string> f = splitTabs(line);
        ASSERT_EQ(f.size(), 6u) << line;
        byPath[unescape(f[5])] = f;
    }
    for (const std::string& p : paths)
        ASSERT_TRUE(byPath.count(p)) << p;

    EXPECT_EQ(byPath[paths[0]][3], "2025-01-01 10:00:00");
    EXPECT_EQ(byPath[paths[1]][3], "2025-01-01 10:00:01");
    EXPECT_EQ(unescape(byPath[paths[1]][4]), card + "/tab\tfolder/FILE250101-100001F.log");
    EXPECT_EQ(byPath[paths[3]][5], card + "/ok/FILE250101-100003F\\r\\\\x.MP4");
    for (std::size_t i = 4; i < paths.size(); ++i)
        EXPECT_EQ(byPath[paths[i]][3], "-") << names[i];
}

TEST_F(ToolHostileTest, TrackAndKmlRefuseWhatIsNoRecording)
{
    const std::string folder = root + "/folder.AVI";
    fs::create_directories(folder);
    const std::string fifo = root + "/FILE250101-100000_M.AVI";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::vector<std::string> bad = {root + "/missing.AVI", folder, fifo};
    const std::string unreadable = recording("FILE250101-110000_M.MP4");
    ::chmod(unreadable.c_str(), 0);
    if (::geteuid() != 0) // the superuser reads anything
        bad.push_back(unreadable);
    for (const std::string& path : bad) {
        const ToolRun track = tool({"track", path});
        EXPECT_EQ(track.status, 2) << path;
        EXPECT_TRUE(track.out.empty()) << path;
        EXPECT_NE(track.err.find(path), std::string::npos) << track.err;
        const ToolRun kml = tool({"kml", path, root + "/out.kml"});
        EXPECT_EQ(kml.status, 2) << path;
        EXPECT_FALSE(fs::exists(root + "/out.kml")) << path;
    }
}

TEST_F(ToolHostileTest, KmlNeverOverwritesTheRecordingOrItsLog)
{
    // A front recording with its log, and the rear one that takes the front's log.
    const std::string front = recording("cam/FILE250101-100000_M.MP4");
    const std::string rear = recording("cam/FILE250101-100000_2.MP4");
    const std::string log = root + "/cam/FILE250101-100000_M.NMEA";
    mediagen::NmeaSpec wanted;
    wanted.drive.seconds = 5;
    std::string error;
    ASSERT_TRUE(mediagen::writeNmeaLog(log, wanted, &error)) << error;
    const std::string frontBytes = slurp(front);
    const std::string logBytes = slurp(log);
    fs::create_hard_link(front, root + "/hard-link.kml");
    fs::create_symlink(log, root + "/log-link.kml");

    struct Case {
        std::string recording, output;
    };
    const std::vector<Case> refused = {
        {front, front},
        {front, root + "/cam/../cam/FILE250101-100000_M.MP4"},
        {front, root + "/hard-link.kml"},
        {front, log},
        {front, root + "/log-link.kml"},
        {rear, log}, // the log the rear recording's track is read from
    };
    for (const Case& c : refused) {
        const ToolRun run = tool({"kml", c.recording, c.output});
        EXPECT_EQ(run.status, 2) << c.output;
        EXPECT_NE(run.err.find("refusing"), std::string::npos) << run.err;
    }
    EXPECT_EQ(slurp(front), frontBytes);
    EXPECT_EQ(slurp(log), logBytes);

    // Anything else is written.
    const ToolRun ok = tool({"kml", rear, root + "/rear.kml"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(slurp(root + "/rear.kml").find("<coordinates>"), std::string::npos);
}

TEST_F(ToolHostileTest, ChunkClaimingGigabytesRunsInLittleMemory)
{
    if (kAddressSanitizer)
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit a data limit";
    // 512 MB whose position chunk claims 2^31-1 bytes: a day of samples at
    // most, written out as it goes. The tool may use 50 MB of heap.
    const std::string avi = root + "/F.AVI";
    {
        std::ofstream out(avi, std::ios::binary);
        out << std::string("RIFF\0\0\0\0AVI LIST\4\0\0\0hdrlidx1\0\0\0\0SLLT\xff\xff\xff\x7f", 40);
    }
    ASSERT_EQ(::truncate(avi.c_str(), off_t(512) << 20), 0);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"track", avi}, std::vector<std::string>{"kml", avi, root + "/F.kml"}}) {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const struct rlimit data = {rlim_t(50) << 20, rlim_t(50) << 20};
            ::setrlimit(RLIMIT_DATA, &data);
            ::alarm(60);
            if (!std::freopen((root + "/out-" + args[0] + ".txt").c_str(), "w", stdout))
                ::_exit(98);
            std::vector<char*> argv = {const_cast<char*>(kTool.c_str())};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(kTool.c_str(), argv.data());
            ::_exit(99);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << args[0] << " killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << args[0];
    }
    // One line per second of a day, the header and the summary.
    const std::string csv = slurp(root + "/out-track.txt");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 86400 + 2);
}
