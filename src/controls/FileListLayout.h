#pragma once
// Layout arithmetic and row texts of the file list panel and its check boxes,
// in bottom-left frames (see ListGeometry.h); the rows are base/FileListRow.h. QtCore only.
#include "base/FileListRow.h"
#include "controls/ListGeometry.h"

struct FileListLayout {
    static constexpr int kListWidth = 291;
    static constexpr int kHeaderHeight = 31;

    PmFrame header, event, normal, parking, fileList;

    // Panel of width x height; check boxes and list mirrored when right-to-left
    // (the header strip itself stays at the left).
    static FileListLayout compute(int width, int height, bool rightToLeft);
};

struct CheckBoxLayout {
    PmFrame box;  // rectCheckBox: the image, centred vertically
    PmFrame text; // rectText: the rest of the width
    static CheckBoxLayout compute(int width, int height, int imageWidth, int imageHeight, bool rightToLeft);
};
