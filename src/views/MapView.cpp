#include "views/MapView.h"
#include "base/SettingsKeys.h"

#include "base/NotificationCenter.h"
#include "base/QtFrame.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/MultiButtons.h"
#include "core/GpsList.h"
#include "platform/Reachability.h"

#include <QAction>
#include <QApplication>
#include <QChildEvent>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cmath>

namespace
{

constexpr int kFullMapBtnW = 34;
constexpr int kSpeedBtnW = 42;
constexpr int kPanelSpeedBtnW = 48;
constexpr int kMapLinkBtnW = 42, kMapLinkBtnH = 28;
constexpr int kInfoTextMargin = 8;
const QColor kBackground(55, 55, 55);
const QColor kPanelBackground(26, 26, 26);
const QColor kNoDataText(103, 103, 103);

QFont helvetica(int pixelSize)
{
    QFont f(QStringLiteral("Helvetica"));
    f.setPixelSize(pixelSize);
    return f;
}

// Centres a one-line text vertically the way the panels do: the line height is
// that of "TEST" in the font.
QRect vCentered(const QRect& r, const QFont& font)
{
    const int lineH = QFontMetrics(font).boundingRect(QStringLiteral("TEST")).height();
    return QRect(r.x(), r.y() + (r.height() - lineH) / 2, r.width(), lineH);
}

QColor panelCaptionColor(int skinId)
{
    switch (skinId) {
    case 1:
        return QColor(155, 198, 56);
    case 2:
        return QColor(160, 127, 73);
    case 3:
        return QColor(39, 182, 233);
    default:
        return QColor(230, 105, 1);
    }
}

// The page's console: failed tiles (off line) and the like are expected and
// of no interest to the user; script errors go to the console log only.
class QuietMapPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override
    {
        if (level == ErrorMessageLevel && !message.contains(QLatin1String("Failed to load")))
            qInfo("map page: %s (%s:%d)", qUtf8Printable(message), qUtf8Printable(source), line);
    }
};

} // namespace

MapView::MapView(const QRect& frame, QWidget* parent) : MapView(frame, defaultPageUrl(), parent) {}

MapView::MapView(const QRect& frame, const QString& pageUrl, QWidget* parent)
    : QWidget(parent), m_pageUrl(pageUrl)
{
    setObjectName(QStringLiteral("mapView"));
    setGeometry(frame);
    nBackgroundWidth = frame.width();
    m_rectGpsPanel = frame;

    m_webView = new QWebEngineView(this);
    m_webView->setObjectName(QStringLiteral("mainFrame"));
    m_webView->setPage(new QuietMapPage(m_webView));
    m_webView->page()->setBackgroundColor(kBackground);
    m_webView->setGeometry(pmQtRect(
        QRect(0, m_nInfoBarH, frame.width(), std::max(0, frame.height() - m_nInfoBarH)), frame.height()));
    connect(m_webView, &QWebEngineView::loadFinished, this, &MapView::webLoadComplete);
    connect(m_webView, &QWidget::customContextMenuRequested, this, &MapView::showPlaceMenu);
    keepKeyboardFocusOutOfPage();

    m_oFullMapBtn = MultiButtons::windowButtonWithSize(kFullMapBtnW, m_nInfoBarH, this);
    m_oFullMapBtn->setObjectName(QStringLiteral("fullMapButton"));
    buildFullMapButton();
    connect(m_oFullMapBtn, &MultiButtons::clicked, this, &MapView::OnButtonFullMap);

    m_oSpeedUnitBtn = BitmapButton::windowButtonWithSize(kSpeedBtnW, m_nInfoBarH, this);
    m_oSpeedUnitBtn->setObjectName(QStringLiteral("speedUnitButton"));
    connect(m_oSpeedUnitBtn, &BitmapButton::clicked, this, &MapView::OnButtonSpeedUnit);

    m_oPanelSpeedUnitBtn = BitmapButton::windowButtonWithSize(kPanelSpeedBtnW, m_nInfoBarH, this);
    m_oPanelSpeedUnitBtn->setObjectName(QStringLiteral("panelSpeedUnitButton"));
    connect(m_oPanelSpeedUnitBtn, &BitmapButton::clicked, this, &MapView::OnButtonPanelSpeedUnit);

    m_oMapBtn = BitmapButton::windowButtonWithSize(kMapLinkBtnW, kMapLinkBtnH, this);
    m_oMapBtn->setObjectName(QStringLiteral("mapLinkButton"));
    connect(m_oMapBtn, &BitmapButton::clicked, this, &MapView::OnButtonPanelMap);

    loadSkinBitmap();
    applyUnitButtons();
    changeLanguage();
    relayoutContents(false, frame.width(), frame.height());

    // After a resize (full-map display) the page re-centres itself; this
    // follow-up puts the marker back once the layout has settled.
    m_centerTimer.setSingleShot(true);
    m_centerTimer.setInterval(200);
    connect(&m_centerTimer, &QTimer::timeout, this, &MapView::CenterLastLocation);

    enableJavaScript();
    LoadMap();
    EnableMap(m_nMapState);
}

