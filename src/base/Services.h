#pragma once
// Shared services of the application as plain functions: settings, texts,
// skin images, folders, version, language and the internet test. They know
// nothing of the controller or of any window, so every widget and feature can
// use them. All must run on the main thread.
#include "base/DialogSeam.h"
#include "base/SettingsKeys.h"
#include "base/Skin.h"

#include <QImage>
#include <QPixmap>
#include <QString>

// The log (core/Log.h) for Qt strings: the UTF-8 bytes of the text.
void pmWriteLogQ(const QString& message);

// Settings (per-user QSettings). Absence, not a zero value, selects the default.
// The application reads and writes its settings through the typed helpers
// over the table of base/SettingsKeys.h; the keyed functions below them take
// any name and the caller's default.
int pmReadSetting(const SettingKey<int>& key);
bool pmReadSetting(const SettingKey<bool>& key);
QString pmReadSetting(const SettingKey<QString>& key);
void pmWriteSetting(const SettingKey<int>& key, int value);
void pmWriteSetting(const SettingKey<bool>& key, bool on);
void pmWriteSetting(const SettingKey<QString>& key, const QString& value);

int pmGetIntSetting(const QString& key, int defaultValue);
void pmSetIntSetting(const QString& key, int value);
QString pmGetStringSetting(const QString& key, const QString& defaultValue);
void pmSetStringSetting(const QString& key, const QString& value);
bool pmHasSetting(const QString& key);
template <class T>
bool pmHasSetting(const SettingKey<T>& key)
{
    return pmHasSetting(key.key());
}
// Where the settings are kept, and why they cannot be kept there (empty when
// they can): a folder where the file should be, a file that cannot be read or
// written. Settings made meanwhile hold until the program ends.
QString pmSettingsFileName();
QString pmSettingsStoreProblem();

// Makes sure HOME names the account's home folder before anything asks for
// a standard folder: when it is unset or empty it is taken from the password
// database. False (and why, in `error`) when the account has none that exists.
// Needs no QCoreApplication.
bool pmEnsureHomeFolder(QString* error = nullptr);

// The user's standard folders (created on demand by nobody: they may not exist).
QString pmGetMoviesFolder();
QString pmGetDocumentsFolder();

QString pmGetCurrentFolder();
void pmSetCurrentFolder(const QString& path);
QString pmGetCaptureFolder();
void pmSetCaptureFolder(const QString& path);

// Texts by identifier from the string table of the language in force; the
// "English" table serves every id that table lacks (and every language without
// a table of its own); a missing id shows the id.
QString pmLoadString(const QString& identifier);
// Installs the string tables of the language in force, and Qt's own
// translations for it (file, print and message dialogs), as application
// translators, replacing those installed before: main calls it at start, and
// a language change again. Qt then sends every widget a LanguageChange event.
void pmInstallStringTables();
// Whether Qt's own texts are translated now (false for English and for a
// language Qt's translations lack, or when they are not installed).
bool pmQtDialogsTranslated();
// Where Qt's own translations are installed (qt_ja.qm, qtbase_ja.qm, ...).
QString pmQtTranslationsFolder();
// Skin image by base name ("button_play.png" -> ":/images/skin_04_button_play.png"); null when absent.
QPixmap pmLoadSkinImage(const QString& baseName);
// An application image by its own name ("GSensorGraphic.png"); null when absent.
QPixmap pmLoadAppImage(const QString& name);

QString pmGetVersionString();
// The language in force: the one stored in LANGUAGE_ID by the language menu,
// else the session's (pmGetSystemLanguageId). Rules in core/Language.h. It is
// read when the tables are installed (pmInstallStringTables) and set by
// pmSaveLanguageId, so texts and installed translators always agree.
int pmGetLanguageId();
void pmSaveLanguageId(int languageId);
// The session's language: LANGUAGE, LC_ALL, LC_MESSAGES, then LANG.
int pmGetSystemLanguageId();
// The language id for one preferred-language name ("ja-JP" -> 19); 0 when none matches.
int pmLanguageIdForLocaleName(const QString& name);
// The string table of a language id: "Japanese" for 19, "English" for every id without a table of its own.
QString pmLanguageTableName(int languageId);
int pmLanguageIdFromMenuTag(int tag);
bool pmIsRightToLeft();
