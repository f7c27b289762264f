// How an upload run ends, seen as the user sees it: the upload window opened
// by the controller over its main window posts to a local server, the result
// appears in the real message box, and its OK button is clicked for real.
// Each ending (a 2xx answer, a refusal, a redirect, a reset connection, a
// certificate that is not trusted, a server that takes the body and never
// answers) must leave the application running and in the right state.
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"
#include "TestHttpServer.h"
#include "export/UploadController.h"

#include "base/SettingsKeys.h"
#include "controls/StandardDialogs.h"
#include "upload/EditUploadDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace uploadtest;

namespace
{
QMessageBox* visibleMessageBox()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->objectName() == QLatin1String("pmMessageBox") && box->isVisible())
            return box;
    }
    return nullptr;
}

// Clicks OK on each message box as soon as it shows, also while a box runs
// an event loop of its own, and keeps the texts.
struct BoxClicker {
    QTimer poll;
    QStringList texts;
    BoxClicker()
    {
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QMessageBox* box = visibleMessageBox();
            if (!box || box->property("clicked").toBool() || box->buttons().isEmpty())
                return;
            box->setProperty("clicked", true);
            texts << box->text();
            QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
        });
        poll.start();
    }
};

// The alert as it once was: it waits for its button in a loop of its own,
// inside whatever handler asked for it.
int blockingMessageBox(const DialogRequest& request)
{
    QMessageBox box(pmDialogParent());
    box.setObjectName(QStringLiteral("pmMessageBox"));
    box.setText(request.text);
    box.addButton(pmLoadString(QStringLiteral("IDS_OK")), QMessageBox::AcceptRole);
    box.exec();
    return 1;
}

QString text(const char* id)
{
    return pmLoadString(QLatin1String(id));
}
} // namespace

TEST(UploadEnding, EveryEndingIsAnsweredThroughTheRealMessageBox)
{
    QTemporaryDir card;
    const QString path = card.filePath(QStringLiteral("FILE210315-081000_M.MP4"));
    ASSERT_TRUE(apptest::writeFile(path, QByteArray(575 * 1024, 'v')));
    TestHttpServer plain;
    ASSERT_TRUE(plain.isListening());
    const std::optional<TestTls> tls = makeTestTls();
    std::unique_ptr<TestHttpServer> secure;
    if (tls)
        secure = std::make_unique<TestHttpServer>(tls->server);

    playtest::Controller c(QStringList{path});
    ASSERT_EQ(c->playlist().size(), 1);
    c->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c->window()));

    struct Ending {
        const char* name;
        TestHttpServer* server;
        QByteArray answer; // empty: no answer at all
        const char* message;
    };
    const QByteArray redirect = httpResponse(302, "", "text/html", "Location: http://127.0.0.1:1/\r\n");
    std::vector<Ending> endings = {
        {"2xx", &plain, httpResponse(201, R"({"id":"1"})", "application/json"), "IDS_UPLOAD_VIDEO_OK"},
        {"500", &plain, httpResponse(500, R"({"error":{}})", "application/json"), "IDS_UPLOAD_VIDEO_FAILED"},
        {"redirect", &plain, redirect, "IDS_UPLOAD_VIDEO_FAILED"},
        {"reset", &plain, QByteArray(), "IDS_UPLOAD_VIDEO_FAILED"},
        {"quiet", &plain, QByteArray(), "IDS_UPLOAD_VIDEO_FAILED"},
    };
    if (secure)
        endings.push_back(
            {"untrusted TLS", secure.get(), httpResponse(200, "{}"), "IDS_UPLOAD_VIDEO_FAILED"});

    // The standard box, then one that runs its own loop: the upload's end must
    // not run inside the socket's handlers, whatever the box does.
    for (int blocking = 0; blocking < 2; ++blocking)
        for (const Ending& e : endings) {
            SCOPED_TRACE(e.name);
            SCOPED_TRACE(blocking ? "box with a loop of its own" : "standard box");
            if (blocking)
                pmSetDialogPresenter({&blockingMessageBox, {}, {}});
            TestHttpServer& server = *e.server;
            const QByteArray answer = e.answer;
            server.handler = [answer](const HttpRequest&) -> std::optional<QByteArray> {
                return answer.isEmpty() ? std::nullopt : std::optional<QByteArray>(answer);
            };
            server.resetConnections = QByteArray(e.name) == "reset";
            pmSetStringSetting(SettingsKeys::socialNetworkVideoUrl.key(), server.base());

            c->uploadController()->editUploadVideos({0});
            QPointer<EditUploadDlg> dlg = c->uploadController()->uploadDialog();
            ASSERT_TRUE(dlg);
            // Short only where no answer is the point; the rest must not race a busy machine.
            dlg->setRequestTimeout(QByteArray(e.name) == "quiet" ? 2000 : 60000);
            BoxClicker clicker;
            QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !clicker.texts.isEmpty(); }, 60000));
            EXPECT_EQ(clicker.texts, QStringList{text(e.message)});
            // Whatever was left to run after the box (the socket's teardown) runs now.
            QTest::qWait(300);
            EXPECT_EQ(visibleMessageBox(), nullptr);
            if (QByteArray(e.message) == "IDS_UPLOAD_VIDEO_OK") {
                EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.isNull(); }, 5000));
                continue;
            }
            // A failure leaves the window uploading until Cancel; Close then ends it.
            EXPECT_TRUE(dlg);
            if (!dlg)
                continue;
            EXPECT_TRUE(dlg->isUploading());
            QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
            EXPECT_FALSE(dlg->isUploading());
            QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.isNull(); }, 5000));
        }
    pmSetDialogPresenter({});
    QSettings().remove(SettingsKeys::socialNetworkVideoUrl.key());
}
