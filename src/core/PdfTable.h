#pragma once
// A table as a PDF document: A4 landscape pages in Helvetica, the title and
// the column heads on every page, "Page N of M" at the foot. The standard
// fonts need no embedding, so the file is a few objects of text and lines.
// Text is UTF-8; what the fonts' Latin-1 range cannot show becomes "?", and a
// cell too wide for its column is cut with "...". Deterministic: the same
// table gives the same bytes.
#include <string>
#include <vector>

struct PdfTableColumn {
    std::string title;
    bool rightAligned = false; // figures
};

struct PdfTable {
    std::string title;
    std::vector<PdfTableColumn> columns;
    std::vector<std::vector<std::string>> rows; // missing cells are empty
};

std::string pmWritePdfTable(const PdfTable& table);
