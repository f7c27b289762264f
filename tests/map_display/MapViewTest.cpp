// The map panel with the real page in QtWebEngine (run under xvfb-run): the
// panel is driven as the controller drives it and the page's state is read
// back through its test helper window.__rovixState().
#include "views/MapView.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/MultiButtons.h"
#include "core/GpsList.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

// QtWebEngine's bundled Chromium frees some of its own objects with a sized
// delete of another size when a page goes; AddressSanitizer builds would stop
// there, in code that is not ours.
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

namespace
{

// The shipped page without tiles: nothing here may reach the internet.
const char* const kTestPage = "qrc:/map/map.html?tiles=none";

class MapViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("ROVIX_INTERNET", "on");
        pmSetIntSetting(QStringLiteral("SpeedUnit"), 0);
    }
    void TearDown() override { qputenv("ROVIX_INTERNET", "on"); }

    static std::unique_ptr<MapView> readyView(int w = 420, int h = 212)
    {
        auto v = std::make_unique<MapView>(QRect(0, 0, w, h), QLatin1String(kTestPage));
        v->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return v->IsMapDocReady(); }, 30000)) << "page did not load";
        return v;
    }

    static QJsonObject pageState(MapView& v)
    {
        QJsonObject out;
        bool done = false;
        v.webView()->page()->runJavaScript(QStringLiteral("window.__rovixState()"), [&](const QVariant& r) {
            out = QJsonDocument::fromJson(r.toString().toUtf8()).object();
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        return out;
    }

    static QVariant evaluate(MapView& v, const QString& script)
    {
        QVariant out;
        bool done = false;
        v.webView()->page()->runJavaScript(script, [&](const QVariant& r) {
            out = r;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        return out;
    }

    // Sends a track and waits until the page has drawn it.
    static void drawAndWait(MapView& v, const GpsList* list)
    {
        QSignalSpy drawn(&v, &MapView::pathDrawn);
        v.DrawPath(list);
        ASSERT_TRUE(drawn.count() > 0 || drawn.wait(20000));
    }

    static GpsList track(const std::vector<std::pair<float, float>>& points)
    {
        GpsList list;
        for (const auto& p : points)
            list.InsertData(p.first, p.second, 30.0f, 0.0f, -1);
        list.setBGps(true);
        return list;
    }

    static std::pair<float, float> north(double metres)
    {
        return {static_cast<float>(35.0 + metres / 1000.0 / 6378.137 * 180.0 / 3.141592653589793), 139.0f};
    }
};

} // namespace

TEST_F(MapViewTest, PageFollowsThePanel)
{
    auto v = readyView();
    EXPECT_TRUE(v->IsOnLine());
    EXPECT_EQ(v->GetMapState(), MapView::MapEnabled);
    EXPECT_TRUE(v->webView()->isVisible());
    EXPECT_EQ(evaluate(*v, QStringLiteral("mapSetCenter(1.5, 2.5)")).toString(), "1");

    // Centre and marker follow SetPosition.
    v->SetPosition(35.5f, 139.25f, 40, 10, 90);
    QTest::qWait(50);
    QJsonObject s = pageState(*v);
    EXPECT_NEAR(s["center"].toArray()[0].toDouble(), 35.5, 1e-4);
    EXPECT_NEAR(s["center"].toArray()[1].toDouble(), 139.25, 1e-4);
    EXPECT_NEAR(s["marker"].toArray()[1].toDouble(), 139.25, 1e-4);

    // Leading samples without a position are sent but not drawn; 80 m extent -> zoom 18.
    const auto a = north(0), b = north(40), c = north(80);
    const GpsList t = track({{0, 0}, {0, 0}, a, b, {0, 0}, c});
    drawAndWait(*v, &t);
    s = pageState(*v);
    EXPECT_EQ(s["routePoints"].toInt(), 3);
    EXPECT_EQ(s["pendingPoints"].toInt(), 0);
    EXPECT_EQ(s["zoom"].toInt(), 18);
    EXPECT_NEAR(s["routeFirst"].toArray()[0].toDouble(), a.first, 1e-5);

    // A far track zooms out; a one-sample track draws but leaves the zoom.
    const GpsList far = track({north(0), north(5000)});
    drawAndWait(*v, &far);
    EXPECT_EQ(pageState(*v)["zoom"].toInt(), 13);
    const GpsList one = track({north(10)});
    drawAndWait(*v, &one);
    s = pageState(*v);
    EXPECT_EQ(s["routePoints"].toInt(), 1);
    EXPECT_EQ(s["zoom"].toInt(), 13);

    // No track: no route.
    drawAndWait(*v, nullptr);
    EXPECT_EQ(pageState(*v)["routePoints"].toInt(), 0);

    // Damaged coordinates never reach the page: the marker goes to "no position".
    v->SetPosition(95.0f, 400.0f, 10, 10, 10);
    EXPECT_EQ(v->fLatitude(), 0.0f);
    QTest::qWait(50);
    s = pageState(*v);
    EXPECT_EQ(s["marker"].toArray()[0].toDouble(), 0.0);
    EXPECT_EQ(s["marker"].toArray()[1].toDouble(), 0.0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    v->SetPosition(nan, 139.0f, nan, nan, nan);
    EXPECT_EQ(v->fLatitude(), 0.0f);
    EXPECT_EQ(v->fSpeed(), -1.0f);
    EXPECT_EQ(v->fAltitude(), 65535.0f);
    EXPECT_EQ(v->infoText(), "  [-. -]  Alt.-");
    const GpsList bad = track({a, {95.0f, 400.0f}, {-91.0f, 10.0f}, c});
    drawAndWait(*v, &bad);
    s = pageState(*v);
    EXPECT_EQ(s["routePoints"].toInt(), 2);
    EXPECT_LE(std::fabs(s["routeLast"].toArray()[0].toDouble()), 90.0);
}

TEST_F(MapViewTest, ButtonsUnitMenuAndResize)
{
    auto v = readyView();
    v->SetPosition(43.0f, 5.0f, 100, 65535, 200);
    EXPECT_EQ(v->speedText(), "100");

    // The unit menu marks the unit in force; choosing mph applies it and
    // reports it for the controller to store: the panel leaves the store alone.
    QSignalSpy chosen(v.get(), &MapView::unitMenuItemClicked);
    v->OnButtonSpeedUnit();
    QMenu* menu = v->speedUnitMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "Speed Unit");
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    menu->actions()[1]->trigger();
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(v->getSpeedUnit(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 1);
    EXPECT_EQ(pmGetIntSetting(QStringLiteral("SpeedUnit"), 0), 0);
    EXPECT_EQ(v->speedUnitButton()->bitmapTitle(), "mph");
    EXPECT_EQ(v->speedText(), "62");

    // Full-map button: toggles, switches its face and asks the controller.
    QSignalSpy full(v.get(), &MapView::mapFullScreenToggled);
    v->OnButtonFullMap();
    EXPECT_TRUE(v->bFullMap());
    EXPECT_EQ(v->fullMapButton()->getCurButtonIndex(), 1);
    EXPECT_EQ(full.count(), 1);

    // The window grows (full-map display): the page keeps the vehicle in the middle.
    v->resize(900, 600);
    EXPECT_EQ(v->webView()->geometry(), QRect(0, 0, 900, 580));
    EXPECT_EQ(v->fullMapButton()->geometry(), QRect(866, 580, 34, 20));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QJsonObject s = pageState(*v);
            return s["size"].toArray()[0].toInt() == 900 &&
                   std::fabs(s["center"].toArray()[0].toDouble() - 43.0) < 1e-4 &&
                   std::fabs(s["center"].toArray()[1].toDouble() - 5.0) < 1e-4;
        },
        10000))
        << QJsonDocument(pageState(*v)).toJson().toStdString();
}

