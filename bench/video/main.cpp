// Video surface benchmark (run by bench/video.sh under xvfb-run, never by ctest).
//
//   bench_video open FILE [--runs N]
//       Open to first frame: a shown surface is handed the recording and the
//       clock stops when its first frame is in the framebuffer. Beside it the
//       same on a headless surface (vo=null, until ready), a bare libmpv handle
//       (vo=null, until the first frame is decoded) and the mpv player
//       ("mpv --no-config --vo=null --ao=null --frames=1 FILE", a whole process).
//   bench_video seek FILE [--runs N] [--at SECONDS]
//       Exact seek of a paused surface until the new frame is drawn, beside a
//       bare libmpv handle's exact seek (until playback restarts) and the mpv
//       player started at that time minus the player opening at 0.
//   bench_video dual FILE1 FILE2 [--seconds S]
//       Two shown surfaces playing together: frames drawn, mpv's dropped-frame
//       counters and the process's CPU time (getrusage), beside two mpv players
//       decoding the same files with vo=null for the same time.
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <mpv/client.h>
#include <sys/resource.h>
#include <vector>

namespace
{

using Mode = VideoPlayerView::RenderMode;

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// Wall time of one mpv player run, in milliseconds; -1 on failure.
double timeMpvProcess(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("mpv"), QStringList{"--no-config", "--vo=null", "--ao=null"} + arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return -1;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// A bare libmpv handle with vo=null: what the surface adds on top of mpv.
struct RawMpv {
    mpv_handle* h = nullptr;
    explicit RawMpv()
    {
        h = mpv_create();
        mpv_set_option_string(h, "vo", "null");
        mpv_set_option_string(h, "ao", "null");
        mpv_set_option_string(h, "keep-open", "yes");
        mpv_set_option_string(h, "idle", "yes");
        mpv_initialize(h);
    }
    ~RawMpv() { mpv_terminate_destroy(h); }
    bool waitFor(mpv_event_id id, double timeout = 30)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeout * 1000) {
            mpv_event* e = mpv_wait_event(h, 1);
            if (e->event_id == id)
                return true;
            if (e->event_id == MPV_EVENT_END_FILE)
                return false;
        }
        return false;
    }
};

bool waitFrames(VideoPlayerView& view, qint64 count, int ms = 30000)
{
    return QTest::qWaitFor([&] { return view.renderedFrameCount() >= count; }, ms);
}