// The page is looked at and dragged with the mouse, never typed into: with
// the keyboard focus it would take the player's keys (arrows, Space) and
// Ctrl+A would select its zoom buttons and attribution. Neither the view nor
// the widget it draws through (created later, with the page) takes focus, a
// load does not give it, and focus that arrives all the same (the engine sets
// it on a click) goes back to where it came from.
void MapView::keepKeyboardFocusOutOfPage()
{
    m_webView->setFocusPolicy(Qt::NoFocus);
    m_webView->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    m_webView->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (!m_webView || !now || (now != m_webView && !m_webView->isAncestorOf(now)))
            return;
        now->clearFocus();
        if (old && old != m_webView && !m_webView->isAncestorOf(old) && old->isVisible() && old->isEnabled())
            old->setFocus(Qt::OtherFocusReason);
    });
}

bool MapView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_webView &&
        (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->setFocusPolicy(Qt::NoFocus);
    }
    return QWidget::eventFilter(watched, event);
}

// The tooltip belongs to the panel's own surface (the info bar, the
// panel-mode readout), never to the map page above it.
bool MapView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const bool overPage =
            m_webView && m_webView->isVisible() && m_webView->geometry().contains(help->pos());
        if (m_infoBarTip.isEmpty() || overPage)
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), m_infoBarTip, this);
        return true;
    }
    return QWidget::event(event);
}

MapView::~MapView()
{
    // The page may answer pending scripts while it goes; let it go while this
    // panel is still whole.
    m_pathBatch.active = false;
    delete m_webView;
    m_webView = nullptr;
}

QString MapView::defaultPageUrl()
{
    return SettingsKeys::mapPageUrl.defaultValue();
}

QString MapView::degreeUnit() const
{
    const QString unit = pmLoadString(QStringLiteral("IDS_UNIT_DEGREE"));
    if (unit.isEmpty() || unit == QLatin1String("IDS_UNIT_DEGREE"))
        return QString(QChar(0x00B0));
    return unit;
}

// ---------------------------------------------------------------- page loading

void MapView::enableJavaScript()
{
    QWebEngineSettings* s = m_webView->settings();
    const bool js = s->testAttribute(QWebEngineSettings::JavascriptEnabled);
    pmWriteLogQ(QStringLiteral("MapView - enableJavaScript() =  %1 !").arg(js ? 1 : 0));
    if (!js)
        s->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    // The shipped page lives in the resources and draws tiles from the web.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
}

bool MapView::IsInternetConnected()
{
    m_bOnLine = pmIsInternetConnected();
    pmWriteLogQ(m_bOnLine ? QStringLiteral("MapView - pmIsInternetConnected() - TRUE")
                          : QStringLiteral("MapView - pmIsInternetConnected() - FALSE"));
    return m_bOnLine;
}

