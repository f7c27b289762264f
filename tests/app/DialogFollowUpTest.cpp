// The toolkit's own file dialogs, typed into and confirmed with Return as a
// user does, while a recording plays: the work they start (a library build
// with its busy window, a track export) runs once they have closed, and the
// application lives on afterwards. No dialog hook: these are the real panels.
#include "../playback/PlaybackTestSupport.h"
#include "AppTestSupport.h"
#include "LibraryBuild.h"

#include "WaitingWindow/WaitingWindow.h"
#include "controls/BitmapButton.h"
#include "controls/ToolbarView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QTest>

using playtest::waitFor;

namespace
{

QFileDialog* visibleFileDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Waits for the file dialog, types the path into its name field and presses
// Return; whether a dialog was there to type into.
bool typeIntoFileDialog(const QString& path)
{
    QFileDialog* dialog = nullptr;
    if (!waitFor([&] { return (dialog = visibleFileDialog()) != nullptr; }))
        return false;
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return false;
    QPointer<QFileDialog> watch(dialog);
    // Pasted into the name field, as a user pastes a path, then Return.
    edit->setFocus();
    edit->selectAll();
    QApplication::clipboard()->setText(path);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    // The name field's completion list may have opened over it; it would
    // take the Return for itself.
    if (QCompleter* completer = edit->completer(); completer && completer->popup()->isVisible())
        QTest::keyClick(completer->popup(), Qt::Key_Escape);
    QTest::keyClick(edit, Qt::Key_Return);
    // Closed, and gone once the main loop deleted it.
    return waitFor([&] { return watch.isNull(); });
}

struct App {
    AppDelegate d;
    App()
    {
        QSettings().clear();
        d.awakeFromNib();
        d.createPanels();
        d.initialData();
        d.window()->resize(980, 660);
        d.window()->show();
    }
    ~App()
    {
        d.setCurPlaylistIndex(-1, false);
        QSettings().clear();
    }
    bool play(int row)
    {
        d.dblClickFile(row);
        return waitFor([&] {
            return d.videoPlayView() && d.videoPlayView()->getPlayerStatus() == 1 && !d.isVideoLoading() &&
                   d.getState() == VideoPlayerView::StatePlaying;
        });
    }
};

TEST(DialogFollowUp, AnotherFolderOpenedWhilePlayingIsBuiltAfterTheChooserClosed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cardA = dir.filePath(QStringLiteral("A"));
    const QString cardB = dir.filePath(QStringLiteral("B"));
    ASSERT_TRUE(QDir().mkpath(cardA));
    ASSERT_TRUE(playtest::makeRecording(cardA + "/FILE240601-120000_M.MP4", 6.0));
    ASSERT_TRUE(apptest::writeAvi(cardB + "/FILE240602-080000_M.AVI"));
    ASSERT_TRUE(apptest::writeAvi(cardB + "/sub/FILE240602-090000_M.AVI"));

    App app;
    AppDelegate& d = app.d;
    ASSERT_TRUE(librarytest::buildLibrary(d, cardA));
    ASSERT_EQ(d.playlist().size(), 1);
    ASSERT_TRUE(app.play(0));

    for (int round = 0; round < 2; ++round) {
        const QString folder = round == 0 ? cardB : cardA;
        QTest::mouseClick(d.toolbar()->oBrowseBtn(), Qt::LeftButton);
        ASSERT_TRUE(typeIntoFileDialog(folder)) << "round " << round;
        ASSERT_TRUE(waitFor([&] { return d.currentFolder() == folder && !d.isBuildingLibrary(); }));
        EXPECT_EQ(d.videoLib().size(), round == 0 ? 2 : 1);
        EXPECT_EQ(d.playlist().size(), round == 0 ? 2 : 1);
        EXPECT_EQ(pmGetCurrentFolder(), folder);
        EXPECT_FALSE(pmIsWaiting());
        // The main loop goes on: whatever the dialog left for it runs, and
        // the window is still there to play from.
        QTest::qWait(300);
        ASSERT_TRUE(d.window()->isVisible());
    }
    ASSERT_TRUE(app.play(0));
    EXPECT_EQ(d.getState(), VideoPlayerView::StatePlaying);
}

TEST(DialogFollowUp, ATrackExportedThroughTheRealSavePanelIsWrittenAndTheApplicationLivesOn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath(QStringLiteral("card"));
    ASSERT_TRUE(QDir().mkpath(card));
    ASSERT_TRUE(playtest::makeRecording(card + "/FILE240601-120000_M.MP4", 6.0));
    mediagen::NmeaSpec log;
    log.start = {2024, 6, 1, 12, 0, 0};
    log.drive.seconds = 6;
    ASSERT_TRUE(
        mediagen::writeNmeaLog(QFile::encodeName(card + "/FILE240601-120000_M.NMEA").toStdString(), log));

    App app;
    AppDelegate& d = app.d;
    ASSERT_TRUE(librarytest::buildLibrary(d, card));
    ASSERT_TRUE(app.play(0));
    ASSERT_TRUE(waitFor([&] { return d.gpsList().IsGPSReady(); }));

    for (int round = 0; round < 3; ++round) {
        const QString out = dir.filePath(QStringLiteral("track%1.kml").arg(round));
        QTest::mouseClick(d.toolbar()->oExportBtn(), Qt::LeftButton);
        ASSERT_TRUE(typeIntoFileDialog(out)) << "round " << round;
        ASSERT_TRUE(waitFor([&] {
            QFile f(out);
            return f.open(QIODevice::ReadOnly) && f.readAll().endsWith("</kml>\r\n");
        })) << "round "
            << round;
        QTest::qWait(300);
        ASSERT_TRUE(d.window()->isVisible());
        EXPECT_FALSE(pmIsWaiting());
    }
    EXPECT_EQ(BackupController::getExportFolder(), dir.path());
}

} // namespace
