#include "app/Services.h"

#include "Utility/Reachability.h"
#include "WaitingWindow/WaitingWindow.h"
#include "app/AppDelegate.h"
#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "core/Log.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>
#include <map>
#include <memory>

void pmWriteLogQ(const QString& message)
{
    pmWriteLog(message.toStdString());
}

// ---------------------------------------------------------------- settings

int pmGetIntSetting(const QString& key, int defaultValue)
{
    QSettings settings;
    if (!settings.contains(key))
        return defaultValue;
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    return ok ? value : defaultValue;
}

void pmSetIntSetting(const QString& key, int value)
{
    QSettings settings;
    settings.setValue(key, value);
    // The language and the skin must survive a crash right after the choice.
    if (key == QLatin1String("LANGUAGE_ID") || key == QLatin1String("SKIN_ID"))
        settings.sync();
}

QString pmGetStringSetting(const QString& key, const QString& defaultValue)
{
    QSettings settings;
    if (!settings.contains(key))
        return defaultValue;
    return settings.value(key).toString();
}

void pmSetStringSetting(const QString& key, const QString& value)
{
    QSettings settings;
    settings.setValue(key, value);
}

bool pmHasSetting(const QString& key)
{
    return QSettings().contains(key);
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
    const QString folder = pmGetStringSetting(QStringLiteral("CurrentFolder"), movies);
    // An unmounted card must not leave the application pointing at nothing.
    if (folder.isEmpty() || !QFileInfo::exists(folder))
        return movies;
    return folder;
}

void pmSetCurrentFolder(const QString& path)
{
    if (!path.isEmpty() && QFileInfo::exists(path))
        pmSetStringSetting(QStringLiteral("CurrentFolder"), path);
}

QString pmGetCaptureFolder()
{
    const QString folder = pmGetStringSetting(QStringLiteral("CaptureFolder"), QString());
    if (folder.isEmpty() || !QFileInfo::exists(folder))
        return pmGetDocumentsFolder();
    return folder;
}

void pmSetCaptureFolder(const QString& path)
{
    pmSetStringSetting(QStringLiteral("CaptureFolder"), path);
}

// ---------------------------------------------------------------- texts

namespace
{
struct StringTables {
    std::map<QString, std::unique_ptr<QTranslator>> tables; // by table name; only loaded ones
    bool installed = false;
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
} // namespace

void pmInstallStringTables()
{
    StringTables& t = stringTables();
    if (t.installed || !QCoreApplication::instance())
        return;
    t.installed = true;
    // The translator installed last is asked first: English answers what the
    // table in force lacks.
    if (QTranslator* en = table(QStringLiteral("English")))
        QCoreApplication::installTranslator(en);
    const QString inForce = pmLanguageTableName(AppDelegate::getLanguageId());
    if (inForce != QLatin1String("English")) {
        if (QTranslator* tr = table(inForce))
            QCoreApplication::installTranslator(tr);
    }
}

QString pmLoadString(const QString& identifier)
{
    if (identifier.isEmpty())
        return identifier;
    const QByteArray id = identifier.toUtf8();
    const QString inForce = pmLanguageTableName(AppDelegate::getLanguageId());
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
    const int skin = AppDelegate::cachedSkinId();
    return loadResourceImage(
        QStringLiteral(":/images/skin_%1_%2").arg(skin + 1, 2, 10, QLatin1Char('0')).arg(baseName));
}

QPixmap pmLoadAppImage(const QString& name)
{
    return loadResourceImage(QStringLiteral(":/images/") + name);
}

// ---------------------------------------------------------------- language

QString pmGetVersionString()
{
    return QStringLiteral("%1JP").arg(QStringLiteral(ROVIX_VERSION));
}

int pmLanguageIdForLocaleName(const QString& name)
{
    // First match wins, so the order matters: "jp" and "ja" come after "th"
    // and "tr"; Arabic is recognised by "sa".
    static const struct {
        const char* prefix;
        int id;
    } kPrefixes[] = {{"en", 0},  {"zh-Hant", 1}, {"zh-Hans", 2}, {"ru", 3},  {"ko", 4},  {"cs", 5},
                     {"nl", 6},  {"fr", 7},      {"de", 8},      {"hu", 9},  {"it", 10}, {"pl", 11},
                     {"es", 12}, {"sa", 13},     {"lt", 14},     {"ro", 15}, {"sk", 16}, {"pt", 17},
                     {"sl", 18}, {"th", 20},     {"tr", 21},     {"jp", 19}, {"ja", 19}};
    for (const auto& p : kPrefixes) {
        if (name.startsWith(QLatin1String(p.prefix)))
            return p.id;
    }
    return 0;
}

int pmGetSystemLanguageId()
{
    const QStringList languages = QLocale::system().uiLanguages();
    if (languages.isEmpty())
        return 0;
    return pmLanguageIdForLocaleName(languages.first());
}

QString pmLanguageTableName(int languageId)
{
    static const char* const kTables[] = {"English",
                                          "TraditionalChinese",
                                          "SimplifiedChinese",
                                          "Russian",
                                          "Korean",
                                          "Czech",
                                          "Dutch",
                                          "French",
                                          "German",
                                          "Hungarian",
                                          "Italian",
                                          "Polish",
                                          "Spanish",
                                          "Arabic",
                                          "Lithuanian",
                                          "Romanian",
                                          "Slovakian",
                                          "Portuguese",
                                          "Slovinian",
                                          "Japanese"};
    if (languageId >= 0 && languageId < static_cast<int>(sizeof kTables / sizeof kTables[0]))
        return QString::fromLatin1(kTables[languageId]);
    return QStringLiteral("English");
}

int pmLanguageIdFromMenuTag(int tag)
{
    switch (tag) {
    case 1:
        return 7;
    case 2:
        return 12;
    default:
        return 0;
    }
}

bool pmIsRightToLeft()
{
    return AppDelegate::getLanguageId() == 13;
}

// ---------------------------------------------------------------- dialogs

namespace
{
DialogHook& dialogHook()
{
    static DialogHook hook;
    return hook;
}

QWidget* defaultParent()
{
    if (AppDelegate* d = pmGetAppDelegate())
        return d->window();
    return nullptr;
}

void runFileDialog(QWidget* parent, DialogRequest request, QFileDialog::FileMode mode, bool save,
                   std::function<void(const QString&)> done)
{
    if (dialogHook()) {
        const DialogAnswer answer = dialogHook()(request);
        if (done)
            done(answer.path);
        return;
    }
    if (!parent)
        parent = defaultParent();
    auto* dialog = new QFileDialog(parent, request.title, request.directory, request.nameFilter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setFileMode(mode);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (mode == QFileDialog::Directory)
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
    if (save && !request.directory.isEmpty())
        dialog->selectFile(request.directory);
    // finished() comes exactly once, for OK and for cancel alike.
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done](int result) {
        QString path;
        if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
            path = dialog->selectedFiles().first();
        if (done)
            done(path);
    });
    dialog->open();
}
} // namespace

