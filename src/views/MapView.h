#pragma once
// The map panel: an embedded web view that shows the vehicle's position and
// route on our map page, above a 20-point info bar with direction,
// coordinates, altitude and speed, a speed-unit button and a full-map button.
// Without internet, or for a recording without positions, the web view is
// hidden and a skin picture says why.
//
// The page is driven only by evaluating its four functions (mapSetCenter,
// addPathPoint, drawPath, setZoom). Every evaluation is asynchronous, so
// nothing here ever waits for the page: a page that is slow, unreachable or
// never finishes loading leaves the panel working. A long track is sent in
// batches of addPathPoint calls, one event-loop turn apart, so that a
// ten-hour track never holds up the window.
//
// Coordinates are given with the origin at the panel's bottom left, as in the
// rest of the main window's layout; they are converted where applied.
// Must run on the main thread.
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "base/SettingsKeys.h"
#include "views/MapLogic.h"

class BitmapButton;
class GpsList;
class MultiButtons;
class QWebEngineView;

class MapView : public QWidget
{
    Q_OBJECT
public:
    // State of the map (m_nMapState).
    enum MapState : int16_t { MapNoGps = -1, MapDisabled = 0, MapEnabled = 1 };
    // The page shipped in the resources.
    static QString defaultPageUrl();
    // addPathPoint calls per script evaluation.
    static constexpr int kPathBatchSize = 4000;
    static constexpr int kInfoBarHeight = 20;

    // initWithFrame: `frame` is the panel's geometry in its parent (Qt
    // coordinates). The page at `pageUrl` (the shipped one by default) starts
    // loading at once.
    explicit MapView(const QRect& frame, QWidget* parent = nullptr);
    MapView(const QRect& frame, const QString& pageUrl, QWidget* parent = nullptr);
    ~MapView() override;

    void LoadMap();
    void WebLoadMap(bool enable);
    bool IsInternetConnected();
    void EnableMap(int16_t state);

    // Stores the values (out-of-range or NaN coordinates become "no position",
    // NaN readings become "no reading"), re-centres the page in state 1 and
    // redraws.
    void SetPosition(float latitude, float longitude, float speed, float altitude, float direction);
    void CenterLastLocation();
    // Sends the track to the page (nullptr: no route).
    void DrawPath(const GpsList* list);
    // The rest of the trip the current recording belongs to, under its
    // route: the stretch already driven (drawn fainter) and the one still
    // ahead, as latitude/longitude pairs; both empty remove it. Samples
    // without a position are left out by the page.
    using RoutePoints = std::vector<std::pair<float, float>>;
    void DrawTripRoute(const RoutePoints& driven, const RoutePoints& ahead);

    bool ScriptSetPosition(float latitude, float longitude);
    bool ScriptAddPathPoint(float latitude, float longitude);
    bool ScriptDrawPath();
    bool ScriptSetZoom(int zoom);
    bool ScriptAutoLocation();
    bool ScriptAddSamllMapControl() { return false; }

    QString GetDirectionString(float direction) const;
    QString GetLocationString(bool isLatitude, float value) const;

    // The settings this panel shows, pushed in by the controller; the panel
    // never reads or writes the settings store. A unit chosen in its own menu
    // is applied here and reported (unitMenuItemClicked) for the controller
    // to store.
    int16_t getSpeedUnit() const { return m_nSpeedUnit; }
    void setSpeedUnit(int16_t unit);
    // The skin in force: it picks the info panel's caption colour.
    int skinId() const { return m_nSkinId; }
    void setSkinId(int skinId);
    static QString getSpeedUnitString(int16_t unit) { return MapLogic::speedUnitString(unit); }
    QString getCurSpeedUnitString() const { return getSpeedUnitString(m_nSpeedUnit); }

    bool IsOnLine() const { return m_bOnLine; }
    int16_t GetMapState() const { return m_nMapState; }
    int16_t GetMapMpde() const { return m_nMapMode; }
    void SetMapMpde(int16_t mode);
    bool IsMapDocReady() const { return m_bMapDocReady; }

    void OnButtonFullMap();
    void OnButtonSpeedUnit();
    void OnButtonPanelSpeedUnit();
    void OnButtonPanelMap();

    void relayoutContents(bool rightToLeft, double width, double height);
    void loadSkinBitmap();
    void changeLanguage();

    // Frames in the panel's bottom-left coordinates.
    QRect getSpeedUnitBtnRect() const;
    QRect getSpeedUnitTextRect() const;

    bool bOnLine() const { return m_bOnLine; }
    bool bFullMap() const { return m_bFullMap; }
    float fLatitude() const { return m_fLatitude; }
    float fLongitude() const { return m_fLongitude; }
    float fSpeed() const { return m_fSpeed; }
    float fAltitude() const { return m_fAltitude; }
    float fDirection() const { return m_fDirection; }
    int16_t nMapState() const { return m_nMapState; }

