// gtest entry point for tests that need a QApplication. Widgets run on the
// offscreen platform unless the environment chooses another (xvfb-run tests).
//
// Every run gets a fresh home of its own (settings, Documents, Movies), so no
// test reads or writes the real user's settings and runs never see each
// other's leftovers; it is removed at exit. The internet counts as
// unreachable unless a test says otherwise.
#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    if (qEnvironmentVariableIsEmpty("ROVIX_INTERNET"))
        qputenv("ROVIX_INTERNET", "off");
    // Without a session bus address, D-Bus clients (Qt's accessibility bridge
    // on X11, among others) "autolaunch" a bus by forking from a thread of a
    // multi-threaded process; under the sanitizers that child can hang on a
    // lock copied mid-use. Point them at a bus that does not exist instead.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/rovix-test-session-bus");

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/rovix-test-home-XXXXXX"));
    if (home.isValid()) {
        const QByteArray root = QFile::encodeName(home.path());
        qputenv("HOME", root);
        qputenv("XDG_CONFIG_HOME", root + "/.config");
        qputenv("XDG_DATA_HOME", root + "/.local/share");
        qputenv("XDG_CACHE_HOME", root + "/.cache");
        QDir(home.path()).mkpath(QStringLiteral("Documents"));
        // Qt insists on a private runtime folder; give it one instead of a warning.
        const QString runtime = home.filePath(QStringLiteral("run"));
        if (QDir().mkpath(runtime) &&
            QFile::setPermissions(runtime,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("RovixManagerTests");
    QCoreApplication::setApplicationName("RovixManagerTests");
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
