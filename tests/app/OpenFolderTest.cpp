// Opening a folder without Browse: a folder named on the command line (the
// argument rules, and the real application started with one) and a folder
// dropped onto the window; both build the library and remember the folder.
#include "AppTestSupport.h"

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
    EXPECT_TRUE(apptest::writeAvi(card + QStringLiteral("/DCIM/FILE240601-120000.AVI")));
    EXPECT_TRUE(apptest::writeAvi(card + QStringLiteral("/DCIM/FILE240601-120100.AVI")));
    EXPECT_TRUE(apptest::writeAvi(card + QStringLiteral("/EMER240601-130000.AVI")));
    return card;
}

class OpenFolderTest : public ::testing::Test
{
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { QSettings().clear(); }
};

TEST_F(OpenFolderTest, TheCommandLineNamesOneFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = makeCard(dir);
    QString error;

    EXPECT_EQ(AppDelegate::folderFromArguments({"rovixmanager"}, &error), QString());
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(AppDelegate::folderFromArguments({"rovixmanager", card}, &error), card);
    EXPECT_TRUE(error.isEmpty());
    // Relative and untidy names become the folder's absolute path.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(AppDelegate::folderFromArguments({"rovixmanager", "./card with blanks/DCIM/../"}), card);
    ASSERT_TRUE(QDir::setCurrent(previous));
    // After "--" a name may start with a dash; before it, options are not folders.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("-dash")));
    EXPECT_EQ(AppDelegate::folderFromArguments({"rovixmanager", "--", dir.filePath("-dash")}),
              dir.filePath("-dash"));
    EXPECT_EQ(AppDelegate::folderFromArguments({"rovixmanager", "--reverse", card}), card);

    // What cannot be opened: a missing name, a file, two folders.
    for (const QStringList& args : {QStringList{"rovixmanager", dir.filePath("missing")},
                                    QStringList{"rovixmanager", card + "/EMER240601-130000.AVI"},
                                    QStringList{"rovixmanager", card, dir.path()}}) {
        EXPECT_EQ(AppDelegate::folderFromArguments(args, &error), QString()) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty()) << args.join(' ').toStdString();
    }
}

// The application itself, started as a user would: it scans the folder named
// on its command line and remembers it for the next start.
TEST_F(OpenFolderTest, TheApplicationOpensAndRemembersTheFolderItIsGiven)
{
    const QString program = QStringLiteral(ROVIX_BINARY_DIR "/src/rovixmanager");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "the application is not built in this tree";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = makeCard(dir);
    const QString home = dir.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(home + "/Documents"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("ROVIX_DEMO_FOLDER");
    const QString log = home + "/Documents/RovixManagerLog_mac.txt";
    auto runWith = [&](const QStringList& arguments, const QString& expectedLine) {
        QFile::remove(log); // only this run's lines count
        QProcess app;
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app.start(program, arguments);
        EXPECT_TRUE(app.waitForStarted(10000));
        const bool seen = QTest::qWaitFor(
            [&] {
                QFile f(log);
                return f.open(QIODevice::ReadOnly) && QString::fromUtf8(f.readAll()).contains(expectedLine);
            },
            60000);
        app.terminate();
        if (!app.waitForFinished(10000)) {
            app.kill();
            app.waitForFinished(5000);
        }
        return seen;
    };

    // Started with the folder: scanned, three recordings, and remembered.
    EXPECT_TRUE(runWith({card}, QStringLiteral("found video count = 3")));
    const QSettings stored(home + "/.config/Rovix/RovixManager.conf", QSettings::IniFormat);
    EXPECT_EQ(stored.value("CurrentFolder").toString(), card);
    // Started again without one: the remembered folder opens.
    EXPECT_TRUE(runWith({}, QStringLiteral("buildVideoLibrary - Start! - %1").arg(card)));
    // A name that is no folder leaves the remembered one in force.
    EXPECT_TRUE(
        runWith({dir.filePath("missing")}, QStringLiteral("buildVideoLibrary - Start! - %1").arg(card)));
}

QMimeData* urlsOf(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

// Sends a drag over the window and drops it; whether the window took it.
bool dropOnto(MainWindow* window, QMimeData* data)
{
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

TEST_F(OpenFolderTest, AFolderDroppedOntoTheWindowOpensAsBrowseWouldOpenIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = makeCard(dir);
    AppDelegate d;
    d.awakeFromNib();
    d.createPanels();
    d.initialData();
    MainWindow* window = d.window();
    EXPECT_TRUE(window->acceptDrops());

    // A recording, a missing folder, a web address: refused, nothing changes.
    std::unique_ptr<QMimeData> file(urlsOf({card + "/EMER240601-130000.AVI"}));
    EXPECT_FALSE(dropOnto(window, file.get()));
    std::unique_ptr<QMimeData> missing(urlsOf({dir.filePath("gone")}));
    EXPECT_FALSE(dropOnto(window, missing.get()));
    std::unique_ptr<QMimeData> web(new QMimeData);
    web->setUrls({QUrl(QStringLiteral("https://example.com/card"))});
    EXPECT_FALSE(dropOnto(window, web.get()));
    EXPECT_TRUE(d.videoLib().isEmpty());
    EXPECT_FALSE(pmHasSetting("CurrentFolder"));

    // The card: the library, the playlist and the setting, as after Browse.
    std::unique_ptr<QMimeData> folder(urlsOf({card}));
    EXPECT_TRUE(dropOnto(window, folder.get()));
    EXPECT_EQ(d.videoLib().size(), 3);
    EXPECT_EQ(d.currentFolder(), card);
    EXPECT_EQ(pmGetStringSetting("CurrentFolder", ""), card);

    // Its subfolder dropped with other things after it: the first item counts.
    std::unique_ptr<QMimeData> sub(urlsOf({card + "/DCIM", card + "/EMER240601-130000.AVI"}));
    EXPECT_TRUE(dropOnto(window, sub.get()));
    EXPECT_EQ(d.videoLib().size(), 2);
    EXPECT_EQ(pmGetCurrentFolder(), card + "/DCIM");
}

} // namespace
