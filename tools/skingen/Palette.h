#pragma once
// The four skins' colour schemes. Every skin keeps dark chrome (toolbar, play
// bar, headers, map bar and G-sensor panel, where the application draws white
// text) and a light day grid and drop-down (where it draws dark text); skins
// 0 and 3 have dark file lists (white row text), skins 1 and 2 light ones.
#include <QColor>
#include <QString>

struct Palette {
    int id = 0;
    QString name;
    // Chrome: bars, headers, tabs.
    QColor chromeTop, chromeBottom, chromeHighlight, chromeShadow;
    // Glyphs on chrome.
    QColor glyph, glyphHover;
    // Accent and its shades.
    QColor accent, accentLight, accentDark;
    // Lists (file list rows, drop-down rows) and their selection.
    QColor listRow1, listRow2, listSel, listSelBorder, listHover, listDivider;
    bool lightList = false;
    // Day grid of the calendar.
    QColor gridBg, cellBg, cellLine;
    // Entry field of the year and month boxes.
    QColor field, fieldBorder;
    // Slider grooves.
    QColor grooveEmpty, grooveEdge;
    // G-sensor panel.
    QColor panelTop, panelBottom, panelGrid, panelFrame;
    QColor axisX, axisY, axisZ;
    // Type icons.
    QColor eventColor, parkingColor;
};

