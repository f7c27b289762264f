#pragma once
// The head tracker's report as it travels in a notification's user info:
// "PSVRDataReceivedNotification" carries the PSVRData under this key.
#include "core/PSVRData.h"

#include <QMetaType>
#include <QString>

inline const QString kPSVRDataKey = QStringLiteral("PSVRDataReceivedNotificationDataKey");

Q_DECLARE_METATYPE(PSVRData)
