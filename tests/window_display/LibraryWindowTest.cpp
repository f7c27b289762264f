// The library on the running window: a card copied without its dates.
#include "WindowTestSupport.h"
#include <QMessageBox>
#include <QPushButton>

using namespace windowtest;

namespace
{

class LibraryWindow : public OwnFolderWindow
{
};

// Recordings whose names and file dates are days apart (a copy that
// kept no dates) bring one offer to place them by their names.
TEST_F(LibraryWindow, CopiedCardIsOfferedPlacementByNames)
{
    const QString folder = dir.filePath("DCIM/100MEDIA");
    const std::time_t copied = std::time(nullptr) - 3600;
    writePair(folder, startAt(8, 30), 2, copied);
    writePair(folder, startAt(9, 0), 2, copied);
    AppDelegate d;
    launch(d);
    QMessageBox* box = nullptr;
    const bool asked = QTest::qWaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        },
        5000);
    shootScreen(QStringLiteral("library-placement-offer"));
    ASSERT_TRUE(asked);
    EXPECT_EQ(box->text(), pmLoadString(QStringLiteral("IDS_OFFER_PLACE_BY_NAME_TIME")));
    QPushButton* yes = nullptr;
    for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::YesRole || box->buttonRole(b) == QMessageBox::AcceptRole)
            yes = qobject_cast<QPushButton*>(b);
    ASSERT_NE(yes, nullptr);
    QTest::mouseClick(yes, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.isPlaceByNameTime() && !d.isBuildingLibrary(); }, 10000));
    EXPECT_TRUE(pmReadSetting(SettingsKeys::placeByNameTime));
    EXPECT_EQ(d.library()->placementDate(d.videoLib().first()).date(), QDate(2021, 3, 15));
}

// Item 12: at the end of the last pair both cameras stay on their last frames.
} // namespace
