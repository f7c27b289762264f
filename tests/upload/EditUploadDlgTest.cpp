// The upload window against a local server: titles and descriptions edited
// over the scroller, recordings posted one after another in playlist order
// with their exact bodies, a refusal, Cancel in the middle of a run, a quiet
// server after the whole body, a recording deleted after it was chosen, and
// the window closed while a request runs.
#include "../app/AppTestSupport.h"
#include "../playback/PlaybackTestSupport.h"
#include "TestHttpServer.h"
#include "export/UploadController.h"

#include "base/SettingsKeys.h"
#include "upload/EditUploadDlg.h"
#include "upload/LoginDlg.h"
#include "upload/UploadRequest.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace uploadtest;

namespace
{
const char* const kToken = "EAAsecretToken123";

class EditUploadDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.isListening());
        pmSetStringSetting(SettingsKeys::socialNetworkVideoUrl.key(), server.base());
        server.handler = [](const HttpRequest&) -> std::optional<QByteArray> {
            return httpResponse(200, R"({"id":"10153"})", "application/json");
        };
    }
    void TearDown() override { QSettings().remove(SettingsKeys::socialNetworkVideoUrl.key()); }

    // Recordings of distinct contents, listed in this order in the playlist.
    QList<AMediaFile> makePlaylist(const QStringList& names)
    {
        QList<AMediaFile> list;
        for (int i = 0; i < names.size(); ++i) {
            const QString path = dir.filePath(names[i]);
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1000 + 700 * i, char('a' + i)));
            f.close();
            contents.append(QByteArray(1000 + 700 * i, char('a' + i)));
            list.append(
                AMediaFile::mediaFileWithNativePath(QFile::encodeName(path), QDateTime::currentDateTime()));
        }
        return list;
    }

    std::unique_ptr<EditUploadDlg> makeDialog(const QList<AMediaFile>& playlist, const QList<int>& chosen)
    {
        auto dlg = std::make_unique<EditUploadDlg>(playlist);
        dlg->setSelectedFileIndexSet(chosen);
        dlg->setVideoWebsite(1);
        dlg->setFBKey(QLatin1String(kToken));
        dlg->show();
        return dlg;
    }

    int messages(const char* id) const
    {
        int n = 0;
        for (const DialogRequest& r : dialogs.requests)
            n += r.text == pmLoadString(QLatin1String(id));
        return n;
    }

    static QByteArray body(const QString& name, const QByteArray& type, const QByteArray& content)
    {
        return "\r\n------------V2ymHFg03ehbqgZCaKO6jy\r\nContent-Disposition: form-data; "
               "name=\"upload_field\"; "
               "filename=\"" +
               name.toUtf8() + "\"\r\nContent-Type: video/" + type + "\r\n\r\n" + content +
               "\r\n------------V2ymHFg03ehbqgZCaKO6jy--\r\n";
    }

    QTemporaryDir dir;
    TestHttpServer server;
    apptest::DialogRecorder dialogs;
    QList<QByteArray> contents;
};
} // namespace

TEST_F(EditUploadDlgTest, TitlesAndDescriptionsSurviveScrolling)
{
    const QList<AMediaFile> playlist = makePlaylist({"A.MP4", "B.MP4", "C.MP4"});
    {
        auto two = makeDialog(playlist, {0, 2});
        EXPECT_EQ(two->scroller(), nullptr);
        EXPECT_TRUE(two->editTitle(1)->isVisible());
        EXPECT_EQ(two->editTitle(1)->text(), QStringLiteral("C.MP4"));
    }
    auto dlg = makeDialog(playlist, {2, 0, 1});
    QScrollBar* bar = dlg->scroller();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(dlg->uploadButton()->isDefault());
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->editTitle(0)->hasFocus(); }, 5000));
    EXPECT_EQ(dlg->fileNameValue(0)->text(), QStringLiteral("A.MP4"));
    EXPECT_EQ(dlg->editTitle(1)->text(), QStringLiteral("B.MP4"));

    dlg->editTitle(0)->setText(QStringLiteral("first"));
    dlg->editDescription(1)->setPlainText(QStringLiteral("second's note"));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dlg->scrollPos(), 1);
    EXPECT_EQ(dlg->editTitle(0)->text(), QStringLiteral("B.MP4"));
    EXPECT_EQ(dlg->editDescription(0)->toPlainText(), QStringLiteral("second's note"));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dlg->scrollPos(), 2);
    EXPECT_FALSE(dlg->editTitle(1)->isVisible());
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dlg->scrollPos(), 2);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(dlg->scrollPos(), 0);
    EXPECT_EQ(dlg->editTitle(0)->text(), QStringLiteral("first"));
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(dlg->scrollPos(), 2);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setSliderPosition(EditUploadDlg::kScrollScale * 6 / 10); // less than a step back: no move yet
    EXPECT_EQ(dlg->scrollPos(), 2);
    bar->setSliderPosition(0);
    EXPECT_EQ(dlg->scrollPos(), 0);

    EXPECT_EQ(dlg->getTitlelist(0), QStringLiteral("first"));
    EXPECT_EQ(dlg->getDirectionslist(1), QStringLiteral("second's note"));
}

