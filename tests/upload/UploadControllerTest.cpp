// The upload controller on its own: the sign-in's answer opens the selection
// window in upload mode, the chosen rows leave it as an UploadSelection with
// the sign-in's key, and the upload window it opens posts them to a local
// server.
#include "../app/AppTestSupport.h"
#include "TestHttpServer.h"

#include "base/NotificationCenter.h"
#include "base/SettingsKeys.h"
#include "controls/BackupDlg.h"
#include "export/UploadController.h"
#include "upload/EditUploadDlg.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace uploadtest;

namespace
{

TEST(UploadControllerTest, TheSelectionReachesTheUploadWindowWithTheSignInsKey)
{
    QTemporaryDir dir;
    TestHttpServer server;
    ASSERT_TRUE(server.isListening());
    pmSetStringSetting(SettingsKeys::socialNetworkVideoUrl.key(), server.base());
    server.handler = [](const HttpRequest&) -> std::optional<QByteArray> {
        return httpResponse(200, R"({"id":"7"})", "application/json");
    };
    QList<AMediaFile> playlist;
    for (const char* name : {"A.MP4", "B.MP4", "C.MP4"}) {
        ASSERT_TRUE(apptest::writeFile(dir.filePath(QLatin1String(name)), QByteArray(900, name[0])));
        playlist << AMediaFile::mediaFileWithNativePath(QFile::encodeName(dir.filePath(QLatin1String(name))),
                                                        QDateTime::currentDateTime());
    }
    int pauses = 0;
    bool backupOpen = false;
    UploadController upload;
    UploadController::Hooks hooks;
    hooks.playlist = [&] { return playlist; };
    hooks.pausePlayback = [&] { ++pauses; };
    hooks.otherSelectionOpen = [&] { return backupOpen; };
    upload.setHooks(hooks);
    apptest::DialogRecorder dialogs;

    // The backup's window is open: nothing. Then no internet (as in every test): the message only.
    backupOpen = true;
    upload.doVideoUpload(1);
    EXPECT_TRUE(dialogs.requests.empty());
    backupOpen = false;
    upload.doVideoUpload(1);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].text, pmLoadString(QStringLiteral("IDS_ERR_NO_INTERNET")));
    EXPECT_EQ(upload.loginDialog(), nullptr);
    EXPECT_EQ(pauses, 0);

    // A sign-in without the right: nothing opens.
    upload.onSignInFinished(false, QString(), QString());
    EXPECT_EQ(upload.selectionDialog(), nullptr);
    EXPECT_EQ(upload.uploadDialog(), nullptr);

    // Signed in: the selection window for upload.
    upload.onSignInFinished(true, QStringLiteral("tok-42"), QString());
    BackupDlg* select = upload.selectionDialog();
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->windowTitle(), pmLoadString(QStringLiteral("IDS_UPLOAD_FACEBOOK")));
    EXPECT_EQ(select->nMaxSelFileCount(), 10);
    EXPECT_FALSE(select->evidenceCheckBox()->isVisible());
    EXPECT_TRUE(upload.isBusy());
    for (int row : {2, 0})
        select->tableView()->selectionModel()->select(select->tableView()->model()->index(row, 0),
                                                      QItemSelectionModel::Select |
                                                          QItemSelectionModel::Rows);
    QSignalSpy chosen(&upload, &UploadController::selectionChosen);
    QTest::mouseClick(select->okButton(), Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 1);
    const auto selection = chosen.at(0).at(0).value<UploadSelection>();
    EXPECT_EQ(selection.rows, (QList<int>{0, 2}));
    EXPECT_EQ(selection.website, 1);
    EXPECT_EQ(selection.fbKey, QStringLiteral("tok-42"));

    // The upload window over those rows sends them with the key, in playlist order.
    EditUploadDlg* window = upload.uploadDialog();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->count(), 2);
    QTest::mouseClick(window->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.requests.size() == 2; }, 30000));
    EXPECT_EQ(dialogs.requests[1].text, pmLoadString(QStringLiteral("IDS_UPLOAD_VIDEO_OK")));
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_EQ(server.requests[0].param("title"), QStringLiteral("A.MP4"));
    EXPECT_EQ(server.requests[1].param("title"), QStringLiteral("C.MP4"));
    for (const HttpRequest& r : server.requests)
        EXPECT_EQ(r.param("access_token"), QStringLiteral("tok-42"));
    QSettings().remove(SettingsKeys::socialNetworkVideoUrl.key());
}

} // namespace
