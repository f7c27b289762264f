// The map on the running window when its tiles cannot load.
#include "WindowTestSupport.h"
#include <QTcpServer>

using namespace windowtest;

namespace
{

class MapWindow : public OwnFolderWindow
{
};

// With the tile server unreachable the map area says so, in the
// language in force, and the route is still drawn.
TEST_F(MapWindow, OfflineTilesAreNamedAndTheRouteStays)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there any more: every tile is refused
    pmSetStringSetting(
        SettingsKeys::mapPageUrl.key(),
        QStringLiteral("qrc:/map/map.html?tiles=http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port));
    writePair(dir.filePath("DCIM/100MEDIA"), startAt(8, 30), 3);
    AppDelegate d;
    launch(d);
    d.dblClickFile(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready(d.videoPlayView()) && !d.isVideoLoading(); }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(d).value("routePoints").toInt() > 0; }, 10000));
    const bool noticed =
        QTest::qWaitFor([&] { return !mapState(d).value("tilesNotice").toString().isEmpty(); }, 10000);
    d.onButtonPause();
    shoot(d.window(), QStringLiteral("map-offline"));
    ASSERT_TRUE(noticed);
    EXPECT_EQ(mapState(d).value("tilesNotice").toString(),
              pmLoadString(QStringLiteral("IDS_MAP_TILES_OFFLINE")));
    EXPECT_EQ(english("IDS_MAP_TILES_OFFLINE"),
              QStringLiteral("Map tiles unavailable offline: the route and position are still drawn"));
    EXPECT_GT(mapState(d).value("routePoints").toInt(), 0);
}

// Item 8: the settings menu's switch is for flat recordings and the current
// recording only; the pad leaves the picture visible around its buttons.
} // namespace
