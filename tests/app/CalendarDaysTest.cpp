// The calendar's day marks on the real panels: the controller works out the
// library's days once per library build, however many months the calendar
// shows, and a changed library is never answered from stale days.
#include "AppTestSupport.h"
#include "LibraryBuild.h"

#include "app/AppDelegate.h"
#include "base/Services.h"
#include "controls/CalendarView.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace
{

int markCount(const CalendarView& calendar)
{
    int marks = 0;
    for (int cell = 0; cell < 42; ++cell)
        marks += calendar.hasMark(cell) ? 1 : 0;
    return marks;
}

bool writeDatedAvi(const QString& path, const QDateTime& when)
{
    if (!apptest::writeAvi(path))
        return false;
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

} // namespace

TEST(CalendarDays, WorkedOutOncePerLibraryBuild)
{
    QSettings().clear();
    pmInstallStringTables();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("DCIM");
    // Three days in March 2024, many recordings on one of them.
    ASSERT_TRUE(writeDatedAvi(card + "/FILE240301-080000F.AVI", QDateTime(QDate(2024, 3, 1), QTime(8, 0))));
    ASSERT_TRUE(writeDatedAvi(card + "/FILE240305-080000F.AVI", QDateTime(QDate(2024, 3, 5), QTime(8, 0))));
    for (int i = 0; i < 30; ++i) {
        const QTime t(9, i);
        ASSERT_TRUE(
            writeDatedAvi(card + QStringLiteral("/FILE240309-09%100F.AVI").arg(i, 2, 10, QLatin1Char('0')),
                          QDateTime(QDate(2024, 3, 9), t)));
    }

    auto d = std::make_unique<AppDelegate>();
    d->awakeFromNib();
    d->createPanels();
    d->initialData();
    CalendarView* calendar = d->calendar();
    ASSERT_NE(calendar, nullptr);

    ASSERT_TRUE(librarytest::buildLibrary(*d, card));
    ASSERT_EQ(d->videoLib().size(), 32);
    EXPECT_EQ(markCount(*calendar), 3);
    EXPECT_EQ(d->library()->mediaDaysBuilds(), 1);

    // A year of month changes asks about 42 days each, from the same days.
    for (int i = 0; i < 12; ++i)
        calendar->nextButtonPressed();
    EXPECT_EQ(markCount(*calendar), 0);
    for (int i = 0; i < 12; ++i)
        calendar->prevButtonPressed();
    EXPECT_EQ(markCount(*calendar), 3);
    EXPECT_EQ(d->library()->mediaDaysBuilds(), 1);

    // A new build works them out again, once.
    ASSERT_TRUE(writeDatedAvi(card + "/FILE240320-080000F.AVI", QDateTime(QDate(2024, 3, 20), QTime(8, 0))));
    ASSERT_TRUE(librarytest::buildLibrary(*d, card));
    EXPECT_EQ(markCount(*calendar), 4);
    EXPECT_EQ(d->library()->mediaDaysBuilds(), 2);

    // A library changed in any other way is not answered from the old days.
    d->addVideoFile(card + "/FILE240320-080000F.AVI");
    EXPECT_TRUE(d->isMediaExistByDate(2024, 3, 20));
    EXPECT_EQ(d->library()->mediaDaysBuilds(), 3);
    QList<AMediaFile> one;
    for (const AMediaFile& f : d->videoLib()) {
        if (f.localizedName() == QLatin1String("FILE240301-080000F.AVI"))
            one.append(f);
    }
    ASSERT_EQ(one.size(), 1);
    d->setVideoLib(one);
    EXPECT_FALSE(d->isMediaExistByDate(2024, 3, 9));
    EXPECT_TRUE(d->isMediaExistByDate(2024, 3, 1));
    d->clearVideoLibrary();
    EXPECT_FALSE(d->isMediaExistByDate(2024, 3, 1));

    d.reset();
    QSettings().clear();
}
