// Opening a folder without Browse: the application started with a folder on
// its command line, and a folder dropped onto the window. Both build the
// library and remember the folder.
#include "AppTestSupport.h"
#include "LibraryBuild.h"

#include "app/AppDelegate.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace
{

// A card with two recordings in a subfolder and one at the top.
QString makeCard(const QTemporaryDir& dir)
{
    const QString card = dir.filePath(QStringLiteral("card with blanks"));
    for (const char* name :
         {"/DCIM/FILE240601-120000.AVI", "/DCIM/FILE240601-120100.AVI", "/EMER240601-130000.AVI"})
        EXPECT_TRUE(apptest::writeAvi(card + QLatin1String(name)));
    return card;
}

// The application itself, started as a user starts it.
TEST(OpenFolder, TheApplicationOpensAndRemembersTheFolderOnItsCommandLine)
{
    const QString program = QStringLiteral(ROVIX_BINARY_DIR "/src/rovixmanager");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "the application is not built in this tree";
    QTemporaryDir dir;
    const QString card = makeCard(dir);
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString log = home + "/Documents/RovixManagerLog_mac.txt";
    ASSERT_TRUE(QDir().mkpath(home + "/Documents"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.remove("ROVIX_DEMO_FOLDER");
    auto runWith = [&](const QStringList& arguments, const QString& expectedLine) {
        QFile::remove(log); // only this run's lines count
        QProcess app;
        app.setProcessEnvironment(env);
        app.setWorkingDirectory(dir.path());
        app.start(program, arguments);
        const bool seen = QTest::qWaitFor(
            [&] {
                QFile f(log);
                return f.open(QIODevice::ReadOnly) && QString::fromUtf8(f.readAll()).contains(expectedLine);
            },
            60000);
        app.terminate();
        if (!app.waitForFinished(10000))
            app.kill();
        app.waitForFinished(5000);
        return seen;
    };

    // A name relative to where it is started, untidy: the folder's absolute path.
    EXPECT_TRUE(runWith({"./card with blanks/DCIM/.."}, QStringLiteral("Start! - %1").arg(card)));
    const QSettings stored(home + "/.config/Rovix/RovixManager.conf", QSettings::IniFormat);
    EXPECT_EQ(stored.value("CurrentFolder").toString(), card);
    // Without one, or with a name that is no folder (or two), the remembered folder opens.
    for (const QStringList& arguments :
         {QStringList{}, QStringList{dir.filePath("missing")}, QStringList{card + "/EMER240601-130000.AVI"},
          QStringList{card, dir.path()}})
        EXPECT_TRUE(runWith(arguments, QStringLiteral("Start! - %1").arg(card)))
            << arguments.join(' ').toStdString();
    EXPECT_EQ(AppDelegate::folderFromArguments({"rovixmanager", "--", card}), card);
}

// Sends a drag over the window and drops it; whether the window took it.
bool dropOnto(MainWindow* window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

TEST(OpenFolder, AFolderDroppedOntoTheWindowOpensAsBrowseWouldOpenIt)
{
    QSettings().clear();
    QTemporaryDir dir;
    const QString card = makeCard(dir);
    AppDelegate d;
    d.awakeFromNib();
    d.createPanels();
    d.initialData();

    // A recording, a missing folder, a web address: refused, nothing changes.
    EXPECT_FALSE(dropOnto(d.window(), {QUrl::fromLocalFile(card + "/EMER240601-130000.AVI")}));
    EXPECT_FALSE(dropOnto(d.window(), {QUrl::fromLocalFile(dir.filePath("gone"))}));
    EXPECT_FALSE(dropOnto(d.window(), {QUrl(QStringLiteral("https://example.com/card"))}));
    EXPECT_TRUE(d.videoLib().isEmpty());
    EXPECT_FALSE(pmHasSetting("CurrentFolder"));

    // A folder, first among other things: the library, the playlist and the setting.
    EXPECT_TRUE(dropOnto(d.window(), {QUrl::fromLocalFile(card + "/DCIM"), QUrl::fromLocalFile(card)}));
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    EXPECT_EQ(d.videoLib().size(), 2);
    EXPECT_EQ(d.playlist().size(), 2);
    EXPECT_EQ(d.currentFolder(), card + "/DCIM");
    EXPECT_EQ(pmGetCurrentFolder(), card + "/DCIM");
    QSettings().clear();
}

} // namespace
