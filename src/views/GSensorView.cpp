#include "views/GSensorView.h"

#include "base/QtFrame.h"
#include "base/Services.h"
#include "views/SensorGraphic.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace
{

const QColor kNoDataText(103, 103, 103);
const QColor kPlaceholder(45, 45, 45);

QFont helvetica(int pixelSize)
{
    QFont f(QStringLiteral("Helvetica"));
    f.setPixelSize(pixelSize);
    return f;
}

// One line of text centred in a rectangle; vertically by the line height of
// "TEST" in the font.
void drawCentered(QPainter& p, const QRect& r, const QString& text)
{
    const int lineH = QFontMetrics(p.font()).boundingRect(QStringLiteral("TEST")).height();
    const QRect line(r.x(), r.y() + (r.height() - lineH) / 2, r.width(), lineH);
    p.drawText(line, Qt::AlignCenter | Qt::TextDontClip, text);
}

} // namespace

GSensorView::GSensorView(QWidget* parent, ImageSource source) : QWidget(parent), m_source(std::move(source))
{
    setObjectName(QStringLiteral("gsensorView"));
    const QImage skin = skinImage(backgroundImageName);
    if (!skin.isNull()) {
        nBackgroundWidth = static_cast<int>(skin.deviceIndependentSize().width());
        nBackgroundHeight = static_cast<int>(skin.deviceIndependentSize().height());
    }
    loadImages();
    poGraphicBitmap = QImage();
    poGensorBitmap = QImage();
    setGeometryFields();
    fDisplayGValue = 2.0f;
    xCreateBackgroundBitmap();
    createGensorBitmap(0, 0, 0);
    nIndicatorPos = -1;
    resize(nBackgroundWidth, nBackgroundHeight);
}

GSensorView::~GSensorView() = default;

QImage GSensorView::skinImage(const QString& name) const
{
    if (m_source.skin)
        return m_source.skin(name);
    return pmLoadSkinImage(name).toImage();
}

QImage GSensorView::appImage(const QString& name) const
{
    if (m_source.app)
        return m_source.app(name);
    return pmLoadAppImage(name).toImage();
}

// A missing picture becomes a plain panel-sized field, so the panel still
// shows its texts and values.
QImage GSensorView::sized(const QImage& image) const
{
    if (!image.isNull())
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage placeholder(nBackgroundWidth, nBackgroundHeight, QImage::Format_ARGB32_Premultiplied);
    placeholder.fill(kPlaceholder);
    return placeholder;
}

bool GSensorView::IsShowNoSensorMsg() const
{
    // Korean has no table of its own, so its texts (this one too) are the
    // English ones and the message is shown; Arabic, the one right-to-left
    // language, leaves it out.
    return !pmIsRightToLeft();
}

void GSensorView::loadImages()
{
    poBackgroundBitmap = sized(skinImage(backgroundImageName));
    poDisableBitmap = sized(appImage(QStringLiteral("G-Sensor Screen_disable.png")));
    poDefaultUnknownBmp = sized(skinImage(QStringLiteral("G-Sensor Screen_default_d.png")));
    poDisableMotoBmp = poDefaultUnknownBmp;
    m_nMotorType = 0;
    if (IsShowNoSensorMsg()) {
        const QString text = pmLoadString(QStringLiteral("IDS_ERR_NO_GSENSOR_DATA"));
        poDisableMotoBmp = xCombineBitmapWithText(poDisableMotoBmp, text);
        poDisableBitmap = xCombineBitmapWithText(poDisableBitmap, text);
    }
    static const char* const names[3][2] = {
        {"arrow_x1.png", "arrow_x2.png"}, {"arrow_y1.png", "arrow_y2.png"}, {"arrow_z1.png", "arrow_z2.png"}};
    for (int a = 0; a < 3; ++a)
        for (int s = 0; s < 2; ++s)
            arrowBitmaps[a][s] = skinImage(QLatin1String(names[a][s]));
    xCheckArrowColor();
}

void GSensorView::xCheckArrowColor()
{
    QColor* colors[3] = {&colorXAxis, &colorYAxis, &colorZAxis};
    for (int a = 0; a < 3; ++a) {
        const QImage& arrow = arrowBitmaps[a][0];
        if (arrow.isNull())
            continue; // keep the built-in colour
        QColor c = arrow.pixelColor(arrow.width() / 2, arrow.height() / 2);
        c.setAlpha(255);
        *colors[a] = c;
    }
}

