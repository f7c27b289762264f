#pragma once
// Every key the application stores in its settings, in one place, so a
// misspelt key cannot silently read the default.
#include <QString>

namespace SettingsKey
{
inline QString currentFolder()
{
    return QStringLiteral("CurrentFolder");
}
inline QString captureFolder()
{
    return QStringLiteral("CaptureFolder");
}
inline QString exportFolder()
{
    return QStringLiteral("ExportFolder");
}
inline QString languageId()
{
    return QStringLiteral("LANGUAGE_ID");
}
inline QString skinId()
{
    return QStringLiteral("SKIN_ID");
}
inline QString speedUnit()
{
    return QStringLiteral("SpeedUnit");
}
inline QString volume()
{
    return QStringLiteral("Volume");
}
inline QString videoSiteHomeUrl()
{
    return QStringLiteral("VideoSiteHomeURL");
}
inline QString mapPageUrl()
{
    return QStringLiteral("MapPageUrl");
}
// 1: recordings are placed on the calendar by the time in their names.
inline QString placeByNameTime()
{
    return QStringLiteral("PlaceByNameTime");
}
} // namespace SettingsKey
