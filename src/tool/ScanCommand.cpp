// rovixtool scan FOLDER: the library exactly as the application builds it, in
// playlist order, one tab-separated line per recording:
//   type  camera  container  start-time  companion-log  path
// Start time and companion log print "-" when there is none; a start time the
// name spells but that never existed (day 0, month 13, 25 o'clock) prints "-"
// too. File names may hold any byte but "/" and NUL, so in the two path fields
// a backslash is written "\\", a tab "\t", a newline "\n" and a carriage
// return "\r": every recording stays one line of six fields.
//
// rovixtool scan --json FOLDER: the same recordings in the same order as JSON
// Lines, one object per recording:
//   {"path":..,"type":0,"camera":1,"kind":5,"codec":"h264",
//    "start":"YYYY-MM-DD HH:MM:SS"|null,"log":..|null,"partner":..|null,"family":"rovix"}
// type, camera and kind are the numbers of the plain listing; partner is the
// other camera's recording of the same moment when the scan admitted it.
// Strings are JSON with the bytes that are not UTF-8 kept (pmAppendJsonString).
#include "tool/Commands.h"

#include "core/CameraFamilies.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace
{

// Answers the companion-log rule's existence tests from the listings the walk
// has just read, so a card of thousands of recordings costs no extra stat per
// candidate. A path whose folder was not listed whole is asked of the disk.
// Names are kept once and looked up by views: a test costs two hash look-ups
// and no allocation.
class ListingCache
{
public:
    void add(const std::string& folder, const std::vector<std::string>& names)
    {
        // The folder's names laid end to end in one string, reserved whole
        // first so the views into it stay put.
        std::size_t total = folder.size();
        for (const std::string& name : names)
            total += name.size();
        m_storage.emplace_back();
        std::string& arena = m_storage.back();
        arena.reserve(total);
        arena += folder;
        const std::string_view key(arena.data(), folder.size());
        std::unordered_set<std::string_view>& set = m_folders[key];
        set.clear();
        set.reserve(names.size());
        for (const std::string& name : names) {
            const std::size_t at = arena.size();
            arena += name;
            set.insert(std::string_view(arena.data() + at, name.size()));
        }
    }

    bool exists(const std::string& path) const
    {
        const auto [folder, name] = split(path);
        if (!name.empty()) {
            const auto it = m_folders.find(folder);
            if (it != m_folders.end())
                return it->second.count(name) != 0;
        }
        return pmIsFileExist(path);
    }

    bool isFolder(const std::string& path) const
    {
        if (m_folders.count(std::string_view(path)))
            return true;
        const auto [folder, name] = split(path);
        if (!name.empty()) {
            const auto it = m_folders.find(folder);
            if (it != m_folders.end() && !it->second.count(name))
                return false;
        }
        struct stat st {
        };
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

private:
    // Folder and name of a path; an empty name when there is no "/" or the
    // path ends in one.
    static std::pair<std::string_view, std::string_view> split(const std::string& path)
    {
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos || slash + 1 >= path.size())
            return {std::string_view(), std::string_view()};
        const std::string_view whole(path);
        return {whole.substr(0, slash), whole.substr(slash + 1)};
    }

    std::deque<std::string> m_storage; // one string per folder that the views point into; never moved
    std::unordered_map<std::string_view, std::unordered_set<std::string_view>> m_folders;
};

// A number of at most `width` digits, zero-padded to `width` ("%0Nu").
void appendDigits(std::string& out, unsigned value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(digits, std::size_t(width));
}

} // namespace

