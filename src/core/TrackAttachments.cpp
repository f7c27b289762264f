#include "core/TrackAttachments.h"

#include "core/ForeignTrack.h"
#include "core/GpsList.h"
#include "core/TrackLoader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{

constexpr const char* kHeader = "rovix-track-attachments 1";
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

// Paths may hold any byte but a NUL; tabs, newlines and backslashes are escaped.
std::string escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool unescape(const std::string& s, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size())
            return false;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace

TrackAttachmentStore::TrackAttachmentStore(std::string dataFolder) : m_folder(std::move(dataFolder)) {}

std::string TrackAttachmentStore::filePath() const
{
    return m_folder + "/track-attachments.tsv";
}

bool TrackAttachmentStore::load(std::string& error)
{
    m_items.clear();
    m_skipped = 0;
    if (::access(filePath().c_str(), F_OK) != 0 && errno == ENOENT)
        return true;
    std::ifstream in(filePath(), std::ios::binary);
    if (!in) {
        error = filePath() + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    std::size_t read = 0;
    bool first = true;
    while (std::getline(in, line)) {
        read += line.size() + 1;
        if (read > kMaxFileBytes) {
            error = filePath() + ": larger than 16 MB; not read";
            m_items.clear();
            return false;
        }
        if (first) {
            first = false;
            if (line == kHeader)
                continue;
        }
        // scope TAB offset TAB recording TAB track
        std::vector<std::string> f;
        std::size_t at = 0;
        while (f.size() < 5) {
            const std::size_t end = line.find('\t', at);
            f.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
            if (end == std::string::npos)
                break;
            at = end + 1;
        }
        TrackAttachment a;
        int offset = 0;
        std::string why;
        if (f.size() != 4 || (f[0] != "recording" && f[0] != "trip") ||
            !parseTrackOffset(f[1], offset, why) || !unescape(f[2], a.recording) ||
            !unescape(f[3], a.trackFile) || a.recording.empty() || a.trackFile.empty()) {
            ++m_skipped;
            continue;
        }
        a.wholeTrip = f[0] == "trip";
        a.offsetSeconds = offset;
        std::string ignored;
        attach(a, ignored);
    }
    return true;
}

bool TrackAttachmentStore::save(std::string& error) const
{
    std::string text = std::string(kHeader) + "\n";
    for (const TrackAttachment& a : m_items) {
        text += std::string(a.wholeTrip ? "trip" : "recording") + "\t" + std::to_string(a.offsetSeconds) +
                "\t" + escape(a.recording) + "\t" + escape(a.trackFile) + "\n";
    }
    const std::string path = filePath();
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = temp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool flushed = std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::optional<TrackAttachment> TrackAttachmentStore::find(const std::string& recording,
                                                          const std::string& tripFirst) const
{
    for (const TrackAttachment& a : m_items)
        if (!a.wholeTrip && a.recording == recording)
            return a;
    for (const TrackAttachment& a : m_items)
        if (a.wholeTrip && (a.recording == recording || (!tripFirst.empty() && a.recording == tripFirst)))
            return a;
    return std::nullopt;
}

bool TrackAttachmentStore::attach(const TrackAttachment& attachment, std::string& error)
{
    error = trackOffsetProblem(attachment.offsetSeconds);
    if (error.empty() && (attachment.recording.empty() || attachment.trackFile.empty()))
        error = "an attachment needs a recording and a track file";
    if (error.empty() && (attachment.recording.find('\0') != std::string::npos ||
                          attachment.trackFile.find('\0') != std::string::npos))
        error = "a path holds a NUL byte";
    if (!error.empty())
        return false;
    for (TrackAttachment& a : m_items) {
        if (a.recording == attachment.recording && a.wholeTrip == attachment.wholeTrip) {
            a = attachment;
            return true;
        }
    }
    m_items.push_back(attachment);
    return true;
}

bool TrackAttachmentStore::remove(const std::string& recording, bool wholeTrip)
{
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->recording == recording && it->wholeTrip == wholeTrip) {
            m_items.erase(it);
            return true;
        }
    }
    return false;
}

bool pmAlignAttachedTrack(const ForeignTrack& track, int offsetSeconds, const std::string& recording,
                          double videoSeconds, GpsList& list, std::string& error)
{
    list.ClearAllData();
    int64_t startMs = 0;
    if (!recordingStartUtcMs(recording, startMs)) {
        error = "the recording's name holds no start time to line the track up with";
        return false;
    }
    const int seconds = pmWholeVideoSeconds(videoSeconds);
    if (seconds <= 0) {
        error = "the recording's length is not known";
        return false;
    }
    if (!alignForeignTrack(track, startMs, seconds, offsetSeconds, list, error))
        return false;
    for (int i = 0; i < list.GetDataCount(); ++i) {
        GpsData* sample = list.GetGpsData(i);
        if (sample && sample->isReading())
            sample->setUtcMs(startMs + (static_cast<int64_t>(i) + offsetSeconds) * 1000);
    }
    return true;
}

bool pmLoadAttachedTrack(const std::string& file, int offsetSeconds, const std::string& recording,
                         double videoSeconds, GpsList& list, std::string& error)
{
    list.ClearAllData();
    ForeignTrack track;
    if (!readForeignTrack(file, track, error))
        return false;
    return pmAlignAttachedTrack(track, offsetSeconds, recording, videoSeconds, list, error);
}

void pmTakeAttachedPositions(GpsList& own, const GpsList& attached)
{
    const bool keepSensor = own.IsGSensorReady() && own.GetDataCount() > 0;
    if (!keepSensor) {
        // Only the camera's own preferences survive; its samples (if any) held nothing the attached track
        // lacks.
        GpsList merged = attached;
        merged.SetShowSpeed(own.IsShowSpeed());
        merged.SetSpeedUnit(own.GetSpeedUnit());
        merged.SetStampType(own.GetStampType());
        merged.SetTextStamp(own.GetTextStamp());
        merged.setModelName(own.getModelName());
        merged.setBSenser(false);
        own = merged;
        own.setBGps(attached.IsGPSReady());
        return;
    }
    for (int i = 0; i < attached.GetDataCount(); ++i) {
        const GpsData* from = attached.GetGpsData(i);
        if (i >= own.GetDataCount()) {
            GpsData none;
            none.setReading(false);
            own.Append(none);
        }
        GpsData* to = own.GetGpsData(i);
        to->setFLatitude(from->fLatitude());
        to->setFLongitude(from->fLongitude());
        to->setFSpeed(from->fSpeed());
        to->setFDirection(from->fDirection());
        to->setDAltitude(from->dAltitude());
        to->setReading(from->isReading());
        to->setUtcMs(from->utcMs());
    }
    // Seconds past the attached track's end keep their G values and no position.
    for (int i = attached.GetDataCount(); i < own.GetDataCount(); ++i) {
        GpsData* to = own.GetGpsData(i);
        to->setFLatitude(0);
        to->setFLongitude(0);
        to->setFSpeed(-1);
        to->setReading(false);
        to->setUtcMs(GpsData::kNoUtc);
    }
    own.setBGps(attached.IsGPSReady());
}

std::string pmTrackOffsetText(int offsetSeconds)
{
    return (offsetSeconds > 0 ? "+" : "") + std::to_string(offsetSeconds) + " s";
}
