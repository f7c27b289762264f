#pragma once
// A push button drawn entirely from four skin images: normal, pressed ("_d"),
// mouse over ("_f") and disabled ("_g"). Owners hand it base names and call
// setBitmapButton() again after a skin change; the button keeps the names so
// it can also reload itself (reloadBitmaps()). A missing image simply leaves
// the button without a picture for that state.
// Must run on the main thread.
#include "controls/SkinnedButton.h"
#include <QColor>
#include <QPixmap>
#include <QString>

class BitmapButton : public SkinnedButton
{
    Q_OBJECT
public:
    explicit BitmapButton(QSize size, QWidget* parent = nullptr);
    ~BitmapButton() override;

    // A new button with frame (0, 0, width, height).
    static BitmapButton* windowButtonWithSize(int width, int height, QWidget* parent = nullptr);

    // Loads the four images through the skin (pmLoadSkinImage).
    void setBitmapButton(const QString& normal, const QString& pressed, const QString& over,
                         const QString& disabled);
    // Loads them again from the names last given (skin change).
    void reloadBitmaps();

    void setPressedImage(const QPixmap& image);
    QPixmap pressedImage() const { return m_pressedImage; }

    void setBitmapTitle(const QString& text);
    QString bitmapTitle() const { return m_title; }
    void setFontSize(int size);
    int fontSize() const { return m_nFontSize; }
    void setTitleColor(const QColor& color);
    QColor titleColor() const { return m_colorTitle; }

    // Shows horizontally mirrored images (right-to-left layout).
    void setButtonFlipped(bool flipped);
    bool isButtonFlipped() const { return bR2L; }
    static QPixmap flipImage(const QPixmap& image);

    // YES keeps the pressed image on screen; NO returns to the normal image.
    void checkButton(bool checked);
    bool isButtonChecked() const { return bButtonChecked; }

    // The image state on screen and the names of the images in use (tests, owners).
    QString imageName(ImageState state) const { return m_names[state]; }
    bool hasImage(ImageState state) const;

    QSize sizeHint() const override { return m_initialSize; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool showsPressedAtRest() const override { return bButtonChecked; }

private:
    const QPixmap& pixmapFor(ImageState state) const;

    QPixmap m_activeImage;
    QPixmap m_inactiveImage;
    QPixmap m_rolloverImage;
    QPixmap m_pressedImage;
    QString m_names[4];
    QString m_title;
    quint16 m_nFontSize = 14;
    QColor m_colorTitle = Qt::white;
    bool bR2L = false;
    bool bButtonChecked = false;
    QSize m_initialSize;
};