void MapView::LoadMap()
{
    const bool wasOnLine = m_bOnLine;
    WebLoadMap(false);
    if (wasOnLine && !m_bOnLine)
        EnableMap(MapDisabled);
}

void MapView::WebLoadMap(bool enable)
{
    IsInternetConnected();
    // Any state may load: state 0 only says the last check failed, and -1 that
    // the last recording had no positions; refusing to load in those states
    // would leave the next recording with positions on a blank page.
    if (m_nMapMode != 0)
        return;
    if (m_bOnLine) {
        pmWriteLogQ(QStringLiteral("MapView - WebLoadMap()"));
        m_webView->load(QUrl(m_pageUrl));
    }
    if (enable)
        EnableMap(m_bOnLine ? MapEnabled : MapDisabled);
}

void MapView::webLoadComplete(bool ok)
{
    if (!ok) {
        // An unreachable or broken page is not "ready": the next track load
        // asks for it again.
        pmWriteLogQ(QStringLiteral("MapView - webLoadComplete() - load failed !"));
        return;
    }
    m_bMapDocReady = true;
    sendTilesNotice();
    NotificationCenter::defaultCenter().post(Notifications::MapViewReady);
    const QWebEngineSettings* s = m_webView ? m_webView->settings() : nullptr;
    const int js = s && s->testAttribute(QWebEngineSettings::JavascriptEnabled) ? 1 : 0;
    const int plugins = s && s->testAttribute(QWebEngineSettings::PluginsEnabled) ? 1 : 0;
    pmWriteLogQ(QStringLiteral("MapView - webLoadComplete() is JavaScript enabled =  %1 !").arg(js));
    pmWriteLogQ(QStringLiteral("MapView - webLoadComplete() is Java enabled =  %1 !").arg(0));
    pmWriteLogQ(QStringLiteral("MapView - webLoadComplete() is PlugIns enabled =  %1 !").arg(plugins));
}

// ---------------------------------------------------------------- state

void MapView::EnableMap(int16_t state)
{
    m_nMapState = state;
    const bool mode0 = m_nMapMode == 0;
    if (state == MapEnabled) {
        m_webView->setVisible(mode0);
        m_oFullMapBtn->setVisible(mode0);
        m_oSpeedUnitBtn->setVisible(mode0);
        m_oMapBtn->setVisible(!mode0);
        m_oPanelSpeedUnitBtn->setVisible(!mode0);
    } else {
        m_webView->setVisible(false);
        m_oFullMapBtn->setVisible(false);
        m_oSpeedUnitBtn->setVisible(false);
        const bool panelButtons = m_nMapMode == 1 && state == MapDisabled;
        m_oMapBtn->setVisible(panelButtons);
        m_oPanelSpeedUnitBtn->setVisible(panelButtons);
    }
    update();
}

void MapView::SetMapMpde(int16_t mode)
{
    m_nMapMode = mode;
    EnableMap(m_nMapState);
}

void MapView::SetPosition(float latitude, float longitude, float speed, float altitude, float direction)
{
    // Values from a damaged log are shown as "no reading" rather than passed on.
    if (!MapLogic::isValidCoordinate(latitude, longitude))
        latitude = longitude = 0;
    m_fLatitude = latitude;
    m_fLongitude = longitude;
    m_fSpeed = std::isfinite(speed) ? speed : -1.0f;
    m_fAltitude = std::isfinite(altitude) ? altitude : MapLogic::kNoAltitude;
    m_fDirection = std::isfinite(direction) ? direction : -1.0f;
    if (m_webView) {
        if (m_nMapMode == 0)
            CenterLastLocation();
        update();
    }
}

void MapView::CenterLastLocation()
{
    ScriptSetPosition(m_fLatitude, m_fLongitude);
}

// ---------------------------------------------------------------- scripts

void MapView::runScript(const QString& script, const std::function<void(const QVariant&)>& done)
{
    if (!m_webView)
        return;
    ++m_nScriptEvaluations;
    if (done)
        m_webView->page()->runJavaScript(script, done);
    else
        m_webView->page()->runJavaScript(script);
}

