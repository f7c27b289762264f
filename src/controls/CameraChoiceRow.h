#pragma once
// The row of three camera buttons (camera 1, camera 2, both) that the capture
// preview and the print window show above their picture for a two-camera
// recording: 76 x 35 each, a 228-wide row centred in its window, 4 points
// above the picture. Both windows share it so the row looks and behaves the
// same in each. Main thread only.
class BitmapButton;
class QWidget;

struct CameraChoiceRow {
    static constexpr int kButtonWidth = 76;
    static constexpr int kButtonHeight = 35;
    static constexpr int kRowWidth = 3 * kButtonWidth;
    // What the row adds above the picture: the buttons and the gap under them.
    static constexpr int kGap = 4;
    static constexpr int kSpace = kButtonHeight + kGap;

    BitmapButton* camera1 = nullptr;
    BitmapButton* camera2 = nullptr;
    BitmapButton* both = nullptr;

    // Creates the three skinned buttons on `parent`, centred in a window of
    // that width just above `pictureTop`, with "both" checked.
    static CameraChoiceRow create(QWidget* parent, int windowWidth, int pictureTop);
};