    // The info bar's text and speed figure as drawn now.
    QString infoText() const;
    QString speedText() const;

    // For the controller and tests.
    QWebEngineView* webView() const { return m_webView; }
    MultiButtons* fullMapButton() const { return m_oFullMapBtn; }
    BitmapButton* speedUnitButton() const { return m_oSpeedUnitBtn; }
    // The unit menu while it is open (nullptr otherwise).
    QMenu* speedUnitMenu() const { return m_unitMenu; }
    // Script evaluations sent to the page so far.
    int scriptEvaluationCount() const { return m_nScriptEvaluations; }
    // True while a track is still being sent in batches.
    bool isPathPending() const { return m_pathBatch.active; }
    // The info bar's tooltip (how far the camera's clock is off, when the
    // track tells); "" shows none.
    void setInfoBarToolTip(const QString& text) { m_infoBarTip = text; }
    QString infoBarToolTip() const { return m_infoBarTip; }
    // The page's address, as given at creation.
    QString pageUrl() const { return m_pageUrl; }

    // The page's context menu offers "Find passes near here..." (a fleet
    // archive is open); otherwise the web view keeps its own menu.
    void setFindPassesOffered(bool offered);
    bool isFindPassesOffered() const { return m_bFindPassesOffered; }
    // The context menu at this point of the web view: the page is asked for
    // the place under it, and the menu pops up with the answer (nothing when
    // the page gives none).
    void showPlaceMenu(const QPoint& webViewPos);
    // That menu while it is open (nullptr otherwise) and its item.
    QMenu* placeMenu() const { return m_placeMenu; }
    QAction* findPassesAction() const;

Q_SIGNALS:
    // The full-map button was pressed: the controller switches the map's full
    // size display (onButtonMapFullScreen).
    void mapFullScreenToggled();
    // An item of the speed-unit menu was chosen (the unit is already applied).
    void unitMenuItemClicked(int tag);
    // The page has evaluated the last batch of a DrawPath (route drawn, zoom set).
    void pathDrawn(int points, int evaluations);
    // "Find passes near here..." was chosen at this place.
    void findPassesRequested(double latitude, double longitude);
    // DrawTripRoute was given this route (the trip's other recordings).
    void tripRouteDrawn(const MapView::RoutePoints& driven, const MapView::RoutePoints& ahead);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void keepKeyboardFocusOutOfPage();
    void enableJavaScript();
    void webLoadComplete(bool ok);
    void sendTilesNotice();
    void runScript(const QString& script, const std::function<void(const QVariant&)>& done = {});
    void sendNextPathBatch();
    void popUpUnitMenu(QWidget* anchor);
    void eraseBkgnd(QPainter& p, const QRect& dirty);
    void drawInfoBar(QPainter& p);
    void drawPanelMode(QPainter& p);
    void drawNoMap(QPainter& p, const QRect& dirty);
    void buildFullMapButton();
    void applyUnitButtons();
    QString degreeUnit() const;
    // A bottom-left frame in this panel's Qt coordinates.

    bool m_bOnLine = true;
    QWebEngineView* m_webView = nullptr;
    MultiButtons* m_oFullMapBtn = nullptr;
    bool m_bFullMap = false;
    int16_t m_nMapState = MapEnabled;
    int16_t m_nInfoBarH = kInfoBarHeight;
    float m_fLatitude = 0;
    float m_fLongitude = 0;
    float m_fSpeed = 0;
    float m_fAltitude = MapLogic::kNoAltitude;
    float m_fDirection = 0;
    QString m_pageUrl;
    QString m_infoBarTip;
    int16_t m_nSpeedUnit = 0;
    int m_nSkinId = SettingsKeys::skinId.def;
    BitmapButton* m_oSpeedUnitBtn = nullptr;
    int m_nSpeedFontSize = 10;
    int nBackgroundWidth = 0;
    QRect m_rectGpsPanel;
    BitmapButton* m_oMapBtn = nullptr;
    BitmapButton* m_oPanelSpeedUnitBtn = nullptr;
    int16_t m_nMapMode = 0;
    bool m_bMapDocReady = false;

    bool m_bR2L = false;
    QPointer<QMenu> m_unitMenu;
    QPointer<QMenu> m_placeMenu;
    bool m_bFindPassesOffered = false;
    QTimer m_centerTimer;
    int m_nScriptEvaluations = 0;

    // A track being sent to the page.
    struct PathBatch {
        bool active = false;
        quint64 generation = 0;
        MapLogic::PathPlan plan;
        size_t next = 0;
        int evaluations = 0;
    } m_pathBatch;
};
