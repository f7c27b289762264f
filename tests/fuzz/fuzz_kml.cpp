// Writes KML documents for fuzzed tracks, names and descriptions and checks
// that every document is well-formed XML whose name reads back as written:
// exactly the input when the input is text XML can carry.
#include "TrackFuzzSupport.h"
#include "core/KmlSave.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace
{

// Decodes one UTF-8 sequence; 0 when invalid or not an XML character.
size_t xmlChar(const std::string& s, size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return (b0 >= 0x20 || b0 == '\t' || b0 == '\n' || b0 == '\r') ? 1 : 0;
    size_t n = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    uint32_t cp = b0 & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (b & 0x3F);
    }
    const uint32_t minimum = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
        return 0;
    return n;
}

bool isXmlText(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const size_t n = xmlChar(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

// A small well-formedness check of the documents this writer produces:
// declaration, balanced elements, attributes in quotes, CDATA sections,
// character references. Returns the text content of the first <name> under
// <Document> and collects the text of every <coordinates>, or aborts.
std::string checkDocument(const std::string& doc, std::vector<std::string>& coordinates)
{
    bool inCoordinates = false;
    if (!isXmlText(doc))
        std::abort();
    std::vector<std::string> stack;
    std::string docName;
    bool inDocName = false;
    bool sawDocName = false;
    size_t i = 0;
    if (doc.compare(0, 5, "<?xml") != 0)
        std::abort();
    i = doc.find("?>");
    if (i == std::string::npos)
        std::abort();
    i += 2;
    while (i < doc.size()) {
        if (doc.compare(i, 9, "<![CDATA[") == 0) {
            const size_t end = doc.find("]]>", i + 9);
            if (end == std::string::npos || stack.empty())
                std::abort();
            if (inDocName)
                docName += doc.substr(i + 9, end - i - 9);
            i = end + 3;
        } else if (doc[i] == '<') {
            const size_t end = doc.find('>', i);
            if (end == std::string::npos)
                std::abort();
            std::string tag = doc.substr(i + 1, end - i - 1);
            i = end + 1;
            if (!tag.empty() && tag[0] == '/') {
                const std::string name = tag.substr(1);
                if (stack.empty() || stack.back() != name)
                    std::abort();
                stack.pop_back();
                inCoordinates = false;
                if (inDocName) {
                    inDocName = false;
                    sawDocName = true;
                }
                continue;
            }
            const bool selfClosing = !tag.empty() && tag.back() == '/';
            if (selfClosing)
                tag.pop_back();
            const std::string name = tag.substr(0, tag.find(' '));
            if (name.empty() || name.find_first_of("<&\"'") != std::string::npos)
                std::abort();
            // Attributes: name="value" pairs without '<' or '&' in values.
            size_t quotes = 0;
            for (char c : tag) {
                if (c == '"')
                    ++quotes;
                if (c == '<' || c == '&')
                    std::abort();
            }
            if (quotes % 2)
                std::abort();
            if (!selfClosing) {
                stack.push_back(name);
                if (name == "name" && !sawDocName && stack.size() == 3 && stack[1] == "Document")
                    inDocName = true;
                if (name == "coordinates") {
                    inCoordinates = true;
                    coordinates.emplace_back();
                }
            }
        } else if (doc[i] == '&') {
            const size_t end = doc.find(';', i);
            if (end == std::string::npos || stack.empty())
                std::abort();
            const std::string ref = doc.substr(i, end - i + 1);
            if (ref == "&#13;") {
                if (inDocName)
                    docName += '\r';
            } else if (ref != "&amp;" && ref != "&lt;" && ref != "&gt;" && ref != "&quot;" &&
                       ref != "&apos;") {
                std::abort();
            }
            i = end + 1;
        } else {
            if (doc.compare(i, 3, "]]>") == 0)
                std::abort();
            if (stack.empty() && doc[i] != '\r' && doc[i] != '\n')
                std::abort(); // text outside the root element
            if (inDocName)
                docName += doc[i];
            if (inCoordinates)
                coordinates.back() += doc[i];
            ++i;
        }
    }
    if (!stack.empty() || !sawDocName)
        std::abort();
    return docName;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The readable name: every byte of it comes from the input, in order.
bool isSubsequence(const std::string& part, const std::string& whole)
{
    size_t j = 0;
    for (char c : whole) {
        if (j < part.size() && part[j] == c)
            ++j;
    }
    return j == part.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t nameLength = std::min<size_t>(data[0], size - 2);
    const std::string name(reinterpret_cast<const char*>(data + 2), nameLength);
    const size_t descLength = std::min<size_t>(data[1], size - 2 - nameLength);
    const std::string description(reinterpret_cast<const char*>(data + 2 + nameLength), descLength);
    const uint8_t* p = data + 2 + nameLength + descLength;
    size_t left = size - 2 - nameLength - descLength;

    static const std::string path = "/tmp/fuzz_kml." + std::to_string(::getpid()) + ".kml";
    KmlSave kml;
    if (!kml.CreateFile(path))
        return 0;
    kml.WriteHeader(name, description);
    bool first = true;
    KmlSave::Location location;
    while (left >= 24 || first) {
        double v[3] = {0, 0, 0};
        if (left >= 24) {
            std::memcpy(v, p, 24); // raw bits: NaN, infinities and huge values included
            p += 24;
            left -= 24;
        }
        location = {v[0], v[1], v[2]};
        if (first) {
            kml.WriteBeginTrack(name, description, location);
            kml.WriteOpenSegment();
            first = false;
        }
        kml.WriteLocation(location);
    }
    kml.WriteCloseSegment();
    kml.WriteEndTrack(name, description, location);
    kml.WriteFooter();
    if (!kml.CloseFile())
        std::abort();

    const std::string doc = readAll(path);
    ::unlink(path.c_str());
    std::vector<std::string> coordinates;
    const std::string readBack = checkDocument(doc, coordinates);
    if (!isSubsequence(readBack, name))
        std::abort();
    if (isXmlText(name) && readBack != name)
        std::abort();
    // Three coordinate runs (start, line, end) of plain decimal numbers,
    // whatever bits the track held.
    if (coordinates.size() != 3)
        std::abort();
    for (const std::string& c : coordinates) {
        if (c.empty() || c.find_first_not_of("0123456789.,- ") != std::string::npos)
            std::abort();
    }
    return 0;
}
