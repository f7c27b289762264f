#include "controls/CameraChoiceRow.h"

#include "base/Skin.h"
#include "controls/BitmapButton.h"

#include <QLatin1String>
#include <QSize>
#include <QString>

namespace
{
BitmapButton* makeButton(QWidget* parent, const QString& base, const char* objectName)
{
    auto* button =
        new BitmapButton(QSize(CameraChoiceRow::kButtonWidth, CameraChoiceRow::kButtonHeight), parent);
    button->setObjectName(QLatin1String(objectName));
    const auto names = Skin::stateImageNames(base + QStringLiteral(".png"));
    button->setBitmapButton(names[0], names[1], names[2], names[3]);
    button->show();
    return button;
}
} // namespace

CameraChoiceRow CameraChoiceRow::create(QWidget* parent, int windowWidth, int pictureTop)
{
    CameraChoiceRow row;
    row.camera1 = makeButton(parent, QStringLiteral("button_print_camera1"), "oCamera1Btn");
    row.camera2 = makeButton(parent, QStringLiteral("button_print_camera2"), "oCamera2Btn");
    row.both = makeButton(parent, QStringLiteral("button_print_camera12"), "oCamera12Btn");
    const int left = (windowWidth - kRowWidth) / 2;
    const int top = pictureTop - kGap - kButtonHeight;
    row.camera1->move(left, top);
    row.camera2->move(left + kButtonWidth, top);
    row.both->move(left + 2 * kButtonWidth, top);
    row.both->checkButton(true);
    return row;
}
