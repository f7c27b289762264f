// Cards copied without dates: with the settings menu's "Place recordings by
// the time in their names" on, the calendar, the day's playlist and the file
// list follow the names, also for recordings the folder monitor takes in
// later. And the file list's type icon of a name that is not UTF-8.
#include "../playback/PlaybackTestSupport.h"
#include "LibraryApp.h"
#include "LibraryBuild.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/ToolbarView.h"

#include "base/DialogSeam.h"

#include <QAction>
#include <QDirIterator>
#include <QMenu>
#include <QSet>
#include <QSettings>

using namespace playtest;

namespace
{

struct App : LibraryApp {
    App() : LibraryApp(false) {}

    // Chooses the settings menu's item as a user does; false when it is missing.
    bool chooseNameTimeItem()
    {
        app->toolbar()->onSettingButtonPressed();
        QMenu* menu = app->toolbar()->settingsMenu();
        QAction* item = menu ? menu->findChild<QAction*>(QStringLiteral("placeByNameTimeItem")) : nullptr;
        if (!item || item->text() != pmLoadString(QStringLiteral("IDS_PLACE_BY_NAME_TIME")) ||
            item->isChecked() != app->isPlaceByNameTime())
            return false;
        item->trigger();
        menu->close();
        return true;
    }
    bool hasDay(const QDate& d) const
    {
        return app->isMediaExistByDate(qint16(d.year()), qint16(d.month()), qint16(d.day()));
    }
    QSet<QString> playlistOf(const QDate& d) const
    {
        app->calendar()->SetActivateDay(d.year(), d.month(), d.day());
        app->rebuildPlaylist();
        QSet<QString> names;
        for (const AMediaFile& f : app->playlist())
            names.insert(f.localizedName());
        return names;
    }
};

// The moment a "YYMMDD-HHMMSS" stamp names, as local time; invalid for none.
QDateTime stampTime(const std::string& stamp)
{
    const QDateTime t = QDateTime::fromString(QString::fromStdString("20" + stamp), "yyyyMMdd-HHmmss");
    return stamp.size() == 13 ? t : QDateTime();
}

} // namespace

TEST(NameTimePlacement, ACardCopiedWithoutDatesIsPlacedByItsNamesAndSoAreRecordingsThatArriveLater)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath(QStringLiteral("card"));
    std::vector<mediagen::ManifestEntry> manifest;
    ASSERT_TRUE(mediagen::makeCard(card.toStdString(), mediagen::CardSpec{}, &manifest));

    // Copied by a tool that keeps no dates: every file carries the copy's time.
    const QDateTime copied(QDate(2025, 1, 10), QTime(19, 45, 0));
    QHash<QString, QDateTime> named; // admitted recording -> the moment its name states (maybe none)
    for (const mediagen::ManifestEntry& e : manifest) {
        QFile f(card + "/" + QString::fromStdString(e.path));
        if (QFileInfo(f).isFile()) {
            ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                        f.setFileTime(copied, QFileDevice::FileModificationTime));
        }
        if (e.admitted == 1)
            named.insert(QFileInfo(f).fileName(), stampTime(e.start));
    }
    QHash<QDate, QSet<QString>> byDay; // the playlist each day should show when placed by names
    for (auto it = named.cbegin(); it != named.cend(); ++it)
        byDay[it.value().isValid() ? it.value().date() : copied.date()].insert(it.key());
    ASSERT_GE(byDay.size(), 3) << "the card spans several days";

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, card));
    // Off (the default): the file dates, a whole card on the copy's day.
    EXPECT_EQ(a.playlistOf(copied.date()).size(), named.size());
    for (auto it = byDay.cbegin(); it != byDay.cend(); ++it)
        EXPECT_EQ(a.hasDay(it.key()), it.key() == copied.date());

    // On: stored, every day marked and listed by the names; rows show the
    // name's date and time. Names without a real moment keep the file date.
    ASSERT_TRUE(a.chooseNameTimeItem());
    EXPECT_EQ(QSettings().value(SettingsKeys::placeByNameTime.key()).toInt(), 1);
    for (auto it = byDay.cbegin(); it != byDay.cend(); ++it) {
        EXPECT_TRUE(a.hasDay(it.key()));
        EXPECT_EQ(a.playlistOf(it.key()), it.value()) << it.key().toString(Qt::ISODate).toStdString();
        FileListBox* rows = a->fileList()->fileListBox();
        for (int i = 0; i < rows->getCount(); ++i) {
            const QDateTime when = named.value(a->playlist().at(i).localizedName());
            const QDateTime shown = when.isValid() ? when : copied;
            EXPECT_EQ(rows->row(i)->dateText + " " + rows->row(i)->timeText,
                      shown.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        }
    }

    // A recording copied in later (dated now by the copy) joins its name's day.
    const QDate arrivalDay(2024, 2, 29);
    ASSERT_FALSE(byDay.contains(arrivalDay));
    EXPECT_TRUE(a.playlistOf(arrivalDay).isEmpty());
    ASSERT_TRUE(makeRecording(card + QStringLiteral("/FILE240229-063000_M.MP4"), 2.0));
    ASSERT_TRUE(waitFor([&] { return a->playlist().size() == 1; }, 10000));
    EXPECT_TRUE(a.hasDay(arrivalDay));
    EXPECT_EQ(a->fileList()->fileListBox()->row(0)->timeText, QStringLiteral("06:30:00"));

    // Off again: back on the file dates; the choice is read at start-up.
    ASSERT_TRUE(a.chooseNameTimeItem());
    EXPECT_FALSE(a.hasDay(arrivalDay));
    EXPECT_EQ(QSettings().value(SettingsKeys::placeByNameTime.key()).toInt(), 0);
    pmSetIntSetting(SettingsKeys::placeByNameTime.key(), 1);
    a->initialData();
    EXPECT_TRUE(a->isPlaceByNameTime());
}

