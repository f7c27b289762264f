#pragma once
// The toolbar across the top of the main window: open, print, backup,
// capture, KML export, video upload, settings and window switch, each a
// 37 x 29 skinned button along the top edge. Clicks are reported as Qt
// signals that the application controller connects to its commands, so the
// toolbar needs no controller to be built or tested. The settings button
// pops up a menu built afresh on each press: the skin, language and speed
// unit submenus and About.
// Must run on the main thread.
#include "controls/PanelLayout.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class BitmapButton;
#include <QMenu>

class ToolbarView : public QWidget
{
    Q_OBJECT
public:
    explicit ToolbarView(QWidget* parent = nullptr);
    ~ToolbarView() override;

    void setupButtons();
    void changeLanguage();
    void loadSkinBitmap();
    // Lays the buttons out for the current size (right to left mirrors them).
    void relayoutContents(bool rightToLeft);
    void setRectPosition();

    // Where the window-switch button goes; without a provider it sits at 668.
    void setSwitchButtonPositionProvider(std::function<int()> provider);
    // The state of the settings menu's 360-degree item: -1 unavailable (no
    // recording shown), 0 off, 1 on. Without a provider the item is unavailable.
    void setView360StateProvider(std::function<int()> provider);
    // Whether the settings menu's "Place recordings by the time in their
    // names" item shows its check mark; without a provider it is off.
    void setPlaceByNameTimeStateProvider(std::function<bool()> provider);
    void setShowWholeTripStateProvider(std::function<bool()> provider);
    // The attached-track items: -1 no recording shown (both unavailable), 0
    // none attached (no removing), 1 one serves the recording shown. Without
    // a provider both are unavailable.
    void setAttachedTrackStateProvider(std::function<int()> provider);
    // "Correct the camera clock": -1 unavailable, 0 off, 1 on, and the item's
    // tooltip (why it is unavailable, or how far the clock is off). Without
    // providers the item is unavailable.
    void setCameraClockStateProvider(std::function<int()> state, std::function<QString()> toolTip);

    void onBrowseButtonPressed();
    void onPrintButtonPressed();
    void onBackupButtonPressed();
    void onCaptureButtonPressed();
    void onUploadYouTubeButtonPressed();
    void onUploadFacebookButtonPressed();
    void onExportButtonPressed();
    void onSettingButtonPressed();
    void onWindowSwitchButtonPressed();

    // The settings menu last built (null before the first press); tests read it.
    QMenu* settingsMenu() const;

    BitmapButton* oBrowseBtn() const { return m_oBrowseBtn; }
    BitmapButton* oPrintBtn() const { return m_oPrintBtn; }
    BitmapButton* oBackupBtn() const { return m_oBackupBtn; }
    BitmapButton* oCaptureBtn() const { return m_oCaptureBtn; }
    BitmapButton* oExportBtn() const { return m_oExportBtn; }
    BitmapButton* oSettingBtn() const { return m_oSettingBtn; }
    BitmapButton* oUploadYouTubeBtn() const { return m_oUploadYouTubeBtn; }
    BitmapButton* oUploadFacebookBtn() const { return m_oUploadFacebookBtn; }
    BitmapButton* oWindowSwitchBtn() const { return m_oWindowSwitchBtn; }

    const ToolbarLayout& frames() const { return m_frames; }

Q_SIGNALS:
    // The controller's commands: onButtonBrowse, onButtonPrint, onButtonBackup,
    // onButtonCapture, onButtonExport, onButtonUploadYouTube, onButtonUploadFacebook,
    // onButtonWindowSwitch.
    void browseRequested();
    void printRequested();
    void backupRequested();
    void captureRequested();
    void exportRequested();
    void uploadYouTubeRequested();
    void uploadFacebookRequested();
    void windowSwitchRequested();
    // Settings menu choices: skinMenuItemClicked(tag) and aboutMenuItemClicked.
    void skinChosen(int tag);
    void aboutChosen();
    // The language menu's item of that tag (languageMenuItemClicked), and the
    // speed unit chosen in the settings menu (0 km/h, 1 mph).
    void languageChosen(int tag);
    void speedUnitChosen(int unit);
    // The settings menu's "360-degree view" item was chosen (it toggles).
    void view360Toggled();
    // The name-time placement item was chosen; `on` is its new state.
    void placeByNameTimeToggled(bool on);
    // "Save clip..." was chosen.
    void saveClipChosen();
    // The "Show the whole trip on the map" item was chosen; `on` is its new state.
    void showWholeTripToggled(bool on);
    // "Harsh-driving threshold..." was chosen.
    void harshThresholdChosen();
    // "Attach a track..." and "Remove the attached track" were chosen.
    void attachTrackChosen();
    void removeTrackChosen();
    // "Correct the camera clock" was chosen; `on` is its new state.
    void cameraClockToggled(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    BitmapButton* makeButton(const QString& base, const char* objectName);
    void applyFrames();
    void addLanguageAndUnitMenus(QMenu* menu);

    int nBackgroundWidth = 0;
    int nBackgroundHeight = 0;
    QString backgroundImageName = QStringLiteral("toolbar_background.png");
    QPixmap backgroundImage;
    QPixmap m_tiledBackground;

    BitmapButton* m_oBrowseBtn = nullptr;
    BitmapButton* m_oPrintBtn = nullptr;
    BitmapButton* m_oBackupBtn = nullptr;
    BitmapButton* m_oCaptureBtn = nullptr;
    BitmapButton* m_oExportBtn = nullptr;
    BitmapButton* m_oSettingBtn = nullptr;
    BitmapButton* m_oUploadYouTubeBtn = nullptr;
    BitmapButton* m_oUploadFacebookBtn = nullptr;
    BitmapButton* m_oWindowSwitchBtn = nullptr;

    ToolbarLayout m_frames;
    bool m_bR2L = false;
    std::function<int()> m_switchPosition;
    std::function<int()> m_view360State;
    std::function<bool()> m_placeByNameTimeState;
    std::function<bool()> m_showWholeTripState;
    std::function<int()> m_attachedTrackState;
    std::function<int()> m_cameraClockState;
    std::function<QString()> m_cameraClockToolTip;
    QPointer<QMenu> m_settingsMenu;
};
