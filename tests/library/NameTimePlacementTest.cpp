// Cards copied without dates: with the settings menu's "Place recordings by
// the time in their names" on, the calendar, the day's playlist and the file
// list follow the names, also for recordings the folder monitor takes in
// later. And the file list's type icon of a name that is not UTF-8.
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"

#include "base/SettingsKeys.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/ToolbarView.h"
#include "core/FileRules.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QSet>
#include <QSettings>
#include <sys/stat.h>

using namespace playtest;

namespace
{

struct App {
    std::unique_ptr<AppDelegate> app;
    App()
    {
        QSettings().clear();
        pmInstallStringTables();
        app = std::make_unique<AppDelegate>();
        app->awakeFromNib();
        app->createPanels();
        app->window()->resize(980, 660);
        app->initialData();
    }
    ~App()
    {
        app->setCurPlaylistIndex(-1, false);
        app->applicationWillTerminate();
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QSettings().clear();
    }
    AppDelegate* operator->() const { return app.get(); }

    // Opens the settings menu and chooses the name-time item; returns the
    // check mark the item showed before the choice.
    bool chooseNameTimeItem()
    {
        app->toolbar()->onSettingButtonPressed();
        QMenu* menu = app->toolbar()->settingsMenu();
        EXPECT_NE(menu, nullptr);
        auto* item = menu ? menu->findChild<QAction*>(QStringLiteral("placeByNameTimeItem")) : nullptr;
        EXPECT_NE(item, nullptr);
        if (!item)
            return false;
        EXPECT_TRUE(item->isCheckable());
        EXPECT_EQ(item->text(), pmLoadString(QStringLiteral("IDS_PLACE_BY_NAME_TIME")));
        const bool was = item->isChecked();
        item->trigger();
        menu->close();
        return was;
    }
};

bool hasDay(const AppDelegate& app, const QDate& d)
{
    return app.isMediaExistByDate(static_cast<qint16>(d.year()), static_cast<qint16>(d.month()),
                                  static_cast<qint16>(d.day()));
}

void showDay(AppDelegate& app, const QDate& d)
{
    app.calendar()->SetActivateDay(d.year(), d.month(), d.day());
    app.rebuildPlaylist();
}

QSet<QString> playlistNames(const AppDelegate& app)
{
    QSet<QString> names;
    for (const AMediaFile& f : app.playlist())
        names.insert(f.localizedName());
    return names;
}

// The moment a "YYMMDD-HHMMSS" stamp names, read as local time; invalid when
// it names none (or there is no stamp).
QDateTime stampTime(const std::string& stamp)
{
    if (stamp.size() != 13)
        return QDateTime();
    const QDate day = QDate::fromString(QString::fromStdString("20" + stamp.substr(0, 6)), "yyyyMMdd");
    const QTime time = QTime::fromString(QString::fromStdString(stamp.substr(7)), "HHmmss");
    return day.isValid() && time.isValid() ? QDateTime(day, time) : QDateTime();
}

bool setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

} // namespace

