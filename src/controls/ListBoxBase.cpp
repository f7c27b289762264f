#include "controls/ListBoxBase.h"
#include "base/SettingsKeys.h"

#include "base/Services.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>

namespace listskin
{
QPixmap load(const QString& baseName)
{
    return Skin::image(baseName);
}

void setLoader(Loader loader)
{
    Skin::setTestLoader(std::move(loader));
}

std::array<QPixmap, 4> loadStates(const QString& baseName)
{
    return Skin::stateImages(baseName);
}

QFont uiFont(int pixelSize)
{
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    return f;
}

int skinId()
{
    return Skin::currentId();
}
} // namespace listskin

ListBoxBase::ListBoxBase(ListGeometry::Kind kind, QWidget* parent) : QWidget(parent), m_kind(kind)
{
    setMouseTracking(true);
    hScrollTimer.setInterval(200);
    connect(&hScrollTimer, &QTimer::timeout, this, &ListBoxBase::scrollTimer);
}

ListBoxBase::~ListBoxBase() = default;

void ListBoxBase::loadSkinBitmap()
{
    const QString prefix = imagePrefix();
    const QPixmap bg1 = listskin::load(prefix + QStringLiteral("_bg_1.png"));
    const QPixmap bg2 = listskin::load(prefix + QStringLiteral("_bg_2.png"));
    backgroundImage = QPixmap();
    if (!bg1.isNull()) {
        QPixmap pattern(bg1.width(), bg1.height() * 2);
        pattern.fill(Qt::transparent);
        QPainter p(&pattern);
        if (!bg2.isNull())
            p.drawPixmap(0, 0, bg2.scaled(bg1.size()));
        p.drawPixmap(0, bg1.height(), bg1);
        p.end();
        backgroundImage = pattern;
    }
    selectedImage = listskin::load(prefix + QStringLiteral("_d.png"));
    scrollBarImage = listskin::load(QStringLiteral("scrollbar_background.png"));
    upImages = listskin::loadStates(QStringLiteral("button_bar_up.png"));
    downImages = listskin::loadStates(QStringLiteral("button_bar_down.png"));
    thumbImages = listskin::loadStates(QStringLiteral("slider.png"));
    m_geo.layout(m_kind, width(), height(), imageSizes(), bDrawR2L);
    update();
}

ListImageSizes ListBoxBase::imageSizes() const
{
    ListImageSizes s;
    s.itemWidth = selectedImage.width();
    s.itemHeight = selectedImage.height();
    s.spinWidth = upImages[0].width();
    s.spinHeight = upImages[0].height();
    s.thumbWidth = thumbImages[0].width();
    s.thumbHeight = thumbImages[0].height();
    s.backgroundWidth = backgroundImage.width();
    return s;
}

void ListBoxBase::relayoutContents(bool rightToLeft, int w, int h)
{
    bDrawR2L = rightToLeft;
    resize(w, h);
    m_geo.layout(m_kind, w, h, imageSizes(), bDrawR2L);
    nListBoxStartIndex = m_geo.clampFirstRow(nListBoxStartIndex);
    update();
}

void ListBoxBase::resizeEvent(QResizeEvent*)
{
    if (m_geo.width() != width() || m_geo.height() != height()) {
        m_geo.layout(m_kind, width(), height(), imageSizes(), bDrawR2L);
        nListBoxStartIndex = m_geo.clampFirstRow(nListBoxStartIndex);
    }
}

void ListBoxBase::countChanged(int count)
{
    m_geo.setCount(count);
    nListBoxStartIndex = m_geo.clampFirstRow(nListBoxStartIndex);
    update();
}

void ListBoxBase::resetScrollState()
{
    nListBoxStartIndex = 0;
    nCurSelectIndex = 0;
    bDragging = false;
    hScrollTimer.stop();
    m_geo.setCount(0);
    update();
}

void ListBoxBase::setCurSel(int index)
{
    nCurSelectIndex = index;
    nListBoxStartIndex = m_geo.ensureVisible(nListBoxStartIndex, index);
    update();
}

void ListBoxBase::setFirstRow(int row)
{
    const int clamped = m_geo.clampFirstRow(row);
    if (clamped != nListBoxStartIndex) {
        nListBoxStartIndex = clamped;
        update();
    }
}

void ListBoxBase::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const int H = m_geo.height();
    const QRect area = event->rect();

    // Row background: the two-row pattern tiled down the row area from the top.
    const QRect client = pmQtRect(m_geo.client(), H);
    if (!backgroundImage.isNull()) {
        const QRect todo = client.intersected(area);
        if (!todo.isEmpty()) {
            p.save();
            p.setClipRect(todo);
            const int ph = backgroundImage.height();
            for (int y = client.top(); y < client.bottom() + 1; y += ph) {
                if (y + ph <= todo.top())
                    continue;
                if (y > todo.bottom())
                    break;
                p.drawPixmap(client.left(), y, backgroundImage);
            }
            p.restore();
        }
    }

    // Scroll bar background, tiled up from its bottom.
    const QRect bar = pmQtRect(m_geo.scrollBar(), H);
    if (!scrollBarImage.isNull() && bar.intersects(area) && scrollBarImage.height() > 0) {
        p.save();
        p.setClipRect(bar);
        for (int y = bar.bottom() + 1 - scrollBarImage.height(); y + scrollBarImage.height() > bar.top();
             y -= scrollBarImage.height())
            p.drawPixmap(bar.left(), y, scrollBarImage);
        p.restore();
    }
    auto drawState = [&](const std::array<QPixmap, 4>& images, int state, const PmFrame& frame) {
        const QPixmap& img = images[std::clamp(state, 0, 3)];
        const QPixmap& shown = img.isNull() ? images[0] : img;
        if (!shown.isNull())
            p.drawPixmap(pmQtRect(frame, H).topLeft(), shown);
    };
    drawState(upImages, nUpSpinState, m_geo.upArrow());
    drawState(downImages, nDownSpinState, m_geo.downArrow());
    drawState(thumbImages, nThumbState, m_geo.thumbRect(nListBoxStartIndex));

    const int count = m_geo.count();
    const int visible = m_geo.visibleRows();
    if (count > 0 && nCurSelectIndex >= nListBoxStartIndex &&
        nCurSelectIndex < nListBoxStartIndex + visible && nCurSelectIndex < count && !selectedImage.isNull())
        p.drawPixmap(rowQtRect(nCurSelectIndex - nListBoxStartIndex).topLeft(), selectedImage);

    for (int k = 0; k < visible; ++k) {
        const int index = nListBoxStartIndex + k;
        if (index >= count)
            break;
        const QRect r = rowQtRect(k);
        if (!r.intersects(area))
            continue;
        drawRow(p, k, index, r);
    }
}

