#pragma once
// Shared services of the application as plain functions: settings, texts,
// skin images, folders, version, language, message box, busy window and the
// internet test. All must run on the main thread.
#include <QImage>
#include <QPixmap>
#include <QString>

class AppDelegate;

// Settings (per-user QSettings). Absence, not a zero value, selects the default.
int pmGetIntSetting(const QString& key, int defaultValue);
void pmSetIntSetting(const QString& key, int value);
QString pmGetStringSetting(const QString& key, const QString& defaultValue);
void pmSetStringSetting(const QString& key, const QString& value);
bool pmHasSetting(const QString& key);

QString pmGetCurrentFolder();
void pmSetCurrentFolder(const QString& path);
QString pmGetCaptureFolder();
void pmSetCaptureFolder(const QString& path);

// Texts by identifier from the string table in force ("Japanese"); the
// "English" table serves every id the Japanese one lacks; a missing id shows the id.
QString pmLoadString(const QString& identifier);
// Skin image by base name ("button_play.png" -> ":/images/skin_04_button_play.png"); null when absent.
QPixmap pmLoadSkinImage(const QString& baseName);
// An application image by its own name ("GSensorGraphic.png"); null when absent.
QPixmap pmLoadAppImage(const QString& name);

QString pmGetVersionString();
int pmGetSystemLanguageId();
int pmLanguageIdFromMenuTag(int tag);
bool pmIsRightToLeft();

// Modal alert with one button; returns 1 when closed by its button, 2 otherwise.
int pmMessageBox(const QString& message, const QString& title = QString());
void pmStartWait();
void pmEndWait();
bool pmIsInternetConnected();

AppDelegate* pmGetAppDelegate();
