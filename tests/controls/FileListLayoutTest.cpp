// Panel frames, check box frames and row texts of the file list.
#include "controls/FileListLayout.h"

#include <QTimeZone>
#include <gtest/gtest.h>

TEST(FileListLayout, PanelFramesAsLaidOut)
{
    const FileListLayout l = FileListLayout::compute(291, 400, false);
    EXPECT_EQ(l.header, (PmFrame{0, 369, 291, 31}));
    EXPECT_EQ(l.event, (PmFrame{15, 376, 80, 18}));
    EXPECT_EQ(l.normal, (PmFrame{105, 376, 80, 18}));
    EXPECT_EQ(l.parking, (PmFrame{195, 376, 100, 18}));
    EXPECT_EQ(l.fileList, (PmFrame{0, 0, 291, 369}));

    const FileListLayout r = FileListLayout::compute(300, 400, true);
    EXPECT_EQ(r.event.x, 300 - 80 - 15);
    EXPECT_EQ(r.normal.x, 300 - 80 - 105);
    EXPECT_EQ(r.parking.x, 300 - 100 - 195);
    EXPECT_EQ(r.fileList.x, 300 - 291);
    EXPECT_EQ(r.header.x, 0);

    const CheckBoxLayout c = CheckBoxLayout::compute(80, 18, 14, 14, false);
    EXPECT_EQ(c.box, (PmFrame{0, 2, 14, 14}));
    EXPECT_EQ(c.text, (PmFrame{14, 0, 66, 18}));
    const CheckBoxLayout cr = CheckBoxLayout::compute(80, 18, 14, 14, true);
    EXPECT_EQ(cr.box, (PmFrame{66, 2, 14, 14}));
    EXPECT_EQ(cr.text, (PmFrame{0, 0, 66, 18}));
}

TEST(FileListLayout, NamesAreCutFromThirtyTwoCharacters)
{
    const QString n31 = QString(27, QLatin1Char('A')) + QStringLiteral(".MP4");
    EXPECT_EQ(fileListDisplayName(n31), n31);
    const QString n32 = QString(28, QLatin1Char('A')) + QStringLiteral(".MP4");
    EXPECT_EQ(fileListDisplayName(n32), n32 + QStringLiteral("..."));
    const QString n40 = QString(36, QLatin1Char('B')) + QStringLiteral(".AVI");
    EXPECT_EQ(fileListDisplayName(n40), n40.left(32) + QStringLiteral("..."));
    // Characters outside the basic plane count once and are never split.
    QString wide;
    for (int i = 0; i < 40; ++i)
        wide += QString::fromUcs4(U"\U0001F697", 1);
    const QString cut = fileListDisplayName(wide);
    EXPECT_EQ(cut.toUcs4().size(), 35);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("...")));
}

TEST(FileListLayout, RowsShowLocalDateAndTimeOrPlaceholders)
{
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::LocalTime);
    const FileListRow r = makeFileListRow(QStringLiteral("/media/card/DCIM/EVEN20210304_050607.MP4"), when);
    EXPECT_EQ(r.path, QStringLiteral("/media/card/DCIM/EVEN20210304_050607.MP4"));
    EXPECT_EQ(r.name, QStringLiteral("EVEN20210304_050607.MP4"));
    EXPECT_EQ(r.dateText, QStringLiteral("2021/03/04"));
    EXPECT_EQ(r.timeText, QStringLiteral("05:06:07"));
    EXPECT_EQ(r.type, -1);
    // A date given in UTC is shown in local time.
    const QDateTime utc = when.toUTC();
    EXPECT_EQ(makeFileListRow(QStringLiteral("x.MP4"), utc).timeText, QStringLiteral("05:06:07"));
    const FileListRow none = makeFileListRow(QStringLiteral("/gone/FILE.MP4"), QDateTime());
    EXPECT_EQ(none.dateText, kFileListNoDate);
    EXPECT_EQ(none.timeText, kFileListNoTime);
}
