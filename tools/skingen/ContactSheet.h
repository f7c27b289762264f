#pragma once
// A visual check of one skin: its images assembled the way the panels place
// them (toolbar, play bar, calendar, file list, G-sensor panel, map bar), plus
// every button in its four states.
#include <QImage>
#include <QString>

QImage renderContactSheet(const QString& imageDir, int skinId);
