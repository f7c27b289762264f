#include "controls/FileListLayout.h"


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
