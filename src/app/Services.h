#pragma once
// Shared services of the application as plain functions: settings, texts,
// skin images, folders, version, language, message box, busy window and the
// internet test. All must run on the main thread.
#include <QImage>
#include <QPixmap>
#include <QString>

class AppDelegate;

// The log (core/Log.h) for Qt strings: the UTF-8 bytes of the text.
void pmWriteLogQ(const QString& message);

// Settings (per-user QSettings). Absence, not a zero value, selects the default.
int pmGetIntSetting(const QString& key, int defaultValue);
void pmSetIntSetting(const QString& key, int value);
QString pmGetStringSetting(const QString& key, const QString& defaultValue);
void pmSetStringSetting(const QString& key, const QString& value);
bool pmHasSetting(const QString& key);

// The user's standard folders (created on demand by nobody: they may not exist).
QString pmGetMoviesFolder();
QString pmGetDocumentsFolder();

QString pmGetCurrentFolder();
void pmSetCurrentFolder(const QString& path);
QString pmGetCaptureFolder();
void pmSetCaptureFolder(const QString& path);

// Texts by identifier from the string table in force ("Japanese"); the
// "English" table serves every id the Japanese one lacks; a missing id shows the id.
QString pmLoadString(const QString& identifier);
// Installs the two string tables as application translators (done on first use
// of pmLoadString; main calls it early so qtTrId works everywhere).
void pmInstallStringTables();
// Skin image by base name ("button_play.png" -> ":/images/skin_04_button_play.png"); null when absent.
QPixmap pmLoadSkinImage(const QString& baseName);
// An application image by its own name ("GSensorGraphic.png"); null when absent.
QPixmap pmLoadAppImage(const QString& name);

QString pmGetVersionString();
int pmGetSystemLanguageId();
// The language id for one preferred-language name ("ja-JP" -> 19); 0 when none matches.
int pmLanguageIdForLocaleName(const QString& name);
// The string table of a language id: "Japanese" for 19, "English" for every id without a table of its own.
QString pmLanguageTableName(int languageId);
int pmLanguageIdFromMenuTag(int tag);
bool pmIsRightToLeft();

// Modal alert with one button; returns 1 when closed by its button, 2 otherwise.
int pmMessageBox(const QString& message, const QString& title = QString());
// The busy window. Calls do not nest: one pmEndWait closes it.
void pmStartWait();
void pmEndWait();
bool pmIsWaiting();
// Keeps the spinner turning during long synchronous work on the main thread:
// repaints it when due (cheap to call often; no event processing).
void pmWaitTick();
bool pmIsInternetConnected();

AppDelegate* pmGetAppDelegate();