void ListBoxBase::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const qint64 t = static_cast<qint64>(event->timestamp());
    const auto* hints = QGuiApplication::styleHints();
    const bool secondOfDouble = m_lastPressTime >= 0 &&
                                t - m_lastPressTime < hints->mouseDoubleClickInterval() &&
                                (pos - m_lastPressPos).manhattanLength() <= hints->mouseDoubleClickDistance();
    m_lastPressTime = t;
    m_lastPressPos = pos;
    if (secondOfDouble)
        return; // the double-click event that follows reports this press
    handlePress(pos, 1);
}

void ListBoxBase::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_lastPressTime = -1;
    handlePress(event->position().toPoint(), 2);
}

void ListBoxBase::handlePress(const QPoint& qtPos, int clickCount)
{
    const int x = qtPos.x();
    const int y = bottomUpY(qtPos.y(), m_geo.height());
    const int index = m_geo.rowAt(x, y, nListBoxStartIndex);
    if (index >= 0) {
        nCurSelectIndex = index;
        update();
        rowClicked(index, clickCount);
        return;
    }
    if (!m_geo.scrollEnabled())
        return;
    const ScrollPart part = m_geo.hitScrollBar(x, y, nListBoxStartIndex);
    if (part == kScrollNone)
        return;
    if (part == kScrollThumb) {
        bDragging = true;
        nThumbState = 2;
    } else {
        nListBoxStartIndex = m_geo.scrollByPart(part, nListBoxStartIndex);
        if (part == kScrollUpArrow || part == kScrollDownArrow) {
            (part == kScrollUpArrow ? nUpSpinState : nDownSpinState) = 2;
            hScrollTimer.start();
        }
    }
    nListBoxStartIndex = m_geo.clampFirstRow(nListBoxStartIndex);
    ptLastPoint = QPoint(x, y);
    update();
}

void ListBoxBase::scrollTimer()
{
    const ScrollPart part = m_geo.hitScrollBar(ptLastPoint.x(), ptLastPoint.y(), nListBoxStartIndex);
    if (part == kScrollUpArrow || part == kScrollDownArrow)
        setFirstRow(m_geo.scrollByPart(part, nListBoxStartIndex));
}

void ListBoxBase::mouseReleaseEvent(QMouseEvent*)
{
    nUpSpinState = nDownSpinState = nThumbState = 0;
    hScrollTimer.stop();
    bDragging = false;
    update();
}

void ListBoxBase::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int x = pos.x();
    const int y = bottomUpY(pos.y(), m_geo.height());
    if (bDragging && (event->buttons() & Qt::LeftButton)) {
        const int row = m_geo.dragTo(nListBoxStartIndex, ptLastPoint.y(), y);
        // Less than a whole row: keep the remembered point so slow moves add up.
        if (row != nListBoxStartIndex) {
            nListBoxStartIndex = row;
            ptLastPoint = QPoint(x, y);
            update();
        }
        return;
    }
    if (event->buttons() & Qt::LeftButton) {
        ptLastPoint = QPoint(x, y);
        return;
    }
    if (!m_geo.scrollEnabled())
        return;
    const ScrollPart part = m_geo.hitScrollBar(x, y, nListBoxStartIndex);
    const int up = part == kScrollUpArrow ? 2 : 0;
    const int down = part == kScrollDownArrow ? 2 : 0;
    const int thumb = part == kScrollThumb ? 2 : 0;
    if (up != nUpSpinState || down != nDownSpinState || thumb != nThumbState) {
        nUpSpinState = up;
        nDownSpinState = down;
        nThumbState = thumb;
        update(pmQtRect(m_geo.scrollBar(), m_geo.height()));
    }
}

void ListBoxBase::leaveEvent(QEvent*)
{
    if (bDragging || hScrollTimer.isActive())
        return;
    if (nUpSpinState || nDownSpinState || nThumbState) {
        nUpSpinState = nDownSpinState = nThumbState = 0;
        update();
    }
}

void ListBoxBase::wheelEvent(QWheelEvent* event)
{
    if (!handlesWheel()) {
        event->ignore();
        return;
    }
    const int dy = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->pixelDelta().y();
    if (dy == 0 || !m_geo.scrollEnabled())
        return;
    setFirstRow(m_geo.wheel(nListBoxStartIndex, dy));
    update();
}
