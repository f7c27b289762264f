// Feeds arbitrary bytes to the MOV/MP4 header probe and the movie-header
// duration reader through a real file, the only way they read. Short inputs
// are zero-padded past the probe's minimum length so the atom walk itself
// gets exercised.
#include "core/ContainerProbe.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/fuzz_mov_probe." + std::to_string(::getpid()) + ".mp4";
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.size() < 2049)
        bytes.resize(2049, '\0');
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    pmIsMovCodecReady(path);
    pmGetContainerDurationSeconds(path); // the header reader that follows the same walk
    ::unlink(path.c_str());
    return 0;
}
