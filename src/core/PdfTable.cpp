#include "core/PdfTable.h"

#include <algorithm>
#include <cstdio>

namespace
{

constexpr double kPageWidth = 842, kPageHeight = 595; // A4 landscape, in points
constexpr double kMargin = 40;
constexpr double kTitleSize = 14, kTextSize = 9, kFootSize = 8;
constexpr double kRowHeight = 14;
constexpr double kCellPadding = 16;
// A cell is measured and written up to this many bytes; no column needs more.
constexpr std::size_t kMaxCellBytes = 400;

// Advance widths of Helvetica for the characters 32 to 126, in 1/1000 em.
const short kHelvetica[95] = {278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
                              556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
                              1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
                              667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
                              333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
                              556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};
// The same for Helvetica-Bold (the title and the column heads).
const short kHelveticaBold[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};

// UTF-8 to the fonts' single bytes (WinAnsi, whose upper half from 0xA0 is Latin-1).
std::string toWinAnsi(const std::string& text)
{
    std::string out;
    const std::size_t n = std::min(text.size(), kMaxCellBytes);
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += c < 0x20 || c == 0x7f ? '?' : char(c);
            ++i;
            continue;
        }
        int length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
        unsigned code = c & (length == 2 ? 0x1f : length == 3 ? 0x0f : 0x07);
        bool valid = length > 1 && i + std::size_t(length) <= n;
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            valid = (next & 0xc0) == 0x80;
            code = code << 6 | (next & 0x3f);
        }
        out += valid && code >= 0xa0 && code <= 0xff ? char(code) : '?';
        i += valid ? std::size_t(length) : 1;
    }
    return out;
}

double widthOf(const std::string& winAnsi, double size, bool bold)
{
    const short* table = bold ? kHelveticaBold : kHelvetica;
    double units = 0;
    for (char ch : winAnsi) {
        const unsigned char c = static_cast<unsigned char>(ch);
        units += c >= 32 && c <= 126 ? table[c - 32] : 556;
    }
    return units * size / 1000;
}

// Cut with "..." to fit `width`.
std::string fitted(std::string text, double width, double size, bool bold)
{
    if (widthOf(text, size, bold) <= width)
        return text;
    while (!text.empty() && widthOf(text + "...", size, bold) > width)
        text.pop_back();
    return text + "...";
}

std::string pdfString(const std::string& winAnsi)
{
    std::string out = "(";
    char octal[8];
    for (char ch : winAnsi) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c >= 0x80) {
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += ch;
        }
    }
    return out + ")";
}

void text(std::string& out, const char* font, double size, double x, double y, const std::string& s)
{
    char head[96];
    std::snprintf(head, sizeof head, "BT /%s %.1f Tf %.2f %.2f Td ", font, size, x, y);
    out += head + pdfString(s) + " Tj ET\n";
}

} // namespace

std::string pmWritePdfTable(const PdfTable& table)
{
    const std::size_t columns = table.columns.size();
    std::vector<std::string> heads;
    std::vector<double> widths;
    for (const PdfTableColumn& c : table.columns) {
        heads.push_back(toWinAnsi(c.title));
        widths.push_back(widthOf(heads.back(), kTextSize, true) + kCellPadding);
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto& row : table.rows) {
        rows.emplace_back();
        for (std::size_t i = 0; i < columns; ++i) {
            rows.back().push_back(i < row.size() ? toWinAnsi(row[i]) : std::string());
            widths[i] = std::max(widths[i], widthOf(rows.back().back(), kTextSize, false) + kCellPadding);
        }
    }
    // Too wide for the page: the narrow columns keep their width and the wide
    // ones share the rest equally (the widest cell is cut, not every cell).
    const double usable = kPageWidth - 2 * kMargin;
    double total = 0;
    for (double w : widths)
        total += w;
    if (total > usable) {
        std::vector<double> sorted = widths;
        std::sort(sorted.begin(), sorted.end());
        double left = usable, cap = 0;
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            cap = left / double(sorted.size() - i);
            if (sorted[i] > cap)
                break;
            left -= sorted[i];
        }
        for (double& w : widths)
            w = std::min(w, cap);
    }

    const double top = kPageHeight - kMargin;
    const double headY = top - kTitleSize - 16;
    const double firstRowY = headY - kRowHeight - 2;
    const double bottom = kMargin + 16;
    const std::size_t perPage = std::size_t((firstRowY - bottom) / kRowHeight) + 1;
    const std::size_t pages = std::max<std::size_t>(1, (rows.size() + perPage - 1) / perPage);
    const std::string title = fitted(toWinAnsi(table.title), usable, kTitleSize, true);

    std::vector<std::string> objects(4 + 2 * pages);
    objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    std::string kids;
    for (std::size_t p = 0; p < pages; ++p)
        kids += (p ? " " : "") + std::to_string(5 + 2 * p) + " 0 R";
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
    objects[2] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    objects[3] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>";
    char line[160];
    for (std::size_t p = 0; p < pages; ++p) {
        std::string content;
        text(content, "F2", kTitleSize, kMargin, top - kTitleSize, title);
        auto cells = [&](const std::vector<std::string>& values, double y, bool bold) {
            double x = kMargin;
            for (std::size_t i = 0; i < columns; ++i) {
                const double size = kTextSize;
                const std::string s = fitted(values[i], widths[i] - kCellPadding, size, bold);
                const double at = table.columns[i].rightAligned
                                      ? x + widths[i] - kCellPadding / 2 - widthOf(s, size, bold)
                                      : x + kCellPadding / 2;
                text(content, bold ? "F2" : "F1", size, at, y, s);
                x += widths[i];
            }
        };
        cells(heads, headY, true);
        std::snprintf(line, sizeof line, "0.5 w %.2f %.2f m %.2f %.2f l S\n", kMargin, headY - 5,
                      kPageWidth - kMargin, headY - 5);
        content += line;
        const std::size_t end = std::min(rows.size(), (p + 1) * perPage);
        for (std::size_t r = p * perPage; r < end; ++r)
            cells(rows[r], firstRowY - double(r - p * perPage) * kRowHeight, false);
        const std::string foot = "Page " + std::to_string(p + 1) + " of " + std::to_string(pages);
        text(content, "F1", kFootSize, kPageWidth - kMargin - widthOf(foot, kFootSize, false), kMargin, foot);

        objects[4 + 2 * p] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 842 595] /Resources << /Font << "
                             "/F1 3 0 R /F2 4 0 R >> >> /Contents " +
                             std::to_string(6 + 2 * p) + " 0 R >>";
        objects[5 + 2 * p] =
            "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream";
    }

    // The header's binary comment marks the file as binary for transfer tools.
    std::string out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}