void pmSetDialogHook(DialogHook hook)
{
    dialogHook() = std::move(hook);
}

bool pmHasDialogHook()
{
    return static_cast<bool>(dialogHook());
}

void pmChooseFolder(QWidget* parent, const QString& title, const QString& startDir,
                    std::function<void(const QString&)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::ChooseFolder;
    r.title = title;
    r.directory = startDir;
    runFileDialog(parent, r, QFileDialog::Directory, false, std::move(done));
}

void pmChooseOpenFile(QWidget* parent, const QString& title, const QString& startDir,
                      const QString& nameFilter, std::function<void(const QString&)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::OpenFile;
    r.title = title;
    r.directory = startDir;
    r.nameFilter = nameFilter;
    runFileDialog(parent, r, QFileDialog::ExistingFile, false, std::move(done));
}

void pmChooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                      const QString& nameFilter, std::function<void(const QString&)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::SaveFile;
    r.title = title;
    r.directory = suggestedPath;
    r.nameFilter = nameFilter;
    runFileDialog(parent, r, QFileDialog::AnyFile, true, std::move(done));
}

int pmMessageBox(const QString& message, const QString& title)
{
    const QString caption = title.isEmpty() ? pmLoadString(QStringLiteral("IDR_MAINFRAME")) : title;
    if (dialogHook()) {
        DialogRequest r;
        r.kind = DialogRequest::Kind::MessageBox;
        r.title = caption;
        r.text = message;
        return dialogHook()(r).result;
    }
    QMessageBox box(defaultParent());
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(caption);
    box.setText(message);
    QPushButton* ok = box.addButton(pmLoadString(QStringLiteral("IDS_OK")), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok ? 1 : 2;
}

// ---------------------------------------------------------------- busy window

namespace
{
QPointer<WaitingWindow>& waitingWindow()
{
    static QPointer<WaitingWindow> w;
    return w;
}
} // namespace

void pmStartWait()
{
    pmWriteLog("pmStartWait()");
    if (waitingWindow())
        return;
    auto* w = new WaitingWindow(defaultParent());
    waitingWindow() = w;
    w->showCentered();
}

void pmEndWait()
{
    if (WaitingWindow* w = waitingWindow()) {
        w->stopAnimation();
        w->close(); // deletes itself on close
        waitingWindow() = nullptr;
    }
    pmWriteLog("pmEndWait()");
}

bool pmIsWaiting()
{
    return !waitingWindow().isNull();
}

void pmWaitTick()
{
    if (WaitingWindow* w = waitingWindow())
        w->tick();
}

// ---------------------------------------------------------------- network

bool pmIsInternetConnected()
{
    const bool reachable = Reachability::isInternetReachable();
    if (reachable) {
        pmWriteLog("pmIsInternetConnected() - check website - start !");
        pmWriteLog("pmIsInternetConnected() - check website - end !");
    }
    return reachable;
}

AppDelegate* pmGetAppDelegate()
{
    return AppDelegate::instance();
}
