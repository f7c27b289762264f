#pragma once
// Shared behaviour of the two skinned lists (FileListBox and the calendar's
// drop-down ListBox): selection, first visible row, the scroll bar with its
// arrows, track, thumb drag and 0.2 s arrow auto-repeat, and the skin images
// they have in common. All geometry lives in ListGeometry; this class only
// turns Qt events into its calls and paints. Must run on the main thread.
#include "controls/ListGeometry.h"

#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

class QPainter;

namespace listskin
{
// A skin image by base name: pmLoadSkinImage, unless a test replaced the loader
// (to draw the panels as a skin lacking images would). Null when absent.
QPixmap load(const QString& baseName);
using Loader = std::function<QPixmap(const QString& baseName)>;
// Replaces the loader of the calendar and file list controls; an empty one restores the skin.
void setLoader(Loader loader);
// The four state images of a base name: normal, "_d" pressed, "_f" mouse over, "_g" disabled.
std::array<QPixmap, 4> loadStates(const QString& baseName);
// The UI sans-serif with Japanese glyphs at a pixel size (the layout's points).
QFont uiFont(int pixelSize);
// The skin in force (0..3), as the settings store it.
int skinId();
} // namespace listskin

class ListBoxBase : public QWidget
{
    Q_OBJECT
public:
    explicit ListBoxBase(ListGeometry::Kind kind, QWidget* parent = nullptr);
    ~ListBoxBase() override;

    int getCount() const { return m_geo.count(); }
    int getCurSel() const { return nCurSelectIndex; }
    // Selects a row and moves the first visible row just far enough to show it.
    void setCurSel(int index);
    int firstVisibleRow() const { return nListBoxStartIndex; }
    void setRealParent(const QString& identity) { strParentWindow = identity; }
    const QString& realParent() const { return strParentWindow; }
    // Lays the list out again for a new size (bottom-left frame handled by the owner).
    void relayoutContents(bool rightToLeft, int width, int height);
    virtual void loadSkinBitmap();

    const ListGeometry& geometryModel() const { return m_geo; }
    // Scroll bar part under a point given in bottom-up list coordinates.
    ScrollPart xCheckScrollBar(int x, int y) const { return m_geo.hitScrollBar(x, y, nListBoxStartIndex); }
    bool isDragging() const { return bDragging; }
    bool isAutoRepeating() const { return hScrollTimer.isActive(); }
    int upSpinState() const { return nUpSpinState; }
    int downSpinState() const { return nDownSpinState; }
    int thumbState() const { return nThumbState; }
    // Qt rectangle of the thumb as drawn now (for tests and hit checks).
    QRect thumbQtRect() const { return pmQtRect(m_geo.thumbRect(nListBoxStartIndex), m_geo.height()); }
    QRect rowQtRect(int k) const { return pmQtRect(m_geo.rowRect(k), m_geo.height()); }

protected:
    // Row texts/models live in the subclass; it tells the base the new count.
    void countChanged(int count);
    void resetScrollState();
    // A press on a visible entry: the subclass posts its notification.
    virtual void rowClicked(int index, int clickCount) = 0;
    virtual void drawRow(QPainter& p, int k, int index, const QRect& rowRect) = 0;
    virtual bool handlesWheel() const = 0;
    virtual QString imagePrefix() const = 0; // "list" or "calendar_list"

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    void handlePress(const QPoint& qtPos, int clickCount);
    void scrollTimer();
    void setFirstRow(int row);
    ListImageSizes imageSizes() const;

    ListGeometry m_geo;
    ListGeometry::Kind m_kind;
    int nCurSelectIndex = 0;
    int nListBoxStartIndex = 0;
    int nUpSpinState = 0;
    int nDownSpinState = 0;
    int nThumbState = 0;
    bool bDragging = false;
    QPoint ptLastPoint; // bottom-up list coordinates
    QTimer hScrollTimer;
    QString strParentWindow;
    bool bDrawR2L = false;

    QPixmap backgroundImage; // two-row pattern: bg_2 on top, bg_1 below
    QPixmap selectedImage;
    QPixmap scrollBarImage;
    std::array<QPixmap, 4> upImages, downImages, thumbImages;

private:
    // A real double click arrives as press, release, press, double-click: the
    // second press is left to the double-click event so each click counts once.
    qint64 m_lastPressTime = -1;
    QPoint m_lastPressPos;
};
