// Paints the file list (40 visible rows of a long playlist) and the calendar
// panel N times offscreen and reports the median time per paint, side by side
// with Qt's stock list and calendar widgets showing the same content. It also
// counts how often a paint asks for a row's recording type (the only step that
// may touch the file system: the write-permission fallback for names without a
// type prefix), with a cold cache (rows just replaced) and a warm one.
//
// Usage: bench_panels [--paints N] [--rows N] [--dir FOLDER] [--phase cold|warm|all]
//   --dir: make the rows point at real files in FOLDER (created, left to the caller
//   to remove) so that strace can watch the calls made on them.
//   --snapshot FOLDER: also saves what the two panels look like as PNG files there.
#include "controls/CalendarView.h"
#include "controls/ComboBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "core/FileRules.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

template <typename Paint> std::vector<double> timePaints(int n, Paint&& paint)
{
    std::vector<double> ms;
    ms.reserve(size_t(n));
    QElapsedTimer t;
    for (int i = 0; i < n; ++i) {
        t.start();
        paint(i);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int paints = 200;
    int rowCount = 20000;
    QString dir;
    QString phase = QStringLiteral("all");
    QString snapshot;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--paints"))
            paints = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--rows"))
            rowCount = std::max(40, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--dir"))
            dir = args[i + 1];
        else if (args[i] == QLatin1String("--phase"))
            phase = args[i + 1];
        else if (args[i] == QLatin1String("--snapshot"))
            snapshot = args[i + 1];
    }

    // Names without a type prefix take the file-system fallback of the type rule.
    std::vector<FileListRow> rows;
    rows.reserve(size_t(rowCount));
    const QString folder = dir.isEmpty() ? QStringLiteral("/nonexistent/rovix-bench") : dir;
    if (!dir.isEmpty())
        QDir().mkpath(dir);
    for (int i = 0; i < rowCount; ++i) {
        const QString path = QStringLiteral("%1/CLIP%2.MP4").arg(folder).arg(i, 6, 10, QLatin1Char('0'));
        if (!dir.isEmpty() && i < 80) {
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write("not a recording", 15);
        }
        rows.push_back(makeFileListRow(path, QDateTime(QDate(2021, 5, 1), QTime(8, 0).addSecs(i))));
    }

    // A panel whose list shows exactly 40 rows.
    FileListView panel;
    FileListBox* list = panel.fileListBox();
    const int rowHeight = list->geometryModel().itemHeight();
    const int panelHeight = FileListLayout::kHeaderHeight + 40 * rowHeight;
    panel.relayoutContents(false, FileListLayout::kListWidth, panelHeight);
    long typeCalls = 0;
    list->setTypeOfPath([&typeCalls](const FileListRow& row) {
        ++typeCalls;
        return int(pmGetFileType(row.path.toStdString()));
    });
    panel.buildFileList(rows);
    panel.show();
    const int visible = list->geometryModel().visibleRows();
    QImage canvas(panel.size(), QImage::Format_ARGB32_Premultiplied);

    std::printf("file list: %d rows, %d visible, row height %d, panel %dx%d, %d paints per case\n", rowCount,
                visible, rowHeight, panel.width(), panel.height(), paints);

    if (phase == QLatin1String("cold") || phase == QLatin1String("all")) {
        // Cold: the rows were just handed over, so every visible row's type is worked out.
        // Handing the rows over is timed apart from the paint that follows it.
        typeCalls = 0;
        std::vector<double> cold, handOver;
        QElapsedTimer t;
        for (int i = 0; i < paints; ++i) {
            t.start();
            list->setRows(rows);
            handOver.push_back(double(t.nsecsElapsed()) / 1e6);
            t.start();
            canvas.fill(Qt::black);
            panel.render(&canvas);
            cold.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::printf(
            "file list paint, cold rows : median %.3f ms, type look-ups per paint %.2f (visible rows %d)\n",
            median(cold), double(typeCalls) / paints, visible);
        std::printf("  (handing over %d rows before it: median %.3f ms)\n", rowCount, median(handOver));
    }
    if (phase == QLatin1String("warm") || phase == QLatin1String("all")) {
        // Warm: scrolling one row per paint through already-typed rows and new ones.
        list->setRows(rows);
        canvas.fill(Qt::black);
        panel.render(&canvas);
        typeCalls = 0;
        const auto warm = timePaints(paints, [&](int) {
            canvas.fill(Qt::black);
            panel.render(&canvas);
        });
        std::printf("file list paint, warm      : median %.3f ms, type look-ups per paint %.2f\n",
                    median(warm), double(typeCalls) / paints);
        typeCalls = 0;
        const auto scroll = timePaints(paints, [&](int i) {
            list->setCurSel((i + 40) % rowCount);
            canvas.fill(Qt::black);
            panel.render(&canvas);
        });
        std::printf("file list paint, scrolling : median %.3f ms, type look-ups per paint %.2f\n",
                    median(scroll), double(typeCalls) / paints);

        // Reference: Qt's stock list widget with the same two-line texts and 40 rows shown.
        QListWidget ref;
        ref.resize(FileListLayout::kListWidth, 40 * rowHeight);
        for (const FileListRow& r : rows)
            ref.addItem(r.name + QLatin1Char('\n') + r.dateText + QStringLiteral("  ") + r.timeText);
        ref.show();
        QImage refCanvas(ref.size(), QImage::Format_ARGB32_Premultiplied);
        const auto refTimes = timePaints(paints, [&](int) {
            refCanvas.fill(Qt::black);
            ref.render(&refCanvas);
        });
        std::printf("reference QListWidget paint: median %.3f ms; file list / reference = %.2f\n",
                    median(refTimes), median(warm) / std::max(1e-6, median(refTimes)));

        // Calendar panel and its reference.
        CalendarView cal;
        cal.resize(cal.panelSize());
        cal.SetActivateDay(2021, 5, 12);
        long asks = 0;
        cal.setDayHasMedia([&asks](int, int, int d) {
            ++asks;
            return d % 3 == 0;
        });
        cal.VideoLibIsReady();
        cal.show();
        asks = 0;
        QImage calCanvas(cal.size(), QImage::Format_ARGB32_Premultiplied);
        const auto calTimes = timePaints(paints, [&](int) {
            calCanvas.fill(Qt::black);
            cal.render(&calCanvas);
        });
        QCalendarWidget refCal;
        refCal.resize(cal.size());
        refCal.setSelectedDate(QDate(2021, 5, 12));
        refCal.show();
        QImage refCalCanvas(refCal.size(), QImage::Format_ARGB32_Premultiplied);
        const auto refCalTimes = timePaints(paints, [&](int) {
            refCalCanvas.fill(Qt::black);
            refCal.render(&refCalCanvas);
        });
        if (!snapshot.isEmpty()) {
            list->setCurSel(2);
            list->showPlayMark(1);
            QImage shot(panel.width(), 600, QImage::Format_ARGB32_Premultiplied);
            shot.fill(Qt::black);
            panel.render(&shot);
            shot.save(snapshot + QStringLiteral("/filelist.png"));
            calCanvas.fill(Qt::black);
            cal.render(&calCanvas);
            calCanvas.save(snapshot + QStringLiteral("/calendar.png"));
            cal.yearBox()->spinButtonPressed();
            calCanvas.fill(Qt::black);
            cal.render(&calCanvas);
            calCanvas.save(snapshot + QStringLiteral("/calendar_year_list.png"));
            cal.yearBox()->spinButtonPressed();
        }
        std::printf("calendar paint (%dx%d)     : median %.3f ms, library questions per paint %.2f\n",
                    cal.width(), cal.height(), median(calTimes), double(asks) / paints);
        std::printf("reference QCalendarWidget  : median %.3f ms; calendar / reference = %.2f\n",
                    median(refCalTimes), median(calTimes) / std::max(1e-6, median(refCalTimes)));
    }
    return 0;
}
