#pragma once
// A push button with up to five image sets (play/pause, sound on/off, speed
// steps, full screen and back), each of four skin images and its own tooltip.
// The set shown changes only through changeButtonIndex(), setButtonIndex() and
// resetButtonState(); owners cycle it from their click handlers.
// Must run on the main thread.
#include "controls/SkinnedButton.h"
#include <QPixmap>
#include <QString>

class MultiButtons : public SkinnedButton
{
    Q_OBJECT
public:
    static constexpr int kMaxSets = 5;

    explicit MultiButtons(QSize size, QWidget* parent = nullptr);
    ~MultiButtons() override;

    static MultiButtons* windowButtonWithSize(int width, int height, QWidget* parent = nullptr);

    // Drops all tooltips and images; the count becomes 0, the current index is kept.
    void clearBitmaps();
    // Appends a set (ignored when five exist). The first set also gives the tooltip.
    void addBitmapButton(const QString& toolTip, const QString& normal, const QString& pressed,
                         const QString& over, const QString& disabled);
    // Next set, wrapping after the last; shows its mouse-over image. Needs two sets.
    void changeButtonIndex();
    // setButtonIndex(0), the current set's tooltip, redraw.
    void resetButtonState();
    int getCurButtonIndex() const { return nCurrentButtonIndex; }
    // Selects another existing set (needs two sets) and shows its normal or disabled image.
    void setButtonIndex(int index);
    // Replaces the tooltip of each set whose text is not null; applies the current one.
    void changeToolTips(const QString& tip0, const QString& tip1 = QString(), const QString& tip2 = QString(),
                        const QString& tip3 = QString(), const QString& tip4 = QString());

    void setPressedImage(const QPixmap& image);
    QPixmap pressedImage() const;

    int buttonCount() const { return nButtonCount; }
    QString toolTipOf(int index) const;
    QString imageName(int index, ImageState state) const;

    QSize sizeHint() const override { return m_initialSize; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QPixmap* currentPixmap() const;
    void applyToolTip();

    QString strToolTip[kMaxSets];
    QPixmap activeImage[kMaxSets];
    QPixmap inactiveImage[kMaxSets];
    QPixmap rolloverImage[kMaxSets];
    QPixmap pressedImages[kMaxSets];
    QString m_names[kMaxSets][4];
    QString title;
    int nButtonCount = 0;
    int nCurrentButtonIndex = 0;
    QSize m_initialSize;
};
