// Open to first frame through the controller: from setCurPlaylistIndex(0, true)
// to the ready notification, the whole road a double click takes (surface
// creation, existence check, duration probe, player start, first decoded
// frame). Prints one line per run in milliseconds, then the median.
//
//   bench_playback FILE [--runs N] [--cold]
// --cold: only the first open of this process (the script starts it N times).
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_playback FILE [--runs N] [--cold]\n");
        return 2;
    }
    const QString file = QFileInfo(args.at(1)).absoluteFilePath();
    int runs = 9;
    const int runsAt = static_cast<int>(args.indexOf(QStringLiteral("--runs")));
    if (runsAt > 0 && runsAt + 1 < args.size())
        runs = std::max(1, args.at(runsAt + 1).toInt());
    if (args.contains(QStringLiteral("--cold")))
        runs = 1;

    AppDelegate controller;
    controller.awakeFromNib();
    controller.window()->playerView()->setGeometry(0, 0, 640, 360);
    controller.initialData();
    controller.setVideoLib(
        {AMediaFile::mediaFileWithNativePath(QFile::encodeName(file), QFileInfo(file).lastModified())});
    controller.rebuildPlaylist();
    if (controller.playlist().size() != 1) {
        std::fprintf(stderr, "bench_playback: %s is not a playable recording name\n", qPrintable(file));
        return 2;
    }

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        controller.setCurPlaylistIndex(0, true);
        VideoPlayerView* surface = controller.videoPlayView();
        if (!surface) {
            std::fprintf(stderr, "bench_playback: no surface opened\n");
            return 1;
        }
        // Waited for in an event loop, as the application's own: a polling
        // wait sleeps 10 ms between passes, and every report from another
        // thread that lands in a sleep would be counted up to that late.
        QEventLoop loop;
        QObject::connect(surface, &VideoPlayerView::readyToPlay, &loop, [&loop] { loop.exit(0); });
        QTimer::singleShot(30000, &loop, [&loop] { loop.exit(1); });
        if (loop.exec() != 0) {
            std::fprintf(stderr, "bench_playback: no ready report\n");
            return 1;
        }
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        times.push_back(ms);
        std::printf("run %d: %.1f ms\n", i + 1, ms);
        controller.setCurPlaylistIndex(-1, false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::sort(times.begin(), times.end());
    std::printf("median: %.1f ms\n", times[times.size() / 2]);
    return 0;
}
