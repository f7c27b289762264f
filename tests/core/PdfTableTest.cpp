// The PDF table read back: the cross-reference table pointing at each object
// exactly, stream lengths exact, and poppler's pdftotext finding every row on
// its page, the heads on each, and no complaint on stderr.
#include "core/PdfTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

struct Text {
    int status = -1;
    std::string out;
    std::string err;
};

// pdftotext -layout of the document, its stderr apart.
Text readBack(const std::string& pdf)
{
    char dir[] = "/tmp/rovix_pdf_XXXXXX";
    if (!::mkdtemp(dir))
        return {};
    const std::string base = dir;
    std::ofstream(base + "/t.pdf", std::ios::binary) << pdf;
    const int raw =
        std::system(("pdftotext -layout " + base + "/t.pdf " + base + "/t.txt 2>" + base + "/err").c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    Text t{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(base + "/t.txt"), slurp(base + "/err")};
    std::system(("rm -rf " + base).c_str());
    return t;
}

// Every object where the cross-reference table says, every stream as long as its /Length.
void expectExactStructure(const std::string& pdf)
{
    const std::size_t start = pdf.rfind("startxref\n");
    ASSERT_NE(start, std::string::npos);
    const std::size_t xref = std::stoul(pdf.substr(start + 10));
    ASSERT_EQ(pdf.compare(xref, 7, "xref\n0 "), 0);
    const std::size_t count = std::stoul(pdf.substr(xref + 7));
    std::size_t entry = pdf.find('\n', xref + 7) + 1;
    ASSERT_EQ(pdf.compare(entry, 20, "0000000000 65535 f \n"), 0);
    for (std::size_t i = 1; i < count; ++i) {
        entry += 20;
        ASSERT_EQ(pdf.compare(entry + 10, 10, " 00000 n \n"), 0) << i;
        const std::size_t offset = std::stoul(pdf.substr(entry, 10));
        const std::string head = std::to_string(i) + " 0 obj\n";
        EXPECT_EQ(pdf.compare(offset, head.size(), head), 0) << "object " << i;
        const std::size_t end = pdf.find("endobj", offset);
        const std::size_t length = pdf.find("/Length ", offset);
        if (length < end) {
            const std::size_t body = pdf.find("stream\n", length) + 7;
            EXPECT_EQ(pdf.compare(body + std::stoul(pdf.substr(length + 8)), 10, "endstream\n"), 0) << i;
        }
    }
    EXPECT_EQ(pdf.compare(pdf.size() - 6, 6, "%%EOF\n"), 0);
}

TEST(PdfTable, ManyRowsMakePagesWithTheirHeadsAndEveryRowInOrder)
{
    if (std::system("command -v pdftotext >/dev/null") != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    PdfTable table;
    table.title = "Day report (March)";
    table.columns = {{"Vehicle", false}, {"Day", false}, {"Distance (km)", true}};
    for (int i = 0; i < 100; ++i) {
        char day[16], km[16];
        std::snprintf(day, sizeof day, "2024-%02d-%02d", 1 + i / 28, 1 + i % 28);
        std::snprintf(km, sizeof km, "%d.%03d", i * 7, i);
        table.rows.push_back({i == 3   ? "Caf\xc3\xa9 (a\\b)"
                              : i == 4 ? std::string(300, 'W')
                                       : "van 12",
                              day, km});
    }
    table.rows.push_back({"\xe6\x97\xa5\x01\xff"}); // a character the fonts lack, a control, a stray byte
    const std::string pdf = pmWritePdfTable(table);
    expectExactStructure(pdf);
    EXPECT_EQ(pdf, pmWritePdfTable(table));

    const Text text = readBack(pdf);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "");
    // 101 rows at 33 a page.
    std::vector<std::string> pages;
    for (std::size_t at = 0, ff; (ff = text.out.find('\f', at)) != std::string::npos; at = ff + 1)
        pages.push_back(text.out.substr(at, ff - at));
    ASSERT_EQ(pages.size(), 4u) << text.out;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_NE(pages[p].find("Day report (March)"), std::string::npos) << p;
        EXPECT_NE(pages[p].find("Distance (km)"), std::string::npos) << p;
        EXPECT_NE(pages[p].find("Page " + std::to_string(p + 1) + " of 4"), std::string::npos) << p;
    }
    std::size_t at = 0;
    for (const auto& row : table.rows) {
        if (row.size() < 3)
            continue;
        at = text.out.find(row[1], at);
        ASSERT_NE(at, std::string::npos) << row[1];
        const std::size_t eol = text.out.find('\n', at);
        EXPECT_NE(text.out.substr(at, eol - at).find(row[2]), std::string::npos) << row[1];
    }
    EXPECT_NE(text.out.find("Caf\xc3\xa9 (a\\b)"), std::string::npos);
    // The over-long name is cut within its column, the other columns still there.
    const std::size_t cut = text.out.find("WWW...");
    ASSERT_NE(cut, std::string::npos);
    EXPECT_NE(text.out.substr(cut, text.out.find('\n', cut) - cut).find("28.004"), std::string::npos);
    EXPECT_NE(text.out.find("???"), std::string::npos);
}

TEST(PdfTable, NoRowsIsOnePageWithTheHeads)
{
    if (std::system("command -v pdftotext >/dev/null") != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    PdfTable table;
    table.title = "Nothing";
    table.columns = {{"Vehicle", false}, {"Day", false}};
    const std::string pdf = pmWritePdfTable(table);
    expectExactStructure(pdf);
    const Text text = readBack(pdf);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\f'), 1);
    EXPECT_NE(text.out.find("Page 1 of 1"), std::string::npos);
    EXPECT_NE(text.out.find("Vehicle"), std::string::npos);
}

} // namespace