int benchOpen(const QString& file, int runs)
{
    const QUrl url = QUrl::fromLocalFile(file);
    std::vector<double> shown, headless, raw, rawShown, cli, cliSilent;
    for (int i = 0; i < runs; ++i) {
        {
            QWidget window;
            window.resize(960, 540);
            auto* view = new VideoPlayerView(QRect(0, 0, 960, 540), &window, Mode::OpenGL);
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                return 1;
            QElapsedTimer clock;
            clock.start();
            view->loadURL(url, false);
            if (!waitFrames(*view, 1))
                return 1;
            shown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        {
            VideoPlayerView view(QRect(0, 0, 960, 540), nullptr, Mode::Headless);
            QElapsedTimer clock;
            clock.start();
            view.loadURL(url, false);
            if (!QTest::qWaitFor([&] { return view.getPlayerStatus() == 1; }, 30000))
                return 1;
            headless.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        {
            QElapsedTimer clock;
            clock.start();
            RawMpv mpv;
            const QByteArray path = file.toUtf8();
            const char* cmd[] = {"loadfile", path.constData(), nullptr};
            mpv_command(mpv.h, cmd);
            if (!mpv.waitFor(MPV_EVENT_VIDEO_RECONFIG))
                return 1;
            raw.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            if (!mpv.waitFor(MPV_EVENT_PLAYBACK_RESTART))
                return 1;
            rawShown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        cli.push_back(timeMpvProcess({"--frames=1", file}));
        cliSilent.push_back(timeMpvProcess({"--frames=1", "--aid=no", file}));
    }
    const double a = median(shown), b = median(headless), c = median(raw), d = median(cli);
    const double e = median(rawShown), f = median(cliSilent);
    std::printf("open to first frame, median of %d runs (ms)\n", runs);
    std::printf("  surface, OpenGL, first frame drawn       %8.1f\n", a);
    std::printf("  surface, headless, ready                 %8.1f\n", b);
    std::printf("  bare libmpv vo=null, picture configured  %8.1f\n", c);
    std::printf("  bare libmpv vo=null, playback started    %8.1f\n", e);
    std::printf("  mpv --frames=1 (whole process)           %8.1f\n", d);
    std::printf("  mpv --frames=1 --aid=no (whole process)  %8.1f\n", f);
    std::printf("  ratio surface/mpv process %.2f (goal <= 1.5), surface/mpv without sound %.2f,\n"
                "        surface/bare libmpv started %.2f, headless surface/bare libmpv configured %.2f\n",
                d > 0 ? a / d : 0, f > 0 ? a / f : 0, e > 0 ? a / e : 0, c > 0 ? b / c : 0);
    return 0;
}

int benchSeek(const QString& file, int runs, double at)
{
    QWidget window;
    window.resize(960, 540);
    auto* view = new VideoPlayerView(QRect(0, 0, 960, 540), &window, Mode::OpenGL);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    view->loadURL(QUrl::fromLocalFile(file), false);
    if (!QTest::qWaitFor([&] { return view->getPlayerStatus() == 1; }, 30000) || !waitFrames(*view, 1))
        return 1;
    view->onPause();
    QTest::qWait(200);

    std::vector<double> shown;
    for (int i = 0; i < runs; ++i) {
        // Start each timed seek from elsewhere in the recording.
        qint64 frames = view->renderedFrameCount();
        view->seekToTime(at / 9 * (1 + i % 3));
        if (!waitFrames(*view, frames + 1))
            return 1;
        QTest::qWait(50);
        frames = view->renderedFrameCount();
        QElapsedTimer clock;
        clock.start();
        view->seekToTime(at);
        if (!waitFrames(*view, frames + 1))
            return 1;
        shown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (std::abs(view->getitemTime() - at) > 0.05)
            std::printf("  warning: position after seek %.3f\n", view->getitemTime());
    }

    std::vector<double> raw;
    {
        RawMpv mpv;
        const QByteArray path = file.toUtf8();
        const char* cmd[] = {"loadfile", path.constData(), nullptr};
        mpv_command(mpv.h, cmd);
        if (!mpv.waitFor(MPV_EVENT_PLAYBACK_RESTART))
            return 1;
        mpv_set_property_string(mpv.h, "pause", "yes");
        for (int i = 0; i < runs; ++i) {
            const QByteArray from = QByteArray::number(at / 9 * (1 + i % 3), 'f', 3);
            const char* away[] = {"seek", from.constData(), "absolute+exact", nullptr};
            mpv_command(mpv.h, away);
            mpv.waitFor(MPV_EVENT_PLAYBACK_RESTART);
            const QByteArray target = QByteArray::number(at, 'f', 3);
            const char* seek[] = {"seek", target.constData(), "absolute+exact", nullptr};
            QElapsedTimer clock;
            clock.start();
            mpv_command(mpv.h, seek);
            if (!mpv.waitFor(MPV_EVENT_PLAYBACK_RESTART))
                return 1;
            raw.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
    }
    std::vector<double> cliSeek, cliOpen;
    for (int i = 0; i < runs; ++i) {
        cliSeek.push_back(timeMpvProcess({QStringLiteral("--start=%1").arg(at), "--frames=1", file}));
        cliOpen.push_back(timeMpvProcess({"--frames=1", file}));
    }
    const double a = median(shown), b = median(raw), c = median(cliSeek), d = median(cliOpen);
    std::printf("exact seek to %.1f s of a paused recording, median of %d runs (ms)\n", at, runs);
    std::printf("  surface, OpenGL, new frame drawn     %8.1f\n", a);
    std::printf("  bare libmpv vo=null, restart         %8.1f\n", b);
    std::printf("  mpv --start=%-6.1f --frames=1        %8.1f  (whole process)\n", at, c);
    std::printf(
        "  mpv --frames=1                       %8.1f  (whole process; the difference %.1f is noise-bound)\n",
        d, c - d);
    std::printf("  ratio surface/bare libmpv %.2f\n", b > 0 ? a / b : 0);
    return 0;
}

int benchDual(const QString& file1, const QString& file2, int seconds)
{
    QWidget window;
    window.resize(1280, 360);
    auto* v1 = new VideoPlayerView(QRect(0, 0, 640, 360), &window, Mode::OpenGL);
    auto* v2 = new VideoPlayerView(QRect(640, 0, 640, 360), &window, Mode::OpenGL);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    v1->loadURL(QUrl::fromLocalFile(file1), false);
    v2->loadURL(QUrl::fromLocalFile(file2), false);
    v2->setMuted(true);
    if (!QTest::qWaitFor([&] { return v1->getPlayerStatus() == 1 && v2->getPlayerStatus() == 1; }, 30000))
        return 1;
    v1->relayout(QRect(0, 0, 640, 360));
    v2->relayout(QRect(0, 0, 640, 360));
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    const qint64 f1 = v1->renderedFrameCount(), f2 = v2->renderedFrameCount();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(seconds * 1000);
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
    std::printf("two 1080p surfaces playing together for %.1f s\n", wall);
    std::printf("  frames drawn           %lld + %lld  (%.1f and %.1f per second)\n",
                static_cast<long long>(v1->renderedFrameCount() - f1),
                static_cast<long long>(v2->renderedFrameCount() - f2), (v1->renderedFrameCount() - f1) / wall,
                (v2->renderedFrameCount() - f2) / wall);
    std::printf("  dropped (vo, decoder)  %lld, %lld  and  %lld, %lld\n",
                static_cast<long long>(v1->droppedFrameCount()),
                static_cast<long long>(v1->decoderDroppedFrameCount()),
                static_cast<long long>(v2->droppedFrameCount()),
                static_cast<long long>(v2->decoderDroppedFrameCount()));
    std::printf("  CPU                    %.1f s = %.0f%% of one core\n", cpu, 100 * cpu / wall);
    v1->releasePlayer();
    v2->releasePlayer();

    // Reference: two mpv players decoding the same files, no picture.
    const double child0 = cpuSeconds(RUSAGE_CHILDREN);
    QProcess p1, p2;
    const QStringList common{"--no-config", "--vo=null", "--ao=null",
                             QStringLiteral("--length=%1").arg(seconds)};
    p1.start(QStringLiteral("mpv"), common + QStringList{file1});
    p2.start(QStringLiteral("mpv"), common + QStringList{file2});
    p1.waitForFinished(-1);
    p2.waitForFinished(-1);
    const double childCpu = cpuSeconds(RUSAGE_CHILDREN) - child0;
    std::printf("  two mpv vo=null CPU    %.1f s = %.0f%% of one core (decoding only)\n", childCpu,
                100 * childCpu / seconds);
    return 0;
}

int usage()
{
    std::fputs("usage: bench_video open FILE [--runs N] | seek FILE [--runs N] [--at S] | dual FILE1 FILE2 "
               "[--seconds S]\n",
               stderr);
    return 2;
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
    if (args.size() < 3)
        return usage();
    const QString mode = args[1];
    const int runs = static_cast<int>(option("--runs", 9));
    if (mode == "open")
        return benchOpen(args[2], runs);
    if (mode == "seek")
        return benchSeek(args[2], runs, option("--at", 90));
    if (mode == "dual" && args.size() >= 4)
        return benchDual(args[2], args[3], static_cast<int>(option("--seconds", 60)));
    return usage();
}
