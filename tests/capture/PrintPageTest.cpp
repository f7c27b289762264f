// The printed page through a PDF printer, rasterised with pdftoppm at one
// pixel per point: the frames, the G-sensor picture, the rows of captions and
// values and the date land in the rectangles of the layout, for one camera,
// both and camera 2 only; and the time stamp drawn into captured frames sits
// where its placement says for 1920, 1280 and 640 wide frames.
#include "app/AppDelegate.h"
#include "base/MetricFont.h"
#include "base/Services.h"
#include "playback/PlaybackSession.h"
#include "views/PrintCanvasView.h"

#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QImage solid(int w, int h, QColor c)
{
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(c);
    return i;
}

bool hasTool(const QString& tool)
{
    QProcess p;
    p.start(tool, {QStringLiteral("-v")});
    return p.waitForFinished(10000);
}

// Prints the page onto a PDF page of exactly its size and rasterises it.
QImage printAndRaster(const PrintCanvasView& view, const QString& dir, const QString& name, QString* pdfText)
{
    const QString pdf = dir + QLatin1Char('/') + name + QStringLiteral(".pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(view.pageSize(), QPageSize::Point));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        QPainter p(&printer);
        const double scale = printer.resolution() / 72.0;
        p.scale(scale, scale);
        view.drawPage(p);
    }
    QProcess raster;
    raster.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), pdf, dir + QLatin1Char('/') + name});
    if (!raster.waitForFinished(60000) || raster.exitCode() != 0)
        return QImage();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    text.waitForFinished(60000);
    *pdfText = QString::fromUtf8(text.readAllStandardOutput());
    return QImage(dir + QLatin1Char('/') + name + QStringLiteral(".png"))
        .convertToFormat(QImage::Format_RGB32);
}

// The frame in the page's top-left pixels.
QRect pixels(const PmFrameF& f, double pageHeight)
{
    const PmFrameF t = pmTopLeftFrame(f, pageHeight);
    return QRectF(t.x, t.y, t.width, t.height).toAlignedRect();
}

bool near(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) < 40 && std::abs(qGreen(a) - b.green()) < 40 &&
           std::abs(qBlue(a) - b.blue()) < 40;
}

// Inside the rectangle (2 pixels in) all of colour c; just outside it none.
void expectFilled(const QImage& page, const QRect& r, QColor c, const char* what)
{
    SCOPED_TRACE(what);
    const QRect in = r.adjusted(2, 2, -2, -2);
    for (QPoint p : {in.topLeft(), in.topRight(), in.bottomLeft(), in.bottomRight(), in.center()})
        EXPECT_TRUE(near(page.pixel(p), c)) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(r.left() - 3, r.center().y()), QPoint(r.right() + 3, r.center().y()),
                     QPoint(r.center().x(), r.top() - 3), QPoint(r.center().x(), r.bottom() + 3)})
        if (page.rect().contains(p)) {
            EXPECT_FALSE(near(page.pixel(p), c)) << "outside " << p.x() << "," << p.y();
        }
}

int darkPixels(const QImage& page, const QRect& r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(page.pixel(x, y)) < 100;
    return n;
}

} // namespace