TEST_F(MapViewTest, LongTrackKeepsTheWindowResponsive)
{
    auto v = readyView();
    GpsList list;
    for (int i = 0; i < 36000; ++i)
        list.InsertData(35.0f + i * 1e-5f, 139.0f + i * 1e-5f, 50.0f, 45.0f, -1);
    list.setBGps(true);

    // A 5 ms heartbeat measures the longest time the event loop was held.
    QElapsedTimer beat;
    qint64 longest = 0;
    QTimer heart;
    heart.setInterval(5);
    QObject::connect(&heart, &QTimer::timeout, [&] { longest = std::max(longest, beat.restart()); });
    QSignalSpy drawn(v.get(), &MapView::pathDrawn);
    QElapsedTimer total;
    total.start();
    beat.start();
    heart.start();
    v->DrawPath(&list);
    const qint64 callTime = total.elapsed();
    ASSERT_TRUE(drawn.wait(60000));
    heart.stop();
    longest = std::max(longest, callTime);
    const QList<QVariant> args = drawn.takeFirst();
    std::printf(
        "36000 samples: route drawn after %lld ms, %d script evaluations, longest event-loop stall %lld ms\n",
        static_cast<long long>(total.elapsed()), args[1].toInt(), static_cast<long long>(longest));
    EXPECT_EQ(args[0].toInt(), 36000);
    EXPECT_LT(longest, 200);
    EXPECT_EQ(pageState(*v)["routePoints"].toInt(), 36000);

    // A new track while one is still on its way replaces it completely.
    v->DrawPath(&list);
    const GpsList small = track({north(0), north(50)});
    drawAndWait(*v, &small);
    QTest::qWait(100);
    const QJsonObject s = pageState(*v);
    EXPECT_EQ(s["routePoints"].toInt(), 2);
    EXPECT_EQ(s["pendingPoints"].toInt(), 0);
}

