#include "ContactSheet.h"

#include "Painting.h"

#include <QDir>
#include <QPainter>

namespace
{

struct Sheet {
    QDir dir;
    int skin;
    QImage img(const QString& base, const char* suffix = "") const
    {
        return QImage(dir.filePath(QStringLiteral("skin_%1_%2%3.png")
                                       .arg(skin + 1, 2, 10, QLatin1Char('0'))
                                       .arg(base, QLatin1String(suffix))));
    }
};

void tile(QPainter& p, const QImage& img, const QRect& r)
{
    if (img.isNull())
        return;
    p.save();
    p.setClipRect(r);
    for (int x = r.left(); x < r.right() + 1; x += img.width())
        p.drawImage(x, r.top(), img);
    p.restore();
}

void text(QPainter& p, const QRect& r, const QString& s, int px, const QColor& c, int flags = Qt::AlignCenter,
          bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, flags, s);
}

void slider(QPainter& p, const Sheet& s, const QPoint& at, const QString& bg, const QString& full, int value,
            int range, int eventValue)
{
    const QImage b = s.img(bg), f = s.img(full), t = s.img(QStringLiteral("volume_button"));
    const int x = (b.width() - t.width()) * value / range;
    p.drawImage(at, b);
    p.drawImage(at, f, QRect(0, 0, x + t.width() / 2, f.height()));
    if (eventValue >= 0) {
        const QImage m = s.img(QStringLiteral("icon_m1"));
        const int c = (b.width() - t.width()) * eventValue / range + t.width() / 2;
        p.drawImage(at + QPoint(c - m.width() / 2, 0), m);
    }
    p.drawImage(at + QPoint(x, 0), t);
}

} // namespace

