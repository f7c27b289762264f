// The soak run of the whole application: rovixsoakapp (the application with
// its own start-up and a driver inside) on a generated card, its settings in a
// home of its own, the social network and the video site stood in for on
// 127.0.0.1, and the browser by a script that notes each address. The driver
// performs ROVIX_SOAK_ACTIONS seeded random user actions (150 unless set;
// ROVIX_SOAK_SEED, else a fixed seed) and checks each written file. The run
// fails when the application dies, hangs, leaves a sanitizer report or a
// flow goes wrong; the failure names the seed and the last 20 actions.
#include "../upload/TestHttpServer.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <tuple>

using namespace uploadtest;

namespace
{

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList lastLines(const QByteArray& text, int n, bool actionsOnly)
{
    QStringList lines;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        if (actionsOnly && !(line.at(0) >= '0' && line.at(0) <= '9'))
            continue;
        lines << QString::fromUtf8(line);
    }
    return lines.mid(std::max<qsizetype>(0, lines.size() - n));
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// What the sanitizers print when they find something.
bool hasSanitizerReport(const QByteArray& err)
{
    return err.contains("ERROR: AddressSanitizer") || err.contains("ERROR: LeakSanitizer") ||
           err.contains("runtime error:") || err.contains("WARNING: ThreadSanitizer");
}

// Actions left out of every run while a fault they reach is being mended
// elsewhere (names as in the driver's table; ROVIX_SOAK_SKIP adds more).
const QStringList kLeftOutUntilMended = {};

TEST(Soak, RandomUserActionsKeepTheApplicationAliveAndItsFilesValid)
{
    const QString app = QStringLiteral(ROVIX_BINARY_DIR "/tests/soak/rovixsoakapp");
    const QString mediagen = QStringLiteral(ROVIX_BINARY_DIR "/tools/mediagen/rovixmediagen");
    ASSERT_TRUE(QFileInfo(app).isExecutable()) << app.toStdString();
    ASSERT_TRUE(QFileInfo(mediagen).isExecutable()) << mediagen.toStdString();
    bool ok = false;
    quint32 seed = qEnvironmentVariable("ROVIX_SOAK_SEED").toUInt(&ok);
    if (!ok)
        seed = 20;
    const int actions = qEnvironmentVariableIsSet("ROVIX_SOAK_ACTIONS")
                            ? qEnvironmentVariableIntValue("ROVIX_SOAK_ACTIONS")
                            : 150;
    std::printf("soak: seed %u, %d actions\n", seed, actions);
    std::fflush(stdout);

    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/rovix-soak-XXXXXX"));
    ASSERT_TRUE(root.isValid());
    const bool keep = qEnvironmentVariableIsSet("ROVIX_SOAK_KEEP");
    root.setAutoRemove(!keep);
    const QString home = root.filePath(QStringLiteral("home"));
    const QString card = root.filePath(QStringLiteral("card"));
    const QString card2 = root.filePath(QStringLiteral("second card"));
    const QString out = root.filePath(QStringLiteral("out"));
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString actionLog = root.filePath(QStringLiteral("actions.txt"));
    const QString browserLog = root.filePath(QStringLiteral("browser.txt"));
    const QString stderrPath = root.filePath(QStringLiteral("stderr.txt"));
    for (const QString& d : {home + "/Documents", home + "/.config", out, bin})
        ASSERT_TRUE(QDir().mkpath(d));

    // Two cards: the one that opens at start-up and another the open button may choose.
    for (const auto& [dir, count, cardSeed] : {std::tuple{card, 8, seed}, std::tuple{card2, 3, seed + 1}}) {
        QProcess gen;
        gen.start(mediagen, {QStringLiteral("card"), dir, QStringLiteral("--seed"), QString::number(cardSeed),
                             QStringLiteral("--count"), QString::number(count)});
        ASSERT_TRUE(gen.waitForFinished(300000));
        ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    }
    QStringList folders{card, card2};
    for (const QFileInfo& sub : QDir(card).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        folders << sub.absoluteFilePath();

    // The stand-in network: sign-in pages that lead straight to a token, the
    // permission granted, and uploads answered 200, with every fourth refused.
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    int uploads = 0;
    server.handler = [&](const HttpRequest& r) -> std::optional<QByteArray> {
        const QByteArray path = r.path();
        if (path == "/v2.3/dialog/oauth")
            return httpResponse(
                302, "", "text/html",
                "Location: " + server.base().toUtf8() +
                    "/connect/login_success.html#access_token=SOAKTOKEN123&expires_in=5183\r\n");
        if (path == "/connect/login_success.html")
            return httpResponse(200, "<html><body>Success</body></html>");
        if (path == "/me/permissions")
            return httpResponse(200, R"({"data":[{"permission":"publish_actions","status":"granted"}]})",
                                "application/json");
        if (path == "/me/videos")
            return ++uploads % 4 == 0
                       ? httpResponse(500, R"({"error":{"message":"busy"}})", "application/json")
                       : httpResponse(200, R"({"id":"10153"})", "application/json");
        return httpResponse(404, "");
    };

    // The application's settings, in its own home.
    {
        QSettings settings(home + "/.config/Rovix/RovixManager.conf", QSettings::IniFormat);
        settings.setValue("CurrentFolder", card);
        settings.setValue("SocialNetworkWebURL", server.base());
        settings.setValue("SocialNetworkGraphURL", server.base());
        settings.setValue("SocialNetworkVideoURL", server.base());
        settings.setValue("VideoSiteHomeURL", server.base() + "/videosite");
        settings.setValue("CaptureFolder", out);
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }
    // The browser: notes the address it is asked to open.
    ASSERT_TRUE(
        writeFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$ROVIX_SOAK_BROWSER_LOG\"\n"));
    QFile::setPermissions(bin + "/xdg-open",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    env.insert("PATH", bin + ":" + env.value("PATH"));
    env.insert("ROVIX_INTERNET", "on");
    env.insert("ROVIX_SOAK_SEED", QString::number(seed));
    env.insert("ROVIX_SOAK_ACTIONS", QString::number(actions));
    env.insert("ROVIX_SOAK_LOG", actionLog);
    env.insert("ROVIX_SOAK_OUT", out);
    env.insert("ROVIX_SOAK_FOLDERS", folders.join(':'));
    env.insert("ROVIX_SOAK_BROWSER_LOG", browserLog);
    QStringList skipped = kLeftOutUntilMended;
    skipped += qEnvironmentVariable("ROVIX_SOAK_SKIP").split(',', Qt::SkipEmptyParts);
    env.insert("ROVIX_SOAK_SKIP", skipped.join(','));
    if (!skipped.isEmpty())
        std::printf("soak: left out: %s\n", qPrintable(skipped.join(", ")));
    // Qt's own dialogs, not a desktop's: the driver answers their widgets.
    for (const char* name :
         {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME", "ROVIX_DEMO_FOLDER"})
        env.remove(QLatin1String(name));

    QProcess soak;
    soak.setProcessEnvironment(env);
    soak.setWorkingDirectory(root.path());
    soak.setStandardOutputFile(root.filePath(QStringLiteral("stdout.txt")));
    soak.setStandardErrorFile(stderrPath);
    const QDateTime started = QDateTime::currentDateTime();
    soak.start(app, {});
    ASSERT_TRUE(soak.waitForStarted(30000));
    // Generous: the driver's own watchdog and step limits fail it sooner.
    const int limitMs = 300000 + actions * 10000;
    const bool ended = QTest::qWaitFor([&] { return soak.state() == QProcess::NotRunning; }, limitMs);
    if (!ended) {
        ::kill(pid_t(soak.processId()), SIGABRT);
        if (!soak.waitForFinished(60000))
            soak.kill();
        soak.waitForFinished(10000);
    }
    const qint64 seconds = started.secsTo(QDateTime::currentDateTime());

    const QByteArray err = readAll(stderrPath);
    const QByteArray log = readAll(actionLog);
    QString problem;
    if (!ended)
        problem = QStringLiteral("the run did not end within %1 s").arg(limitMs / 1000);
    else if (soak.exitStatus() != QProcess::NormalExit)
        problem = QStringLiteral("the application died (crash)");
    else if (soak.exitCode() != 0)
        problem = QStringLiteral("the application exited with %1").arg(soak.exitCode());
    else if (hasSanitizerReport(err))
        problem = QStringLiteral("a sanitizer reported");
    else if (!log.contains("SOAK DONE"))
        problem = QStringLiteral("the run ended before its last action");

    // Every PDF written renders (when poppler's tools are there).
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    int files = 0;
    for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        ++files;
        if (problem.isEmpty() && path.endsWith(QLatin1String(".pdf")) && !pdftoppm.isEmpty()) {
            QProcess render;
            render.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"),
                                    QStringLiteral("-singlefile"), path, path + QStringLiteral(".render")});
            if (!render.waitForFinished(120000) || render.exitCode() != 0 ||
                !QFileInfo(path + QStringLiteral(".render.png")).size())
                problem = QStringLiteral("%1 does not render: %2")
                              .arg(path, QString::fromUtf8(render.readAllStandardError()));
        }
    }

    std::printf("soak: seed %u, %d actions, %lld s, %d files written, %lld requests to the stand-in network "
                "(%d uploads), %s\n",
                seed, actions, static_cast<long long>(seconds), files,
                static_cast<long long>(server.requests.size()), uploads,
                problem.isEmpty() ? "passed" : "FAILED");
    if (!problem.isEmpty()) {
        std::printf("soak: FAILED with seed %u: %s\n", seed, qPrintable(problem));
        std::printf("soak: the last 20 actions (number, name, the numbers drawn for it):\n");
        for (const QString& line : lastLines(log, 20, true))
            std::printf("  %s\n", qPrintable(line));
        std::printf("soak: the end of the action log:\n");
        for (const QString& line : lastLines(log, 40, false))
            std::printf("  %s\n", qPrintable(line));
        std::printf("soak: the end of the application's error output:\n");
        for (const QString& line : lastLines(err, 120, false))
            std::printf("  %s\n", qPrintable(line));
        std::printf(
            "soak: rerun with ROVIX_SOAK_SEED=%u ROVIX_SOAK_ACTIONS=%d (ROVIX_SOAK_KEEP=1 keeps %s)\n", seed,
            actions, qPrintable(root.path()));
    }
    std::fflush(stdout);
    EXPECT_TRUE(problem.isEmpty()) << "seed " << seed << ": " << problem.toStdString();
}

} // namespace
