// Runs the built rovixtool binary against a small card made on the spot.
#include "MediaGen.h"
#include "ProbeMediaBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
using namespace probebytes;

namespace
{

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun runTool(const std::string& args)
{
    ToolRun run;
    const std::string command = std::string(ROVIX_BINARY_DIR "/src/rovixtool ") + args;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, got);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

class ScanCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rovix_tool_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string put(const std::string& rel, const std::string& bytes)
    {
        const std::string path = root + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        writeFile(path, bytes);
        return path;
    }
    std::string root;
};

} // namespace

TEST_F(ScanCommandTest, ListsTheLibraryInPlaylistOrder)
{
    const std::string normal = put("DCIM/FILE200101-120000F.MP4", goodMov());
    const std::string log = put("DCIM/FILE200101-120000F.log", "$GPRMC\n");
    const std::string event = put("DCIM/EMER200101-120000F.MP4", goodMov());
    const std::string main = put("DCIM/FILE200101-120000F0001AM.MP4", goodMov());
    const std::string rear = put("DCIM/FILE200101-120000F0001A2.MP4", goodMov());
    const std::string parking = put("DCIM/park/PARK200101-110000F.MOV", goodMov());
    const std::string clip = put("clip.avi", avi("H264"));
    put("DCIM/.FILE200101-130000F.MP4", goodMov());
    put("DCIM/FILE200101-140000F.MP4", goodMov(600, 100));
    put("DCIM/FILE200101-150000F.MKV", goodMov());

    const ToolRun run = runTool("scan " + root);
    ASSERT_EQ(run.status, 0);
    const std::string expected =
        "2\t0\t3\t2020-01-01 11:00:00\t-\t" + parking + "\n" + "0\t1\t5\t2020-01-01 12:00:00\t-\t" + main +
        "\n" + "0\t2\t5\t2020-01-01 12:00:00\t-\t" + rear + "\n" + "0\t0\t5\t2020-01-01 12:00:00\t" + log +
        "\t" + normal + "\n" + "1\t0\t5\t2020-01-01 12:00:00\t-\t" + event + "\n" + "0\t0\t1\t-\t-\t" + clip +
        "\n";
    EXPECT_EQ(run.out, expected);
}

TEST_F(ScanCommandTest, RefusesWhatIsNotAFolder)
{
    const std::string file = put("FILE200101-120000F.MP4", goodMov());
    for (const std::string& target : {root + "/missing", file}) {
        const ToolRun run = runTool("scan " + target + " 2>" + root + "/err.txt");
        EXPECT_EQ(run.status, 2) << target;
        EXPECT_TRUE(run.out.empty());
        EXPECT_GT(fs::file_size(root + "/err.txt"), 0u);
    }
    // An empty folder is an empty library, not an error.
    fs::create_directory(root + "/empty");
    const ToolRun run = runTool("scan " + root + "/empty");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.empty());
}

// The tool answers the companion-log lookups from the listings it has just
// read; on a card with a log under every lookup rule (and rear recordings
// with none) each line must name exactly the log the card was made with.
TEST_F(ScanCommandTest, CompanionLogsMatchAGeneratedCard)
{
    const std::string card = root + "/card";
    std::vector<mediagen::ManifestEntry> manifest;
    std::string error;
    ASSERT_TRUE(mediagen::makeCard(card, mediagen::CardSpec{}, &manifest, &error)) << error;

    const ToolRun run = runTool("scan " + card);
    ASSERT_EQ(run.status, 0);
    std::map<std::string, std::string> logs; // recording path -> log column
    std::size_t start = 0;
    while (start < run.out.size()) {
        const std::size_t end = run.out.find('\n', start);
        const std::string line = run.out.substr(start, end - start);
        start = end == std::string::npos ? run.out.size() : end + 1;
        const std::size_t pathTab = line.rfind('\t');
        const std::size_t logTab = line.rfind('\t', pathTab - 1);
        logs[line.substr(pathTab + 1)] = line.substr(logTab + 1, pathTab - logTab - 1);
    }
    std::size_t checked = 0, withLog = 0;
    for (const mediagen::ManifestEntry& e : manifest) {
        if (e.kind != "recording" || !e.admitted)
            continue;
        const std::string path = card + "/" + e.path;
        ASSERT_TRUE(logs.count(path)) << path;
        const bool none = e.log.empty() || e.log == "-";
        EXPECT_EQ(logs[path], none ? "-" : card + "/" + e.log) << path << " (" << e.logRule << ")";
        ++checked;
        withLog += !none;
    }
    EXPECT_GT(checked, 20u);
    EXPECT_GT(withLog, 8u);
}

