#include "base/PlayerKeys.h"

#include "base/Services.h"

namespace
{
QKeySequence sequenceOf(PlayerKey command)
{
    switch (command) {
    case PlayerKey::PlayPause:
        return QKeySequence(Qt::Key_Space);
    case PlayerKey::SeekBack:
        return QKeySequence(Qt::Key_Left);
    case PlayerKey::SeekForward:
        return QKeySequence(Qt::Key_Right);
    case PlayerKey::FrameBack:
        return QKeySequence(Qt::SHIFT | Qt::Key_Left);
    case PlayerKey::FrameForward:
        return QKeySequence(Qt::SHIFT | Qt::Key_Right);
    case PlayerKey::PreviousRecording:
        return QKeySequence(Qt::Key_PageUp);
    case PlayerKey::NextRecording:
        return QKeySequence(Qt::Key_PageDown);
    case PlayerKey::VolumeUp:
        return QKeySequence(Qt::Key_Up);
    case PlayerKey::VolumeDown:
        return QKeySequence(Qt::Key_Down);
    case PlayerKey::Mute:
        return QKeySequence(Qt::Key_M);
    case PlayerKey::FullScreen:
        return QKeySequence(Qt::Key_F);
    case PlayerKey::LeaveFullScreen:
        return QKeySequence(Qt::Key_Escape);
    case PlayerKey::NextMark:
        return QKeySequence(Qt::Key_E);
    case PlayerKey::PreviousMark:
        return QKeySequence(Qt::SHIFT | Qt::Key_E);
    case PlayerKey::SaveClip:
        return QKeySequence(Qt::Key_C);
    case PlayerKey::ZoomIn:
        return QKeySequence(Qt::Key_Plus);
    case PlayerKey::ZoomOut:
        return QKeySequence(Qt::Key_Minus);
    case PlayerKey::ZoomReset:
        return QKeySequence(Qt::Key_0);
    case PlayerKey::None:
        break;
    }
    return QKeySequence();
}

QString pair(PlayerKey a, PlayerKey b)
{
    return pmPlayerKeyText(a) + QStringLiteral(" / ") + pmPlayerKeyText(b);
}
} // namespace

PlayerKey pmPlayerKeyFor(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return PlayerKey::None;
    const bool shift = modifiers & Qt::ShiftModifier;
    if (key == Qt::Key_Left)
        return shift ? PlayerKey::FrameBack : PlayerKey::SeekBack;
    if (key == Qt::Key_Right)
        return shift ? PlayerKey::FrameForward : PlayerKey::SeekForward;
    // '+' needs Shift on many layouts, and '=' shares its key there.
    if (key == Qt::Key_Plus || key == Qt::Key_Equal)
        return PlayerKey::ZoomIn;
    if (key == Qt::Key_Minus)
        return PlayerKey::ZoomOut;
    if (key == Qt::Key_0 && !shift)
        return PlayerKey::ZoomReset;
    if (key == Qt::Key_E)
        return shift ? PlayerKey::PreviousMark : PlayerKey::NextMark;
    if (shift)
        return PlayerKey::None;
    switch (key) {
    case Qt::Key_Space:
        return PlayerKey::PlayPause;
    case Qt::Key_PageUp:
        return PlayerKey::PreviousRecording;
    case Qt::Key_PageDown:
        return PlayerKey::NextRecording;
    case Qt::Key_Up:
        return PlayerKey::VolumeUp;
    case Qt::Key_Down:
        return PlayerKey::VolumeDown;
    case Qt::Key_M:
        return PlayerKey::Mute;
    case Qt::Key_F:
        return PlayerKey::FullScreen;
    case Qt::Key_Escape:
        return PlayerKey::LeaveFullScreen;
    case Qt::Key_C:
        return PlayerKey::SaveClip;
    default:
        return PlayerKey::None;
    }
}

bool pmPlayerKeyRepeats(PlayerKey command)
{
    switch (command) {
    case PlayerKey::SeekBack:
    case PlayerKey::SeekForward:
    case PlayerKey::FrameBack:
    case PlayerKey::FrameForward:
    case PlayerKey::VolumeUp:
    case PlayerKey::VolumeDown:
    case PlayerKey::ZoomIn:
    case PlayerKey::ZoomOut:
        return true;
    default:
        return false;
    }
}

QString pmPlayerKeyText(PlayerKey command)
{
    return sequenceOf(command).toString(QKeySequence::NativeText);
}

QString pmToolTipWithKey(const QString& tip, PlayerKey command)
{
    const QString key = pmPlayerKeyText(command);
    if (key.isEmpty())
        return tip;
    return QStringLiteral("%1 (%2)").arg(tip, key);
}

QList<PlayerShortcutRow> pmPlayerShortcutRows()
{
    return {
        {pmPlayerKeyText(PlayerKey::PlayPause), pmLoadString(QStringLiteral("IDS_KEY_PLAY_PAUSE"))},
        {pair(PlayerKey::SeekBack, PlayerKey::SeekForward), pmLoadString(QStringLiteral("IDS_KEY_SEEK"))},
        {pair(PlayerKey::FrameBack, PlayerKey::FrameForward),
         pmLoadString(QStringLiteral("IDS_KEY_FRAME_STEP"))},
        {pair(PlayerKey::PreviousRecording, PlayerKey::NextRecording),
         pmLoadString(QStringLiteral("IDS_KEY_PREV_NEXT"))},
        {pair(PlayerKey::VolumeUp, PlayerKey::VolumeDown), pmLoadString(QStringLiteral("IDS_KEY_VOLUME"))},
        {pmPlayerKeyText(PlayerKey::Mute), pmLoadString(QStringLiteral("IDS_SOUND_MUTE"))},
        {pmPlayerKeyText(PlayerKey::FullScreen), pmLoadString(QStringLiteral("IDS_KEY_FULL_SCREEN"))},
        {pmPlayerKeyText(PlayerKey::LeaveFullScreen),
         pmLoadString(QStringLiteral("IDS_KEY_LEAVE_FULL_SCREEN"))},
        {pair(PlayerKey::NextMark, PlayerKey::PreviousMark), pmLoadString(QStringLiteral("IDS_KEY_EVENT"))},
        {pmPlayerKeyText(PlayerKey::SaveClip), pmLoadString(QStringLiteral("IDS_KEY_SAVE_CLIP"))},
        {pair(PlayerKey::ZoomIn, PlayerKey::ZoomOut) + QStringLiteral(" / ") +
             pmPlayerKeyText(PlayerKey::ZoomReset),
         pmLoadString(QStringLiteral("IDS_KEY_ZOOM"))},
    };
}
