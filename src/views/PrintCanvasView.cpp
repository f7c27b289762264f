#include "views/PrintCanvasView.h"

#include "base/MetricFont.h"
#include "base/Services.h"

#include <QFontMetricsF>
#include <QPainter>

namespace
{
constexpr int kTextSize = 12;

QString caption(const char* id)
{
    return pmLoadString(QLatin1String(id)) + QStringLiteral(" :");
}
} // namespace

PrintCanvasView::PrintCanvasView(const QRect& frame, const PrintPageData& page, QWidget* parent)
    : QWidget(parent), m_data(page), m_pageSize(frame.size()), m_bR2L(pmIsRightToLeft())
{
    setObjectName(QStringLiteral("canvasView"));
    setGeometry(frame);
    strDirectionTitle = caption("IDS_DIRECTION");
    strLongitudeTitle = caption("IDS_LONGITUDE");
    strLatitudeTitle = caption("IDS_LATITUDE");
    strAltitudeTitle = caption("IDS_ALTITUDE");
    strSpeedTitle = caption("IDS_SPEED");
    const PrintValueTexts values = pmPrintValueTexts(
        m_data.sample, m_data.speedUnit, pmLoadString(QStringLiteral("IDS_UNIT_DEGREE")).toStdString());
    strDirection = m_data.sample.direction < 0 ? QStringLiteral("-") : m_data.directionText;
    strLongitude = QString::fromStdString(values.longitude);
    strLatitude = QString::fromStdString(values.latitude);
    strAltitude = QString::fromStdString(values.altitude);
    strSpeed = QString::fromStdString(values.speed);
    const QDate date = m_data.printDate.isValid() ? m_data.printDate : QDate::currentDate();
    strDate = QString::fromStdString(pmPrintDateText(
        pmLoadString(QStringLiteral("IDS_PRINT_DATE")).toStdString(), date.year(), date.month(), date.day()));
    setPrintOptions(m_data.videoImage2.isNull() ? PrintOneCamera : PrintBothCameras, false);
}

void PrintCanvasView::setPrintOptions(int option, bool redraw)
{
    nPrintOptions = option;
    const QFontMetricsF metrics(pmMetricSansFont(kTextSize));
    const double lineHeight = metrics.boundingRect(QStringLiteral("TEST")).height();
    m_layout = pmPrintLayout(m_pageSize.width(), m_pageSize.height(), option, m_data.videoImage.width(),
                             m_data.videoImage.height(), m_data.videoImage2.width(),
                             m_data.videoImage2.height(), lineHeight);
    if (redraw)
        update();
}

PmFrameF PrintCanvasView::drawnVideoRect() const
{
    if (nPrintOptions == PrintBothCameras)
        return m_layout.rectVideo;
    const QImage& frame = nPrintOptions == PrintCamera2 ? m_data.videoImage2 : m_data.videoImage;
    return pmPrintFitSingleFrame(m_layout.rectVideo, frame.width(), frame.height());
}

QRectF PrintCanvasView::toQt(const PmFrameF& f) const
{
    const PmFrameF t = pmTopLeftFrame(f, m_pageSize.height());
    return QRectF(t.x, t.y, t.width, t.height);
}

void PrintCanvasView::drawPage(QPainter& p) const
{
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.fillRect(QRectF(QPointF(0, 0), m_pageSize), Qt::white);
    const QRectF video = toQt(drawnVideoRect());
    if (nPrintOptions == PrintCamera2) {
        p.drawImage(video, m_data.videoImage2);
    } else {
        p.drawImage(video, m_data.videoImage);
        if (nPrintOptions == PrintBothCameras && !m_data.videoImage2.isNull())
            p.drawImage(toQt(m_layout.rectVideo2), m_data.videoImage2);
    }
    if (!m_data.gsensorImage.isNull())
        p.drawImage(toQt(m_layout.rectGSensor), m_data.gsensorImage);

    p.setFont(pmMetricSansFont(kTextSize));
    p.setPen(Qt::black);
    const struct {
        const PmFrameF& rect;
        const QString& title;
        const QString& value;
    } rows[] = {
        {m_layout.rectDirection, strDirectionTitle, strDirection},
        {m_layout.rectLongitude, strLongitudeTitle, strLongitude},
        {m_layout.rectLatitude, strLatitudeTitle, strLatitude},
        {m_layout.rectAltitude, strAltitudeTitle, strAltitude},
        {m_layout.rectSpeed, strSpeedTitle, strSpeed},
    };
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
    for (const auto& row : rows) {
        const QRectF whole = toQt(row.rect);
        const QRectF half = toQt(pmMakeHalfRect(row.rect));
        // Right to left the value takes the row's start and the caption its right half.
        p.drawText(whole, flags, m_bR2L ? row.value : row.title);
        p.drawText(half, flags, m_bR2L ? row.title : row.value);
    }
    p.drawText(toQt(m_layout.rectDate), Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip, strDate);
    p.restore();
}

void PrintCanvasView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    drawPage(p);
}