bool MapView::ScriptSetPosition(float latitude, float longitude)
{
    if (m_nMapState != MapEnabled || m_nMapMode != 0)
        return false;
    runScript(MapLogic::setCenterScript(latitude, longitude), [](const QVariant& result) {
        if (!result.isValid() || result.isNull())
            pmWriteLogQ(QStringLiteral("MapView - JavaScript mapSetCenter() - error"));
        else if (result.toString() != QLatin1String("1"))
            pmWriteLogQ(QStringLiteral("MapView - JavaScript mapSetCenter() - %1").arg(result.toString()));
    });
    return true;
}

bool MapView::ScriptAddPathPoint(float latitude, float longitude)
{
    runScript(MapLogic::addPathPointScript(latitude, longitude));
    return true;
}

bool MapView::ScriptDrawPath()
{
    runScript(MapLogic::drawPathScript());
    update();
    return true;
}

bool MapView::ScriptSetZoom(int zoom)
{
    runScript(MapLogic::setZoomScript(zoom));
    return true;
}

bool MapView::ScriptAutoLocation()
{
    runScript(QStringLiteral("AutoLocation()"));
    return true;
}

void MapView::DrawPath(const GpsList* list)
{
    // A track still on its way leaves points pending in the page: draw them
    // away first, the new route (or none) replaces them.
    if (m_pathBatch.active)
        ScriptDrawPath();
    const quint64 generation = m_pathBatch.generation + 1;
    m_pathBatch = PathBatch();
    m_pathBatch.generation = generation;
    m_pathBatch.plan = MapLogic::planPath(list);
    if (m_pathBatch.plan.points.empty()) {
        QPointer<MapView> self(this);
        runScript(MapLogic::drawPathScript(), [self, generation](const QVariant&) {
            if (self && self->m_pathBatch.generation == generation)
                Q_EMIT self->pathDrawn(0, 1);
        });
        update();
        return;
    }
    m_pathBatch.active = true;
    sendNextPathBatch();
}

void MapView::DrawTripRoute(const RoutePoints& driven, const RoutePoints& ahead)
{
    auto array = [](const RoutePoints& points) {
        QString text = QStringLiteral("[");
        text.reserve(static_cast<int>(points.size()) * 24 + 2);
        bool first = true;
        for (const auto& [latitude, longitude] : points) {
            if (!std::isfinite(latitude) || !std::isfinite(longitude))
                continue;
            if (!first)
                text += QLatin1Char(',');
            first = false;
            text += QLatin1Char('[') + QString::number(latitude, 'f', 6) + QLatin1Char(',') +
                    QString::number(longitude, 'f', 6) + QLatin1Char(']');
        }
        return text + QLatin1Char(']');
    };
    runScript(QStringLiteral("setTripRoute(%1, %2)").arg(array(driven), array(ahead)));
    Q_EMIT tripRouteDrawn(driven, ahead);
}

void MapView::sendNextPathBatch()
{
    if (!m_pathBatch.active)
        return;
    PathBatch& job = m_pathBatch;
    const size_t count = job.plan.points.size();
    const size_t to = std::min(count, job.next + static_cast<size_t>(kPathBatchSize));
    QString script = MapLogic::pathBatchScript(job.plan, job.next, to);
    job.next = to;
    const bool last = job.next >= count;
    if (last) {
        script += MapLogic::drawPathScript() + QLatin1Char(';');
        if (job.plan.zoom >= 0)
            script += MapLogic::setZoomScript(job.plan.zoom) + QLatin1Char(';');
    }
    ++job.evaluations;
    const quint64 generation = job.generation;
    const int evaluations = job.evaluations;
    const int points = static_cast<int>(count);
    QPointer<MapView> self(this);
    runScript(script, [self, generation, last, points, evaluations](const QVariant&) {
        if (last && self && self->m_pathBatch.generation == generation)
            Q_EMIT self->pathDrawn(points, evaluations);
    });
    if (last) {
        job.active = false;
        job.plan = MapLogic::PathPlan();
        update();
        return;
    }
    // Let the window breathe between batches of a long track.
    QTimer::singleShot(0, this, [this, generation] {
        if (m_pathBatch.active && m_pathBatch.generation == generation)
            sendNextPathBatch();
    });
}

