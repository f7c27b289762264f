// The language and the speed unit changed while the window is up: every
// panel's texts, Qt's own dialog texts and the window's direction follow at
// once, with no restart; the session's language is used while nothing is
// stored; the speed unit reaches the info bar, the time stamp and the menus.
#include "../app/AppTestSupport.h"

#include "app/AppDelegate.h"
#include "app/LanguageSwitch.h"
#include "app/MainWindow.h"
#include "app/WindowController.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/CheckBox.h"
#include "controls/FileListView.h"
#include "controls/MultiButtons.h"
#include "controls/PlayControlView.h"
#include "controls/ToolbarView.h"
#include "playback/PlaybackSession.h"
#include "views/GSensorView.h"
#include "views/MapView.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

namespace
{

// Sets an environment variable for one test and restores it afterwards.
struct EnvVar {
    QByteArray name, old;
    bool had;
    EnvVar(const char* n, const QByteArray& value)
        : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n))
    {
        if (value.isNull())
            qunsetenv(n);
        else
            qputenv(n, value);
    }
    ~EnvVar()
    {
        if (had)
            qputenv(name.constData(), old);
        else
            qunsetenv(name.constData());
    }
};

QString textOf(const char* table, const char* id)
{
    QTranslator tr;
    EXPECT_TRUE(tr.load(QStringLiteral(":/i18n/%1.qm").arg(QLatin1String(table))));
    return tr.translate(nullptr, id);
}

class LanguageSwitchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        pmInstallStringTables();
        d = std::make_unique<AppDelegate>();
        d->awakeFromNib();
        d->createPanels();
        d->initialData();
        d->window()->resize(1280, 778);
        d->windowDidResize(QSizeF(1280, 800));
    }
    void TearDown() override
    {
        d.reset();
        QSettings().clear();
        pmInstallStringTables();
    }

    // Chooses an item of the settings menu as a click would.
    void chooseFromSettings(const char* submenu, const QString& item)
    {
        d->toolbar()->onSettingButtonPressed();
        QMenu* settings = d->toolbar()->settingsMenu();
        ASSERT_TRUE(settings);
        QMenu* sub = settings->findChild<QMenu*>(QLatin1String(submenu));
        ASSERT_TRUE(sub) << submenu;
        QAction* action = sub->findChild<QAction*>(item);
        ASSERT_TRUE(action) << item.toStdString();
        EXPECT_TRUE(action->isEnabled());
        action->trigger();
        settings->close();
    }

    // Every text the checks below look at, in the table `table`.
    void expectTexts(const char* table)
    {
        SCOPED_TRACE(table);
        auto t = [table](const char* id) { return textOf(table, id); };
        // Tooltips of the toolbar, the play bar and the map's buttons.
        EXPECT_TRUE(d->toolbar()->oBrowseBtn()->toolTip().contains(t("IDS_OPEN")));
        EXPECT_TRUE(d->toolbar()->oSettingBtn()->toolTip().contains(t("IDS_SETTINGS")));
        EXPECT_TRUE(d->playBar()->poPrevBtn()->toolTip().contains(t("IDS_PRE_VIDEO")));
        EXPECT_TRUE(d->playBar()->poPlayBtn()->toolTip().contains(t("IDS_PLAY")));
        EXPECT_TRUE(d->playBar()->poFullScreenBtn()->toolTip().contains(t("IDS_FULL_SCREEN")));
        EXPECT_EQ(d->mapView()->speedUnitButton()->toolTip(), t("IDS_CHANGE_SPEED_UNIT"));
        EXPECT_EQ(d->mapView()->fullMapButton()->toolTipOf(0), t("IDS_FULL_SCREEN"));
        // Calendar and file list.
        CalendarView* cal = d->calendar();
        const QString calendarTitle = cal->calendarTabButton() ? cal->calendarTabButton()->bitmapTitle()
                                                               : cal->modeButton()->bitmapTitle();
        EXPECT_TRUE(calendarTitle == t("IDS_CALENDAR") || calendarTitle == t("IDS_ALL"))
            << calendarTitle.toStdString();
        EXPECT_EQ(d->fileList()->eventCheckBox()->title(), t("IDS_EVENT"));
        EXPECT_EQ(d->fileList()->normalCheckBox()->title(), t("IDS_NORMAL"));
        // The settings menu, built afresh.
        d->toolbar()->onSettingButtonPressed();
        QMenu* settings = d->toolbar()->settingsMenu();
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->findChild<QMenu*>("languageMenu")->title(), t("IDS_LANGUAGE"));
        settings->close();
    }

    std::unique_ptr<AppDelegate> d;
};

