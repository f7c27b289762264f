// bench_view360 FILE [--seconds S] [--runs N]
//   Plays an equirectangular recording on a shown 960x540 surface for S
//   seconds, flat and on the sphere by turns (N times each, the order
//   alternating so that neither mode always runs on a warm cache), and prints
//   for each mode the medians of the frames drawn per second, mpv's dropped
//   frames (video output and decoder), the process's CPU use (getrusage) and
//   its CPU time per frame drawn, then the ratios sphere/flat of both. On a
//   busy machine fewer frames are drawn: CPU per frame compares fairly then.
#include "views/EyeView.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace
{

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

struct Run {
    double fps = 0, cpuPercent = 0, cpuPerFrameMs = 0, dropped = 0, decoderDropped = 0;
    double drawsPerFrame = 0; // sphere draws a frame drawn: more than 1 means wasted repaints
    bool ok = false;
};

Run playOnce(const QString& file, bool sphere, int seconds)
{
    Run r;
    QWidget window;
    window.resize(960, 540);
    auto* view = new VideoPlayerView(QRect(0, 0, 960, 540), &window, VideoPlayerView::RenderMode::OpenGL);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return r;
    view->setMuted(true);
    if (sphere && !view->set360Player(true))
        return r;
    view->loadURL(QUrl::fromLocalFile(file));
    if (!QTest::qWaitFor([&] { return view->getPlayerStatus() == 1; }, 30000))
        return r;
    view->relayout(QRect(0, 0, 960, 540));
    QTest::qWait(1000); // past the start-up
    const qint64 frames0 = view->renderedFrameCount();
    const int draws0 = view->leftView ? view->leftView->sphereDraws() : 0;
    const qint64 drop0 = view->droppedFrameCount(), dec0 = view->decoderDroppedFrameCount();
    const double cpu0 = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(seconds * 1000);
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    r.cpuPercent = 100 * (cpuSeconds() - cpu0) / wall;
    const qint64 drawn = view->renderedFrameCount() - frames0;
    r.fps = drawn / wall;
    r.cpuPerFrameMs = drawn > 0 ? 1000 * (cpuSeconds() - cpu0) / drawn : 0;
    if (view->leftView && drawn > 0)
        r.drawsPerFrame = static_cast<double>(view->leftView->sphereDraws() - draws0) / drawn;
    r.dropped = static_cast<double>(view->droppedFrameCount() - drop0);
    r.decoderDropped = static_cast<double>(view->decoderDroppedFrameCount() - dec0);
    r.ok = true;
    view->releasePlayer();
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = app.arguments();
    auto option = [&](const QString& name, double fallback) {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toDouble() : fallback;
    };
    if (args.size() < 2) {
        std::fputs("usage: bench_view360 FILE [--seconds S] [--runs N]\n", stderr);
        return 2;
    }
    const int seconds = static_cast<int>(option("--seconds", 30));
    const int runs = static_cast<int>(option("--runs", 3));
    std::vector<double> fps[2], cpu[2], perFrame[2], drop[2], dec[2], draws;
    for (int i = 0; i < runs; ++i)
        for (int k = 0; k < 2; ++k) {
            const bool sphere = (i + k) % 2 == 1;
            const Run r = playOnce(args[1], sphere, seconds);
            if (!r.ok) {
                std::fprintf(stderr, "bench_view360: the %s run failed\n", sphere ? "sphere" : "flat");
                return 1;
            }
            const int m = sphere ? 1 : 0;
            fps[m].push_back(r.fps);
            cpu[m].push_back(r.cpuPercent);
            perFrame[m].push_back(r.cpuPerFrameMs);
            if (sphere)
                draws.push_back(r.drawsPerFrame);
            drop[m].push_back(r.dropped);
            dec[m].push_back(r.decoderDropped);
        }
    std::printf("%d s of playback on a 960x540 surface, medians of %d runs\n", seconds, runs);
    const char* names[2] = {"flat  ", "sphere"};
    for (int m = 0; m < 2; ++m)
        std::printf("  %s  frames drawn %.1f/s  dropped (vo, decoder) %.0f, %.0f  CPU %.0f%% of one core, "
                    "%.1f ms a frame\n",
                    names[m], median(fps[m]), median(drop[m]), median(dec[m]), median(cpu[m]),
                    median(perFrame[m]));
    std::printf("  sphere draws a frame drawn %.2f\n", median(draws));
    const double flatCpu = median(cpu[0]), flatPerFrame = median(perFrame[0]);
    std::printf("  ratio CPU sphere/flat %.2f, per frame %.2f (goal <= 1.3; goal no dropped frames)\n",
                flatCpu > 0 ? median(cpu[1]) / flatCpu : 0,
                flatPerFrame > 0 ? median(perFrame[1]) / flatPerFrame : 0);
    return 0;
}
