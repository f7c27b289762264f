#pragma once
// The player's keyboard: which key does what in the main window (normal and
// full screen), how a key is written in tooltips and in the About box, and
// the texts that name each command. One table, so the keys the window acts on
// and the keys it tells the user about cannot drift apart.
// Must run on the main thread (the texts come from the string tables).
#include <QKeySequence>
#include <QList>
#include <QString>

enum class PlayerKey {
    None,
    PlayPause,
    SeekBack,          // 5 seconds
    SeekForward,       // 5 seconds
    FrameBack,         // while paused
    FrameForward,      // while paused
    PreviousRecording, // the play bar's previous button
    NextRecording,     // the play bar's next button
    VolumeUp,
    VolumeDown,
    Mute,
    FullScreen,      // full-screen video, and back
    LeaveFullScreen, // any full screen back to the window
    NextMark,        // the next harsh-driving or event mark, across the playlist
    PreviousMark,    // the one before
    SaveClip,        // "Save clip..." around the moment on screen
    ZoomIn,          // the picture under the cursor (or camera 1's), one step
    ZoomOut,
    ZoomReset, // back to the whole picture
};

// Seconds one press of Left or Right moves playback.
inline constexpr int kPlayerKeySeekSeconds = 5;

// The command of a key press; None for keys the player leaves alone (any key
// with Ctrl, Alt or Meta among them). The keypad's own arrows count as arrows.
PlayerKey pmPlayerKeyFor(int key, Qt::KeyboardModifiers modifiers);

// Whether holding the key down should repeat the command (seeks, frame steps
// and volume do; toggles and jumps do not).
bool pmPlayerKeyRepeats(PlayerKey command);

// The key of a command as the platform writes it ("Space", "PgDown", "F").
QString pmPlayerKeyText(PlayerKey command);

// A button's tooltip with its key added: "Play (Space)". With no key, the tip.
QString pmToolTipWithKey(const QString& tip, PlayerKey command);

// The About box's list: the keys as written and the text of what they do,
// in the order they are shown.
struct PlayerShortcutRow {
    QString keys;
    QString action;
};
QList<PlayerShortcutRow> pmPlayerShortcutRows();