// ---------------------------------------------------------------- texts

QString MapView::GetDirectionString(float direction) const
{
    return MapLogic::directionString(direction, degreeUnit());
}

QString MapView::GetLocationString(bool isLatitude, float value) const
{
    return MapLogic::locationString(isLatitude, value, degreeUnit());
}

QString MapView::infoText() const
{
    return MapLogic::infoText(m_fLatitude, m_fLongitude, m_fSpeed, m_fAltitude, m_fDirection, degreeUnit());
}

QString MapView::speedText() const
{
    return MapLogic::speedFigure(m_fSpeed, m_nSpeedUnit);
}

// ---------------------------------------------------------------- buttons

void MapView::buildFullMapButton()
{
    m_oFullMapBtn->clearBitmaps();
    const auto full = Skin::stateImageNames(QStringLiteral("button_full_map.png"));
    m_oFullMapBtn->addBitmapButton(pmLoadString(QStringLiteral("IDS_FULL_SCREEN")), full[0], full[1], full[2],
                                   full[3]);
    const auto normal = Skin::stateImageNames(QStringLiteral("button_full1_map.png"));
    m_oFullMapBtn->addBitmapButton(pmLoadString(QStringLiteral("IDS_NORMAL_SCREEN")), normal[0], normal[1],
                                   normal[2], normal[3]);
}

void MapView::applyUnitButtons()
{
    const QString unit = getCurSpeedUnitString();
    for (BitmapButton* b : {m_oSpeedUnitBtn, m_oPanelSpeedUnitBtn}) {
        b->setBitmapTitle(unit);
        b->setFontSize(m_nSpeedFontSize);
        b->update();
    }
}

void MapView::setSpeedUnit(int16_t unit)
{
    m_nSpeedUnit = unit;
    applyUnitButtons();
    update();
}

void MapView::setSkinId(int skinId)
{
    if (m_nSkinId == skinId)
        return;
    m_nSkinId = skinId;
    update();
}

