// Feeds arbitrary bytes to the AVI handler probe and the AVI header duration
// reader through a real file.
#include "core/ContainerProbe.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/fuzz_avi_probe." + std::to_string(::getpid()) + ".avi";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    pmIsAviCodecReady(path);
    pmGetContainerDurationSeconds(path); // the header reader that follows the same walk
    ::unlink(path.c_str());
    return 0;
}