TEST_F(EditUploadDlgTest, UploadsInPlaylistOrderWithExactBodiesAndNoTokenInTheLog)
{
    apptest::LogToDocuments log;
    const QList<AMediaFile> playlist = makePlaylist({"REC_A.MP4", "REC_B.avi", "REC_C.MOV", "REC_D.MP4"});
    auto dlg = makeDialog(playlist, {3, 1, 0});
    dlg->editTitle(0)->setText(QStringLiteral("a&b=c#d+e %"));
    dlg->editDescription(0)->setPlainText(QStringLiteral("夜の道\n2 lines"));
    // Return in a title field presses Upload.
    QTest::keyClick(dlg->editTitle(0), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_OK"), 1);

    ASSERT_EQ(server.requests.size(), 3);
    const HttpRequest& first = server.requests[0];
    EXPECT_EQ(first.paramCount(), 3);
    EXPECT_EQ(first.param("title"), QStringLiteral("a&b=c#d+e %"));
    EXPECT_EQ(first.param("description"), QStringLiteral("夜の道\n2 lines"));
    EXPECT_EQ(first.param("access_token"), QLatin1String(kToken));
    EXPECT_EQ(first.body, body(QStringLiteral("REC_A.MP4"), "mov", contents[0]));
    EXPECT_EQ(server.requests[1].param("title"), QStringLiteral("REC_B.avi"));
    EXPECT_EQ(server.requests[1].body, body(QStringLiteral("REC_B.avi"), "avi", contents[1]));
    EXPECT_EQ(server.requests[2].body, body(QStringLiteral("REC_D.MP4"), "mov", contents[3]));

    const QStringList lines = apptest::logMessages();
    const QString all = lines.join(QLatin1Char('\n'));
    EXPECT_FALSE(all.contains(QLatin1String(kToken))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("access_token=") + QLatin1String(SocialUpload::kTokenMark)));
    EXPECT_TRUE(lines.contains(QStringLiteral("EditUploadDlg connection Upload percent = 100")));
}

TEST_F(EditUploadDlgTest, RefusedUploadStopsTheRunWithTheAnswerInTheLog)
{
    apptest::LogToDocuments log;
    server.handler = [](const HttpRequest&) -> std::optional<QByteArray> {
        return httpResponse(400, R"({"error":{"message":"(#100) Invalid video"}})", "application/json");
    };
    auto dlg = makeDialog(makePlaylist({"A.MP4", "B.MP4"}), {0, 1});
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_FAILED"), 1);
    QTest::qWait(200);
    EXPECT_EQ(server.requests.size(), 1); // the second is not sent
    EXPECT_TRUE(dlg->isUploading());
    EXPECT_FALSE(dlg->uploadButton()->isEnabled());
    bool logged = false;
    for (const QString& line : apptest::logMessages())
        logged |= line.startsWith(QLatin1String("EditUploadDlg connection error code = 400")) &&
                  line.contains(QLatin1String("(#100) Invalid video"));
    EXPECT_TRUE(logged);
    // Cancel returns to editing.
    QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isUploading());
    EXPECT_TRUE(dlg->uploadButton()->isEnabled());
    EXPECT_TRUE(dlg->editTitle(0)->isEnabled());
    EXPECT_EQ(dlg->cancelButton()->text(), pmLoadString(QStringLiteral("IDS_CLOSE")));
}

TEST_F(EditUploadDlgTest, CancelDuringTheSecondOfThreeThenUploadStartsOver)
{
    bool holdSecond = true;
    server.handler = [&](const HttpRequest&) -> std::optional<QByteArray> {
        if (holdSecond && server.requests.size() == 2)
            return std::nullopt;
        return httpResponse(200, R"({"id":"1"})", "application/json");
    };
    auto dlg = makeDialog(makePlaylist({"A.MP4", "B.MP4", "C.MP4"}), {0, 1, 2});
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->cancelButton()->text(), pmLoadString(QStringLiteral("IDS_CANCEL")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 2; }, 30000));
    EXPECT_EQ(dlg->uploadCount(), 2);
    QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isUploading());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->uploadButton()->isEnabled());
    EXPECT_EQ(dlg->progressIndicator()->value(), 0);
    // The request in flight is dropped: its connection closes, nothing follows.
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.openConnections == 0; }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(server.requests.size(), 2);
    EXPECT_TRUE(dialogs.requests.empty());

    holdSecond = false;
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_OK"), 1);
    ASSERT_EQ(server.requests.size(), 5);
    EXPECT_EQ(server.requests[2].param("title"), QStringLiteral("A.MP4"));
    EXPECT_EQ(server.requests[4].param("title"), QStringLiteral("C.MP4"));
}

