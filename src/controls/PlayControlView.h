#pragma once
// The play bar under the video: previous, next, play/pause, speed, mute,
// volume, full screen, the time slider and its two time labels. Clicks become
// play bar commands ("...PlayBarButtonClickedNotification" with the command
// code) and slider movements become "...DoSliderChangedNotification" with the
// slider's type; the controller drives the buttons' images and the sliders'
// values through the accessors.
// Must run on the main thread.
#include "base/SettingsKeys.h"
#include "controls/PanelLayout.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

class BitmapButton;
class MultiButtons;
class Slider;
struct Notification;

class PlayControlView : public QWidget
{
    Q_OBJECT
public:
    // Play bar command codes posted by the buttons.
    enum Command : int {
        CmdPlay = 1,
        CmdPause = 2,
        CmdNext = 3,
        CmdPrevious = 4,
        CmdMute = 7,
        CmdSpeed = 9,
        CmdFullScreen = 10,
        CmdDpadUp = 19,
        CmdDpadDown = 20,
        CmdDpadLeft = 21,
        CmdDpadRight = 22,
        CmdDpadReset = 23
    };

    explicit PlayControlView(QWidget* parent = nullptr);
    ~PlayControlView() override;

    void setupButtons();
    // Lays the controls out for a play bar of this width (right to left mirrors them).
    void relayoutContents(bool rightToLeft, double width);
    void sliderValueChanged(const Notification& n);

    void onPrevButtonPressed();
    void onNextButtonPressed();
    void onPlayButtonPressed();
    void onPlayRevButtonPressed();
    void onVolumeButtonPressed();
    void onSpeedButtonPressed();
    void onFullscreenButtonPressed();
    void onDirectionButtonPressed();
    void onDpadUpButtonPressed();
    void onDpadDownButtonPressed();
    void onDpadLeftButtonPressed();
    void onDpadRightButtonPressed();
    void onDpadResetButtonPressed();

    // Position and total length in whole seconds; with redraw, only a changed label is redrawn.
    void SetPlayTime(int position, int total, bool redraw);
    int playTime() const { return m_nPlayTime; }
    int remainTime() const { return m_nRemainTime; }
    bool IsReversePlay() const { return bReversePlay; }
    // The volume step the slider shows; the controller sets it from the
    // settings when it creates the bar.
    void SetVolume(int volume);
    int GetVolume() const { return nVolume; }
    void SetMute(bool mute);
    bool IsMute() const { return bMute; }
    void changeLanguage();
    void loadSkinBitmap();
    void checkDpadButtons() {}

    BitmapButton* poPrevBtn() const { return m_poPrevBtn; }
    BitmapButton* poNextBtn() const { return m_poNextBtn; }
    MultiButtons* poPlayBtn() const { return m_poPlayBtn; }
    MultiButtons* poPlayRevBtn() const { return m_poPlayRevBtn; }
    MultiButtons* poSpeedBtn() const { return m_poSpeedBtn; }
    MultiButtons* poDirectionBtn() const { return nullptr; } // not created in this system
    MultiButtons* poVolumeBtn() const { return m_poVolumeBtn; }
    MultiButtons* poFullScreenBtn() const { return m_poFullScreenBtn; }
    Slider* poVolumeSlider() const { return m_poVolumeSlider; }
    Slider* poTimeSlider() const { return m_poTimeSlider; }

    // The frames in force (origin at the bottom left).
    const PlayBarLayout& frames() const { return m_frames; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void postCommand(int code);
    void applyFrames();
    void fillSets(MultiButtons* button, const QStringList& bases, const QStringList& tipIds);
    void DrawTime(class QPainter& painter);
    QRect labelRect(const PmFrame& r) const;

    int nBackgroundWidth = 0;
    int nBackgroundHeight = 0;
    QString backgroundImageName = QStringLiteral("playbar_background.png");
    QPixmap backgroundImage;
    QPixmap m_tiledBackground; // the background tiled to the view's width, rebuilt on resize or skin change

    BitmapButton* m_poPrevBtn = nullptr;
    BitmapButton* m_poNextBtn = nullptr;
    MultiButtons* m_poPlayBtn = nullptr;
    MultiButtons* m_poPlayRevBtn = nullptr;
    MultiButtons* m_poSpeedBtn = nullptr;
    MultiButtons* m_poVolumeBtn = nullptr;
    MultiButtons* m_poFullScreenBtn = nullptr;
    Slider* m_poVolumeSlider = nullptr;
    Slider* m_poTimeSlider = nullptr;

    PlayBarLayout m_frames;
    bool bReversePlay = false;
    bool bPausePlay = false;
    bool bMute = false;
    bool m_bR2L = false;
    int nVolume = SettingsKeys::volume.def; // the controller sets the stored step (SetVolume)
    int m_nPlayTime = 0;
    int m_nRemainTime = 0;
};