TEST_F(LanguageSwitchTest, ChosenLanguageIsInForceAtOnceEverywhere)
{
    EnvVar language("LANGUAGE", "en");
    // Nothing stored: the session's language, English here.
    d->languageMenuItemClicked(0);
    QSettings().remove("LANGUAGE_ID");
    pmInstallStringTables(); // as at start-up
    ASSERT_EQ(pmGetLanguageId(), 0);
    expectTexts("English");
    d->mapView()->EnableMap(MapView::MapNoGps); // the map says so in words
    const QImage calendarEn = d->calendar()->grab().toImage();
    const QImage mapEn = d->mapView()->grab().toImage();
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");

    // The menu offers the languages with tables, each in its own name, the one in force checked.
    d->toolbar()->onSettingButtonPressed();
    QMenu* languages = d->toolbar()->settingsMenu()->findChild<QMenu*>("languageMenu");
    ASSERT_TRUE(languages);
    QStringList offered;
    for (QAction* a : languages->actions())
        offered << a->text() + (a->isChecked() ? "*" : "");
    EXPECT_EQ(offered, QStringList({"English*", QString::fromUtf8("日本語")}));
    d->toolbar()->settingsMenu()->close();

    chooseFromSettings("languageMenu", "languageItem19");
    EXPECT_EQ(QSettings().value("LANGUAGE_ID").toInt(), 19);
    EXPECT_EQ(pmGetLanguageId(), 19);
    expectTexts("Japanese");
    // What is painted changed too: week-day names, the map's message.
    EXPECT_NE(d->calendar()->grab().toImage(), calendarEn);
    EXPECT_NE(d->mapView()->grab().toImage(), mapEn);
    // Qt's own dialogs speak Japanese now.
    EXPECT_TRUE(pmQtDialogsTranslated());
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QString::fromUtf8("アドレス:"));
    EXPECT_FALSE(d->windows()->rightToLeft());

    // And back, still without a restart.
    chooseFromSettings("languageMenu", "languageItem0");
    EXPECT_EQ(pmGetLanguageId(), 0);
    expectTexts("English");
    EXPECT_FALSE(pmQtDialogsTranslated());
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
    EXPECT_EQ(d->calendar()->grab().toImage(), calendarEn);
    EXPECT_EQ(d->mapView()->grab().toImage(), mapEn);
}

TEST_F(LanguageSwitchTest, SessionLanguageWhileNothingIsStored)
{
    {
        EnvVar language("LANGUAGE", QByteArray());
        EnvVar all("LC_ALL", QByteArray());
        EnvVar messages("LC_MESSAGES", "ja_JP.UTF-8");
        EnvVar lang("LANG", "en_US.UTF-8");
        pmInstallStringTables(); // as at start-up
        EXPECT_EQ(pmGetSystemLanguageId(), 19);
        EXPECT_EQ(pmGetLanguageId(), 19);
        EXPECT_EQ(pmLoadString("IDS_PLAY"), QString::fromUtf8("再生"));
        // A stored choice wins over the session.
        AppDelegate::saveLanguageId(0);
        EXPECT_EQ(pmLoadString("IDS_PLAY"), "Play");
        QSettings().remove("LANGUAGE_ID");
        pmInstallStringTables();
        EXPECT_EQ(pmGetLanguageId(), 19);
    }
    {
        // A language without a table reads English, its dialogs too.
        EnvVar language("LANGUAGE", "de");
        pmInstallStringTables();
        EXPECT_EQ(pmGetLanguageId(), 8);
        EXPECT_EQ(pmLoadString("IDS_PLAY"), "Play");
        EXPECT_FALSE(pmQtDialogsTranslated());
    }
}