void GSensorView::setGeometryFields()
{
    const int H = nBackgroundHeight;
    rectGraphic = QRect(kGraphLeft, H - 66, SensorGraphic::kWidth, SensorGraphic::kHeight);
    rectAxis[0] = QRect(302, H - 20, 10, 10);
    rectAxis[1] = QRect(302, H - 40, 10, 10);
    rectAxis[2] = QRect(302, H - 60, 10, 10);
    rectValue[0][0] = QRect(64, H - 196, 48, 14);
    rectValue[0][1] = QRect(232, H - 106, 48, 14);
    rectValue[1][0] = QRect(232, H - 196, 48, 14);
    rectValue[1][1] = QRect(58, H - 108, 48, 14);
    rectValue[2][0] = QRect(146, H - 88, 48, 14);
    rectValue[2][1] = QRect(146, H - 210, 48, 14);
    // Arrow positions come as (x, distance of the image's top from the panel's top).
    static const int fromTop[3][2][2] = {
        {{114, 168}, {210, 105}}, {{210, 169}, {107, 104}}, {{162, 90}, {162, 170}}};
    for (int a = 0; a < 3; ++a)
        for (int s = 0; s < 2; ++s) {
            const int imgH = arrowBitmaps[a][s].isNull() ? 0 : arrowBitmaps[a][s].height();
            ptArrow[a][s] = QPoint(fromTop[a][s][0], H - imgH - fromTop[a][s][1]);
        }
    rectMax = QRect(0, H - 21, 46, 16);
    rectMean = QRect(0, H - 44, 46, 16);
    rectMin = QRect(0, H - 66, 46, 16);
}

QRect GSensorView::valueRect(int axis, int sign) const
{
    return rectValue[axis][sign];
}

QPoint GSensorView::arrowPoint(int axis, int sign) const
{
    return ptArrow[axis][sign];
}

QRect GSensorView::toImageRect(const QRect& r) const
{
    return pmQtRect(r, nBackgroundHeight);
}

