// The application started as a user starts it, in surroundings that go
// wrong: a settings file that cannot be used, a link where the log goes.
#include "AppTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A folder where the settings file belongs: the folder on the command line
// still opens, the user is told on stderr and in the log (and by a message),
// and a link put where the log goes is replaced, its target untouched.
TEST(Startup, AnUnusableSettingsFileIsReportedAndTheFolderGivenStillOpens)
{
    const QString program = QStringLiteral(ROVIX_BINARY_DIR "/src/rovixmanager");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "the application is not built in this tree";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString card = dir.filePath("card");
    ASSERT_TRUE(apptest::writeAvi(card + "/DCIM/FILE240601-120000.AVI"));
    const QString home = dir.filePath("home");
    const QString documents = home + "/Documents";
    const QString log = documents + "/RovixManagerLog_mac.txt";
    ASSERT_TRUE(QDir().mkpath(documents));
    ASSERT_TRUE(QDir().mkpath(home + "/.config/Rovix/RovixManager.conf")); // a folder
    const QString notes = home + "/notes.txt";
    ASSERT_TRUE(apptest::writeFile(notes, "the user's own\n"));
    ASSERT_TRUE(QFile::link(notes, log));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("ROVIX_DEMO_FOLDER");
    QProcess app;
    app.setProcessEnvironment(env);
    app.start(program, {card});
    const bool seen = QTest::qWaitFor(
        [&] {
            const QString lines = readAll(log);
            return lines.contains("Start! - " + card) && lines.contains("Settings cannot be kept - ");
        },
        60000);
    app.terminate();
    if (!app.waitForFinished(10000))
        app.kill();
    app.waitForFinished(5000);
    EXPECT_TRUE(seen) << readAll(log).toStdString();
    const QString errors = QString::fromUtf8(app.readAllStandardError());
    EXPECT_TRUE(errors.contains("rovixmanager: the settings cannot be kept (" + home +
                                "/.config/Rovix/RovixManager.conf is a folder)"))
        << errors.toStdString();
    EXPECT_EQ(readAll(notes), QStringLiteral("the user's own\n"));
    EXPECT_FALSE(QFileInfo(log).isSymLink());
    EXPECT_TRUE(QFileInfo(home + "/.config/Rovix/RovixManager.conf").isDir()); // left as it was
}

} // namespace
