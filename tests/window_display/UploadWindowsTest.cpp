// Leaving the sign-in and upload windows by Cancel and Escape, and the
// video-site button without a browser, on the running window.
#include "WindowTestSupport.h"
#include "controls/BitmapButton.h"
#include "controls/ToolbarView.h"
#include "export/UploadController.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

using namespace windowtest;

namespace
{

class UploadWindows : public DemoCardWindow
{
};

TEST_F(UploadWindows, TheSignInAndUploadWindowsCanBeLeftByCancelAndEscape)
{
    auto d = launch();
    // No sign-in page answers here: the window stays on an empty page.
    pmSetStringSetting(SettingsKeys::socialNetworkWebUrl.key(), QStringLiteral("http://127.0.0.1:9"));
    QList<bool> results; // signed in, per answer

    // Cancel, then Escape with the page focused.
    for (int round = 0; round < 2; ++round) {
        d->onButtonUploadFacebook();
        QPointer<LoginDlg> login = d->uploadController()->loginDialog();
        ASSERT_TRUE(login);
        QObject::connect(login, &LoginDlg::signInFinished,
                         [&](bool signedIn, const QString&, const QString&) { results.append(signedIn); });
        ASSERT_TRUE(QTest::qWaitForWindowExposed(login));
        QTest::qWait(800);
        auto* cancel = login->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        ASSERT_TRUE(cancel);
        if (round == 0) {
            saveShot(screenShot().copy(login->frameGeometry().adjusted(-4, -4, 4, 4)),
                     QStringLiteral("upload-signin"));
            EXPECT_TRUE(cancel->isVisible());
            if (cancel->isVisible())
                QTest::mouseClick(cancel, Qt::LeftButton);
        } else {
            login->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(login));
            QTest::keyClick(login->windowHandle(), Qt::Key_Escape);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return login.isNull() || !login->isVisible(); }, 3000))
            << "round " << round;
        ASSERT_EQ(results.size(), round + 1);
        EXPECT_FALSE(results.last());
        if (login)
            login->close();
        QTest::qWait(200);
    }

    // The upload window: its Cancel (Close) button and Escape both leave it.
    auto* edit = new EditUploadDlg(d->playlist(), d->window());
    edit->setAttribute(Qt::WA_DeleteOnClose);
    edit->setSelectedFileIndexSet({0, 1});
    QPointer<EditUploadDlg> guard(edit);
    edit->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(edit));
    edit->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(edit));
    EXPECT_TRUE(edit->cancelButton()->isVisible());
    saveShot(edit->grab().toImage(), QStringLiteral("upload-window"));
    QTest::keyClick(edit->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull() || !guard->isVisible(); }, 3000));
    QSettings().remove(SettingsKeys::socialNetworkWebUrl.key());
    d->applicationWillTerminate();
}

TEST_F(UploadWindows, WithoutABrowserTheVideoSiteAddressIsShownToCopy)
{
    auto d = launch();
    // Nothing can open a web page: no launcher on the path, no BROWSER.
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    const QByteArray browser = qgetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(empty.path()));
    qunsetenv("BROWSER");
    const QString address = QStringLiteral("http://127.0.0.1:8123/videos");
    pmSetStringSetting(SettingsKeys::videoSiteHomeUrl.key(), address);

    QTest::mouseClick(d->toolbar()->oUploadYouTubeBtn(), Qt::LeftButton);
    QMessageBox* box = nullptr;
    (void)QTest::qWaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        },
        3000);
    QTest::qWait(300);
    saveShot(screenShot().copy(d->window()->frameGeometry()), QStringLiteral("upload-video-site"));
    qputenv("PATH", path);
    if (!browser.isEmpty())
        qputenv("BROWSER", browser);
    ASSERT_TRUE(box) << "the click showed nothing";
    EXPECT_TRUE(box->text().contains(address)) << box->text().toStdString();
    // The address can be selected and copied.
    QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
    box->close();
    QSettings().remove(SettingsKeys::videoSiteHomeUrl.key());
    d->applicationWillTerminate();
}
} // namespace
