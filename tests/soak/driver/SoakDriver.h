#pragma once
// The soak driver's parts: the runner that performs one action after another
// as a queue of steps polled from the main loop, the table of actions, and the
// helpers that find widgets and check the files a flow writes.
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QDialog;
class QFileDialog;
class QLineEdit;
class QMessageBox;
class QWidget;

namespace soak
{

// What a step says each time it is polled.
enum class Res {
    Done, // go on with the next step
    Wait, // poll again later (fails once the step's time is up)
    End,  // the action is over early (the application offered nothing to do)
    Fail  // the run fails with the reason given
};

class Runner
{
public:
    virtual ~Runner() = default;
    // The next pseudo-random number of the seeded run.
    virtual quint32 draw() = 0;
    // Appends a step to the current action; timeoutMs 0 is the run's wait.
    virtual void add(const QString& what, std::function<Res(QString& why)> run, int timeoutMs = 0) = 0;
    // Clicks, keys and typing are delivered from the main loop, each on its
    // own, after the step that asked for them has returned.
    virtual void click(QWidget* w, QPoint at = QPoint(), bool twice = false,
                       Qt::KeyboardModifiers mods = Qt::NoModifier) = 0;
    virtual void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) = 0;
    virtual void type(QLineEdit* edit, const QString& text, Qt::Key then = Qt::Key_unknown) = 0;
    virtual void post(std::function<void()> op) = 0;
    // True while a click or key has not come back (it may be inside a dialog's loop).
    virtual bool clicksPending() const = 0;
    // Common steps: wait until queued work has run and the busy window is
    // gone; click away every message box; answer the file chooser.
    virtual void settle() = 0;
    virtual void answerMessageBoxes() = 0;
    virtual void answerFileDialog(const QString& path) = 0;
    // A line in the action log.
    virtual void note(const QString& line) = 0;
    virtual QString out() const = 0;
    virtual QStringList folders() const = 0;
    virtual QString browserLog() const = 0;
    virtual int actionNumber() const = 0;
};

struct Action {
    const char* name;
    // Appends the action's steps; p holds four numbers drawn for it.
    std::function<void(Runner& r, const quint32* p)> build;
};

// Every action, without those named in `skipped` (and only those in `only`
// when it is not empty: for looking at one flow).
std::vector<Action> actionTable(const QStringList& skipped, const QStringList& only);

// ---- widgets
QList<QWidget*> visibleTopLevels();
QWidget* mainWindow();
// A visible widget by object name: a top-level window or a child of one.
QWidget* findVisible(const QString& name);
// A visible child of the main window by object name.
QWidget* findInMain(const QString& name);
QMessageBox* visibleMessageBox();
QFileDialog* visibleFileDialog();
QDialog* visibleDialogInheriting(const char* className);
QString describe(const QWidget* w);
// Visible and enabled in a visible window: what a user can click.
bool usable(const QWidget* w);

// ---- written files: an empty string when the file is there and valid
QString checkJpeg(const QString& path);
QString checkPdf(const QString& path);
QString checkXml(const QString& path, const QString& root);
QString checkCsv(const QString& path);
QString checkExport(const QString& path);

} // namespace soak