QImage GSensorView::xCombineBitmapWithText(const QImage& source, const QString& text) const
{
    QImage out(source.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(0, 0, source);
    p.setPen(kNoDataText);
    p.setFont(helvetica(16));
    // (0, height - 70, width, 62) from the bottom edge.
    p.drawText(QRect(0, 8, out.width(), 62), Qt::AlignCenter | Qt::TextWordWrap, text);
    return out;
}

void GSensorView::xCreateBackgroundBitmap()
{
    QImage bg(nBackgroundWidth, nBackgroundHeight, QImage::Format_ARGB32_Premultiplied);
    bg.fill(kPlaceholder);
    QPainter p(&bg);
    const QString skinName = m_nMotorType == 1   ? QStringLiteral("G-Sensor Screen_bg.png")
                             : m_nMotorType == 2 ? QStringLiteral("G-Sensor Screen_default.png")
                                                 : QStringLiteral("G-Sensor Screen_default_d.png");
    const QImage skin = skinImage(skinName);
    if (!skin.isNull())
        p.drawImage(0, 0, skin);

    const QColor colors[3] = {colorXAxis, colorYAxis, colorZAxis};
    static const char* const letters[3] = {"X", "Y", "Z"};
    p.setFont(helvetica(14));
    for (int a = 0; a < 3; ++a) {
        const QRect square = toImageRect(rectAxis[a]);
        p.fillRect(square, colors[a]);
        p.setPen(colors[a]);
        drawCentered(p, square.translated(15, 0), QLatin1String(letters[a]));
    }
    p.setPen(Qt::white);
    p.setFont(helvetica(12));
    const double scale = fDisplayGValue;
    drawCentered(p, toImageRect(rectMax), QString::asprintf("%2.1fG", scale));
    drawCentered(p, toImageRect(rectMean), QStringLiteral("0.0"));
    drawCentered(p, toImageRect(rectMin), QString::asprintf("-%2.1fG", scale));
    p.end();
    poBackgroundBitmap = bg;
}

void GSensorView::createGensorBitmap(int x, int y, int z)
{
    if (poBackgroundBitmap.isNull())
        return;
    QImage img = poBackgroundBitmap.copy();
    QPainter p(&img);
    if (!poGraphicBitmap.isNull()) {
        p.drawImage(toImageRect(rectGraphic).topLeft(), poGraphicBitmap);
    } else {
        const QImage& none = m_nMotorType == 2   ? poDisableMotoBmp
                             : m_nMotorType == 1 ? poDisableBitmap
                                                 : poDefaultUnknownBmp;
        p.drawImage(0, 0, none);
    }
    const int values[3] = {x, y, z};
    const QColor colors[3] = {colorXAxis, colorYAxis, colorZAxis};
    p.setFont(helvetica(12));
    for (int a = 0; a < 3; ++a) {
        if (values[a] == 0)
            continue;
        const double g = values[a] / 1000.0;
        const int s = g > 0 ? 0 : 1;
        const QImage& arrow = arrowBitmaps[a][s];
        if (!arrow.isNull())
            p.drawImage(ptArrow[a][s].x(), nBackgroundHeight - ptArrow[a][s].y() - arrow.height(), arrow);
        p.setPen(colors[a]);
        drawCentered(p, toImageRect(rectValue[a][s]), QString::asprintf("%.3f", g));
    }
    p.end();
    poGensorBitmap = img;
}

void GSensorView::drawIndicator(int pos, int x, int y, int z)
{
    nIndicatorPos = pos + kGraphLeft;
    if (poGraphicBitmap.isNull())
        return;
    createGensorBitmap(x, y, z);
    QPainter p(&poGensorBitmap);
    p.setPen(QPen(Qt::white, 1));
    // From (pos, H - 66) to (pos, H - 66 + 63 - 1), bottom-left coordinates.
    const int top = nBackgroundHeight - 1 - (nBackgroundHeight - 66 + SensorGraphic::kHeight - 1);
    const int bottom = nBackgroundHeight - 1 - (nBackgroundHeight - 66);
    p.drawLine(nIndicatorPos, top, nIndicatorPos, bottom);
    p.end();
    update();
}

void GSensorView::setGensorGraphic(const QImage& graphic, int16_t motorType, float scale)
{
    fDisplayGValue = scale;
    poGraphicBitmap = graphic.isNull() ? QImage() : graphic.copy();
    m_nMotorType = motorType;
    if (!poGraphicBitmap.isNull())
        xCreateBackgroundBitmap();
    createGensorBitmap(0, 0, 0);
    update();
}

void GSensorView::loadSkinBitmap()
{
    poGraphicBitmap = QImage();
    poGensorBitmap = QImage();
    const int16_t kind = m_nMotorType;
    loadImages();
    m_nMotorType = kind;
    setGeometryFields();
    xCreateBackgroundBitmap();
    createGensorBitmap(0, 0, 0);
    update();
}

void GSensorView::setTimeMarks(const QList<TimeMark>& marks, int sampleCount)
{
    m_timeMarks = sampleCount > 0 ? marks : QList<TimeMark>();
    m_nMarkSamples = sampleCount;
    update();
}

int GSensorView::timeMarkX(int second) const
{
    const int column =
        m_nMarkSamples > 0 ? static_cast<int>(qint64(second) * SensorGraphic::kWidth / m_nMarkSamples) : 0;
    return toImageRect(rectGraphic).left() + qBound(0, column, SensorGraphic::kWidth - 1);
}

// Drawn over the composed picture, so a cursor move never recomposes them.
void GSensorView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!poGensorBitmap.isNull())
        p.drawImage(0, 0, poGensorBitmap);
    if (poGraphicBitmap.isNull())
        return;
    const int top = toImageRect(rectGraphic).top();
    for (const TimeMark& mark : std::as_const(m_timeMarks))
        pmDrawTimeMark(p, timeMarkX(mark.second), top);
}

bool GSensorView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int hit = poGraphicBitmap.isNull() || !toImageRect(rectGraphic).contains(help->pos())
                            ? -1
                            : pmTimeMarkNear(
                                  m_timeMarks, [this](int second) { return timeMarkX(second); },
                                  help->pos().x(), kTimeMarkWidth);
        if (hit >= 0) {
            QToolTip::showText(help->globalPos(), m_timeMarks.at(hit).text, this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void GSensorView::mousePressEvent(QMouseEvent* event)
{
    const QRect graph = toImageRect(rectGraphic);
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || poGraphicBitmap.isNull() || !graph.contains(at)) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    Q_EMIT graphClicked(at.x() - graph.left());
}