TEST(NameTimePlacement, ACardCopiedWithoutDatesIsPlacedByItsNamesAndSoAreRecordingsThatArriveLater)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath(QStringLiteral("card"));
    std::vector<mediagen::ManifestEntry> manifest;
    std::string error;
    ASSERT_TRUE(mediagen::makeCard(card.toStdString(), mediagen::CardSpec{}, &manifest, &error)) << error;

    // Copied by a tool that keeps no dates: every file carries the copy's time.
    const QDateTime copied(QDate(2025, 1, 10), QTime(19, 45, 0));
    QHash<QString, QDateTime> named; // admitted recording -> the moment its name states (maybe invalid)
    QSet<QDate> namedDays;
    for (const mediagen::ManifestEntry& e : manifest) {
        const QString path = card + "/" + QString::fromStdString(e.path);
        if (QFileInfo(path).isFile()) {
            ASSERT_TRUE(setModified(path, copied)) << e.path;
        }
        if (e.admitted != 1)
            continue;
        const QDateTime when = stampTime(e.start);
        named.insert(QFileInfo(path).fileName(), when);
        if (when.isValid())
            namedDays.insert(when.date());
    }
    ASSERT_GE(namedDays.size(), 2) << "the card spans several days";
    QSet<QString> unnamed;
    for (auto it = named.cbegin(); it != named.cend(); ++it)
        if (!it.value().isValid())
            unnamed.insert(it.key());

    App a;
    ASSERT_TRUE(a->buildVideoLibrary(card));
    ASSERT_EQ(a->videoLib().size(), named.size());

    // Off (the default): the file dates of the designed behaviour, a whole
    // card on the copy's day.
    EXPECT_FALSE(a->isPlaceByNameTime());
    EXPECT_TRUE(hasDay(*a.app, copied.date()));
    for (const QDate& d : namedDays)
        EXPECT_FALSE(hasDay(*a.app, d)) << d.toString(Qt::ISODate).toStdString();
    showDay(*a.app, copied.date());
    EXPECT_EQ(a->playlist().size(), named.size());

    // On: stored, the calendar marks the names' days and moves to the newest.
    EXPECT_FALSE(a.chooseNameTimeItem());
    EXPECT_TRUE(a->isPlaceByNameTime());
    EXPECT_EQ(QSettings().value(SettingsKey::placeByNameTime()).toInt(), 1);
    for (const QDate& d : namedDays)
        EXPECT_TRUE(hasDay(*a.app, d)) << d.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(hasDay(*a.app, copied.date()), !unnamed.isEmpty());
    // The newest recording is the last in playlist (name) order.
    QString last;
    for (auto it = named.cbegin(); it != named.cend(); ++it)
        if (last.isEmpty() || pmLessByFileDate(QFile::encodeName(last).toStdString(),
                                               QFile::encodeName(it.key()).toStdString()))
            last = it.key();
    const QDate newest = named.value(last).isValid() ? named.value(last).date() : copied.date();
    const calendar::Date focus = a->calendar()->focusDate();
    EXPECT_EQ(QDate(focus.year, focus.month, focus.day), newest) << last.toStdString();

    // Each day's playlist holds exactly the recordings its names place there,
    // and each row shows the name's date and time.
    for (const QDate& d : namedDays) {
        showDay(*a.app, d);
        QSet<QString> expected;
        for (auto it = named.cbegin(); it != named.cend(); ++it)
            if (it.value().isValid() && it.value().date() == d)
                expected.insert(it.key());
        EXPECT_EQ(playlistNames(*a.app), expected) << d.toString(Qt::ISODate).toStdString();
        FileListBox* rows = a->fileList()->fileListBox();
        ASSERT_EQ(rows->getCount(), a->playlist().size());
        for (int i = 0; i < rows->getCount(); ++i) {
            const QDateTime when = named.value(a->playlist().at(i).localizedName());
            EXPECT_EQ(rows->row(i)->dateText, when.toString(QStringLiteral("yyyy/MM/dd")));
            EXPECT_EQ(rows->row(i)->timeText, when.toString(QStringLiteral("HH:mm:ss")));
        }
    }
    // Names without a real moment keep their file date.
    showDay(*a.app, copied.date());
    EXPECT_EQ(playlistNames(*a.app), unnamed);

    // A recording copied in later (dated now by the copy) joins its name's day.
    const QDate arrivalDay(2024, 2, 29);
    ASSERT_FALSE(namedDays.contains(arrivalDay));
    showDay(*a.app, arrivalDay);
    EXPECT_TRUE(a->playlist().isEmpty());
    const QString arrived = card + QStringLiteral("/FILE240229-063000_M.MP4");
    ASSERT_TRUE(makeRecording(arrived, 2.0));
    ASSERT_TRUE(waitFor([&] { return a->playlist().size() == 1; }, 10000));
    EXPECT_EQ(a->playlist().at(0).localizedName(), QStringLiteral("FILE240229-063000_M.MP4"));
    EXPECT_TRUE(hasDay(*a.app, arrivalDay));
    EXPECT_EQ(a->fileList()->fileListBox()->row(0)->timeText, QStringLiteral("06:30:00"));

    // Off again: back on the file dates; the choice is stored and read at start-up.
    EXPECT_TRUE(a.chooseNameTimeItem());
    EXPECT_FALSE(a->isPlaceByNameTime());
    EXPECT_FALSE(hasDay(*a.app, arrivalDay));
    EXPECT_EQ(QSettings().value(SettingsKey::placeByNameTime()).toInt(), 0);
    pmSetIntSetting(SettingsKey::placeByNameTime(), 1);
    a->initialData();
    EXPECT_TRUE(a->isPlaceByNameTime());
}

TEST(NameTimePlacement, TheFileListTypeOfANameThatIsNotUtf8IsThePlaylistsType)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // No type prefix and writable: the name rule's fallback says Normal. The
    // name's bytes do not survive a trip through QString.
    const QByteArray odd = QFile::encodeName(dir.path()) + "/\xff\xfe clip.MP4";
    const QString temp = dir.filePath(QStringLiteral("plain.MP4"));
    ASSERT_TRUE(makeRecording(temp, 2.0));
    ASSERT_EQ(::rename(QFile::encodeName(temp).constData(), odd.constData()), 0);
    ASSERT_EQ(pmGetFileType(odd.toStdString()), kRecordingNormal);

    App a;
    ASSERT_TRUE(a->buildVideoLibrary(dir.path()));
    ASSERT_EQ(a->videoLib().size(), 1);
    EXPECT_EQ(a->videoLib().at(0).nativePath(), odd);
    a->showCalendar(false); // every day
    FileListView* list = a->fileList();
    auto tick = [&](CheckBox* box, bool on) {
        NotificationCenter::defaultCenter().post(
            Notifications::CheckBoxChanged, QVariant(on ? 1 : 0),
            QVariantMap{{QStringLiteral("CHECKBOX_WINDOW"), pmIdentityString(box)}});
    };
    // Only Normal ticked: listed, and drawn without the Event icon.
    tick(list->eventCheckBox(), false);
    tick(list->parkingCheckBox(), false);
    ASSERT_EQ(a->playlist().size(), 1);
    EXPECT_EQ(list->fileListBox()->recordingType(0), int(kRecordingNormal));
    // Only Event ticked: not listed.
    tick(list->normalCheckBox(), false);
    tick(list->eventCheckBox(), true);
    EXPECT_TRUE(a->playlist().isEmpty());
}
