// The join of two recordings of a trip, as seen: the wall-clock time between
// the last frame of the first recording and the first frame of the second,
// each frame identified by the frame code in its picture (headless surfaces
// with a frame tap, so every frame is converted as a picture would be).
//
//   chain:   both recordings as one timeline in one surface (the gapless road);
//   advance: the old road, as the session takes it at a recording's end: the
//            surface's end, the surface released and a new one opened for the
//            next recording, which plays once it reports ready.
//
//   bench_trip A.mp4 B.mp4 --mode chain|advance [--runs N] [--speed S]
// Prints one line per run (milliseconds) and the median.
#include "MediaGen.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
struct Frame {
    long code;
    qint64 wallUs;
};

std::unique_ptr<VideoPlayerView> tapped(std::vector<Frame>& log, const QElapsedTimer& clock)
{
    auto view = std::make_unique<VideoPlayerView>(QRect(0, 0, 320, 240), nullptr,
                                                  VideoPlayerView::RenderMode::Headless);
    view->setFrameTap([&log, &clock](const uchar* pixels, QSize size, int stride, qint64) {
        log.push_back({mediagen::frameCodeAt(pixels, size.width(), size.height(), stride, 4),
                       clock.nsecsElapsed() / 1000});
    });
    return view;
}

bool ready(const VideoPlayerView* v)
{
    return v && v->getPlayerStatus() == VideoPlayerView::StatusReadyToPlay;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = app.arguments();
    auto option = [&args](const char* name, const QString& fallback) {
        const int at = static_cast<int>(args.indexOf(QLatin1String(name)));
        return at > 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
    };
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_trip A.mp4 B.mp4 --mode chain|advance [--runs N] [--speed S]\n");
        return 2;
    }
    const QUrl a = QUrl::fromLocalFile(QFileInfo(args.at(1)).absoluteFilePath());
    const QUrl b = QUrl::fromLocalFile(QFileInfo(args.at(2)).absoluteFilePath());
    const bool chain = option("--mode", QStringLiteral("chain")) == QLatin1String("chain");
    const int runs = std::max(1, option("--runs", QStringLiteral("10")).toInt());
    const float speed = option("--speed", QStringLiteral("1")).toFloat();

    // The length of A and the code of B's first frame come from a first open.
    double lengthA = 0;
    long firstOfB = -1;
    {
        std::vector<Frame> log;
        QElapsedTimer clock;
        clock.start();
        auto v = tapped(log, clock);
        v->onPause();
        v->loadURL(b);
        if (!QTest::qWaitFor([&] { return ready(v.get()) && !log.empty(); }, 20000))
            return 1;
        firstOfB = log.front().code;
        v->releasePlayer();
        v->loadURL(a);
        if (!QTest::qWaitFor([&] { return ready(v.get()); }, 20000))
            return 1;
        lengthA = v->getDuration();
    }

    std::vector<double> gaps;
    for (int run = 0; run < runs; ++run) {
        std::vector<Frame> log;
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<VideoPlayerView> first = tapped(log, clock);
        std::unique_ptr<VideoPlayerView> second;
        QObject observer;
        first->setRate(speed);
        if (chain) {
            first->loadChain({a, b}, {lengthA, lengthA});
        } else {
            first->loadURL(a);
            // At the end: release the surface and open the next recording in a new one.
            QObject::connect(first.get(), &VideoPlayerView::ended, &observer, [&] {
                first->releasePlayer();
                second = tapped(log, clock);
                second->setRate(speed);
                second->loadURL(b);
            });
        }
        if (!QTest::qWaitFor([&] { return ready(first.get()); }, 20000))
            return 1;
        first->onPause();
        first->seekToTime(lengthA - 0.5);
        if (!QTest::qWaitFor([&] { return !first->player()->isSeeking(); }, 20000))
            return 1;
        first->setRate(speed);
        if (!QTest::qWaitFor([&] { return !log.empty() && log.back().code >= firstOfB + 5; }, 20000)) {
            std::fprintf(stderr, "run %d: the second recording never showed\n", run);
            return 1;
        }
        qint64 lastA = -1, firstB = -1;
        for (const Frame& f : log) {
            if (f.code >= 0 && f.code < firstOfB)
                lastA = f.wallUs;
            if (f.code == firstOfB && firstB < 0)
                firstB = f.wallUs;
        }
        const double gap = (firstB - lastA) / 1000.0;
        // The ordinary frame-to-frame times inside the first recording, for comparison.
        std::vector<double> steps;
        for (size_t i = 1; i < log.size(); ++i)
            if (log[i].code > 0 && log[i].code < firstOfB && log[i - 1].code == log[i].code - 1)
                steps.push_back((log[i].wallUs - log[i - 1].wallUs) / 1000.0);
        std::sort(steps.begin(), steps.end());
        if (!steps.empty())
            std::printf("  frames before the join: median %.1f ms, 90th %.1f ms, max %.1f ms\n",
                        steps[steps.size() / 2], steps[steps.size() * 9 / 10], steps.back());
        gaps.push_back(gap);
        std::printf("run %d: %.1f ms\n", run + 1, gap);
        QObject::disconnect(first.get(), nullptr, &observer, nullptr);
        if (second)
            second->releasePlayer();
        first->releasePlayer();
    }
    std::sort(gaps.begin(), gaps.end());
    const double median =
        gaps.size() % 2 ? gaps[gaps.size() / 2] : (gaps[gaps.size() / 2 - 1] + gaps[gaps.size() / 2]) / 2;
    std::printf("median %s join gap at %.2gx: %.1f ms\n", chain ? "chain" : "advance", speed, median);
    return 0;
}