TEST_F(LanguageSwitchTest, RightToLeftLanguageMirrorsTheWindow)
{
    apptest::LogToDocuments log;
    const int W = 1280;
    ASSERT_EQ(d->playBar()->geometry().x(), 0);
    ASSERT_EQ(d->fileList()->geometry().x(), W - 291);
    const int browseX = d->toolbar()->oBrowseBtn()->geometry().x();

    // Arabic has no menu item (no table); it is reached by the session's
    // language or a stored LANGUAGE_ID, here as the switch stores it.
    d->languageSwitch()->choose(13);
    EXPECT_TRUE(d->windows()->rightToLeft());
    EXPECT_EQ(pmGetLanguageId(), 13);
    EXPECT_EQ(pmLoadString("IDS_PLAY"), "Play"); // no table: English texts
    EXPECT_TRUE(apptest::logMessages().contains("AppDelegate - ready to relayout for language changed."));
    // The layout comes 0.5 s later.
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->playBar()->geometry().x() == 291; }, 3000));
    EXPECT_EQ(d->fileList()->geometry().x(), 0);
    EXPECT_EQ(d->calendar()->geometry().x(), 0);
    EXPECT_EQ(d->gsensorView()->geometry().x(), 291);
    EXPECT_EQ(d->mapView()->geometry().x(), 291 + 340);
    EXPECT_EQ(d->window()->playerView()->geometry().x(), 291);
    EXPECT_EQ(d->toolbar()->oBrowseBtn()->geometry().x(), W - 37 - browseX);
    EXPECT_TRUE(d->playBar()->poPrevBtn()->isButtonFlipped());

    // Back to a left-to-right language.
    d->languageMenuItemClicked(3);
    EXPECT_FALSE(d->windows()->rightToLeft());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->playBar()->geometry().x() == 0; }, 3000));
    EXPECT_EQ(d->fileList()->geometry().x(), W - 291);
    EXPECT_FALSE(d->playBar()->poPrevBtn()->isButtonFlipped());
}

TEST_F(LanguageSwitchTest, ArabicSessionStartsMirrored)
{
    EnvVar language("LANGUAGE", QByteArray());
    EnvVar all("LC_ALL", QByteArray());
    EnvVar messages("LC_MESSAGES", QByteArray());
    EnvVar lang("LANG", "ar_SA.UTF-8");
    pmInstallStringTables(); // as at start-up
    ASSERT_EQ(pmGetLanguageId(), 13);
    d->applicationDidBecomeActive();
    EXPECT_TRUE(d->windows()->rightToLeft());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d->fileList()->geometry().x() == 0; }, 3000));
    EXPECT_EQ(d->playBar()->geometry().x(), 291);
}

TEST_F(LanguageSwitchTest, SpeedUnitReachesEverySpeedShown)
{
    MapView* map = d->mapView();
    map->SetPosition(35.5f, 139.25f, 100.0f, 12.0f, 90.0f);
    EXPECT_EQ(map->speedText(), "100");
    // The settings menu offers the unit, the one in force checked.
    chooseFromSettings("speedUnitSettingsMenu", "speedUnitItem1");
    EXPECT_EQ(QSettings().value("SpeedUnit").toInt(), 1);
    EXPECT_EQ(LanguageSwitch::speedUnit(), 1);
    EXPECT_EQ(map->getSpeedUnit(), 1);
    EXPECT_EQ(map->speedUnitButton()->bitmapTitle(), "mph");
    EXPECT_EQ(map->speedText(), "62");
    d->toolbar()->onSettingButtonPressed();
    EXPECT_TRUE(d->toolbar()->settingsMenu()->findChild<QAction*>("speedUnitItem1")->isChecked());
    d->toolbar()->settingsMenu()->close();

    // The time stamp over the rear picture says mph too.
    _SYSTEMTIME start{};
    start.wYear = 2024;
    start.wMonth = 5;
    start.wDay = 19;
    d->playback()->overlay().setStart(start);
    const auto stamp = d->playback()->overlay().textAtFrame(0);
    ASSERT_TRUE(stamp.has_value());
    EXPECT_TRUE(stamp->contains(" mph\n")) << stamp->toStdString();

    // The info bar's own menu switches back, and the choice is stored.
    Q_EMIT map->unitMenuItemClicked(0);
    EXPECT_EQ(QSettings().value("SpeedUnit").toInt(), 0);
    EXPECT_EQ(map->speedUnitButton()->bitmapTitle(), "km/h");
    EXPECT_TRUE(d->playback()->overlay().textAtFrame(0)->contains(" km/h\n"));
}

} // namespace