TEST_F(MapViewTest, OfflineShowsDisabledStateAndRecovers)
{
    qputenv("ROVIX_INTERNET", "off");
    MapView v(QRect(0, 0, 420, 212), QLatin1String(kTestPage));
    v.show();
    EXPECT_FALSE(v.IsOnLine());
    EXPECT_EQ(v.GetMapState(), MapView::MapDisabled);
    EXPECT_FALSE(v.webView()->isVisible());
    EXPECT_FALSE(v.fullMapButton()->isVisible());
    EXPECT_TRUE(v.webView()->url().isEmpty() || v.webView()->url().scheme() == "about");
    // No centring while disabled.
    const int before = v.scriptEvaluationCount();
    v.SetPosition(35, 139, 10, 10, 10);
    EXPECT_EQ(v.scriptEvaluationCount(), before);
    // A recording without positions.
    v.EnableMap(MapView::MapNoGps);
    EXPECT_FALSE(v.webView()->isVisible());
    QTest::qWait(100);
    EXPECT_FALSE(v.IsMapDocReady());

    // Back on line: the next load (as the controller asks on the next track)
    // loads the page although the last state was "no GPS".
    qputenv("ROVIX_INTERNET", "on");
    v.LoadMap();
    EXPECT_TRUE(v.IsOnLine());
    EXPECT_TRUE(QTest::qWaitFor([&] { return v.IsMapDocReady(); }, 30000));
    v.EnableMap(MapView::MapEnabled);
    EXPECT_TRUE(v.webView()->isVisible());
}

TEST_F(MapViewTest, PageThatNeverLoadsLeavesThePanelUsable)
{
    // A local server that accepts and never answers.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    std::vector<QTcpSocket*> held;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = server.nextPendingConnection())
            held.push_back(s);
    });
    {
        MapView v(QRect(0, 0, 420, 212),
                  QStringLiteral("http://127.0.0.1:%1/map.html").arg(server.serverPort()));
        v.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !held.empty(); }, 10000));
        GpsList list;
        for (int i = 0; i < 3600; ++i)
            list.InsertData(35.0f + i * 1e-5f, 139.0f, 50.0f, 45.0f, -1);
        list.setBGps(true);
        QElapsedTimer t;
        t.start();
        v.SetPosition(35, 139, 10, 10, 10);
        v.DrawPath(&list);
        v.OnButtonFullMap();
        EXPECT_LT(t.elapsed(), 200);
        EXPECT_TRUE(v.bFullMap());
        QTest::qWait(300);
        EXPECT_FALSE(v.IsMapDocReady());
        // Dropped while still loading, with scripts outstanding.
    }
    QTest::qWait(100);
}

