#include "base/Services.h"

#include "base/SettingsKeys.h"
#include "base/Skin.h"
#include "core/Language.h"
#include "core/Log.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

void pmWriteLogQ(const QString& message)
{
    pmWriteLog(message.toStdString());
}

// ---------------------------------------------------------------- settings

namespace
{
// Values set while the store cannot be used (its file is a folder, cannot
// be read or written): Qt drops them once the QSettings object that set them
// is gone, so they are kept here for the rest of the run.
QMap<QString, QVariant>& sessionSettings()
{
    static QMap<QString, QVariant> values;
    return values;
}

bool storeUsable(const QSettings& settings)
{
    return settings.status() == QSettings::NoError && settings.isWritable();
}

// The value of a key: one set in this run while the store could not keep
// it, else the stored one; none when absent.
std::optional<QVariant> settingValue(const QString& key)
{
    QSettings settings;
    if (!storeUsable(settings)) {
        const auto it = sessionSettings().constFind(key);
        if (it != sessionSettings().constEnd())
            return it.value();
    }
    if (!settings.contains(key))
        return std::nullopt;
    return settings.value(key);
}

void setSettingValue(const QString& key, const QVariant& value, bool syncNow)
{
    QSettings settings;
    settings.setValue(key, value);
    if (syncNow)
        settings.sync();
    if (!storeUsable(settings))
        sessionSettings().insert(key, value);
}
} // namespace

int pmReadSetting(const SettingKey<int>& key)
{
    const int value = pmGetIntSetting(key.key(), key.def);
    return key.holds(value) ? value : key.def;
}

bool pmReadSetting(const SettingKey<bool>& key)
{
    return pmGetIntSetting(key.key(), key.def ? 1 : 0) == 1;
}

QString pmReadSetting(const SettingKey<QString>& key)
{
    return pmGetStringSetting(key.key(), key.defaultValue());
}

void pmWriteSetting(const SettingKey<int>& key, int value)
{
    setSettingValue(key.key(), value, key.syncAtOnce);
}

void pmWriteSetting(const SettingKey<bool>& key, bool on)
{
    setSettingValue(key.key(), on ? 1 : 0, false);
}

void pmWriteSetting(const SettingKey<QString>& key, const QString& value)
{
    setSettingValue(key.key(), value, false);
}

int pmGetIntSetting(const QString& key, int defaultValue)
{
    const std::optional<QVariant> stored = settingValue(key);
    if (!stored)
        return defaultValue;
    bool ok = false;
    const int value = stored->toInt(&ok);
    return ok ? value : defaultValue;
}

void pmSetIntSetting(const QString& key, int value)
{
    // The keys the table marks (the language and the skin) reach the file at once.
    bool syncNow = false;
    for (const SettingKey<int>* k : SettingsKeys::kIntKeys)
        if (key == k->key())
            syncNow = k->syncAtOnce;
    setSettingValue(key, value, syncNow);
}

QString pmGetStringSetting(const QString& key, const QString& defaultValue)
{
    const std::optional<QVariant> stored = settingValue(key);
    return stored ? stored->toString() : defaultValue;
}

void pmSetStringSetting(const QString& key, const QString& value)
{
    setSettingValue(key, value, false);
}

bool pmHasSetting(const QString& key)
{
    return settingValue(key).has_value();
}

QString pmSettingsFileName()
{
    return QSettings().fileName();
}

QString pmSettingsStoreProblem()
{
    QSettings settings;
    const QFileInfo file(settings.fileName());
    if (file.isDir())
        return QStringLiteral("%1 is a folder").arg(settings.fileName());
    if (settings.status() == QSettings::FormatError)
        return QStringLiteral("%1 is not a settings file").arg(settings.fileName());
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("%1 cannot be read").arg(settings.fileName());
    if (!settings.isWritable())
        return QStringLiteral("%1 cannot be written").arg(settings.fileName());
    return QString();
}

// ---------------------------------------------------------------- home folder

bool pmEnsureHomeFolder(QString* error)
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return true;
    // Without HOME Qt takes "/" for the home folder: the log, the settings
    // and the standard folders would be made at the top of the file system.
    // The account's own home, from the password database, is what a login
    // would have set.
    const struct passwd* account = ::getpwuid(::getuid());
    const QByteArray home = account && account->pw_dir ? QByteArray(account->pw_dir) : QByteArray();
    const QFileInfo info(QFile::decodeName(home));
    if (home.isEmpty() || !home.startsWith('/') || !info.isDir()) {
        if (error)
            *error = home.isEmpty()
                         ? QStringLiteral("HOME is not set and this account has no home folder: set HOME")
                         : QStringLiteral("HOME is not set and this account's home folder %1 is not there: "
                                          "set HOME")
                               .arg(QFile::decodeName(home));
        return false;
    }
    qputenv("HOME", home);
    return true;
}

// ---------------------------------------------------------------- folders

QString pmGetMoviesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

QString pmGetDocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString pmGetCurrentFolder()
{
    const QString movies = pmGetMoviesFolder();
    const QString folder = pmReadSetting(SettingsKeys::currentFolder);
    // An unmounted card must not leave the application pointing at nothing.
    if (folder.isEmpty() || !QFileInfo::exists(folder))
        return movies;
    return folder;
}

void pmSetCurrentFolder(const QString& path)
{
    if (!path.isEmpty() && QFileInfo::exists(path))
        pmWriteSetting(SettingsKeys::currentFolder, path);
}

QString pmGetCaptureFolder()
{
    const QString folder = pmReadSetting(SettingsKeys::captureFolder);
    if (folder.isEmpty() || !QFileInfo::exists(folder))
        return pmGetDocumentsFolder();
    return folder;
}

