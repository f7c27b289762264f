// The playlist as the panels choose it: the calendar's day or every day, the
// three type boxes of the file list, and what a rebuild resets.
#include "PlaybackTestSupport.h"
#include "app/LibraryPanels.h"
#include "app/PlaybackPanels.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/FileListBox.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"

#include <QDateTime>

using namespace playtest;

namespace
{

void setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

void tick(CheckBox* box, bool on)
{
    NotificationCenter::defaultCenter().post(
        Notifications::CheckBoxChanged, QVariant(on ? 1 : 0),
        QVariantMap{{QStringLiteral("CHECKBOX_WINDOW"), pmIdentityString(box)}});
}

QStringList names(const AppDelegate& app)
{
    QStringList out;
    for (const AMediaFile& f : app.playlist())
        out << f.localizedName();
    return out;
}

TEST(PlaylistFilter, DayAndTypeBoxesChooseTheEntriesAndARebuildDeselects)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Entry {
        const char* name;
        QDateTime when;
    } entries[] = {
        {"FILE240517-081200.MP4", QDateTime(QDate(2024, 5, 17), QTime(8, 12))},
        {"EMER240517-090000.MP4", QDateTime(QDate(2024, 5, 17), QTime(9, 0))},
        {"CLIP240517-100000.MP4", QDateTime(QDate(2024, 5, 17), QTime(23, 59, 30))}, // no type prefix
        {"PARK240518-065500.MP4", QDateTime(QDate(2024, 5, 18), QTime(0, 0, 30))},
    };
    QStringList files;
    for (const Entry& e : entries) {
        const QString path = dir.filePath(QString::fromLatin1(e.name));
        ASSERT_TRUE(makeRecording(path, 2.0));
        setModified(path, e.when); // local time: the calendar's day is the user's day
        files << path;
    }

    Controller c(QStringList{});
    auto* list = new FileListView(c->window()->contentView());
    auto* calendar = new CalendarView(c->window()->contentView());
    auto* bar = new PlayControlView(c->window()->contentView());
    WindowController::Panels panels;
    panels.fileList = list;
    panels.calendar = calendar;
    panels.playBar = bar;
    c->windows()->adoptPanels(panels);
    connectLibraryPanels(*c->library(), list, calendar);
    connectPlaybackPanels(*c->playback(), panels);
    calendar->SetActivateDay(2024, 5, 17);
    QList<AMediaFile> lib;
    for (const QString& f : files)
        lib.append(AMediaFile::mediaFileWithNativePath(QFile::encodeName(f), QFileInfo(f).lastModified()));
    c->setVideoLib(lib);

    c->showCalendar(true);
    EXPECT_EQ(names(*c.app),
              (QStringList{"FILE240517-081200.MP4", "EMER240517-090000.MP4", "CLIP240517-100000.MP4"}));
    EXPECT_EQ(list->fileListBox()->getCount(), 3);
    EXPECT_TRUE(bar->poPlayBtn()->isEnabled());

    calendar->SetActivateDay(2024, 5, 18);
    NotificationCenter::defaultCenter().post(Notifications::CalendarSelChanged);
    EXPECT_EQ(names(*c.app), QStringList{"PARK240518-065500.MP4"});

    // The calendar shrunk: every day, still by type.
    c->showCalendar(false);
    EXPECT_EQ(c->playlist().size(), 4);
    tick(list->normalCheckBox(), false);
    EXPECT_EQ(names(*c.app), (QStringList{"EMER240517-090000.MP4", "PARK240518-065500.MP4"}));
    tick(list->eventCheckBox(), false);
    EXPECT_EQ(names(*c.app), QStringList{"PARK240518-065500.MP4"}); // a name without prefix is never parking

    // A type box changed while a recording plays deselects it and resets the views.
    c.doubleClick(0);
    ASSERT_TRUE(c.waitOpened());
    tick(list->normalCheckBox(), true);
    EXPECT_EQ(c->getCurPlayIndex(), -1);
    EXPECT_EQ(c->videoPlayView(), nullptr);
    EXPECT_EQ(c->gpsList().GetDataCount(), 0);
    EXPECT_EQ(bar->poPlayBtn()->getCurButtonIndex(), 0);

    // No box ticked: an empty list and no media buttons.
    tick(list->normalCheckBox(), false);
    tick(list->parkingCheckBox(), false);
    EXPECT_TRUE(c->playlist().isEmpty());
    EXPECT_EQ(list->fileListBox()->getCount(), 0);
    EXPECT_FALSE(bar->poPlayBtn()->isEnabled());
    EXPECT_FALSE(bar->poNextBtn()->isEnabled());
    c.playBar(PlayControlView::CmdPlay);
    c.playBar(PlayControlView::CmdNext);
    EXPECT_EQ(c->getState(), VideoPlayerView::StateNoPlayer);
}

} // namespace
