// Rovix Manager: start-up of the application and its controller.
#include "app/AppDelegate.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/StandardDialogs.h"
#include "core/Log.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <unistd.h>

namespace
{
// The interface texts are Japanese: use a face that has the glyphs, at the
// size the platform chose.
void useJapaneseFont(QApplication& app)
{
    const QString family = QStringLiteral("Noto Sans CJK JP");
    if (!QFontDatabase::families().contains(family))
        return;
    QFont font = app.font();
    font.setFamily(family);
    app.setFont(font);
}

// A first run with no folder remembered can be pointed at a demo card.
void storeDemoFolderIfUnset()
{
    const QString demo = qEnvironmentVariable("ROVIX_DEMO_FOLDER");
    if (!demo.isEmpty() && !pmHasSetting(SettingsKeys::currentFolder))
        pmSetCurrentFolder(demo);
}
} // namespace

int main(int argc, char** argv)
{
    // Every standard folder (the log's, the settings') hangs off HOME.
    QString homeError;
    if (!pmEnsureHomeFolder(&homeError)) {
        std::fprintf(stderr, "rovixmanager: %s\n", qPrintable(homeError));
        return 2;
    }
    // The web map's engine refuses to start as the superuser unless its
    // sandbox is off; an ordinary user keeps the sandbox.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    // The web map and the video surfaces both render with OpenGL in one process.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Rovix"));
    QCoreApplication::setApplicationName(QStringLiteral("RovixManager"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ROVIX_VERSION));
    // libmpv refuses to start with a numeric locale other than C.
    std::setlocale(LC_NUMERIC, "C");
    useJapaneseFont(app);
    pmInstallStringTables();

    const QString documents = pmGetDocumentsFolder();
    QDir().mkpath(documents);
    pmSetLogFilePath(
        QFile::encodeName(QDir(documents).filePath(QStringLiteral("RovixManagerLog_mac.txt"))).toStdString());

    // A settings store that cannot be used would silently forget the folder
    // given below and every choice made: the user is told, and the settings
    // hold in memory until the program ends.
    const QString settingsProblem = pmSettingsStoreProblem();
    if (!settingsProblem.isEmpty())
        std::fprintf(stderr,
                     "rovixmanager: the settings cannot be kept (%s): changes hold until the program ends\n",
                     qPrintable(settingsProblem));

    storeDemoFolderIfUnset();

    // "rovixmanager FOLDER" opens that folder and remembers it, as Browse
    // does; start-up then scans it. A name that is no folder is reported and
    // the remembered folder opens instead.
    QString argumentError;
    const QString folder = AppDelegate::folderFromArguments(QCoreApplication::arguments(), &argumentError);
    if (!argumentError.isEmpty())
        std::fprintf(stderr, "rovixmanager: %s\n", qPrintable(argumentError));
    if (!folder.isEmpty())
        pmSetCurrentFolder(folder);

    pmInstallStandardDialogs(nullptr);
    AppDelegate appDelegate;
    appDelegate.launch();
    if (!settingsProblem.isEmpty()) {
        // Once the window is up (the log was restarted by the launch).
        QTimer::singleShot(0, &app, [settingsProblem] {
            pmWriteLogQ(QStringLiteral("Settings cannot be kept - %1").arg(settingsProblem));
            pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_SETTINGS_UNUSABLE")).arg(pmSettingsFileName()));
        });
    }
    return app.exec();
}