int runScanCommand(const char* folder, bool json)
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
    std::vector<ScannedRecording> library = scanner.scan(folder);
    const PathTest exists = [&listings](const std::string& p) { return listings.exists(p); };
    const PathTest isFolder = [&listings](const std::string& p) { return listings.isFolder(p); };
    std::vector<std::string> paths;
    std::vector<VideoCodec> codecs;
    paths.reserve(library.size());
    codecs.reserve(library.size());
    for (ScannedRecording& entry : library) {
        paths.push_back(std::move(entry.path));
        codecs.push_back(entry.codec);
    }
    // The admitted recordings, for the partner field: a partner the scan did
    // not admit (missing, not playable) is no partner.
    std::unordered_set<std::string_view> admitted;
    if (json) {
        admitted.reserve(paths.size());
        for (const std::string& path : paths)
            admitted.insert(path);
    }

    auto appendStart = [](std::string& out, const NameFacts& facts) {
        if (facts.hasTime && pmIsRealDateTime(facts.start)) {
            const _SYSTEMTIME& start = facts.start;
            appendDigits(out, start.wYear, 4);
            out += '-';
            appendDigits(out, start.wMonth, 2);
            out += '-';
            appendDigits(out, start.wDay, 2);
            out += ' ';
            appendDigits(out, start.wHour, 2);
            out += ':';
            appendDigits(out, start.wMinute, 2);
            out += ':';
            appendDigits(out, start.wSecond, 2);
            return true;
        }
        return false;
    };

    // One listing line per recording, in playlist order.
    auto appendLine = [&](std::string& out, std::size_t index) {
        const std::string& path = paths[index];
        const std::string log = pmGetGpsLogFile(path, exists, isFolder);
        const NameFacts facts = pmReadNameFacts(path);
        const RecordingType type =
            facts.typeKnown ? facts.type : (pmIsEventByAttribute(path) ? kRecordingEvent : kRecordingNormal);
        const int kind = int(pmGetMediaType(path));
        if (json) {
            out += "{\"path\":";
            pmAppendJsonString(out, path);
            out += ",\"type\":";
            out += char('0' + unsigned(type) % 10);
            out += ",\"camera\":";
            out += char('0' + unsigned(facts.camera) % 10);
            out += ",\"kind\":";
            out += std::to_string(kind);
            out += ",\"codec\":";
            const char* codec = pmVideoCodecName(codecs[index]);
            if (*codec)
                pmAppendJsonString(out, codec);
            else
                out += "null";
            out += ",\"start\":";
            std::string start;
            if (appendStart(start, facts))
                pmAppendJsonString(out, start);
            else
                out += "null";
            out += ",\"log\":";
            if (log.empty())
                out += "null";
            else
                pmAppendJsonString(out, log);
            out += ",\"partner\":";
            const std::string partner = pmGetAnotherCameraPath(path, exists);
            if (!partner.empty() && partner != path && admitted.count(partner))
                pmAppendJsonString(out, partner);
            else
                out += "null";
            out += ",\"family\":";
            pmAppendJsonString(out, std::string(facts.family->id));
            out += "}\n";
            return;
        }
        // Type and camera are single digits and the container kind is -1, 1,
        // 3 or 5: written by hand, a line costs no formatting pass.
        out += char('0' + unsigned(type) % 10);
        out += '\t';
        out += char('0' + unsigned(facts.camera) % 10);
        out += '\t';
        if (kind < 0)
            out += '-';
        out += char('0' + (kind < 0 ? -kind : kind) % 10);
        out += '\t';
        if (!appendStart(out, facts))
            out += '-';
        out += '\t';
        if (log.empty())
            out += '-';
        else
            pmAppendEscapedField(out, log);
        out += '\t';
        pmAppendEscapedField(out, path);
        out += '\n';
    };

    // The lines are made a block at a time, each block shared out in
    // contiguous parts among a few threads (the listings are only read by
    // then), and written in order, so a card of any size costs a bounded
    // buffer and the listing never depends on which thread was quicker.
    const std::vector<std::size_t> order = pmSortByFileDate(paths);
    const unsigned threads = std::min(std::max(1u, std::thread::hardware_concurrency()), 8u);
    constexpr std::size_t kBlock = 4096;
    constexpr std::size_t kLinesPerThread = 256;
    bool written = true;
    for (std::size_t block = 0; block < order.size(); block += kBlock) {
        const std::size_t count = std::min(kBlock, order.size() - block);
        const std::size_t parts =
            std::max<std::size_t>(1, std::min<std::size_t>(threads, count / kLinesPerThread));
        std::vector<std::string> texts(parts);
        auto makePart = [&](std::size_t part) {
            const std::size_t from = block + count * part / parts;
            const std::size_t to = block + count * (part + 1) / parts;
            for (std::size_t i = from; i < to; ++i)
                appendLine(texts[part], order[i]);
        };
        std::vector<std::thread> helpers;
        for (std::size_t part = 1; part < parts; ++part) {
            try {
                helpers.emplace_back(makePart, part);
            } catch (const std::system_error&) {
                break; // the rest is made on this thread
            }
        }
        makePart(0);
        for (std::size_t part = helpers.size() + 1; part < parts; ++part)
            makePart(part);
        for (std::thread& helper : helpers)
            helper.join();
        for (const std::string& text : texts)
            written = written && std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    }
    if (!written || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "rovixtool: scan: cannot write the listing\n");
        return 1;
    }
    return 0;
}
