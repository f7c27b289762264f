// The application's road with a big card, offscreen: buildVideoLibrary (the
// scan, the calendar told that the library is ready, moved to the newest
// recording's day, the playlist rebuilt), then the first paint of the calendar
// and the file list, then a month change of the calendar with its repaint.
// Each is timed over several runs; medians are printed, with a line of
// key=value figures in milliseconds for bench/bigcard.sh.
//
// Usage: bench_bigcard CARD [--runs N] [--months N]
#include "BenchController.h"
#include "app/AppDelegate.h"
#include "base/Services.h"
#include "controls/CalendarView.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "core/Log.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void paint(QWidget* w, QImage& canvas)
{
    if (canvas.size() != w->size())
        canvas = QImage(w->size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    w->render(&canvas);
}
} // namespace

int main(int argc, char** argv)
{
    bench::prepareHeadless();
    QApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_bigcard CARD [--runs N] [--months N]\n");
        return 2;
    }
    const QString card = args[1];
    int runs = 5;
    int months = 24;
    for (int i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--months"))
            months = std::max(1, args[i + 1].toInt());
    }

    auto d = bench::launchController();
    CalendarView* calendar = d->calendar();
    FileListView* fileList = d->fileList();
    if (!calendar || !fileList) {
        std::fprintf(stderr, "bench_bigcard: the panels were not made\n");
        return 1;
    }

    std::vector<double> ready, firstPaint, monthChange;
    QImage calendarCanvas, listCanvas;
    int recordings = 0;
    int marks = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        d->buildVideoLibrary(card);
        // The walk runs on a worker; the build ends from the event loop.
        while (d->isBuildingLibrary())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ready.push_back(msSince(t));
        recordings = int(d->videoLib().size());

        t.start();
        paint(calendar, calendarCanvas);
        paint(fileList, listCanvas);
        firstPaint.push_back(msSince(t));

        marks = 0;
        for (int cell = 0; cell < 42; ++cell)
            marks += calendar->hasMark(cell) ? 1 : 0;

        // Forward and back through the months, repainting each.
        for (int m = 0; m < months; ++m) {
            t.start();
            if (m < months / 2)
                calendar->nextButtonPressed();
            else
                calendar->prevButtonPressed();
            paint(calendar, calendarCanvas);
            monthChange.push_back(msSince(t));
        }
    }

    std::printf("recordings in the library: %d; day marks in the month shown: %d\n", recordings, marks);
    std::printf("library ready (buildVideoLibrary)     : median %9.2f ms over %d runs\n", median(ready),
                runs);
    std::printf("first paint, calendar and file list   : median %9.2f ms\n", median(firstPaint));
    std::printf("month change and calendar repaint     : median %9.2f ms (max %.2f) over %zu changes\n",
                median(monthChange), *std::max_element(monthChange.begin(), monthChange.end()),
                monthChange.size());
    std::printf("FIGURES ready=%.3f paint=%.3f month=%.3f\n", median(ready), median(firstPaint),
                median(monthChange));
    return 0;
}
