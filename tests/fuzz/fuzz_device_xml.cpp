// Feeds arbitrary bytes as a card's DEVICE.XML and reads the product name the
// way the library build does (folder lookup included). A returned name must be
// valid UTF-8 of at most 20 characters.
#include "core/DeviceXml.h"
#include "core/LibraryScan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const std::string& folder()
{
    static const std::string path = "/tmp/fuzz_device_xml." + std::to_string(::getpid());
    return path;
}

void removeFolder()
{
    ::rmdir(folder().c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool made = ::mkdir(folder().c_str(), 0700) == 0 && std::atexit(removeFolder) == 0;
    (void)made;
    const std::string path = folder() + "/DEVICE.XML";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const std::string name = pmGetModelName(folder());
    if (!pmIsValidUtf8(name) || pmUtf8Prefix(name, kProductNameMaxChars) != name || name.size() > 80)
        std::abort();
    ::unlink(path.c_str());
    return 0;
}
