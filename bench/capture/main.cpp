// Frame capture timings: the grab and JPEG write of the application's code
// path, and the time from the capture command on a paused surface to the
// preview window on screen (headless surfaces, offscreen platform).
#include "MediaGen.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "base/AMediaFile.h"
#include "controls/CapturePreviewDlg.h"
#include "export/CaptureService.h"
#include "export/FrameGrabber.h"
#include "views/VideoPlayerView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int make(const QString& out, double seconds, bool rear)
{
    mediagen::RecordingSpec wanted;
    wanted.container = mediagen::Container::Mp4;
    wanted.width = 1920;
    wanted.height = 1080;
    wanted.fps = 30;
    wanted.seconds = seconds;
    wanted.gopSeconds = 2;
    wanted.rear = rear;
    wanted.faststart = true;
    std::string error;
    if (!mediagen::writeRecording(QFile::encodeName(out).toStdString(), wanted, &error)) {
        std::fprintf(stderr, "make: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int grab(const QString& file, double seconds, const QString& out, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const FrameGrab g = pmGrabFrame(QFile::encodeName(file), seconds);
        if (g.image.isNull() || !CapturePreviewDlg::writeJpeg(g.image, out)) {
            std::fprintf(stderr, "grab failed: %s\n", qUtf8Printable(g.error));
            return 1;
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("median_ms=%.1f\n", median(ms));
    return 0;
}

int preview(int runs, double at, const QStringList& files)
{
    AppDelegate app;
    app.awakeFromNib();
    app.createPanels();
    app.initialData();
    QList<AMediaFile> lib;
    for (const QString& f : files)
        lib.append(AMediaFile::mediaFileWithNativePath(QFile::encodeName(f), QFileInfo(f).lastModified()));
    app.setVideoLib(lib);
    app.rebuildPlaylist();
    app.dblClickFile(0);
    const bool opened = QTest::qWaitFor(
        [&] {
            return app.videoPlayView() && app.videoPlayView()->getPlayerStatus() == 1 &&
                   !app.isVideoLoading() &&
                   (files.size() < 2 || (app.has2Videos() && app.videoPlayView2()->getPlayerStatus() == 1));
        },
        30000);
    if (!opened) {
        std::fprintf(stderr, "the recording did not open\n");
        return 1;
    }
    app.onButtonPause();
    app.videoPlayView()->seekToTime(at);
    if (app.has2Videos())
        app.videoPlayView2()->seekToTime(at);
    if (!QTest::qWaitFor([&] { return std::abs(app.videoPlayView()->getitemTime() - at) < 0.05; }, 10000)) {
        std::fprintf(stderr, "the seek to %.2f s did not finish\n", at);
        return 1;
    }
    QTest::qWait(500);
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        double shown = -1;
        auto* poll = new QTimer;
        poll->setInterval(0);
        QObject::connect(poll, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<CapturePreviewDlg*>(QApplication::activeModalWidget())) {
                if (d->isVisible() && shown < 0) {
                    shown = t.nsecsElapsed() / 1e6;
                    d->reject();
                }
            }
        });
        poll->start();
        t.start();
        app.onButtonCapture();
        delete poll;
        if (shown < 0) {
            std::fprintf(stderr, "no preview: %s\n",
                         qUtf8Printable(app.captureService()->lastCaptureError()));
            return 1;
        }
        ms.push_back(shown);
    }
    std::printf("median_ms=%.1f\n", median(ms));
    app.setCurPlaylistIndex(-1, false);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList a = qapp.arguments();
    if (a.size() >= 4 && a[1] == QLatin1String("make"))
        return make(a[2], a[3].toDouble(), a.contains(QStringLiteral("--rear")));
    if (a.size() >= 6 && a[1] == QLatin1String("grab"))
        return grab(a[2], a[3].toDouble(), a[4], a[5].toInt());
    if (a.size() >= 5 && a[1] == QLatin1String("preview"))
        return preview(a[2].toInt(), a[3].toDouble(), a.mid(4));
    std::fprintf(stderr, "usage: rovixcapturebench make|grab|preview ...\n");
    return 2;
}