void MapView::popUpUnitMenu(QWidget* anchor)
{
    if (m_unitMenu)
        m_unitMenu->close();
    auto* menu = new QMenu(QStringLiteral("Speed Unit"), this);
    menu->setObjectName(QStringLiteral("speedUnitMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int tag = 0; tag < 2; ++tag) {
        QAction* a = menu->addAction(getSpeedUnitString(static_cast<int16_t>(tag)));
        a->setData(tag);
        a->setCheckable(true);
        a->setChecked(tag == m_nSpeedUnit);
        connect(a, &QAction::triggered, this, [this, tag] {
            setSpeedUnit(static_cast<int16_t>(tag));
            Q_EMIT unitMenuItemClicked(tag);
        });
    }
    m_unitMenu = menu;
    menu->popup(anchor ? anchor->mapToGlobal(QPoint(0, 0)) : mapToGlobal(QPoint(0, 0)));
}

void MapView::setFindPassesOffered(bool offered)
{
    m_bFindPassesOffered = offered;
    if (m_webView)
        m_webView->setContextMenuPolicy(offered ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
    if (!offered && m_placeMenu)
        m_placeMenu->close();
}

QAction* MapView::findPassesAction() const
{
    return m_placeMenu ? m_placeMenu->findChild<QAction*>(QStringLiteral("findPassesAction")) : nullptr;
}

void MapView::showPlaceMenu(const QPoint& webViewPos)
{
    if (!m_webView || !m_bMapDocReady || !m_bFindPassesOffered)
        return;
    // The page measures in CSS pixels, which the view's zoom scales.
    const double zoom = m_webView->zoomFactor() > 0 ? m_webView->zoomFactor() : 1.0;
    const QString script = QStringLiteral("window.mapLatLngAt ? window.mapLatLngAt(%1, %2) : null")
                               .arg(webViewPos.x() / zoom, 0, 'f', 2)
                               .arg(webViewPos.y() / zoom, 0, 'f', 2);
    // Not one of the panel's counted evaluations: it draws nothing of the track.
    QPointer<MapView> self(this);
    m_webView->page()->runJavaScript(script, [self, webViewPos](const QVariant& result) {
        const QVariantList place = result.toList();
        if (!self || !self->m_bFindPassesOffered || place.size() != 2)
            return;
        const double lat = place.at(0).toDouble();
        const double lon = place.at(1).toDouble();
        if (self->m_placeMenu)
            self->m_placeMenu->close();
        auto* menu = new QMenu(self);
        menu->setObjectName(QStringLiteral("mapPlaceMenu"));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QAction* find = menu->addAction(pmLoadString(QStringLiteral("IDS_ARCHIVE_FIND_PASSES")));
        find->setObjectName(QStringLiteral("findPassesAction"));
        MapView* map = self.data();
        connect(find, &QAction::triggered, map,
                [map, lat, lon] { Q_EMIT map->findPassesRequested(lat, lon); });
        self->m_placeMenu = menu;
        menu->popup(self->m_webView->mapToGlobal(webViewPos));
    });
}

void MapView::OnButtonSpeedUnit()
{
    popUpUnitMenu(m_oSpeedUnitBtn);
}

void MapView::OnButtonPanelSpeedUnit()
{
    popUpUnitMenu(m_oMapBtn);
}

void MapView::OnButtonFullMap()
{
    pmWriteLogQ(QStringLiteral("OnButtonFullMap() - Fullscreen button pressed !"));
    m_oFullMapBtn->changeButtonIndex();
    m_bFullMap = !m_bFullMap;
    Q_EMIT mapFullScreenToggled();
}

void MapView::OnButtonPanelMap()
{
    QDesktopServices::openUrl(
        QUrl(QString::asprintf("https://www.google.com/maps?q=%f,%f", static_cast<double>(m_fLatitude),
                               static_cast<double>(m_fLongitude))));
}

void MapView::loadSkinBitmap()
{
    const int index = m_oFullMapBtn->getCurButtonIndex();
    buildFullMapButton();
    m_oFullMapBtn->setButtonIndex(index);
    m_oSpeedUnitBtn->setBitmapButton(QStringLiteral("km_map.png"), QStringLiteral("km_map_d.png"),
                                     QStringLiteral("km_map_f.png"), QStringLiteral("km_map.png"));
    m_oPanelSpeedUnitBtn->setBitmapButton(QStringLiteral("km_gps.png"), QStringLiteral("km_gps_d.png"),
                                          QStringLiteral("km_gps_f.png"), QStringLiteral("km_gps.png"));
    m_oMapBtn->setBitmapButton(QStringLiteral("gps_link.png"), QStringLiteral("gps_link_d.png"),
                               QStringLiteral("gps_link_f.png"), QStringLiteral("gps_link.png"));
    update();
}

// The page's notice for tiles that cannot load, in the language in force.
// Not one of the panel's counted evaluations: it draws nothing of the track.
void MapView::sendTilesNotice()
{
    if (!m_webView || !m_bMapDocReady)
        return;
    const QString text = pmLoadString(QStringLiteral("IDS_MAP_TILES_OFFLINE"));
    const QString quoted = QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact));
    m_webView->page()->runJavaScript(
        QStringLiteral("window.setTilesNotice && window.setTilesNotice(%1[0]);").arg(quoted));
}

