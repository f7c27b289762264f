// The library's trips over generated recordings: durations from the
// container headers, starts from the names, rear recordings beside their
// fronts, and a gap or a missing header that ends a trip.
#include "MediaGen.h"

#include "library/LibraryModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

// A two-second front or rear recording named for `t`, dated like a camera would.
bool pairMember(const QString& folder, const mediagen::StartTime& t, bool rear, QList<AMediaFile>& out,
                double seconds = 2.0)
{
    const QString name =
        QStringLiteral("FILE%1_%2.MP4")
            .arg(QString::fromStdString(t.nameStamp()), rear ? QStringLiteral("2") : QStringLiteral("M"));
    const QString path = QDir(folder).filePath(name);
    mediagen::RecordingSpec recording;
    recording.seconds = seconds;
    recording.rear = rear;
    if (!mediagen::writeRecording(path.toStdString(), recording))
        return false;
    out << AMediaFile(QUrl::fromLocalFile(path), QDateTime::fromSecsSinceEpoch(t.toLocalEpoch()));
    return true;
}

} // namespace

TEST(TripMembers, PairsChainByNameTimeAndHeaderDuration)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const mediagen::StartTime t0;
    QList<AMediaFile> list;
    // Rows 0..5: three 2 s pairs back to back (the third 4 s after the second
    // ends, within the limit); rows 6..7 a pair 60 s later; row 8 a front whose
    // rear is missing, 2 s after that.
    for (long at : {0L, 2L, 8L, 68L}) {
        ASSERT_TRUE(pairMember(dir.path(), t0.plusSeconds(at), false, list));
        ASSERT_TRUE(pairMember(dir.path(), t0.plusSeconds(at), true, list));
    }
    ASSERT_TRUE(pairMember(dir.path(), t0.plusSeconds(70), false, list));

    LibraryModel lib;
    lib.setPlaylist(list);
    EXPECT_EQ(lib.tripMembers(0), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(lib.tripMembers(4), (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(lib.tripMembers(3), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(lib.tripMembers(6), (std::vector<int>{6, 8}));
    EXPECT_EQ(lib.tripMembers(7), (std::vector<int>{7}));
    EXPECT_EQ(lib.tripMembers(8), (std::vector<int>{6, 8}));
    EXPECT_TRUE(lib.tripMembers(-1).empty());
    EXPECT_TRUE(lib.tripMembers(9).empty());

    // A recording whose header states no length ends the trip after it.
    QFile cut(list.at(2).path());
    ASSERT_TRUE(cut.resize(64));
    LibraryModel again;
    again.setPlaylist(list);
    EXPECT_EQ(again.tripMembers(0), (std::vector<int>{0, 2}));
    EXPECT_EQ(again.tripMembers(4), (std::vector<int>{4}));
}

TEST(TripMembers, LongPlaylistsAreReadOnlyAroundTheTrip)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const mediagen::StartTime t0;
    QList<AMediaFile> list;
    // 40 recordings of 2 s back to back: one trip wider than the first window.
    ASSERT_TRUE(pairMember(dir.path(), t0, false, list));
    for (int i = 1; i < 40; ++i) {
        const QString path =
            QDir(dir.path())
                .filePath(QStringLiteral("FILE%1_M.MP4")
                              .arg(QString::fromStdString(t0.plusSeconds(2L * i).nameStamp())));
        ASSERT_TRUE(QFile::copy(list.at(0).path(), path));
        list << AMediaFile(QUrl::fromLocalFile(path),
                           QDateTime::fromSecsSinceEpoch(t0.plusSeconds(2L * i).toLocalEpoch()));
    }
    LibraryModel lib;
    lib.setPlaylist(list);
    const std::vector<int> trip = lib.tripMembers(20);
    ASSERT_EQ(trip.size(), 40u);
    EXPECT_EQ(trip.front(), 0);
    EXPECT_EQ(trip.back(), 39);
}

// Another family's names chain by the time in them, and a change from H.264
// to H.265 starts a new trip (one timeline plays one codec).
TEST(TripMembers, FamilyNamesChainAndACodecChangeSplits)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<AMediaFile> list;
    const mediagen::StartTime t0;
    for (int i = 0; i < 4; ++i) {
        const mediagen::StartTime t = t0.plusSeconds(2L * i);
        const QString path = QDir(dir.path())
                                 .filePath(QString::asprintf("%04d%02d%02d_%02d%02d%02d_NF.mp4", t.year,
                                                             t.month, t.day, t.hour, t.minute, t.second));
        mediagen::RecordingSpec recording;
        recording.seconds = 2.0;
        recording.h265 = i >= 2;
        ASSERT_TRUE(mediagen::writeRecording(path.toStdString(), recording));
        // The file dates say nothing: all the same moment.
        list << AMediaFile(QUrl::fromLocalFile(path), QDateTime::fromSecsSinceEpoch(t0.toLocalEpoch()));
    }
    LibraryModel lib;
    lib.setPlaylist(list);
    EXPECT_EQ(lib.tripMembers(0), (std::vector<int>{0, 1}));
    EXPECT_EQ(lib.tripMembers(3), (std::vector<int>{2, 3}));
}
