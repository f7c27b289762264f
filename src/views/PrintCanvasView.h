#pragma once
// The printed page of the current moment: the video frame (one camera or
// both), the G-sensor panel's picture, direction, coordinates, altitude and
// speed of the current second, and the print date. Laid out from its own size
// (core/PrintLayout.h); drawPage() paints it with the same code on screen and
// on paper, so the text is text on the printed page too.
// Must run on the main thread.
#include "core/PrintLayout.h"

#include <QDate>
#include <QImage>
#include <QString>
#include <QWidget>

// What the page shows, gathered by the controller when the window opens.
struct PrintPageData {
    QImage videoImage;     // camera 1
    QImage videoImage2;    // camera 2; null for a one-camera recording
    QImage gsensorImage;   // the G-sensor panel's picture
    PrintSample sample;    // the current second's values (or the "no sample" values)
    QString directionText; // the map panel's text for the direction ("-" when negative)
    int speedUnit = 0;     // the map panel's unit: 0 km/h, otherwise mph
    QDate printDate;       // local date of printing
};

class PrintCanvasView : public QWidget
{
    Q_OBJECT
public:
    // The frame's size is the page size.
    PrintCanvasView(const QRect& frame, const PrintPageData& page, QWidget* parent = nullptr);

    // Lays the page out for an option (PrintOption) and repaints when asked.
    void setPrintOptions(int option, bool redraw);
    int printOptions() const { return nPrintOptions; }
    // The page as laid out (bottom-left frames), and the single frame's area
    // after its aspect correction.
    const PrintLayout& layout() const { return m_layout; }
    PmFrameF drawnVideoRect() const;
    QSizeF pageSize() const { return m_pageSize; }

    // Paints the page into a painter whose units are the page's points,
    // origin at the page's top-left corner.
    void drawPage(QPainter& painter) const;

    // The texts as printed.
    QString strDirection, strLongitude, strLatitude, strAltitude, strSpeed, strDate;
    QString strDirectionTitle, strLongitudeTitle, strLatitudeTitle, strAltitudeTitle, strSpeedTitle;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF toQt(const PmFrameF& f) const;

    PrintPageData m_data;
    QSizeF m_pageSize;
    int nPrintOptions = PrintOneCamera;
    PrintLayout m_layout;
    bool m_bR2L = false;
};
