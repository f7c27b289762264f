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
// The social network's addresses ("scheme://host[:port]"): its web site
// (sign-in pages), its Graph API and its video upload host; the application
// id that overrides the one fixed at build time; the access token of the
// last sign-in.
inline QString socialNetworkWebUrl()
{
    return QStringLiteral("SocialNetworkWebURL");
}
inline QString socialNetworkGraphUrl()
{
    return QStringLiteral("SocialNetworkGraphURL");
}
inline QString socialNetworkVideoUrl()
{
    return QStringLiteral("SocialNetworkVideoURL");
}
inline QString socialNetworkAppId()
{
    return QStringLiteral("SocialNetworkAppID");
}
inline QString fbKey()
{
    return QStringLiteral("FB_KEY");
}
// 1: recordings are placed on the calendar by the time in their names.
inline QString placeByNameTime()
{
    return QStringLiteral("PlaceByNameTime");
}
} // namespace SettingsKey
