// The running window in English, in Japanese and mirrored for the
// right-to-left language, and Qt's own file and print dialogs in Japanese
// (run under xvfb-run). The pictures go to <build>/lang_screenshots/ for a
// person to look at; the test checks what a machine can: every text of the
// window comes from the table in force and has glyphs in the window's font,
// the mirrored frames, and the dialogs' own texts in Japanese.
#include "LibraryBuild.h"
#include "app/AppDelegate.h"
#include "app/LanguageSwitch.h"
#include "app/MainWindow.h"
#include "app/WindowController.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/ToolbarView.h"
#include "views/GSensorView.h"
#include "views/MapView.h"
#include "views/VideoPlayerView.h"

#include "MediaGen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

namespace
{

const bool kUseX11 = [] {
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

QString shotDir()
{
    return QStringLiteral(ROVIX_BINARY_DIR "/lang_screenshots");
}

QImage grabWindow(QWidget* w, int settleMs = 500)
{
    QTest::qWait(settleMs);
    QApplication::processEvents();
    return w->screen()->grabWindow(w->winId()).toImage();
}

void save(const QImage& image, const char* name)
{
    const QString path = QStringLiteral("%1/%2.png").arg(shotDir(), QLatin1String(name));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

QString textOf(const char* table, const QString& id)
{
    QTranslator tr;
    EXPECT_TRUE(tr.load(QStringLiteral(":/i18n/%1.qm").arg(QLatin1String(table))));
    return tr.translate(nullptr, id.toUtf8().constData());
}

// The identifiers whose texts the main window shows.
QStringList windowTextIds()
{
    QStringList ids{"IDR_MAINFRAME",
                    "IDS_CALENDAR",
                    "IDS_ALL",
                    "IDS_EVENT",
                    "IDS_NORMAL",
                    "IDS_PARKING",
                    "IDS_OPEN",
                    "IDS_SETTINGS",
                    "IDS_PLAY",
                    "IDS_PAUSE",
                    "IDS_FULL_SCREEN",
                    "IDS_NORMAL_SCREEN",
                    "IDS_CHANGE_SPEED_UNIT",
                    "IDS_PRE_VIDEO",
                    "IDS_NEXT_VIDEO",
                    "IDS_CHANGE_SKIN",
                    "IDS_LANGUAGE",
                    "IDS_SPEED_UNIT",
                    "IDS_ABOUT"};
    for (int i = 1; i <= 7; ++i)
        ids << QStringLiteral("IDS_WEEK_%1").arg(i);
    return ids;
}

class LanguageScreenshotTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qEnvironmentVariableIsSet("DISPLAY"))
            return;
        s_dir = new QTemporaryDir();
        ASSERT_TRUE(s_dir->isValid());
        std::string error;
        ASSERT_TRUE(mediagen::makeDemoCard(s_dir->filePath("card").toStdString(), &error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        if (!kUseX11 || !qEnvironmentVariableIsSet("DISPLAY"))
            GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        QSettings().clear();
        qputenv("ROVIX_INTERNET", "on");
        pmSetStringSetting(SettingsKeys::mapPageUrl.key(), QStringLiteral("qrc:/map/map.html?tiles=none"));
        // As the application does: a face with Japanese glyphs.
        const QString family = QStringLiteral("Noto Sans CJK JP");
        ASSERT_TRUE(QFontDatabase::families().contains(family)) << "fonts-noto-cjk is not installed";
        QFont font = QApplication::font();
        font.setFamily(family);
        QApplication::setFont(font);
        QDir().mkpath(shotDir());
    }
    void TearDown() override
    {
        qputenv("ROVIX_INTERNET", "off");
        QSettings().clear();
        pmInstallStringTables();
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* LanguageScreenshotTest::s_dir = nullptr;

TEST_F(LanguageScreenshotTest, EnglishJapaneseAndMirroredWindows)
{
    AppDelegate d;
    d.languageSwitch()->choose(0);
    pmSetCurrentFolder(s_dir->filePath("card"));
    d.launch();
    ASSERT_TRUE(librarytest::waitForLibrary(d));
    MainWindow* w = d.window();
    w->setGeometry(40, 40, 1280, 800);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(1200);
    ASSERT_FALSE(d.playlist().isEmpty());
    d.dblClickFile(0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return d.videoPlayView() && d.videoPlayView()->getPlayerStatus() == 1 && !d.isVideoLoading(); },
        20000));
    QTest::qWait(2000);
    d.playBar()->onPlayButtonPressed();
    QTest::qWait(300);

    const QFontMetrics metrics(QApplication::font());
    struct Case {
        int id;
        const char* table;
        const char* shot;
    };
    for (const Case& c : {Case{0, "English", "1_english"}, Case{19, "Japanese", "2_japanese"},
                          Case{13, "English", "3_mirrored_right_to_left"}}) {
        SCOPED_TRACE(c.shot);
        d.languageSwitch()->choose(c.id);
        const QImage shot = grabWindow(w, 900); // the direction's relayout comes after 0.5 s
        save(shot, c.shot);
        ASSERT_EQ(shot.size(), w->size());
        // Every text of the window is the table's, and the font draws it.
        for (const QString& id : windowTextIds()) {
            const QString text = pmLoadString(id);
            EXPECT_EQ(text, textOf(c.table, id)) << id.toStdString();
            for (const QChar ch : text)
                EXPECT_TRUE(metrics.inFont(ch)) << id.toStdString() << " has a character without a glyph";
        }
        EXPECT_EQ(d.fileList()->eventCheckBox()->title(), textOf(c.table, "IDS_EVENT"));
        EXPECT_TRUE(d.toolbar()->oBrowseBtn()->toolTip().contains(textOf(c.table, "IDS_OPEN")));
        for (QWidget* child : w->findChildren<QWidget*>())
            EXPECT_FALSE(child->toolTip().startsWith("IDS_")) << child->objectName().toStdString();
        // The arrangement: file list and calendar on the right, or mirrored to the left.
        const bool mirrored = c.id == 13;
        EXPECT_EQ(d.windows()->rightToLeft(), mirrored);
        const int fw = d.fileList()->width();
        EXPECT_EQ(d.fileList()->geometry().x(), mirrored ? 0 : w->contentView()->width() - fw);
        EXPECT_EQ(d.calendar()->geometry().x(), mirrored ? 0 : w->contentView()->width() - fw);
        EXPECT_EQ(d.playBar()->geometry().x(), mirrored ? fw : 0);
        EXPECT_EQ(w->playerView()->geometry().x(), mirrored ? fw : 0);
        EXPECT_EQ(d.mapView()->geometry().x(), mirrored ? fw + d.gsensorView()->width() : 0);
    }
    d.languageSwitch()->choose(19);
    // The settings menu open on its language submenu, in Japanese.
    d.toolbar()->onSettingButtonPressed();
    QMenu* settings = d.toolbar()->settingsMenu();
    ASSERT_TRUE(settings);
    QTest::qWait(300);
    QMenu* languages = settings->findChild<QMenu*>("languageMenu");
    ASSERT_TRUE(languages);
    settings->setActiveAction(languages->menuAction());
    languages->popup(settings->geometry().topRight());
    save(grabWindow(w, 400).copy(), "4_settings_menu_japanese");
    const QRect menus = settings->geometry().united(languages->geometry());
    save(w->screen()->grabWindow(0, menus.x(), menus.y(), menus.width(), menus.height()).toImage(),
         "4_settings_menu_japanese_menus");
    languages->close();
    settings->close();
    d.applicationWillTerminate();
}

TEST_F(LanguageScreenshotTest, QtFileAndPrintDialogsInJapanese)
{
    AppDelegate::saveLanguageId(19);
    pmInstallStringTables();
    ASSERT_TRUE(pmQtDialogsTranslated()) << "Qt's translations (qt6-translations-l10n) are not installed in "
                                         << pmQtTranslationsFolder().toStdString();

    QFileDialog files(nullptr, pmLoadString("IDS_OPEN"), s_dir->path());
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.resize(760, 460);
    files.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&files));
    save(grabWindow(&files), "5_file_dialog_japanese");
    QStringList labels;
    for (QLabel* l : files.findChildren<QLabel*>())
        labels << l->text();
    for (const char* english : {"Look in:", "File &name:", "Files of type:"}) {
        const QString japanese = QCoreApplication::translate("QFileDialog", english);
        EXPECT_NE(japanese, QLatin1String(english));
        EXPECT_TRUE(labels.contains(japanese)) << english << " not shown as " << japanese.toStdString();
        EXPECT_FALSE(labels.contains(QLatin1String(english))) << english;
    }
    files.close();

    QPrinter printer;
    QPrintDialog print(&printer);
    print.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&print));
    save(grabWindow(&print), "6_print_dialog_japanese");
    QStringList buttons;
    for (QAbstractButton* b : print.findChildren<QAbstractButton*>())
        buttons << b->text();
    const QString options = QCoreApplication::translate("QPrintDialog", "&Options >>");
    EXPECT_NE(options, "&Options >>");
    EXPECT_TRUE(buttons.contains(options)) << buttons.join('|').toStdString();
    EXPECT_FALSE(buttons.contains("&Options >>"));
    print.close();

    // Back in English, the same dialog speaks English again without a restart.
    AppDelegate::saveLanguageId(0);
    pmInstallStringTables();
    QFileDialog english(nullptr, QString(), s_dir->path());
    english.setOption(QFileDialog::DontUseNativeDialog);
    QStringList englishLabels;
    for (QLabel* l : english.findChildren<QLabel*>())
        englishLabels << l->text();
    EXPECT_TRUE(englishLabels.contains("Look in:"));
}

} // namespace
