// A fleet archive made by the real `rovixtool ingest` and browsed in the
// running window: the vehicle chooser, the place question from a point of
// the map, a pass played at its second; a catalogue that cannot be read.
#include "WindowTestSupport.h"

#include "archive/ArchiveBrowser.h"
#include "controls/CalendarView.h"
#include "controls/PassFinderDlg.h"
#include "controls/VehicleChooser.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <cmath>
#include <cstdlib>

using namespace windowtest;

namespace
{

constexpr double kLat0 = 48.1, kLon0 = 11.5;

QString quoted(const QString& s)
{
    QString q = s;
    return QLatin1Char('\'') + q.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

int run(const QString& command)
{
    const int raw = std::system((command + QStringLiteral(" >/dev/null 2>&1")).toLocal8Bit().constData());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class ArchiveWindow : public OwnFolderWindow
{
protected:
    void TearDown() override
    {
        pmSetDialogHook({});
        OwnFolderWindow::TearDown();
    }

    // A card with one recording and its log, named and dated at `start`:
    // ten seconds east at 36 km/h from `northMetres` north of the origin.
    QString card(const QString& name, const mediagen::StartTime& start, double northMetres)
    {
        const QString folder = dir.filePath(name + QStringLiteral("/DCIM/100MEDIA_M"));
        QDir().mkpath(folder);
        const std::string stem = (folder + QStringLiteral("/FILE")).toStdString() + start.nameStamp() + "_M";
        mediagen::RecordingSpec rec;
        rec.seconds = 10;
        rec.seed = static_cast<uint32_t>(northMetres + 1);
        mediagen::NmeaSpec log;
        log.start = start;
        log.drive.seconds = 10;
        log.drive.profile = mediagen::SpeedProfile::Constant;
        log.drive.constantKmh = 36;
        log.drive.originCourse = 90;
        log.drive.originLat = kLat0 + northMetres / 111195.0;
        log.drive.originLon = kLon0;
        std::string error;
        EXPECT_TRUE(mediagen::writeRecording(stem + ".MP4", rec, &error)) << error;
        EXPECT_TRUE(mediagen::writeNmeaLog(stem + ".NMEA", log, &error)) << error;
        for (const char* ext : {".MP4", ".NMEA"})
            mediagen::setFileTime(stem + ext, start.toLocalEpoch());
        return dir.filePath(name);
    }

    static int ingest(const QString& archive, const QString& vehicle, const QString& card)
    {
        return run(QStringLiteral(ROVIX_BINARY_DIR "/src/rovixtool ingest --archive %1 --vehicle %2 %3")
                       .arg(quoted(archive), quoted(vehicle), quoted(card)));
    }

    static bool settled(AppDelegate& d, int ms = 30000)
    {
        return QTest::qWaitFor([&] { return !d.archive()->isOpening() && !d.isBuildingLibrary(); }, ms);
    }

    static bool libraryUnder(AppDelegate& d, const QString& folder)
    {
        if (d.videoLib().isEmpty())
            return false;
        for (const AMediaFile& f : d.videoLib())
            if (!f.path().startsWith(folder + QLatin1Char('/')))
                return false;
        return true;
    }

    void collectMessages()
    {
        pmSetDialogHook([this](const DialogRequest& r) {
            if (r.kind == DialogRequest::Kind::MessageBox)
                messages << r.text;
            return DialogAnswer{};
        });
    }

    QStringList messages;
};

TEST_F(ArchiveWindow, VehiclesAreChosenAndAPassFoundOnTheMapPlaysAtItsSecond)
{
    mediagen::StartTime dayA;
    dayA.year = 2022, dayA.month = 6, dayA.day = 7, dayA.hour = 10, dayA.minute = 0;
    mediagen::StartTime dayB = dayA.plusSeconds(86400);
    // The browser names recordings by the archive's canonical path.
    const QString archive = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/archive");
    // A drives a kilometre north of the point; B drives through it.
    ASSERT_EQ(ingest(archive, QStringLiteral("A"), card(QStringLiteral("a"), dayA, 1000)), 0);
    ASSERT_EQ(ingest(archive, QStringLiteral("B"), card(QStringLiteral("b"), dayB, 0)), 0);
    const QString catalogue = archive + QStringLiteral("/catalogue.sqlite");
    const QByteArray catalogueBefore = fileHash(catalogue);
    const QString passPath = archive + QStringLiteral("/B/2022/06/08/FILE220608-100000_M.MP4");
    ASSERT_TRUE(QFileInfo::exists(passPath));

    collectMessages();
    auto d = std::make_unique<AppDelegate>();
    pmSetCurrentFolder(archive);
    d->launch();
    d->window()->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d->window()));
    ASSERT_TRUE(settled(*d));

    // The chooser above the calendar lists the vehicles; the first is shown.
    VehicleChooser* chooser = d->vehicleChooser();
    ASSERT_TRUE(chooser);
    EXPECT_TRUE(QTest::qWaitFor([&] { return chooser->isVisible(); }, 5000));
    EXPECT_EQ(chooser->geometry().bottom() + 1, d->calendar()->geometry().top());
    QComboBox* box = chooser->comboBox();
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0), QStringLiteral("A"));
    EXPECT_EQ(box->itemText(1), QStringLiteral("B"));
    EXPECT_EQ(chooser->shownVehicle(), QStringLiteral("A"));
    EXPECT_TRUE(libraryUnder(*d, archive + QStringLiteral("/A")));
    EXPECT_TRUE(d->isMediaExistByDate(2022, 6, 7));
    EXPECT_FALSE(d->isMediaExistByDate(2022, 6, 8));
    shoot(d->window(), QStringLiteral("archive-vehicles"));

    // Choosing B with the keyboard shows B's day only; then back to A.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    ASSERT_TRUE(settled(*d));
    EXPECT_TRUE(libraryUnder(*d, archive + QStringLiteral("/B")));
    EXPECT_TRUE(d->isMediaExistByDate(2022, 6, 8));
    EXPECT_FALSE(d->isMediaExistByDate(2022, 6, 7));
    QTest::keyClick(box, Qt::Key_Up);
    ASSERT_TRUE(settled(*d));
    EXPECT_TRUE(libraryUnder(*d, archive + QStringLiteral("/A")));

    // A right click 32 m east of the origin, on a map centred there.
    MapView* map = d->mapView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->IsMapDocReady(); }, 20000));
    EXPECT_TRUE(map->isFindPassesOffered());
    const double east = kLon0 + 32 / (111195.0 * std::cos(kLat0 * M_PI / 180));
    map->webView()->page()->runJavaScript(
        QStringLiteral("mapSetCenter(%1, %2); setZoom(18);").arg(kLat0, 0, 'f', 7).arg(east, 0, 'f', 7));
    ASSERT_TRUE(QTest::qWaitFor([&] { return mapState(*d).value("zoom").toInt() == 18; }, 5000));
    QWebEngineView* web = map->webView();
    map->showPlaceMenu(QPoint(web->width() / 2, web->height() / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->findPassesAction() != nullptr; }, 5000));
    map->findPassesAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->archive()->passFinder() != nullptr; }, 5000));
    PassFinderDlg* finder = d->archive()->passFinder();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(finder));
    EXPECT_NEAR(finder->latitude(), kLat0, 1e-5);
    EXPECT_NEAR(finder->longitude(), east, 1e-5);

    // Within 10 m: B's one pass, nearest at its third second.
    finder->radiusBox()->setValue(10);
    QTest::mouseClick(finder->findButton(), Qt::LeftButton);
    QTableWidget* table = finder->resultTable();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->rowCount() > 0; }, 10000))
        << finder->statusLabel()->text().toStdString();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("B"));
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("FILE220608-100000_M.MP4"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("3"));
    EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("2022-06-08 10:00:03"));

    // A click on it shows B, opens the recording at its day and plays from second 3.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(0, 1)).center());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return ready(d->videoPlayView()) && !d->isVideoLoading() &&
                   d->getFilePathInPlaylist(d->getCurPlayIndex()) == passPath;
        },
        30000));
    const double at = d->videoPlayView()->getCurrentTime();
    EXPECT_GE(at, 2.9);
    EXPECT_LT(at, 10.0);
    EXPECT_EQ(chooser->shownVehicle(), QStringLiteral("B"));
    short y = 0, m = 0, day = 0;
    d->calendar()->GetSelectDay(y, m, day);
    EXPECT_EQ(QDate(y, m, day), QDate(2022, 6, 8));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    finder->close();
    d.reset();

    // Looking changed nothing in the archive; the vehicle last shown comes back.
    EXPECT_EQ(fileHash(catalogue), catalogueBefore);
    d = std::make_unique<AppDelegate>();
    d->launch();
    ASSERT_TRUE(settled(*d));
    EXPECT_EQ(d->vehicleChooser()->shownVehicle(), QStringLiteral("B"));
    EXPECT_TRUE(libraryUnder(*d, archive + QStringLiteral("/B")));
}

