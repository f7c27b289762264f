#pragma once
// One seam for every modal question the application asks the user: message
// boxes and file choosers. Normally the real dialogs run; a test installs a
// hook that answers (and records) each request instead, so no test ever
// blocks on a dialog. Must run on the main thread.
#include <QString>
#include <functional>

class QWidget;

struct DialogRequest {
    enum class Kind { MessageBox, ChooseFolder, OpenFile, SaveFile, Question };
    Kind kind = Kind::MessageBox;
    QString title;      // window title
    QString text;       // message box text
    QString directory;  // where a chooser opens (or the suggested file path for SaveFile)
    QString nameFilter; // chooser filter, for example "KML (*.kml)"
    QString yesText;    // question: the button that answers yes
    QString noText;     // question: the button that answers no
    // Message box: a warning (something went wrong or needs a look) or a
    // plain piece of information (a job done as asked).
    enum class Icon { Warning, Information };
    Icon icon = Icon::Warning;
};

struct DialogAnswer {
    int result = 1; // message box: 1 closed by its button, 2 otherwise; question: 1 yes, else no
    QString path;   // chooser: the chosen path; empty means cancelled
};

using DialogHook = std::function<DialogAnswer(const DialogRequest&)>;

// Installs the hook (an empty function restores the real dialogs).
void pmSetDialogHook(DialogHook hook);
bool pmHasDialogHook();

// Who shows the real dialogs: the widget layer installs the standard ones once
// at launch (controls/StandardDialogs.h), with the main window as the parent
// of every dialog whose caller names none. With neither a hook nor a
// presenter, a message box answers 2 and every chooser is cancelled.
struct DialogPresenter {
    std::function<int(const DialogRequest&)> messageBox;
    std::function<void(QWidget* parent, const DialogRequest&, std::function<void(const QString&)> done)>
        chooser;
    std::function<void(QWidget* parent, const DialogRequest&, std::function<void(bool)> done)> question;
};
void pmSetDialogPresenter(DialogPresenter presenter);

// Alert with one button. It opens application-modal and returns at once
// (1 when shown, 2 when no dialog can be shown): no caller waits inside it, so
// it is safe from any handler. A test hook answers it synchronously.
// An empty title shows the application's name.
int pmMessageBox(const QString& message, const QString& title = QString());
// The same box with the information icon: the news that something asked for is done.
int pmInformationBox(const QString& message, const QString& title = QString());

// A question with a yes and a no button, window-modal on the parent (the main
// window when none), opened with open(): it returns at once, and `done` runs
// once, queued, after the box has closed, with true for yes. Closed any
// other way, or with no dialog to show, the answer is no. With a hook
// installed `done` runs before the call returns.
void pmAskQuestion(QWidget* parent, const QString& title, const QString& text, const QString& yesText,
                   const QString& noText, std::function<void(bool)> done);

// Window-modal choosers (sheets on the parent). `done` runs once, on the main
// thread, with the chosen path, or with an empty string when the user
// cancels; it runs queued, after the dialog has closed. With a hook
// installed it runs before the call returns.
void pmChooseFolder(QWidget* parent, const QString& title, const QString& startDir,
                    std::function<void(const QString&)> done);
void pmChooseOpenFile(QWidget* parent, const QString& title, const QString& startDir,
                      const QString& nameFilter, std::function<void(const QString&)> done);
void pmChooseSaveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                      const QString& nameFilter, std::function<void(const QString&)> done);
