// Every skinned panel rendered in every skin: none may fail to draw. With
// ROVIX_SKIN_SHEET_DIR set, the composed pictures are written there
// (skin_panels_skin_0N.png) for a look at the artwork in the real widgets.
#include "base/Services.h"
#include "base/Skin.h"
#include "controls/CalendarView.h"
#include "controls/FileListView.h"
#include "controls/PlayControlView.h"
#include "controls/Slider.h"
#include "controls/ToolbarView.h"
#include "views/GSensorView.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

TEST(SkinPanelsSheet, EveryPanelDrawsInEverySkin)
{
    const int saved = Skin::readId();
    for (int skin = 0; skin < 4; ++skin) {
        Skin::saveId(skin);
        QWidget window;
        window.resize(1000, 740);
        window.setStyleSheet(QStringLiteral("background: black"));
        auto* toolbar = new ToolbarView(&window);
        toolbar->setGeometry(0, 0, 1000, 29);
        auto* playbar = new PlayControlView(&window);
        playbar->setGeometry(0, 480, 709, 44);
        playbar->relayoutContents(false, 709);
        playbar->SetPlayTime(83, 250, true);
        playbar->poTimeSlider()->setCurrentValue(420);
        playbar->poTimeSlider()->setEventMarkPos(610);
        auto* calendar = new CalendarView(&window);
        calendar->move(709, 29);
        calendar->SetActivateDay(2026, 12, 7);
        auto* files = new FileListView(&window);
        files->setGeometry(709, 29 + calendar->height(), 291, 740 - 29 - calendar->height());
        files->relayoutContents(false, 291, files->height());
        std::vector<FileListRow> rows;
        for (const char* name :
             {"EVT_20261207_081502_F.MP4", "NOR_20261207_082002_F.MP4", "PRK_20261207_113015_F.MP4"})
            rows.push_back(
                FileListRow{QStringLiteral("/card/") + name, {}, name, "2026/12/07", "08:15:02", -1});
        files->buildFileList(rows);
        files->showPlayMark(1);
        // The G-sensor panel with a graph drawn in its axis colours, beside the map's place.
        auto* gsensor = new GSensorView(&window);
        gsensor->move(709 - gsensor->width(), 524);
        QImage graph = pmLoadAppImage("GSensorGraphic.png").toImage().convertToFormat(QImage::Format_ARGB32);
        {
            QPainter p(&graph);
            p.setRenderHint(QPainter::Antialiasing, true);
            const QColor axes[] = {gsensor->getXAxisColor(), gsensor->getYAxisColor(),
                                   gsensor->getZAxisColor()};
            for (int a = 0; a < 3; ++a) {
                QPainterPath curve(QPointF(0, 31));
                for (int x = 1; x <= 238; ++x)
                    curve.lineTo(x, 31 + 14 * std::sin(x / (9.0 + 4 * a)) * std::cos(x / 37.0 + a));
                p.setPen(QPen(axes[a], 1));
                p.drawPath(curve);
            }
            p.setPen(QPen(Qt::red, 1));
            p.drawLine(120, 0, 120, 62);
        }
        gsensor->setGensorGraphic(graph, 1, 1.6f);
        gsensor->drawIndicator(90, 250, -1200, 980);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        const QImage shot = window.grab().toImage();
        ASSERT_FALSE(shot.isNull());
        // Each panel painted something other than the black window behind it.
        for (QWidget* panel : std::initializer_list<QWidget*>{toolbar, playbar, calendar, files, gsensor}) {
            const QImage part = shot.copy(panel->geometry());
            bool painted = false;
            for (int y = 0; y < part.height() && !painted; y += 3)
                for (int x = 0; x < part.width() && !painted; x += 3)
                    painted = part.pixelColor(x, y) != QColor(Qt::black);
            EXPECT_TRUE(painted) << panel->metaObject()->className() << " skin " << skin;
        }
        const QString sheetDir = qEnvironmentVariable("ROVIX_SKIN_SHEET_DIR");
        if (!sheetDir.isEmpty()) {
            const QString path = QDir(sheetDir).filePath(
                QStringLiteral("skin_panels_skin_%1.png").arg(skin + 1, 2, 10, QLatin1Char('0')));
            EXPECT_TRUE(shot.save(path)) << path.toStdString();
        }
    }
    Skin::saveId(saved);
}
