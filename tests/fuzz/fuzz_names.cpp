// Feeds arbitrary bytes as a recording's path through the naming families
// (facts, playlist key, partner) and the JSON string rule of scan --json. The
// JSON text must decode back to exactly the input bytes.
#include "core/CameraFamilies.h"
#include "core/FileRules.h"
#include "core/LibraryScan.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void appendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes the JSON string as a surrogate-escaping reader does; aborts on
// anything our writer must never produce.
std::string decode(const std::string& json)
{
    if (json.size() < 2 || json.front() != '"' || json.back() != '"')
        std::abort();
    std::string out;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        if (c < 0x20 || c == '"')
            std::abort(); // raw control character or quote inside the string
        if (c != '\\') {
            out += char(c);
            continue;
        }
        const char e = json[++i];
        switch (e) {
        case '"':
        case '\\':
            out += e;
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            unsigned cp = 0;
            for (int k = 0; k < 4; ++k) {
                const int d = hexDigit(json[++i]);
                if (d < 0)
                    std::abort();
                cp = cp << 4 | unsigned(d);
            }
            if (cp >= 0xDC80 && cp <= 0xDCFF)
                out += char(cp - 0xDC00); // a byte that was not UTF-8
            else if (cp < 0x80)
                appendUtf8(out, cp);
            else
                std::abort();
            break;
        }
        default:
            std::abort();
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path(reinterpret_cast<const char*>(data), size);
    const NameFacts facts = pmReadNameFacts(path);
    if (!facts.family)
        std::abort();
    (void)pmFileDateSortKey(pmGetFileName(path, false));
    const std::string partner = pmGetAnotherCameraPath(path, [](const std::string&) { return false; });
    if (!partner.empty() && facts.camera != kCameraMain && facts.camera != kCameraRear)
        std::abort();
    std::string json;
    pmAppendJsonString(json, path);
    if (decode(json) != path)
        std::abort();
    return 0;
}