QImage renderContactSheet(const QString& imageDir, int skinId)
{
    const Sheet s{QDir(imageDir), skinId};
    const Palette pal = paletteFor(skinId);
    QImage sheet(1000, 1010, QImage::Format_RGB32);
    sheet.fill(Qt::black);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // Toolbar across the top.
    tile(p, s.img("toolbar_background"), QRect(0, 0, 1000, 29));
    const char* tools[] = {"button_open",   "button_print",   "button_backup",  "button_capture",
                           "button_export", "button_youtube", "button_settings"};
    for (int i = 0; i < 7; ++i)
        p.drawImage(4 + 37 * i, 0, s.img(tools[i], i == 2 ? "_f" : i == 4 ? "_g" : ""));
    p.drawImage(668, 0, s.img("button_window_switch"));

    // Video area and play bar.
    p.fillRect(QRect(0, 29, 700, 300), QColor(0x08, 0x08, 0x0a));
    text(p, QRect(0, 29, 700, 300),
         QStringLiteral("%1 skin (skin_%2_)").arg(pal.name).arg(skinId + 1, 2, 10, QLatin1Char('0')), 22,
         QColor(0x60, 0x60, 0x66));
    const int pb = 329;
    tile(p, s.img("playbar_background"), QRect(0, pb, 700, 44));
    p.drawImage(3, pb, s.img("button_previous"));
    p.drawImage(35, pb, s.img("button_next", "_f"));
    p.drawImage(67, pb, s.img("button_pause"));
    p.drawImage(119, pb, s.img("button_playback1.5"));
    p.drawImage(190, pb, s.img("icon_volume_on"));
    slider(p, s, QPoint(220, pb), "volume_bg", "volume_full", 8, 10, -1);
    p.drawImage(292, pb, s.img("button_full"));
    const int ts = 700 - 304;
    slider(p, s, QPoint(ts, pb), "track_bar_bg", "track_bar_full", 420, 1000, 610);
    text(p, QRect(ts - 44, pb, 44, 44), QStringLiteral("01:23"), 14, Qt::white);
    text(p, QRect(ts + 261, pb, 44, 44), QStringLiteral("04:10"), 14, Qt::white);

    // Map with its info bar and the G-sensor panel below the play bar.
    const int my = pb + 44;
    p.fillRect(QRect(0, my, 350, 212), QColor(55, 55, 55));
    const QImage noGps = s.img("map_no_gps");
    p.drawImage((350 - noGps.width()) / 2, my + 212 - noGps.height(), noGps);
    text(p, QRect(0, my + 120, 350, 92), QStringLiteral("No GPS data"), 16, QColor(103, 103, 103));
    const int gx = 350;
    p.drawImage(gx, my, s.img("G-Sensor Screen_bg"));
    QImage graph(QDir(imageDir).filePath("GSensorGraphic.png"));
    p.drawImage(gx + 51, my + 3, graph);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor axes[] = {pal.axisX, pal.axisY, pal.axisZ};
    for (int a = 0; a < 3; ++a) {
        QPainterPath curve;
        for (int x = 0; x <= 238; x += 2) {
            const double y = 31 + 14 * std::sin(x / (12.0 + a * 5)) * std::cos(x / 40.0 + a);
            if (x == 0)
                curve.moveTo(gx + 51 + x, my + 3 + y);
            else
                curve.lineTo(gx + 51 + x, my + 3 + y);
        }
        p.setPen(QPen(axes[a], 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(curve);
        p.fillRect(QRect(gx + 302, my + 10 + 20 * a, 10, 10), axes[a]);
        text(p, QRect(gx + 317, my + 8 + 20 * a, 10, 14), QString(QChar('X' + a)), 14, axes[a]);
    }
    p.setPen(QPen(Qt::red, 1));
    p.drawLine(gx + 51 + 120, my + 3, gx + 51 + 120, my + 65);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(gx + 51 + 90, my + 3, gx + 51 + 90, my + 65);
    p.setRenderHint(QPainter::Antialiasing, false);
    text(p, QRect(gx, my + 5, 46, 16), "1.6G", 12, Qt::white);
    text(p, QRect(gx, my + 28, 46, 16), "0.0", 12, Qt::white);
    text(p, QRect(gx, my + 50, 46, 16), "-1.6G", 12, Qt::white);
    p.drawImage(gx + 114, my + 168, s.img("arrow_x1"));
    text(p, QRect(gx + 64, my + 182, 48, 14), "0.250", 11, pal.axisX);
    p.drawImage(gx + 107, my + 104, s.img("arrow_y2"));
    text(p, QRect(gx + 58, my + 90, 48, 14), "-1.200", 11, pal.axisY);
    p.drawImage(gx + 162, my + 90, s.img("arrow_z1"));
    text(p, QRect(gx + 146, my + 74, 48, 14), "0.980", 11, pal.axisZ);

    // Right column: calendar (tabs + background) and the file list.
    const int cx = 700, cy = 29;
    p.fillRect(QRect(cx, cy, 300, 800), Qt::black);
    p.drawImage(cx, cy, s.img("bg_calendar_tab", "_d"));
    p.drawImage(cx + 146, cy, s.img("bg_calendar_tab_n"));
    text(p, QRect(cx, cy, 145, 30), QStringLiteral("Calendar"), 14, Qt::white);
    text(p, QRect(cx + 146, cy, 145, 30), QStringLiteral("All"), 14, Qt::white);
    const int by = cy + 30;
    p.drawImage(cx, by, s.img("calendar_background"));
    p.drawImage(cx + 7, by + 7, s.img("button_calendar_back"));
    p.drawImage(cx + 31, by + 7, s.img("button_calendar_next", "_f"));
    for (int k = 0; k < 2; ++k) {
        const int x = cx + (k == 0 ? 53 : 122);
        const QImage field = s.img("enter_calendar");
        const QImage spin = s.img("button_enter");
        p.drawImage(x, by + 3, field);
        p.drawImage(x + field.width() - spin.width() - 4, by + 3 + (field.height() - spin.height()) / 2,
                    spin);
        text(p, QRect(x, by + 3, field.width() - spin.width(), field.height()), k == 0 ? "2026" : "12", 12,
             Qt::black);
    }
    const char* week[] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
    for (int c = 0; c < 7; ++c)
        text(p, QRect(cx + 2 + c * 41, by + 31, 41, 12), week[c], 11,
             (c == 0 || c == 6) ? QColor(125, 15, 15) : QColor(Qt::white));
    // December 2026 starts on a Tuesday.
    for (int cell = 0; cell < 42; ++cell) {
        const int r = cell / 7, c = cell % 7;
        const int day = cell - 2 + 1;
        const bool inMonth = day >= 1 && day <= 31;
        const int shown = inMonth ? day : (day < 1 ? 30 + day : day - 31);
        const QRect rc(cx + 2 + c * 41, by + 44 + r * 33, 41, 31);
        QColor col = !inMonth             ? QColor(100, 100, 100)
                     : (c == 0 || c == 6) ? QColor(200, 0, 0)
                                          : QColor(32, 32, 32);
        const bool focus = inMonth && day == 7;
        if (focus) {
            p.drawImage(rc.topLeft(), s.img("calendar_pic", "_d"), QRect(0, 0, 41, 31));
            col = Qt::white;
        }
        if (inMonth && (day % 5 == 2 || day == 7))
            p.drawImage(rc.topLeft(), s.img(focus ? "icon_calendar_white" : "icon_calendar_black"));
        text(p, rc, QString::number(shown), 14, col);
    }

    const int fy = by + 242;
    p.drawImage(cx, fy, s.img("bg_calendar_title"));
    const char* boxes[] = {"Event", "Normal", "Parking"};
    const int boxX[] = {15, 105, 195};
    for (int i = 0; i < 3; ++i) {
        const QImage cb = s.img(i == 1 ? "calendar_uncheckbox" : "calendar_checkbox", i == 2 ? "_f" : "");
        p.drawImage(cx + boxX[i], fy + 6 + (18 - cb.height()) / 2, cb);
        text(p, QRect(cx + boxX[i] + cb.width(), fy + 6, 64, 18), boxes[i], 12, Qt::white);
    }
    const int ly = fy + 31;
    const QImage row1 = s.img("list_bg_1"), row2 = s.img("list_bg_2"), sel = s.img("list", "_d");
    const int rows = 7;
    const char* names[] = {"EVT_20261207_081502_F.MP4", "NOR_20261207_082002_F.MP4",
                           "NOR_20261207_082502_F.MP4", "PRK_20261207_113015_F.MP4",
                           "NOR_20261207_140002_F.MP4", "NOR_20261207_140502_F_LONG_NAME_OF_A_CLIP.MP4",
                           "EVT_20261207_141733_F.MP4"};
    for (int k = 0; k < rows; ++k) {
        const QRect r(cx, ly + k * row1.height(), row1.width(), row1.height());
        p.drawImage(r.topLeft(), k % 2 ? row2 : row1);
        const bool selected = k == 1;
        if (selected)
            p.drawImage(r.topLeft(), sel);
        if (k == 3)
            p.drawImage(r.left() + 2, r.top() + (r.height() - 20) / 2, s.img("icon_play"));
        const QString name = QString::fromLatin1(names[k]);
        if (name.startsWith("EVT"))
            p.drawImage(r.left() + 28, r.top() + (r.height() - 22) / 2, s.img("icon_event"));
        if (name.startsWith("PRK"))
            p.drawImage(r.left() + 28, r.top() + (r.height() - 22) / 2, s.img("icon_parking"));
        const QColor tc = selected || pal.lightList ? QColor(Qt::black) : QColor(Qt::white);
        const int h = r.height() / 2;
        const QString shown = name.size() >= 32 ? name.left(32) + "..." : name;
        text(p, QRect(r.left() + 65, r.top() + 6, 210, h), shown, 11, tc, Qt::AlignLeft | Qt::AlignVCenter);
        text(p, QRect(r.left() + 65, r.top() + h - 6 + 6, 66, h), "2026/12/07", 11, tc,
             Qt::AlignLeft | Qt::AlignVCenter);
        text(p, QRect(r.left() + 143, r.top() + h - 6 + 6, 56, h), "08:15:02", 11, tc,
             Qt::AlignLeft | Qt::AlignVCenter);
    }
    const int sx = cx + 277, sh = rows * row1.height();
    const QImage track = s.img("scrollbar_background");
    for (int y = 0; y < sh; y += track.height())
        p.drawImage(QPoint(sx, ly + y), track, QRect(0, 0, track.width(), qMin(track.height(), sh - y)));
    p.drawImage(sx, ly, s.img("button_bar_up"));
    p.drawImage(sx, ly + sh - 14, s.img("button_bar_down", "_f"));
    p.drawImage(sx, ly + 60, s.img("slider"));

    // Every button in its four states (normal, pressed, over, disabled).
    const int gy = my + 212 + 20;
    text(p, QRect(10, gy - 18, 680, 16), QStringLiteral("normal / pressed (_d) / over (_f) / disabled (_g)"),
         11, QColor(0x90, 0x90, 0x96), Qt::AlignLeft | Qt::AlignVCenter);
    const char* stateful[] = {"button_open",
                              "button_print",
                              "button_backup",
                              "button_capture",
                              "button_export",
                              "button_youtube",
                              "button_facebook",
                              "button_settings",
                              "button_window_switch",
                              "button_previous",
                              "button_next",
                              "button_play",
                              "button_pause",
                              "button_play_previous",
                              "button_playback1",
                              "button_playback1.5",
                              "button_playback2",
                              "button_playback",
                              "button_playback1-2",
                              "icon_volume_on",
                              "icon_volume_off",
                              "button_full",
                              "button_full1",
                              "button_calendar_back",
                              "button_calendar_next",
                              "button_enter",
                              "calendar_checkbox",
                              "calendar_uncheckbox",
                              "button_bar_up",
                              "button_bar_down",
                              "slider",
                              "button_full_map",
                              "button_full1_map",
                              "km_map",
                              "gps_link",
                              "button_360_up",
                              "button_360_left",
                              "button_360_reset",
                              "button_print_camera12",
                              "button_calendar",
                              "bg_calendar_tab"};
    const char* suffixes[] = {"", "_d", "_f", "_g"};
    int x = 10, y = gy, rowH = 0;
    for (const char* base : stateful) {
        const QImage first = s.img(base);
        const int w = first.width() * 4 + 12;
        if (x + w > 690) {
            x = 10;
            y += rowH + 8;
            rowH = 0;
        }
        // Draw the set on a strip of toolbar chrome, as the panels would.
        tile(p, s.img("playbar_background"), QRect(x - 2, y - 2, w, first.height() + 4));
        for (int k = 0; k < 4; ++k)
            p.drawImage(x + k * (first.width() + 3), y, s.img(base, suffixes[k]));
        if (QLatin1String(base) == QLatin1String("km_map"))
            for (int k = 0; k < 4; ++k)
                text(p, QRect(x + k * (first.width() + 3), y, first.width(), first.height()), "km/h", 10,
                     Qt::white);
        if (QLatin1String(base) == QLatin1String("button_calendar"))
            for (int k = 0; k < 4; ++k)
                text(p, QRect(x + k * (first.width() + 3), y, first.width(), first.height()), "All", 14,
                     pal.lightList ? Qt::black : Qt::white);
        x += w + 10;
        rowH = qMax(rowH, first.height());
    }
    p.end();
    return sheet;
}