inline Palette paletteFor(int id)
{
    Palette p;
    p.id = id;
    switch (id) {
    case 0: // Graphite and amber
        p.name = QStringLiteral("Graphite");
        p.chromeTop = QColor(0x3a, 0x3b, 0x40);
        p.chromeBottom = QColor(0x22, 0x23, 0x27);
        p.chromeHighlight = QColor(0x55, 0x56, 0x5c);
        p.chromeShadow = QColor(0x0e, 0x0e, 0x10);
        p.glyph = QColor(0xd8, 0xd9, 0xdc);
        p.glyphHover = QColor(0xff, 0xff, 0xff);
        p.accent = QColor(230, 105, 1);
        p.accentLight = QColor(0xff, 0x9a, 0x3c);
        p.accentDark = QColor(0xa8, 0x4b, 0x00);
        p.listRow1 = QColor(0x2c, 0x2d, 0x31);
        p.listRow2 = QColor(0x25, 0x26, 0x2a);
        p.listSel = QColor(0xf9, 0xc0, 0x86);
        p.listSelBorder = QColor(0xe6, 0x69, 0x01);
        p.listHover = QColor(0x3a, 0x3b, 0x41);
        p.listDivider = QColor(0x1a, 0x1a, 0x1d);
        p.lightList = false;
        p.gridBg = QColor(0xd9, 0xd6, 0xd2);
        p.cellBg = QColor(0xf4, 0xf2, 0xef);
        p.cellLine = QColor(0xc4, 0xc0, 0xba);
        p.field = QColor(0xf4, 0xf2, 0xef);
        p.fieldBorder = QColor(0x12, 0x12, 0x14);
        p.grooveEmpty = QColor(0x12, 0x12, 0x14);
        p.grooveEdge = QColor(0x4a, 0x4b, 0x50);
        p.panelTop = QColor(0x2e, 0x2f, 0x33);
        p.panelBottom = QColor(0x1b, 0x1c, 0x1f);
        p.panelGrid = QColor(0x44, 0x45, 0x4a);
        p.panelFrame = QColor(0x5a, 0x5b, 0x61);
        p.axisX = QColor(0xff, 0x5a, 0x4e);
        p.axisY = QColor(0x8c, 0xd8, 0x4a);
        p.axisZ = QColor(0x4c, 0xb0, 0xff);
        p.eventColor = QColor(0xff, 0x4b, 0x3e);
        p.parkingColor = QColor(0x3e, 0x9b, 0xff);
        break;
    case 1: // Slate and lime
        p.name = QStringLiteral("Slate");
        p.chromeTop = QColor(0x3d, 0x4a, 0x45);
        p.chromeBottom = QColor(0x25, 0x2f, 0x2b);
        p.chromeHighlight = QColor(0x5b, 0x6b, 0x64);
        p.chromeShadow = QColor(0x12, 0x18, 0x16);
        p.glyph = QColor(0xdc, 0xe6, 0xe0);
        p.glyphHover = QColor(0xff, 0xff, 0xff);
        p.accent = QColor(155, 198, 56);
        p.accentLight = QColor(0xc2, 0xe6, 0x6e);
        p.accentDark = QColor(0x6e, 0x93, 0x1d);
        p.listRow1 = QColor(0xf3, 0xf6, 0xee);
        p.listRow2 = QColor(0xe6, 0xec, 0xdd);
        p.listSel = QColor(0xcf, 0xe8, 0x9b);
        p.listSelBorder = QColor(0x8a, 0xb5, 0x2c);
        p.listHover = QColor(0xdc, 0xe8, 0xc8);
        p.listDivider = QColor(0xcc, 0xd5, 0xc2);
        p.lightList = true;
        p.gridBg = QColor(0xd3, 0xdb, 0xc9);
        p.cellBg = QColor(0xf6, 0xf9, 0xf1);
        p.cellLine = QColor(0xbd, 0xc9, 0xb0);
        p.field = QColor(0xf6, 0xf9, 0xf1);
        p.fieldBorder = QColor(0x1b, 0x22, 0x1f);
        p.grooveEmpty = QColor(0x14, 0x1a, 0x18);
        p.grooveEdge = QColor(0x52, 0x61, 0x5a);
        p.panelTop = QColor(0x34, 0x3f, 0x3b);
        p.panelBottom = QColor(0x1f, 0x27, 0x24);
        p.panelGrid = QColor(0x4a, 0x57, 0x51);
        p.panelFrame = QColor(0x62, 0x72, 0x6b);
        p.axisX = QColor(0xff, 0x6b, 0x5e);
        p.axisY = QColor(0xb8, 0xe0, 0x52);
        p.axisZ = QColor(0x5c, 0xc8, 0xff);
        p.eventColor = QColor(0xe2, 0x3b, 0x2e);
        p.parkingColor = QColor(0x2b, 0x7f, 0xd6);
        break;
    case 2: // Espresso and bronze
        p.name = QStringLiteral("Bronze");
        p.chromeTop = QColor(0x4a, 0x3e, 0x33);
        p.chromeBottom = QColor(0x2c, 0x24, 0x1d);
        p.chromeHighlight = QColor(0x6a, 0x5a, 0x4b);
        p.chromeShadow = QColor(0x17, 0x12, 0x0e);
        p.glyph = QColor(0xec, 0xe2, 0xd4);
        p.glyphHover = QColor(0xff, 0xff, 0xff);
        p.accent = QColor(160, 127, 73);
        p.accentLight = QColor(0xd6, 0xb0, 0x73);
        p.accentDark = QColor(0x78, 0x5c, 0x30);
        p.listRow1 = QColor(0xf7, 0xf2, 0xe9);
        p.listRow2 = QColor(0xec, 0xe3, 0xd4);
        p.listSel = QColor(0xe6, 0xcf, 0xa3);
        p.listSelBorder = QColor(0xa0, 0x7f, 0x49);
        p.listHover = QColor(0xe9, 0xdc, 0xc4);
        p.listDivider = QColor(0xd8, 0xcc, 0xb8);
        p.lightList = true;
        p.gridBg = QColor(0xde, 0xd3, 0xc1);
        p.cellBg = QColor(0xfa, 0xf6, 0xef);
        p.cellLine = QColor(0xcf, 0xc0, 0xa8);
        p.field = QColor(0xfa, 0xf6, 0xef);
        p.fieldBorder = QColor(0x24, 0x1d, 0x17);
        p.grooveEmpty = QColor(0x1a, 0x14, 0x10);
        p.grooveEdge = QColor(0x65, 0x55, 0x47);
        p.panelTop = QColor(0x3f, 0x35, 0x2c);
        p.panelBottom = QColor(0x26, 0x1f, 0x19);
        p.panelGrid = QColor(0x57, 0x4a, 0x3e);
        p.panelFrame = QColor(0x74, 0x64, 0x54);
        p.axisX = QColor(0xff, 0x6a, 0x4f);
        p.axisY = QColor(0xa9, 0xd8, 0x5a);
        p.axisZ = QColor(0x62, 0xb8, 0xf0);
        p.eventColor = QColor(0xd6, 0x3a, 0x24);
        p.parkingColor = QColor(0x2f, 0x78, 0xc4);
        break;
    default: // Midnight and cyan (the default skin)
        p.id = 3;
        p.name = QStringLiteral("Midnight");
        p.chromeTop = QColor(0x2b, 0x37, 0x45);
        p.chromeBottom = QColor(0x16, 0x1e, 0x28);
        p.chromeHighlight = QColor(0x44, 0x54, 0x66);
        p.chromeShadow = QColor(0x08, 0x0c, 0x11);
        p.glyph = QColor(0xd6, 0xe2, 0xee);
        p.glyphHover = QColor(0xff, 0xff, 0xff);
        p.accent = QColor(39, 182, 233);
        p.accentLight = QColor(0x7d, 0xd7, 0xf7);
        p.accentDark = QColor(0x10, 0x7e, 0xad);
        p.listRow1 = QColor(0x1e, 0x28, 0x34);
        p.listRow2 = QColor(0x19, 0x22, 0x2c);
        p.listSel = QColor(0xa6, 0xe1, 0xf6);
        p.listSelBorder = QColor(0x27, 0xb6, 0xe9);
        p.listHover = QColor(0x27, 0x34, 0x43);
        p.listDivider = QColor(0x11, 0x17, 0x1e);
        p.lightList = false;
        p.gridBg = QColor(0xcf, 0xda, 0xe4);
        p.cellBg = QColor(0xf1, 0xf5, 0xf9);
        p.cellLine = QColor(0xb9, 0xc7, 0xd4);
        p.field = QColor(0xf1, 0xf5, 0xf9);
        p.fieldBorder = QColor(0x0b, 0x10, 0x16);
        p.grooveEmpty = QColor(0x0a, 0x0f, 0x15);
        p.grooveEdge = QColor(0x3c, 0x4b, 0x5c);
        p.panelTop = QColor(0x22, 0x2d, 0x3a);
        p.panelBottom = QColor(0x12, 0x18, 0x20);
        p.panelGrid = QColor(0x33, 0x41, 0x51);
        p.panelFrame = QColor(0x4a, 0x5c, 0x70);
        p.axisX = QColor(0xff, 0x5f, 0x6d);
        p.axisY = QColor(0x7e, 0xe0, 0x8a);
        p.axisZ = QColor(0xff, 0xc8, 0x3d);
        p.eventColor = QColor(0xff, 0x4d, 0x4d);
        p.parkingColor = QColor(0x3d, 0x8b, 0xff);
        break;
    }
    return p;
}