TEST(NameTimePlacement, TheFileListTypeOfANameThatIsNotUtf8IsThePlaylistsType)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // No type prefix and writable: the name rule's fallback says Normal. The
    // name's bytes do not survive a trip through QString.
    const QString made = dir.filePath(QStringLiteral("plain.MP4"));
    ASSERT_TRUE(makeRecording(made, 2.0));
    const QByteArray odd = QFile::encodeName(dir.path()) + "/\xff\xfe clip.MP4";
    ASSERT_EQ(::rename(QFile::encodeName(made).constData(), odd.constData()), 0);

    App a;
    ASSERT_TRUE(librarytest::buildLibrary(*a.app, dir.path()));
    a->showCalendar(false); // every day
    FileListView* list = a->fileList();
    auto tick = [](CheckBox* box, bool on) {
        NotificationCenter::defaultCenter().post(
            Notifications::CheckBoxChanged, QVariant(on ? 1 : 0),
            QVariantMap{{QStringLiteral("CHECKBOX_WINDOW"), pmIdentityString(box)}});
    };
    // Only Normal ticked: listed, and drawn as Normal (not with the Event icon).
    tick(list->eventCheckBox(), false);
    tick(list->parkingCheckBox(), false);
    ASSERT_EQ(a->playlist().size(), 1);
    EXPECT_EQ(a->playlist().at(0).nativePath(), odd);
    EXPECT_EQ(list->fileListBox()->recordingType(0), int(kRecordingNormal));
    // Only Event ticked: not listed.
    tick(list->normalCheckBox(), false);
    tick(list->eventCheckBox(), true);
    EXPECT_TRUE(a->playlist().isEmpty());
}

TEST(NameTimePlacement, ACardCopiedWithoutDatesBringsOneOfferWhoseAnswerIsStored)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath(QStringLiteral("card"));
    ASSERT_TRUE(mediagen::makeCard(card.toStdString(), mediagen::CardSpec{}));
    const QString kept = dir.filePath(QStringLiteral("kept"));
    ASSERT_TRUE(mediagen::makeCard(kept.toStdString(), mediagen::CardSpec{}));
    const QDateTime copied = QDateTime::currentDateTime().addSecs(-600);
    QDirIterator files(card, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile f(files.next());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(copied, QFileDevice::FileModificationTime));
    }

    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        App a;
        QList<DialogRequest> asked;
        pmSetDialogHook([&](const DialogRequest& r) {
            asked.append(r);
            return DialogAnswer{yes ? 1 : 2, QString()};
        });
        // A card whose files kept their dates is not asked about.
        ASSERT_TRUE(librarytest::buildLibrary(*a.app, kept));
        QTest::qWait(50);
        EXPECT_TRUE(asked.isEmpty());

        // The library's own end, before the card's clock measurement runs the event loop further.
        ASSERT_TRUE(librarytest::buildLibrary(*a.app->library(), card));
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked.at(0).kind, DialogRequest::Kind::Question);
        EXPECT_EQ(asked.at(0).text, pmLoadString(QStringLiteral("IDS_OFFER_PLACE_BY_NAME_TIME")));
        EXPECT_EQ(asked.at(0).yesText, pmLoadString(QStringLiteral("IDS_PLACE_BY_NAMES")));
        // The answer is applied from the event loop, after the build has ended.
        EXPECT_FALSE(a->isPlaceByNameTime());
        EXPECT_TRUE(waitFor([&] { return pmReadSetting(SettingsKeys::nameTimeOfferAnswered); }, 5000));
        EXPECT_EQ(a->isPlaceByNameTime(), yes);
        EXPECT_EQ(pmReadSetting(SettingsKeys::placeByNameTime), yes);

        // Once answered, never again: not for the next build of the same card.
        ASSERT_TRUE(librarytest::buildLibrary(*a.app, card));
        QTest::qWait(50);
        EXPECT_EQ(asked.size(), 1);
        pmSetDialogHook({});
    }
}
