#pragma once
// The incident clip's window: how many seconds before and after the moment
// the clip takes (the stored lengths to start with), then Save or Cancel.
// Optionally the caption drawn in, or the cameras in one picture (both
// re-encode, much slower than the copy).
// Areas to blur are marked on a frame of the clip: the time slider picks the
// moment (the frame comes from whoever listens to frameWanted, through
// showFrame), a rectangle dragged over the picture sets the selected area's
// position at that moment (a new area when none is selected), "hold still"
// carries its position on to the moment shown. The areas are core/ClipBlur's,
// timed from the clip's start.
// Opened with open(); the choice comes back through chosen(). Main thread only.
#include "core/ClipBlur.h"

#include <QDialog>
#include <QImage>

#include <vector>

class BlurMarkView;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;

class ClipDlg : public QDialog
{
    Q_OBJECT
public:
    ClipDlg(int beforeSeconds, int afterSeconds, QWidget* parent = nullptr);

    QSpinBox* beforeBox() const { return m_before; }
    QSpinBox* afterBox() const { return m_after; }
    QCheckBox* overlayBox() const { return m_overlay; }
    // The layout (item data: "separate", "side-by-side", "pip", "front",
    // "rear"), the inset's corner (data 0..3) and the quality (CRF). Any
    // layout but "separate" re-encodes; the overlay goes into its copy.
    QComboBox* layoutBox() const { return m_layout; }
    QComboBox* cornerBox() const { return m_corner; }
    QSpinBox* qualityBox() const { return m_quality; }
    void setChoices(const QString& layout, int corner, int quality);
    QString layoutWord() const;
    int corner() const;
    // Says why OK did nothing (both lengths 0, areas that cannot be used); hidden otherwise.
    QLabel* noteLabel() const { return m_note; }

    BlurMarkView* blurView() const { return m_view; }
    QSlider* blurTime() const { return m_time; } // tenths of a second from the clip's start
    QListWidget* blurList() const { return m_list; }
    QPushButton* blurHoldButton() const { return m_hold; }
    QPushButton* blurNewButton() const { return m_newArea; }
    QPushButton* blurRemoveButton() const { return m_remove; }
    const std::vector<BlurArea>& blurAreas() const { return m_areas; }
    // The moment shown, in seconds from the clip's start.
    double blurSeconds() const;
    // The frame of the camera whose picture is marked (the rear for the rear
    // layout, else the front) at a moment, in seconds from the clip's moment;
    // a null image with the reason when there is none.
    void showFrame(const QImage& frame, double secondsFromMoment, const QString& why);
    // Asks for the frame of the moment shown.
    void requestFrame();
    static constexpr int kMaxSeconds = 600;

Q_SIGNALS:
    void chosen(int beforeSeconds, int afterSeconds, bool overlay);
    // The frame the marking wants: seconds from the clip's moment, of the rear camera or the front.
    void frameWanted(double secondsFromMoment, bool rear);

private:
    QSpinBox* m_before = nullptr;
    QSpinBox* m_after = nullptr;
    QCheckBox* m_overlay = nullptr;
    QComboBox* m_layout = nullptr;
    QComboBox* m_corner = nullptr;
    QSpinBox* m_quality = nullptr;
    void layoutChanged();
    void lengthsChanged();
    void rectDrawn(const QRect& picture);
    void holdStill();
    void refreshAreas();
    bool areasUsable();
    void showNote(const QString& text);
    QLabel* m_note = nullptr;
    BlurMarkView* m_view = nullptr;
    QSlider* m_time = nullptr;
    QLabel* m_timeLabel = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_newArea = nullptr;
    QPushButton* m_hold = nullptr;
    QPushButton* m_remove = nullptr;
    std::vector<BlurArea> m_areas;
    int m_selected = -1;
    int m_shownBefore = 0; // the lengths' "before" the areas' times are counted from
    bool m_rearMarked = false;
    QSize m_pictureSize;
    bool m_refreshing = false;
};