// A catalogue that is no database, or of a newer schema: a message that says
// so, and the folder opens as a card (no chooser, no passes on the map).
TEST_F(ArchiveWindow, UnreadableCatalogueOpensTheFolderAsACardWithAMessage)
{
    writePair(dir.filePath(QStringLiteral("card/DCIM/100MEDIA")), startAt(8, 30), 2);
    {
        QFile junk(dir.filePath(QStringLiteral("card/catalogue.sqlite")));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
    }
    collectMessages();
    AppDelegate d;
    pmSetCurrentFolder(dir.filePath(QStringLiteral("card")));
    d.launch();
    ASSERT_TRUE(settled(d));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.at(0).contains(QStringLiteral("not a database"))) << messages.at(0).toStdString();
    EXPECT_EQ(d.videoLib().size(), 2);
    EXPECT_FALSE(d.archive()->isArchiveOpen());
    EXPECT_FALSE(d.vehicleChooser()->isVisible());
    EXPECT_FALSE(d.mapView()->isFindPassesOffered());

    const QString archive = dir.filePath(QStringLiteral("archive"));
    ASSERT_EQ(ingest(archive, QStringLiteral("van 7"), dir.filePath(QStringLiteral("card"))), 0);
    ASSERT_EQ(run(QStringLiteral("sqlite3 %1 'PRAGMA user_version=99'")
                      .arg(quoted(archive + QStringLiteral("/catalogue.sqlite")))),
              0);
    d.openFolder(archive);
    ASSERT_TRUE(settled(d));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages.at(1).contains(QStringLiteral("schema version 99"))) << messages.at(1).toStdString();
    EXPECT_TRUE(libraryUnder(d, QFileInfo(archive).absoluteFilePath() + QStringLiteral("/van 7")));
    EXPECT_FALSE(d.vehicleChooser()->isVisible());
}

} // namespace