TEST_F(EditUploadDlgTest, QuietServerAfterTheWholeBodyIsAFailureAndSoIsADeletedRecording)
{
    apptest::LogToDocuments log;
    // The whole body is taken, then no answer comes: not uploaded.
    server.handler = [](const HttpRequest&) -> std::optional<QByteArray> { return std::nullopt; };
    const QList<AMediaFile> playlist = makePlaylist({"A.MP4", "B.MP4"});
    auto dlg = makeDialog(playlist, {0, 1});
    dlg->setRequestTimeout(2000);
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    EXPECT_EQ(server.requests.size(), 1);
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_FAILED"), 1);
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_OK"), 0);
    EXPECT_EQ(
        apptest::logMessages().filter(QStringLiteral("EditUploadDlg connection error code = -1001")).size(),
        1);
    QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);

    // The second recording is gone by the time its turn comes.
    server.handler = [](const HttpRequest&) -> std::optional<QByteArray> {
        return httpResponse(200, R"({"id":"1"})", "application/json");
    };
    dialogs.requests.clear();
    dlg->setRequestTimeout(60000);
    ASSERT_TRUE(QFile::remove(playlist[1].path()));
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    EXPECT_EQ(server.requests.size(), 2);
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_FAILED"), 1);
    EXPECT_EQ(
        apptest::logMessages().filter(QStringLiteral("EditUploadDlg::facebookUpload - cannot read")).size(),
        1);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(EditUploadDlgTest, ClosingTheWindowStopsTheRequestAndAnEmptyChoiceFinishesAtOnce)
{
    server.handler = [](const HttpRequest&) -> std::optional<QByteArray> { return std::nullopt; };
    auto dlg = makeDialog(makePlaylist({"A.MP4"}), {0});
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 1; }, 30000));
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->request(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.openConnections == 0; }, 10000));
    QTest::qWait(200);
    EXPECT_TRUE(dialogs.requests.empty());

    auto empty = makeDialog(QList<AMediaFile>(), {});
    EXPECT_FALSE(empty->editTitle(0)->isVisible());
    QTest::mouseClick(empty->uploadButton(), Qt::LeftButton);
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_OK"), 1);
    EXPECT_FALSE(empty->isVisible());
}

TEST_F(EditUploadDlgTest, EscapeCancelsARunningUploadAndThenClosesTheWindow)
{
    server.handler = [](const HttpRequest&) -> std::optional<QByteArray> { return std::nullopt; };
    auto dlg = makeDialog(makePlaylist({"A.MP4"}), {0});
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 1; }, 30000));
    // Typed into the description, as a user would.
    QTest::keyClick(dlg->editDescription(0), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isUploading());
    EXPECT_EQ(dlg->request(), nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->uploadButton()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.openConnections == 0; }, 10000));
    QTest::keyClick(dlg->editTitle(0), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dialogs.requests.empty());
}