void MapView::changeLanguage()
{
    sendTilesNotice();
    m_oFullMapBtn->changeToolTips(pmLoadString(QStringLiteral("IDS_FULL_SCREEN")),
                                  pmLoadString(QStringLiteral("IDS_NORMAL_SCREEN")));
    const QString tip = pmLoadString(QStringLiteral("IDS_CHANGE_SPEED_UNIT"));
    m_oSpeedUnitBtn->setToolTip(tip);
    m_oPanelSpeedUnitBtn->setToolTip(tip);
    update(); // the info bar's texts are drawn in the language in force
}

// ---------------------------------------------------------------- layout

QRect MapView::getSpeedUnitBtnRect() const
{
    if (m_bR2L)
        return QRect(nBackgroundWidth - 306, 0, kSpeedBtnW, m_nInfoBarH);
    return QRect(264, 0, kSpeedBtnW, m_nInfoBarH);
}

QRect MapView::getSpeedUnitTextRect() const
{
    // A gap between the figure and the unit's pill keeps "120" from touching it.
    constexpr int kGap = 6;
    const QRect b = getSpeedUnitBtnRect();
    return QRect(m_bR2L ? b.right() + 1 + kGap : b.x() - 40 - kGap, 0, 40, m_nInfoBarH);
}

void MapView::relayoutContents(bool rightToLeft, double width, double height)
{
    m_bR2L = rightToLeft;
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    nBackgroundWidth = w;
    // The frames below are in bottom-left coordinates of a w x h panel.
    auto place = [h](QWidget* child, const QRect& r) { child->setGeometry(pmQtRect(r, h)); };
    place(m_webView, QRect(0, m_nInfoBarH, w, std::max(0, h - m_nInfoBarH)));
    place(m_oFullMapBtn, QRect(rightToLeft ? 0 : w - kFullMapBtnW, 0, kFullMapBtnW, m_nInfoBarH));
    place(m_oSpeedUnitBtn, getSpeedUnitBtnRect());
    // Panel mode: the unit button under the figures, the map link in the corner.
    place(m_oPanelSpeedUnitBtn,
          QRect(rightToLeft ? 8 : w - kPanelSpeedBtnW - 8, 8, kPanelSpeedBtnW, m_nInfoBarH));
    place(m_oMapBtn, QRect(rightToLeft ? w - kMapLinkBtnW - 8 : 8, 4, kMapLinkBtnW, kMapLinkBtnH));
    update();
}

void MapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayoutContents(m_bR2L, event->size().width(), event->size().height());
    if (m_bMapDocReady && m_nMapState == MapEnabled && m_nMapMode == 0)
        m_centerTimer.start();
}

// ---------------------------------------------------------------- drawing

void MapView::paintEvent(QPaintEvent* event)
{
    nBackgroundWidth = width();
    QPainter p(this);
    eraseBkgnd(p, event->rect());
    if (m_nMapMode == 1 && m_nMapState != MapNoGps) {
        drawPanelMode(p);
        return;
    }
    if (m_bOnLine && m_nMapState == MapEnabled)
        drawInfoBar(p);
    else
        drawNoMap(p, rect());
}

void MapView::eraseBkgnd(QPainter& p, const QRect& dirty)
{
    p.fillRect(dirty, m_nMapMode == 1 ? kPanelBackground : kBackground);
    if (!(m_bOnLine && m_nMapState == MapEnabled && m_nMapMode == 0))
        return;
    const QPixmap bar = pmLoadSkinImage(QStringLiteral("bg_map.png"));
    if (bar.isNull())
        return;
    const QPixmap slice = pmLoadSkinImage(QStringLiteral("bg_map_info.bmp"));
    const int barW = width();
    const int imgW = qRound(bar.deviceIndependentSize().width());
    const int sliceW = slice.isNull() ? imgW : std::max(1, qRound(slice.deviceIndependentSize().width()));
    const int y = height() - m_nInfoBarH;
    const int count = std::max(0, (barW - imgW) / sliceW + 1);
    const QRectF sliceSource(0, 0, sliceW * bar.devicePixelRatio(), m_nInfoBarH * bar.devicePixelRatio());
    for (int i = 0; i < count; ++i) {
        const int x = m_bR2L ? imgW + i * sliceW : i * sliceW;
        p.drawPixmap(QRectF(x, y, sliceW, m_nInfoBarH), bar, sliceSource);
    }
    if (m_bR2L)
        p.drawPixmap(0, y, BitmapButton::flipImage(bar));
    else
        p.drawPixmap(barW - imgW, y, bar);
}

