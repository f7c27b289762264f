#include "base/DialogSeam.h"

#include "base/Services.h"
#include "core/Log.h"

namespace
{
DialogHook& dialogHook()
{
    static DialogHook hook;
    return hook;
}

DialogPresenter& presenter()
{
    static DialogPresenter p;
    return p;
}

void runChooser(QWidget* parent, const DialogRequest& request, std::function<void(const QString&)> done)
{
    if (dialogHook()) {
        const DialogAnswer answer = dialogHook()(request);
        if (done)
            done(answer.path);
        return;
    }
    if (presenter().chooser) {
        presenter().chooser(parent, request, std::move(done));
        return;
    }
    pmWriteLog("pmChoose - no dialog can be shown: cancelled.");
    if (done)
        done(QString());
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

void pmSetDialogPresenter(DialogPresenter p)
{
    presenter() = std::move(p);
}

void pmChooseFolder(QWidget* parent, const QString& title, const QString& startDir,
                    std::function<void(const QString&)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::ChooseFolder;
    r.title = title;
    r.directory = startDir;
    runChooser(parent, r, std::move(done));
}

void pmChooseOpenFile(QWidget* parent, const QString& title, const QString& startDir,
                      const QString& nameFilter, std::function<void(const QString&)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::OpenFile;
    r.title = title;
    r.directory = startDir;
    r.nameFilter = nameFilter;
    runChooser(parent, r, std::move(done));
}

void pmChooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                      const QString& nameFilter, std::function<void(const QString&)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::SaveFile;
    r.title = title;
    r.directory = suggestedPath;
    r.nameFilter = nameFilter;
    runChooser(parent, r, std::move(done));
}

namespace
{
int showMessageBox(const QString& message, const QString& title, DialogRequest::Icon icon)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::MessageBox;
    r.title = title.isEmpty() ? pmLoadString(QStringLiteral("IDR_MAINFRAME")) : title;
    r.text = message;
    r.icon = icon;
    if (dialogHook())
        return dialogHook()(r).result;
    if (presenter().messageBox)
        return presenter().messageBox(r);
    pmWriteLogQ(QStringLiteral("pmMessageBox - no dialog can be shown: ") + message);
    return 2;
}
} // namespace

int pmMessageBox(const QString& message, const QString& title)
{
    return showMessageBox(message, title, DialogRequest::Icon::Warning);
}

int pmInformationBox(const QString& message, const QString& title)
{
    return showMessageBox(message, title, DialogRequest::Icon::Information);
}

void pmAskQuestion(QWidget* parent, const QString& title, const QString& text, const QString& yesText,
                   const QString& noText, std::function<void(bool)> done)
{
    DialogRequest r;
    r.kind = DialogRequest::Kind::Question;
    r.title = title.isEmpty() ? pmLoadString(QStringLiteral("IDR_MAINFRAME")) : title;
    r.text = text;
    r.yesText = yesText;
    r.noText = noText;
    if (dialogHook()) {
        const bool yes = dialogHook()(r).result == 1;
        if (done)
            done(yes);
        return;
    }
    if (presenter().question) {
        presenter().question(parent, r, std::move(done));
        return;
    }
    pmWriteLogQ(QStringLiteral("pmAskQuestion - no dialog can be shown: ") + text);
    if (done)
        done(false);
}
