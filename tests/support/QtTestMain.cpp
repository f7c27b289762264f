// gtest entry point for tests that need a QApplication. Widgets run on the
// offscreen platform unless the environment chooses another (xvfb-run tests).
#include <QApplication>
#include <QCoreApplication>
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("RovixManagerTests");
    QCoreApplication::setApplicationName("RovixManagerTests");
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