// The page never holds the keyboard, not after it loads and not after a
// click into it, so Ctrl+A never selects its buttons and attribution.
TEST_F(MapViewTest, PageNeverTakesTheKeyboardFocus)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    auto* v = new MapView(QRect(0, 0, 420, 212), QLatin1String(kTestPage), &window);
    v->setMinimumSize(420, 212);
    layout->addWidget(field);
    layout->addWidget(v);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return v->IsMapDocReady(); }, 30000)) << "page did not load";
    QWidget* page = v->webView()->focusProxy() ? v->webView()->focusProxy() : v->webView();
    for (QWidget* before : std::initializer_list<QWidget*>{field, nullptr}) {
        if (before)
            before->setFocus();
        QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(page->width() / 2, page->height() / 2));
        QTest::qWait(300); // a focus the page takes arrives by then
        EXPECT_EQ(QApplication::focusWidget(), before);
        field->clearFocus();
    }
    QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    QTest::qWait(200);
    EXPECT_EQ(evaluate(*v, QStringLiteral("String(window.getSelection())")).toString(), QString());
}

// A trip of three recordings: the current one's route in the usual colour
// over the rest of the trip, the stretch already driven fainter than the one
// ahead; samples without a position or with damaged numbers never reach the
// map; an empty trip takes it away again.
TEST_F(MapViewTest, WholeTripRouteLiesUnderTheCurrentStretch)
{
    auto v = readyView(640, 420);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    MapView::RoutePoints driven, ahead;
    for (int i = 0; i < 60; ++i)
        driven.push_back(north(i * 20.0));
    driven.push_back({0.0f, 0.0f});
    driven.push_back({nan, 139.0f});
    std::vector<std::pair<float, float>> current;
    for (int i = 60; i < 120; ++i)
        current.push_back(north(i * 20.0));
    for (int i = 0; i < 60; ++i)
        ahead.push_back({north(2400.0).first, static_cast<float>(139.0 + i * 0.00025)});

    v->DrawTripRoute(driven, ahead);
    const GpsList t = track(current);
    drawAndWait(*v, &t);
    v->SetPosition(current[30].first, current[30].second, 40, 10, 0);
    QTest::qWait(100);
    QJsonObject s = pageState(*v);
    EXPECT_EQ(s["tripDriven"].toInt(), 60);
    EXPECT_EQ(s["tripAhead"].toInt(), 60);
    EXPECT_EQ(s["routePoints"].toInt(), 60);
    const QJsonArray opacity = s["tripOpacity"].toArray();
    EXPECT_LT(opacity[0].toDouble(), opacity[1].toDouble()); // driven fainter than ahead
    EXPECT_LT(opacity[1].toDouble(), opacity[2].toDouble()); // the current stretch strongest
    EXPECT_NEAR(s["marker"].toArray()[0].toDouble(), current[30].first, 1e-5);

    const QString dir = qEnvironmentVariable("ROVIX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        evaluate(*v, QStringLiteral("setZoom(14)"));
        QTest::qWait(300);
        v->screen()->grabWindow(v->winId()).save(QDir(dir).filePath(QStringLiteral("whole-trip-route.png")));
    }

    // A new current recording replaces the trip's parts; none removes them.
    v->DrawTripRoute(MapView::RoutePoints(driven.begin(), driven.begin() + 10), {});
    s = pageState(*v);
    EXPECT_EQ(s["tripDriven"].toInt(), 10);
    EXPECT_EQ(s["tripAhead"].toInt(), 0);
    v->DrawTripRoute({}, {});
    s = pageState(*v);
    EXPECT_EQ(s["tripDriven"].toInt(), 0);
    EXPECT_EQ(s["routePoints"].toInt(), 60);
}