void MapView::drawInfoBar(QPainter& p)
{
    if (m_nMapMode != 0)
        return;
    const QRect bar(0, height() - m_nInfoBarH, width(), m_nInfoBarH);
    p.setPen(Qt::white);
    const QFont infoFont = helvetica(10);
    p.setFont(infoFont);
    // The text keeps a margin from the bar's edge.
    p.drawText(vCentered(bar.adjusted(kInfoTextMargin, 0, -kInfoTextMargin, 0), infoFont),
               (m_bR2L ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, infoText());
    const QFont speedFont = helvetica(m_nSpeedFontSize);
    p.setFont(speedFont);
    p.drawText(vCentered(pmQtRect(getSpeedUnitTextRect(), height()), speedFont),
               (m_bR2L ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, speedText());
}

void MapView::drawNoMap(QPainter& p, const QRect& area)
{
    const QPixmap img = pmLoadSkinImage(m_nMapState == MapNoGps ? QStringLiteral("map_no_gps.png")
                                                                : QStringLiteral("map_disable.png"));
    if (!img.isNull()) {
        const QSizeF s = img.deviceIndependentSize();
        p.drawPixmap(QPointF(area.x() + (area.width() - s.width()) / 2, area.bottom() + 1 - s.height()), img);
    }
    if (m_nMapState == MapNoGps) {
        p.setPen(kNoDataText);
        p.setFont(helvetica(16));
        const QRect textRect(area.x(), area.y() + 120, area.width(), std::max(0, area.height() - 120));
        p.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap,
                   pmLoadString(QStringLiteral("IDS_ERR_NO_GPS_DATA")));
    }
}

void MapView::drawPanelMode(QPainter& p)
{
    const QPixmap bg = pmLoadSkinImage(QStringLiteral("gps_panel_bg.png"));
    if (!bg.isNull())
        p.drawPixmap(0, 0, bg);
    const bool hasPosition = m_fLatitude != 0 && m_fLongitude != 0;
    const QString dash = QStringLiteral("-");
    struct Row {
        const char* caption;
        QString value;
        int size;
    };
    const Row rows[] = {
        {"IDS_SPEED", speedText() + QLatin1Char(' ') + getCurSpeedUnitString(), 24},
        {"IDS_DIRECTION", m_fDirection >= 0 ? GetDirectionString(m_fDirection) : dash, 24},
        {"IDS_ALTITUDE",
         m_fAltitude < MapLogic::kNoAltitude && hasPosition
             ? QString::asprintf("%.1fm", static_cast<double>(m_fAltitude))
             : dash,
         24},
        {"IDS_LATITUDE", hasPosition ? GetLocationString(true, m_fLatitude) : dash, 18},
        {"IDS_LONGITUDE", hasPosition ? GetLocationString(false, m_fLongitude) : dash, 18},
    };
    const int rowH = std::max(24, (height() - 40) / 5);
    int y = 6;
    const QColor caption = panelCaptionColor(m_nSkinId);
    for (const Row& r : rows) {
        p.setPen(caption);
        p.setFont(helvetica(14));
        p.drawText(QRect(12, y, width() / 3, rowH), Qt::AlignLeft | Qt::AlignVCenter,
                   pmLoadString(QLatin1String(r.caption)));
        p.setPen(Qt::white);
        p.setFont(helvetica(r.size));
        p.drawText(QRect(width() / 3, y, width() * 2 / 3 - 12, rowH), Qt::AlignRight | Qt::AlignVCenter,
                   r.value);
        y += rowH;
    }
}