namespace
{

// The raw text of one field of a JSON Lines object written by the tool (a
// string keeps its quotes); "" when the key is missing.
std::string jsonField(const std::string& line, const std::string& key)
{
    const std::string marker = "\"" + key + "\":";
    const std::size_t at = line.find(marker);
    if (at == std::string::npos)
        return std::string();
    std::size_t end = at + marker.size();
    if (end < line.size() && line[end] == '"') {
        for (++end; end < line.size() && line[end] != '"'; ++end) {
            if (line[end] == '\\')
                ++end;
        }
        ++end;
    } else {
        end = line.find_first_of(",}", end);
    }
    return line.substr(at + marker.size(), end - at - marker.size());
}

std::string quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

} // namespace

// Every family's card read back through scan --json: names, types, cameras,
// pairs and codecs as the card was made; the plain listing keeps its order.
TEST_F(ScanCommandTest, JsonLinesMatchAFamilyCard)
{
    const std::string card = root + "/card";
    std::vector<mediagen::ManifestEntry> manifest;
    std::string error;
    ASSERT_TRUE(mediagen::makeFamilyCard(card, &manifest, &error)) << error;

    const ToolRun json = runTool("scan --json " + card);
    const ToolRun plain = runTool("scan " + card);
    ASSERT_EQ(json.status, 0);
    ASSERT_EQ(plain.status, 0);
    std::map<std::string, std::string> lines; // path -> JSON line
    std::vector<std::string> jsonOrder, plainOrder;
    for (std::size_t start = 0, end; start < json.out.size(); start = end + 1) {
        end = json.out.find('\n', start);
        const std::string line = json.out.substr(start, end - start);
        const std::string path = jsonField(line, "path");
        lines[path.substr(1, path.size() - 2)] = line;
        jsonOrder.push_back(path.substr(1, path.size() - 2));
    }
    for (std::size_t start = 0, end; start < plain.out.size(); start = end + 1) {
        end = plain.out.find('\n', start);
        const std::string line = plain.out.substr(start, end - start);
        plainOrder.push_back(line.substr(line.rfind('\t') + 1));
    }
    EXPECT_EQ(jsonOrder, plainOrder);
    ASSERT_EQ(lines.size(), manifest.size());
    for (const mediagen::ManifestEntry& e : manifest) {
        const std::string path = card + "/" + e.path;
        ASSERT_TRUE(lines.count(path)) << path;
        const std::string& line = lines[path];
        SCOPED_TRACE(line);
        EXPECT_EQ(jsonField(line, "family"), quoted(e.family));
        EXPECT_EQ(jsonField(line, "type"), std::to_string(e.type));
        EXPECT_EQ(jsonField(line, "camera"), std::to_string(e.camera));
        EXPECT_EQ(jsonField(line, "kind"), e.container == "MOV" ? "3" : "5");
        EXPECT_EQ(jsonField(line, "codec"), quoted(e.codec));
        EXPECT_EQ(jsonField(line, "log"), "null");
        EXPECT_EQ(jsonField(line, "partner"), e.partner.empty() ? "null" : quoted(card + "/" + e.partner));
        if (e.start.empty()) {
            EXPECT_EQ(jsonField(line, "start"), "null");
        } else {
            const std::string s = e.start; // YYMMDD-HHMMSS
            EXPECT_EQ(jsonField(line, "start"),
                      quoted("20" + s.substr(0, 2) + "-" + s.substr(2, 2) + "-" + s.substr(4, 2) + " " +
                             s.substr(7, 2) + ":" + s.substr(9, 2) + ":" + s.substr(11, 2)));
        }
    }
}

// Any byte a file name may hold comes out as JSON a reader can take back to
// the same bytes; a partner that was not admitted is none.
TEST_F(ScanCommandTest, JsonKeepsEveryByteOfAName)
{
    put(std::string("DCIM/a\"b\\c\td\xff\xc3\xa9.MP4"), goodMov());
    const std::string front = put("Record/20240315_090000_NF.mp4", goodMov());
    put("Record/20240315_090000_NR.mp4", "not a recording");
    const ToolRun run = runTool("scan --json " + root);
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("{\"path\":\"" + root +
                           "/DCIM/a\\\"b\\\\c\\td\\udcff\xc3\xa9.MP4\",\"type\":0,"
                           "\"camera\":0,\"kind\":5,\"codec\":\"h264\",\"start\":null,\"log\":null,"
                           "\"partner\":null,\"family\":\"timeless\"}\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("{\"path\":\"" + front +
                           "\",\"type\":0,\"camera\":1,\"kind\":5,\"codec\":\"h264\","
                           "\"start\":\"2024-03-15 09:00:00\",\"log\":null,\"partner\":null,"
                           "\"family\":\"blackvue\"}\n"),
              std::string::npos)
        << run.out;
}
