#include "controls/FileListLayout.h"

#include <QFileInfo>

FileListLayout FileListLayout::compute(int W, int H, bool rtl)
{
    FileListLayout l;
    l.header = {0, H - kHeaderHeight, kListWidth, kHeaderHeight};
    const int top = H - 18 - 6;
    l.event = {15, top, 80, 18};
    l.normal = {105, top, 80, 18};
    l.parking = {195, top, 100, 18};
    l.fileList = {0, 0, kListWidth, H - kHeaderHeight};
    if (rtl) {
        l.event = l.event.mirrored(W);
        l.normal = l.normal.mirrored(W);
        l.parking = l.parking.mirrored(W);
        l.fileList.x = W - kListWidth;
    }
    return l;
}

CheckBoxLayout CheckBoxLayout::compute(int w, int h, int iw, int ih, bool rtl)
{
    CheckBoxLayout l;
    l.box = {0, (h - ih) / 2, iw, ih};
    l.text = {iw, 0, w - iw, h};
    if (rtl) {
        l.box = l.box.mirrored(w);
        l.text = l.text.mirrored(w);
    }
    return l;
}

QString fileListDisplayName(const QString& fileName)
{
    // Count characters, not UTF-16 units, so a cut never splits a surrogate pair.
    const QList<uint> chars = fileName.toUcs4();
    if (chars.size() < 32)
        return fileName;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), 32) +
           QStringLiteral("...");
}

FileListRow makeFileListRow(const QString& path, const QDateTime& modified, int type)
{
    FileListRow row;
    row.path = path;
    row.name = fileListDisplayName(QFileInfo(path).fileName());
    row.type = type;
    if (modified.isValid()) {
        const QDateTime local = modified.toLocalTime();
        const QDate d = local.date();
        const QTime t = local.time();
        row.dateText = QString::asprintf("%04d/%02d/%02d", d.year(), d.month(), d.day());
        row.timeText = QString::asprintf("%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    } else {
        row.dateText = kFileListNoDate;
        row.timeText = kFileListNoTime;
    }
    return row;
}
