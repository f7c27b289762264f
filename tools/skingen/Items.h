#pragma once
// The catalogue of images: every skin image by base name (drawn for each
// skin and state) and the application's own images.
#include "Painting.h"

#include <QSize>
#include <QString>
#include <functional>
#include <vector>

struct SkinItem {
    QString base; // name without state suffix and extension
    QString ext;  // "png" or "bmp"
    QSize size;
    std::function<void(QPainter&, const Palette&, St)> draw;
};

struct AppItem {
    QString fileName;
    QSize size;
    std::function<void(QPainter&)> draw;
};

std::vector<SkinItem> skinItems();
std::vector<AppItem> appItems();

// "skin_%02d_" + base + suffix + "." + ext, for skin id 0..3.
QString skinFileName(int skinId, const SkinItem& item, St st);
