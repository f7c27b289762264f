// One upload as the upload window sends it, timed, with the process's peak
// resident memory during the upload measured against its size just before.
#include "upload/SocialNetworkRequests.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>
#include <cstdio>

namespace
{
// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKib(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Starts the peak-memory mark again from the current size.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: rovixuploadbench URL FILE\n");
        return 2;
    }
    VideoUploadRequest request;
    int outcome = -1;
    QObject::connect(&request, &VideoUploadRequest::finished, &app, [&](int o) {
        outcome = o;
        app.quit();
    });
    resetPeak();
    const long before = statusKib("VmRSS");
    QElapsedTimer timer;
    timer.start();
    if (!request.start(QUrl(QString::fromLocal8Bit(argv[1])), QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    app.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long peak = statusKib("VmHWM");
    std::printf("%.6f %ld %d\n", seconds, peak - before, request.httpStatus());
    return outcome == VideoUploadRequest::Done ? 0 : 1;
}
