#pragma once
// The main window's half of the controller: it creates the window and its
// panels, lays them out for a window size (the arithmetic is
// app/WindowLayout), keeps the calendar's two heights, the full-screen video
// and map arrangements, the right-to-left mirroring, and reloads the panels'
// images and texts after a skin or language change.
//
// It creates the panels and hands them to app/PlaybackPanels, which connects
// the playback session's reports to them; AppDelegate connects the panels'
// own signals to the feature objects (app/AppDelegate*.cpp). The few
// connections made here keep the window's own arrangement (its size, zoom and
// the map's full-screen toggle). Main thread only.
#include "app/WindowLayout.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

class CalendarView;
class DpadView;
class FileListView;
class GSensorView;
class MainWindow;
class MapView;
class PlayControlView;
class PlaybackSession;
class QTimer;
class ToolbarView;
class VehicleChooser;

class WindowController : public QObject
{
    Q_OBJECT
public:
    enum ScreenMode : int { ScreenNormal = 0, ScreenFullVideo = 1, ScreenFullMap = 2 };

    // The panels of the main window; each is null until createPanels() (or a
    // test) provides it, and every use checks.
    struct Panels {
        QPointer<PlayControlView> playBar;
        QPointer<ToolbarView> toolbar;
        QPointer<FileListView> fileList;
        QPointer<CalendarView> calendar;
        QPointer<MapView> map;
        QPointer<GSensorView> gsensor;
        QPointer<DpadView> dpad;
        QPointer<VehicleChooser> vehicles; // above the calendar while an archive is open
    };

    WindowController(PlaybackSession* playback, QObject* parent = nullptr);
    ~WindowController() override;

    // Creates the main window once (centred on the primary screen) and
    // returns it; later calls only re-centre it.
    MainWindow* createWindow();
    MainWindow* window() const { return m_window; }
    // Creates every panel of the main window, once per window. Settings the
    // panels show are read here and pushed in.
    void createPanels();
    const Panels& panels() const { return m_panels; }
    // Replaces panels (tests build a window from only the panels they need).
    void adoptPanels(const Panels& panels) { m_panels = panels; }

    // The arrangement's inputs for a window frame of this size, from the
    // panels as they are now.
    WindowLayoutInput windowLayoutInput(double width, double height) const;
    void relayout(double width, double height);
    // Lays out for the remembered window size (977 x 642 while none is known).
    void relayoutContents();
    void scheduleRelayout(int msecs);
    // Lays out again at the remembered size, if one is known (the second
    // camera's window came or went).
    void relayoutIfSized();
    // The window's frame got this size (content height + the 22-point title bar).
    void windowDidResize(const QSizeF& frameSize);
    // The window was maximised or restored to this frame size.
    void windowDidZoom(const QSizeF& frameSize);
    // The calendar's and file list's frames for calendar mode (true) or
    // "all" mode (false).
    void relayoutCalendarMode(bool show);

    void onButtonPlayFullScreen();
    void onButtonMapFullScreen();
    void showFullScreen(bool show);
    void onCenterMap();
    // Leaves full-screen video or the full-size map; false when neither is on.
    bool leaveFullScreen();

    // The vehicle chooser shown above the calendar (a fleet archive is open)
    // or not; lays out again on a change.
    void showVehicleChooser(bool show);
    bool isVehicleChooserShown() const { return m_bVehicleChooser; }

    void reloadSkinImages();
    void reloadLanguageTexts();

    // Remembers the content's size as the window's frame size (first activation).
    void rememberContentSize();
    // Mirrors the arrangement (right-to-left languages); lays out again on a change.
    void setRightToLeft(bool r2l);
    bool rightToLeft() const { return m_bR2L; }
    // Where the toolbar's camera-switch button sits: over the file list's inner edge.
    int getSwitchButtonPosition() const;

    int screenMode() const { return m_nScreenMode; }
    void setScreenMode(int mode) { m_nScreenMode = mode; }
    QSizeF windowSize() const { return m_sizeWindow; }
    void setWindowSize(const QSizeF& size) { m_sizeWindow = size; }
    // The frame and window state to return to from full screen.
    QRectF normalFrame() const { return m_rectNormalScreen; }
    void setNormalFrame(const QRectF& frame) { m_rectNormalScreen = frame; }
    quint32 styleMask() const { return m_styleMask; }

private:
    PlaybackSession* const m_playback;
    MainWindow* m_window = nullptr;
    Panels m_panels;
    QTimer* m_relayoutTimer = nullptr;

    int m_nScreenMode = ScreenNormal;
    QRectF m_rectNormalScreen;
    quint32 m_styleMask = 0;
    bool m_bR2L = false;
    bool m_bVehicleChooser = false;
    QSizeF m_sizeWindow; // remembered window frame size; 0 x 0 until known
};
