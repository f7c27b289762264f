#pragma once
// Helpers of the generator's tests: a scratch folder, whole-file reads, an
// atom walker, and a libavformat/libavcodec read-back of a recording.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport
{

struct TempDir {
    std::filesystem::path path;
    TempDir();
    ~TempDir();
    std::string file(const std::string& name) const { return (path / name).string(); }
};

std::string slurp(const std::string& path);

struct TopAtom {
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t sizeField = 0;
    std::string type;
};
// Top-level atoms of a QuickTime/MP4 file (or children of [begin, end)).
std::vector<TopAtom> atomsOf(const std::string& data, uint64_t begin, uint64_t end);
// Sample entry types of every trak in moov, in file order.
std::vector<std::string> trackEntryTypes(const std::string& data);
// Movie header time scale and duration (version 0); false when there is none.
bool movieHeader(const std::string& data, uint32_t& timeScale, uint32_t& duration);

struct MediaInfo {
    bool ok = false;
    std::string error;
    int streams = 0;
    std::string firstStreamType; // "video" or "audio"
    std::string videoCodec;
    int width = 0;
    int height = 0;
    int decodedFrames = 0;
    int keyPackets = 0;
    double duration = 0; // seconds, from the container
    // Mean luma of a region of the first decoded frame of each second (index = second).
    std::vector<std::vector<uint8_t>> secondPictures; // luma plane, width*height each
    double meanU = 0, meanV = 0;                      // chroma means of the last decoded frame
};
MediaInfo readMedia(const std::string& path);

} // namespace testsupport