TEST(PrintPage, EveryPartLandsInItsRectangleForEachCameraChoice)
{
    if (!hasTool(QStringLiteral("pdftoppm")) || !hasTool(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "pdftoppm / pdftotext (poppler-utils) are not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QColor red(220, 30, 30), blue(30, 40, 220), green(30, 200, 60);
    PrintPageData data;
    data.videoImage = solid(1920, 1080, red);
    data.gsensorImage = solid(340, 212, green);
    data.sample.direction = 45;
    data.sample.latitude = 35.65812f;
    data.sample.longitude = 139.70171f;
    data.sample.altitude = 41.3f;
    data.sample.speed = 62.4f;
    data.directionText = QStringLiteral("NE 45%1").arg(pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")));
    data.printDate = QDate(2024, 3, 5);
    const double H = 800;

    // One camera, the 600 x 800 page: the 16:9 frame narrowed to 577.4 wide.
    {
        PrintCanvasView view(QRect(0, 0, 600, 800), data);
        EXPECT_EQ(view.printOptions(), PrintOneCamera);
        QString text;
        const QImage page = printAndRaster(view, dir.path(), QStringLiteral("one"), &text);
        ASSERT_EQ(page.size(), QSize(600, 800));
        EXPECT_NEAR(view.drawnVideoRect().width, 577.42, 0.01);
        expectFilled(page, pixels(view.drawnVideoRect(), H), red, "frame");
        expectFilled(page, pixels(view.layout().rectGSensor, H), green, "G-sensor");
        const PrintLayout& l = view.layout();
        for (const PmFrameF* row :
             {&l.rectDirection, &l.rectLongitude, &l.rectLatitude, &l.rectAltitude, &l.rectSpeed}) {
            // Caption in the row's left half, value in its right half, nothing in between rows.
            const QRect r = pixels(*row, H);
            EXPECT_GT(darkPixels(page, QRect(r.left(), r.top() - 2, r.width() / 2, r.height() + 4)), 5);
            EXPECT_GT(darkPixels(page, QRect(r.center().x(), r.top() - 2, r.width() / 2, r.height() + 4)), 5);
            EXPECT_EQ(darkPixels(page, QRect(r.left(), r.bottom() + 4, r.width(), 10)), 0);
        }
        // The date, right-aligned 10 points from the bottom and the right edge.
        const QRect date = pixels(l.rectDate, H);
        EXPECT_GT(darkPixels(page, QRect(date.right() - 40, date.top(), 40, date.height())), 10);
        EXPECT_EQ(darkPixels(page, QRect(date.right() + 2, date.top(), 8, date.height())), 0);
        // Real text in the PDF, with the values as printed.
        for (const QString& s :
             {data.directionText, QStringLiteral("139.70171"), QStringLiteral("35.65812"),
              QStringLiteral("41.3 m"), QStringLiteral("62 km/h"), QStringLiteral("2024/03/05")})
            EXPECT_TRUE(text.contains(s)) << s.toStdString() << "\n" << text.toStdString();
    }

    // Both cameras, then camera 2 alone.
    data.videoImage2 = solid(1280, 720, blue);
    {
        PrintCanvasView view(QRect(0, 0, 600, 800), data);
        EXPECT_EQ(view.printOptions(), PrintBothCameras);
        QString text;
        QImage page = printAndRaster(view, dir.path(), QStringLiteral("both"), &text);
        ASSERT_FALSE(page.isNull());
        expectFilled(page, pixels(view.layout().rectVideo, H), red, "camera 1");
        expectFilled(page, pixels(view.layout().rectVideo2, H), blue, "camera 2");
        expectFilled(page, pixels(view.layout().rectGSensor, H), green, "G-sensor under both");

        view.setPrintOptions(PrintCamera2, false);
        page = printAndRaster(view, dir.path(), QStringLiteral("rear"), &text);
        ASSERT_FALSE(page.isNull());
        expectFilled(page, pixels(view.drawnVideoRect(), H), blue, "camera 2 alone");
        EXPECT_EQ(darkPixels(page, QRect(0, 0, 1, 1)), 0);
        int redPixels = 0;
        for (int y = 0; y < page.height(); y += 4)
            for (int x = 0; x < page.width(); x += 4)
                redPixels += near(page.pixel(x, y), red);
        EXPECT_EQ(redPixels, 0);
    }

    // No fix: everything but the direction prints "-".
    data.sample.latitude = 0;
    PrintCanvasView noFix(QRect(0, 0, 600, 800), data);
    EXPECT_EQ(noFix.strLatitude, QStringLiteral("-"));
    EXPECT_EQ(noFix.strSpeed, QStringLiteral("-"));
    EXPECT_EQ(noFix.strAltitude, QStringLiteral("-"));
    EXPECT_EQ(noFix.strDirection, data.directionText);
}

TEST(PrintPage, TimeStampIsDrawnWhereItsPlacementSays)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    AppDelegate app;
    // A rear recording's start: the stamp has a date to show.
    _SYSTEMTIME start{};
    start.wYear = 2024;
    start.wMonth = 3;
    start.wDay = 5;
    start.wHour = 7;
    start.wMinute = 8;
    start.wSecond = 9;
    app.playback()->overlay().setStart(start);
    for (const QSize size : {QSize(1920, 1080), QSize(1280, 720), QSize(640, 480)}) {
        SCOPED_TRACE(size.width());
        const QImage frame = solid(size.width(), size.height(), Qt::black);
        const QImage stamped = app.captureService()->drawTimeStamp(frame);
        ASSERT_EQ(stamped.size(), size);
        const int x0 = size.width() - (size.width() < 1280 ? 200 : 300);
        const int px = size.width() < 1280 ? 12 : 18;
        QRect ink;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (qGray(stamped.pixel(x, y)) > 60)
                    ink |= QRect(x, y, 1, 1);
        ASSERT_FALSE(ink.isNull());
        // Starts at x (a glyph's side bearing at most a pixel or two in), ends 10 above the bottom.
        EXPECT_GE(ink.left(), x0);
        EXPECT_LE(ink.left(), x0 + 3);
        EXPECT_LE(ink.bottom(), size.height() - 10);
        EXPECT_GE(ink.bottom(), size.height() - 10 - px);
        // Without a track the first two of the four lines are blank: the
        // inked part is the date line and the position line.
        const QFontMetricsF fm(pmMetricSansFont(px));
        EXPECT_NEAR(ink.height(), 2 * fm.lineSpacing(), 0.6 * fm.lineSpacing());
        EXPECT_GT(ink.width(), 8 * px);
    }
    EXPECT_TRUE(CaptureService::resizedImage(QImage(), 10, 10).isNull());
    EXPECT_EQ(CaptureService::resizedImage(solid(40, 20, Qt::red), 10, 5).size(), QSize(10, 5));
}