TEST_F(EditUploadDlgTest, SignInNeedsAPlaylistAndTheInternet)
{
    // (The tests' internet counts as unreachable.)
    playtest::Controller none(QStringList{});
    none->doVideoUpload(1);
    EXPECT_TRUE(dialogs.requests.empty());
    const QList<AMediaFile> playlist = makePlaylist({"FILE210315-081000_M.MP4"});
    playtest::Controller c(QStringList{playlist[0].path()});
    ASSERT_EQ(c->playlist().size(), 1);
    c->onButtonUploadFacebook();
    EXPECT_EQ(messages("IDS_ERR_NO_INTERNET"), 1);
    EXPECT_EQ(c->uploadController()->loginDialog(), nullptr);
}

TEST_F(EditUploadDlgTest, AnAnswerSplitAcrossReadsIsLoggedOnceMaskedAndNeverPrinted)
{
    apptest::LogToDocuments log;
    // The service echoes the token, and its answer arrives in two reads that cut the token in two.
    const QByteArray answer = httpResponse(200,
                                           R"({"id":"1","echo":"access token )" + QByteArray(kToken) +
                                               R"("})" + QByteArray(3 * 1024 * 1024, ' '),
                                           "application/json");
    server.splitAt = answer.indexOf(kToken) + 7;
    server.handler = [&](const HttpRequest&) -> std::optional<QByteArray> { return answer; };
    static QStringList console;
    console.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { console << text; });
    auto dlg = makeDialog(makePlaylist({"A.MP4"}), {0});
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    const bool ended = QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(ended);
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_OK"), 1);

    const QString printed = console.join(QLatin1Char('\n'));
    EXPECT_FALSE(printed.contains(QLatin1String("echo"))) << printed.toStdString();
    const QStringList data = apptest::logMessages().filter(QStringLiteral("EditUploadDlg::didReceiveData"));
    ASSERT_EQ(data.size(), 1);
    EXPECT_TRUE(data[0].contains(QLatin1String("\"echo\":\"access token ********\"")));
    const QByteArray token(kToken);
    EXPECT_FALSE(data[0].contains(QLatin1String(token.left(7))) ||
                 data[0].contains(QLatin1String(token.mid(7))));
    EXPECT_LT(data[0].size(), 4096 + 200);
}

TEST_F(EditUploadDlgTest, ARecordingWhoseNameIsNotUtf8IsUploaded)
{
    const QByteArray native = QFile::encodeName(dir.path()) + "/REC_\xff\xfe_0001.MP4";
    const QByteArray content(40000, 'n');
    {
        QFile f;
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        ASSERT_EQ(f.write(content), content.size());
    }
    const QList<AMediaFile> playlist{
        AMediaFile::mediaFileWithNativePath(native, QDateTime::currentDateTime())};
    ASSERT_FALSE(QFile::exists(playlist[0].path())); // the name does not survive a QString
    auto dlg = makeDialog(playlist, {0});
    QTest::mouseClick(dlg->uploadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.empty(); }, 30000));
    EXPECT_EQ(messages("IDS_UPLOAD_VIDEO_OK"), 1);
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].body, body(playlist[0].localizedName(), "mov", content));
}

TEST_F(EditUploadDlgTest, AnOverlongTitleIsCutAtACharacterAndTheWindowSaysSo)
{
    auto dlg = makeDialog(makePlaylist({"A.MP4"}), {0});
    const QString emoji = QStringLiteral("\U0001F697");
    const QString keep(EditUploadDlg::kMaxTitleLength - 1, QLatin1Char('t'));
    // Pasted, as a user would: the emoji straddles the limit.
    dlg->editTitle(0)->clear();
    QApplication::clipboard()->setText(keep + emoji + QString(100000, QLatin1Char('x')));
    dlg->editTitle(0)->setFocus();
    dlg->editTitle(0)->paste();
    EXPECT_EQ(dlg->editTitle(0)->text(), keep);
    EXPECT_TRUE(dlg->titleNote(0)->isVisible());
    EXPECT_TRUE(dlg->titleNote(0)->text().contains(QString::number(EditUploadDlg::kMaxTitleLength)));
    // Typing inside the limit is untouched.
    dlg->editTitle(0)->setText(QStringLiteral("short ") + emoji);
    EXPECT_EQ(dlg->editTitle(0)->text(), QStringLiteral("short ") + emoji);
}
