#pragma once
// The one sans-serif face whose metrics the capture time stamp and the printed
// page are measured in (Helvetica's widths and heights): Liberation Sans,
// installed by scripts/deps.sh (Debian fonts-liberation2). Sizes are in the
// painter's own units (image pixels, page points), so the same text lands in
// the same place on screen, in a picture and on paper.
#include <QFont>
#include <QString>

inline QString pmMetricSansFamily()
{
    return QStringLiteral("Liberation Sans");
}

inline QFont pmMetricSansFont(int pixelSize)
{
    QFont font(pmMetricSansFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}
