#include "core/KmlSave.h"
#include "GpsTestSupport.h"
#include "core/GpsList.h"

#include <clocale>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>

using namespace gpstest;

namespace
{

// 2021-03-15 08:30:05 local time, whatever the machine's zone.
std::chrono::system_clock::time_point fixedTime()
{
    std::tm t{};
    t.tm_year = 121;
    t.tm_mon = 2;
    t.tm_mday = 15;
    t.tm_hour = 8;
    t.tm_min = 30;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

struct FixedKmlClock {
    FixedKmlClock()
    {
        pmSetClock([] { return fixedTime(); });
    }
    ~FixedKmlClock() { pmSetClock({}); }
};

GpsList twoSamples()
{
    GpsList list;
    list.InsertData(25.05f, 121.5f, 30, 90, -1);
    list.GetLastData()->setDAltitude(12);
    list.InsertData(-33.5f, -70.25f, 0, -1, -1);
    list.GetLastData()->setDAltitude(GpsData::kNoAltitude);
    list.setBGps(true);
    return list;
}

struct XmlDoc {
    xmlDocPtr doc = nullptr;
    explicit XmlDoc(const std::string& path) { doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET); }
    ~XmlDoc()
    {
        if (doc)
            xmlFreeDoc(doc);
    }
};

xmlNodePtr child(xmlNodePtr parent, const char* name)
{
    for (xmlNodePtr n = parent ? parent->children : nullptr; n; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, reinterpret_cast<const xmlChar*>(name)) == 0)
            return n;
    }
    return nullptr;
}

std::string text(xmlNodePtr node)
{
    if (!node)
        return "<missing>";
    xmlChar* content = xmlNodeGetContent(node);
    std::string s = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return s;
}

} // namespace

TEST(KmlSave, DocumentIsExactlyTheFixedText)
{
    FixedKmlClock clock;
    TempDir dir;
    const GpsList list = twoSamples();
    const std::string path = dir.file("FILE0001.kml");
    ASSERT_EQ(pmOutputKML(path, &list), KmlResult::Ok);
    EXPECT_EQ(readFile(path), readFile(ROVIX_SOURCE_DIR "/tests/core/golden/two_samples.kml"));

    // One sample: both markers at it and a line of one point; zeros are written too.
    GpsList one;
    one.InsertData(0, 0, 0, -1, -1);
    one.setBGps(true);
    ASSERT_EQ(pmOutputKML(path, &one), KmlResult::Ok);
    const std::string doc = readFile(path);
    EXPECT_NE(doc.find("<LineString><coordinates>0.000000,0.000000,0.000000 </coordinates></LineString>"),
              std::string::npos);
    const std::string marker = "    <coordinates>0.000000,0.000000</coordinates>\r\n";
    const auto first = doc.find(marker);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(doc.find(marker, first + 1), std::string::npos);
    EXPECT_NE(doc.find("(Start)"), std::string::npos);
    EXPECT_NE(doc.find("(End)"), std::string::npos);

    // The decimal point does not follow the process's locale.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        const GpsList again = twoSamples();
        ASSERT_EQ(pmOutputKML(path, &again), KmlResult::Ok);
        std::setlocale(LC_NUMERIC, "C");
        EXPECT_EQ(readFile(path), readFile(ROVIX_SOURCE_DIR "/tests/core/golden/two_samples.kml"));
    }
}

TEST(KmlSave, NamesReadBackExactlyFromTheXml)
{
    FixedKmlClock clock;
    TempDir dir;
    const GpsList list = twoSamples();
    struct Case {
        std::string name;
        std::string readBack;
    };
    const Case cases[] = {
        {"FILE0001.kml", "FILE0001.kml"},
        {"日本語の走行記録.kml", "日本語の走行記録.kml"},
        {"a]]>b.kml", "a]]>b.kml"},
        {"]]]]>>]]>.kml", "]]]]>>]]>.kml"},
        {"x]]\x01>y.kml", "x]]>y.kml"}, // the dropped control character must not form "]]>"
        {"cr\rlf\ntab\t.kml", "cr\rlf\ntab\t.kml"},
        {"bad\xff\xc0\xafutf8\xed\xa0\x80.kml", "badutf8.kml"},
        {"<&>'\".kml", "<&>'\".kml"},
        {"nul-free\x1f\x7f.kml", "nul-free\x7f.kml"},
        {"\xef\xbf\xbe\xef\xbf\xbd.kml", "\xef\xbf\xbd.kml"}, // U+FFFE cannot be carried, U+FFFD can
    };
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        ASSERT_EQ(pmOutputKML(path, &list), KmlResult::Ok) << c.name;
        XmlDoc xml(path);
        ASSERT_NE(xml.doc, nullptr) << c.name;
        xmlNodePtr document = child(xmlDocGetRootElement(xml.doc), "Document");
        EXPECT_EQ(text(child(document, "name")), c.readBack) << c.name;
        EXPECT_EQ(text(child(document, "description")), "2021/03/15 08:30:05");
        // The track placemark carries the name as well; the markers their own.
        int placemarks = 0;
        for (xmlNodePtr n = document->children; n; n = n->next) {
            if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, BAD_CAST "Placemark") != 0)
                continue;
            const std::string want = placemarks == 0 ? "(Start)" : placemarks == 1 ? c.readBack : "(End)";
            EXPECT_EQ(text(child(n, "name")), want);
            ++placemarks;
        }
        EXPECT_EQ(placemarks, 3);
    }
}

TEST(KmlSave, NothingWrittenWithoutATrackAndFailuresLeaveNoFile)
{
    TempDir dir;
    GpsList empty;
    EXPECT_EQ(pmOutputKML(dir.file("a.kml"), nullptr), KmlResult::NoTrack);
    EXPECT_EQ(pmOutputKML(dir.file("a.kml"), &empty), KmlResult::NoTrack);
    EXPECT_FALSE(fs::exists(dir.file("a.kml")));

    const GpsList list = twoSamples();
    EXPECT_EQ(pmOutputKML(dir.file("missing/a.kml"), &list), KmlResult::WriteFailed);
    // A device that fails every write: failure reported, the device itself left alone.
    struct stat st {
    };
    if (::stat("/dev/full", &st) == 0) {
        EXPECT_EQ(pmOutputKML("/dev/full", &list), KmlResult::WriteFailed);
        EXPECT_TRUE(fs::exists("/dev/full"));
    }

    // Operations on a writer without a file report failure at the end.
    KmlSave kml;
    kml.WriteHeader("x", "y");
    EXPECT_FALSE(kml.CloseFile());
    EXPECT_EQ(KmlSave::StringAsCData("plain"), "<![CDATA[plain]]>");
}