void pmSetCaptureFolder(const QString& path)
{
    pmWriteSetting(SettingsKeys::captureFolder, path);
}

// ---------------------------------------------------------------- language in force

namespace
{
// The language in force, read when the tables are installed and set when a
// language is saved. Texts are looked up often (every paint of a panel), and
// they must come from the language whose translators are installed.
std::optional<int>& languageInForce()
{
    static std::optional<int> id;
    return id;
}

int readLanguageInForce()
{
    // The choice made in the language menu; with none, the session's language.
    const std::optional<QVariant> stored = settingValue(SettingsKeys::languageId.key());
    bool ok = false;
    const int id = stored ? stored->toInt(&ok) : 0;
    return language::idInForce(ok ? std::optional<int>(id) : std::nullopt, ok ? 0 : pmGetSystemLanguageId());
}
} // namespace

// ---------------------------------------------------------------- texts

namespace
{
struct StringTables {
    std::map<QString, std::unique_ptr<QTranslator>> tables; // by table name; only loaded ones
    // What pmInstallStringTables put into the application, to take out again
    // when the language changes.
    std::vector<QTranslator*> installed;
    std::unique_ptr<QTranslator> qtOwn; // Qt's own texts (dialogs) in the language in force
};

StringTables& stringTables()
{
    static StringTables t;
    return t;
}

QTranslator* table(const QString& name)
{
    StringTables& t = stringTables();
    auto it = t.tables.find(name);
    if (it != t.tables.end())
        return it->second.get();
    auto tr = std::make_unique<QTranslator>();
    if (!tr->load(QStringLiteral(":/i18n/%1.qm").arg(name)))
        tr.reset(); // a table we do not ship: remembered as absent
    QTranslator* raw = tr.get();
    t.tables[name] = std::move(tr);
    return raw;
}

QString lookUp(const QString& tableName, const QByteArray& id)
{
    QTranslator* tr = table(tableName);
    if (!tr)
        return QString();
    return tr->translate(nullptr, id.constData());
}

QString tableInForce()
{
    return pmLanguageTableName(pmGetLanguageId());
}
} // namespace

QString pmQtTranslationsFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

void pmInstallStringTables()
{
    languageInForce() = readLanguageInForce();
    StringTables& t = stringTables();
    if (!QCoreApplication::instance())
        return;
    for (QTranslator* tr : t.installed)
        QCoreApplication::removeTranslator(tr);
    t.installed.clear();
    // Qt's own dialogs (file, print, message) speak the language whose texts
    // the program shows: a language without a table of its own reads English,
    // so its dialogs stay in Qt's English too.
    const int textLanguage = language::textLanguage(pmGetLanguageId());
    const QString iso = QString::fromStdString(language::isoCode(textLanguage));
    auto qtOwn = std::make_unique<QTranslator>();
    if (textLanguage == language::kEnglish || iso.isEmpty() ||
        !qtOwn->load(QStringLiteral("qt_") + iso, pmQtTranslationsFolder()))
        qtOwn.reset();
    // The translator installed last is asked first: the table in force, then
    // English for what it lacks, then Qt's own texts.
    if (qtOwn) {
        QCoreApplication::installTranslator(qtOwn.get());
        t.installed.push_back(qtOwn.get());
    }
    if (QTranslator* en = table(QStringLiteral("English"))) {
        QCoreApplication::installTranslator(en);
        t.installed.push_back(en);
    }
    const QString inForce = tableInForce();
    if (inForce != QLatin1String("English")) {
        if (QTranslator* tr = table(inForce)) {
            QCoreApplication::installTranslator(tr);
            t.installed.push_back(tr);
        }
    }
    t.qtOwn = std::move(qtOwn); // the previous one goes once it is out of the application
}

bool pmQtDialogsTranslated()
{
    return stringTables().qtOwn != nullptr;
}

QString pmLoadString(const QString& identifier)
{
    if (identifier.isEmpty())
        return identifier;
    const QByteArray id = identifier.toUtf8();
    const QString inForce = tableInForce();
    QString text = lookUp(inForce, id);
    if (text.isEmpty() && inForce != QLatin1String("English"))
        text = lookUp(QStringLiteral("English"), id);
    return text.isEmpty() ? identifier : text;
}

// ---------------------------------------------------------------- images

namespace
{
QPixmap loadResourceImage(const QString& path)
{
    if (!QFile::exists(path))
        return QPixmap();
    return QPixmap(path);
}
} // namespace

QPixmap pmLoadSkinImage(const QString& baseName)
{
    return Skin::image(baseName);
}

QPixmap pmLoadAppImage(const QString& name)
{
    return loadResourceImage(QStringLiteral(":/images/") + name);
}

// ---------------------------------------------------------------- language


int pmGetLanguageId()
{
    std::optional<int>& id = languageInForce();
    if (!id)
        id = readLanguageInForce();
    return *id;
}

void pmSaveLanguageId(int languageId)
{
    pmWriteSetting(SettingsKeys::languageId, languageId);
    languageInForce() = languageId;
}

QString pmGetVersionString()
{
    return QStringLiteral("%1JP").arg(QStringLiteral(ROVIX_VERSION));
}

int pmLanguageIdForLocaleName(const QString& name)
{
    return language::idForLocaleName(name.toStdString());
}

int pmGetSystemLanguageId()
{
    return language::idFromEnvironment([](const char* name) { return std::getenv(name); });
}

QString pmLanguageTableName(int languageId)
{
    return QString::fromStdString(language::tableName(languageId));
}

int pmLanguageIdFromMenuTag(int tag)
{
    return language::idFromMenuTag(tag);
}

bool pmIsRightToLeft()
{
    return language::isRightToLeft(pmGetLanguageId());
}
