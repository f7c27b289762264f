// The soak driver: linked into a copy of the application (the same main() and
// start-up as rovixmanager), it waits for the main window and then performs a
// seeded random run of user actions on the real widgets: the play bar, the
// calendar, the file list, every toolbar button through its dialogs, the
// settings menu, the player's keys and window resizes. Clicks and keys are
// delivered from the main loop (each one queued on its own), never from a
// loop of the driver's, so a dialog that the application runs in a loop of
// its own is answered from inside that loop, as a user would answer it.
//
// Every action is written to the action log before it starts (the parent test
// prints the last ones when the run dies). A watchdog thread aborts the run
// when the main loop stops answering. Files that a flow writes are checked.
//
// Environment (set by the soak test):
//   ROVIX_SOAK_SEED, ROVIX_SOAK_ACTIONS   the run
//   ROVIX_SOAK_LOG                        action log (appended line by line)
//   ROVIX_SOAK_OUT                        where exports, captures, PDFs and backups go
//   ROVIX_SOAK_FOLDERS                    folders the open button may choose (':'-separated)
//   ROVIX_SOAK_BROWSER_LOG                file the stand-in browser appends each address to
//   ROVIX_SOAK_WATCHDOG                   seconds the main loop may stay away (default 90)
//   ROVIX_SOAK_WAIT                       seconds a flow waits for one condition (default 120)
//   ROVIX_SOAK_SKIP                       action names left out of the run (comma-separated)
//   ROVIX_SOAK_ONLY                       only these actions (comma-separated; for a closer look)
#include "SoakDriver.h"

#include "WaitingWindow/WaitingWindow.h"
#include "controls/BitmapButton.h"
#include "controls/CalendarView.h"
#include "controls/FileListBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <random>
#include <thread>
#include <unistd.h>

// QtWebEngine's bundled Chromium frees some of its own objects with a sized
// delete of another size when a page goes; AddressSanitizer builds would stop
// there, in code that is not ours.
extern "C" const char* __asan_default_options()
{
    return "new_delete_type_mismatch=0";
}

namespace soak
{

// ---- finding widgets

QList<QWidget*> visibleTopLevels()
{
    QList<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            out.append(w);
    return out;
}

QWidget* mainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("MainWindow"))
            return w;
    return nullptr;
}

QWidget* findVisible(const QString& name)
{
    for (QWidget* top : visibleTopLevels()) {
        if (top->objectName() == name)
            return top;
        for (QWidget* child : top->findChildren<QWidget*>(name))
            if (child->isVisible())
                return child;
    }
    return nullptr;
}

QWidget* findInMain(const QString& name)
{
    QWidget* mw = mainWindow();
    if (!mw)
        return nullptr;
    QWidget* w = mw->findChild<QWidget*>(name);
    return w && w->isVisible() ? w : nullptr;
}

QMessageBox* visibleMessageBox()
{
    for (QWidget* top : visibleTopLevels())
        if (auto* box = qobject_cast<QMessageBox*>(top))
            return box;
    return nullptr;
}

QFileDialog* visibleFileDialog()
{
    for (QWidget* top : visibleTopLevels())
        if (auto* d = qobject_cast<QFileDialog*>(top))
            return d;
    return nullptr;
}

QDialog* visibleDialogInheriting(const char* className)
{
    for (QWidget* top : visibleTopLevels())
        if (top->inherits(className))
            return qobject_cast<QDialog*>(top);
    return nullptr;
}

QString describe(const QWidget* w)
{
    if (!w)
        return QStringLiteral("(none)");
    if (auto* box = qobject_cast<const QMessageBox*>(w))
        return QStringLiteral("message box \"%1\"").arg(box->text());
    return QStringLiteral("%1 '%2' \"%3\"")
        .arg(QLatin1String(w->metaObject()->className()), w->objectName(), w->windowTitle());
}

bool usable(const QWidget* w)
{
    return w && w->isVisible() && w->isEnabled() && w->window()->isVisible();
}

// ---- checking written files

QString checkJpeg(const QString& path)
{
    QImage image;
    if (!QFileInfo(path).isFile())
        return QStringLiteral("no file %1").arg(path);
    if (!image.load(path, "JPEG") || image.isNull())
        return QStringLiteral("%1 is no readable JPEG").arg(path);
    return {};
}

QString checkPdf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("no file %1").arg(path);
    const QByteArray all = f.readAll();
    if (!all.startsWith("%PDF-"))
        return QStringLiteral("%1 does not start with %PDF-").arg(path);
    if (!all.right(64).contains("%%EOF"))
        return QStringLiteral("%1 has no end-of-file marker (%2 bytes)").arg(path).arg(all.size());
    if (all.size() < 2000)
        return QStringLiteral("%1 is too small for a page (%2 bytes)").arg(path).arg(all.size());
    return {};
}

QString checkXml(const QString& path, const QString& root)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("no file %1").arg(path);
    QXmlStreamReader xml(&f);
    QString first;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && first.isEmpty())
            first = xml.name().toString();
    }
    if (xml.hasError())
        return QStringLiteral("%1 is not well-formed XML: %2").arg(path, xml.errorString());
    if (first != root)
        return QStringLiteral("%1 has root <%2>, not <%3>").arg(path, first, root);
    return {};
}

QString checkCsv(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("no file %1").arg(path);
    const QByteArray header = f.readLine().trimmed();
    if (header != "time,latitude,longitude,speed_kmh,direction_deg,altitude_m,gx,gy,gz")
        return QStringLiteral("%1 has the header '%2'").arg(path, QString::fromUtf8(header));
    if (f.readLine().trimmed().isEmpty())
        return QStringLiteral("%1 has no rows").arg(path);
    return {};
}

QString checkExport(const QString& path)
{
    if (path.endsWith(QLatin1String(".kml")))
        return checkXml(path, QStringLiteral("kml"));
    if (path.endsWith(QLatin1String(".gpx")))
        return checkXml(path, QStringLiteral("gpx"));
    return checkCsv(path);
}

} // namespace soak

namespace
{

using namespace soak;

using SteadyClock = std::chrono::steady_clock;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch())
        .count();
}

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

// ---- the run

struct Step {
    QString what;
    std::function<Res(QString& why)> run;
    int timeoutMs = 0; // 0: the run's default
};

class Soak : public QObject, public Runner
{
public:
    Soak()
    {
        m_seed = static_cast<quint32>(qEnvironmentVariableIntValue("ROVIX_SOAK_SEED"));
        m_total = envInt("ROVIX_SOAK_ACTIONS", 150);
        m_waitMs = envInt("ROVIX_SOAK_WAIT", 120) * 1000;
        m_watchdogMs = envInt("ROVIX_SOAK_WATCHDOG", 90) * 1000;
        m_logPath = qEnvironmentVariable("ROVIX_SOAK_LOG");
        m_out = qEnvironmentVariable("ROVIX_SOAK_OUT");
        m_browserLog = qEnvironmentVariable("ROVIX_SOAK_BROWSER_LOG");
        m_folders = qEnvironmentVariable("ROVIX_SOAK_FOLDERS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
        const QStringList skipped =
            qEnvironmentVariable("ROVIX_SOAK_SKIP").split(QLatin1Char(','), Qt::SkipEmptyParts);
        m_actions = actionTable(
            skipped, qEnvironmentVariable("ROVIX_SOAK_ONLY").split(QLatin1Char(','), Qt::SkipEmptyParts));
        if (m_actions.empty())
            fail(QStringLiteral("no action left to run"));
        m_rng.seed(m_seed);
        std::fprintf(stderr, "soak: seed %u, %d actions\n", m_seed, m_total);
        note(QStringLiteral("seed %1 actions %2").arg(m_seed).arg(m_total));

        m_lastBeat.store(nowMs());
        connect(&m_beat, &QTimer::timeout, this, [this] { m_lastBeat.store(nowMs()); });
        m_beat.start(100);
        m_watchdog = std::thread([this] { watch(); });
        connect(&m_tick, &QTimer::timeout, this, [this] { tick(); });
        m_tick.start(40);
        m_actionStart = nowMs();
        // The first action waits for the window and its library.
        m_steps.push_back({QStringLiteral("the main window is shown"), [](QString&) {
                               QWidget* mw = mainWindow();
                               return mw && mw->isVisible() && !pmIsWaiting() ? Res::Done : Res::Wait;
                           }});
    }

    ~Soak() override
    {
        m_stop.store(true);
        if (m_watchdog.joinable())
            m_watchdog.join();
    }

    // ---- what actions use

    quint32 draw() override { return static_cast<quint32>(m_rng()); }
    void add(const QString& what, std::function<Res(QString&)> run, int timeoutMs = 0) override
    {
        m_steps.push_back({what, std::move(run), timeoutMs});
    }
    QString out() const override { return m_out; }
    QStringList folders() const override { return m_folders; }
    QString browserLog() const override { return m_browserLog; }
    int actionNumber() const override { return m_done + 1; }
    void note(const QString& line) override
    {
        if (m_logPath.isEmpty())
            return;
        QFile f(m_logPath);
        if (f.open(QIODevice::Append)) {
            f.write(line.toUtf8() + '\n');
            f.flush();
        }
    }
    bool clicksPending() const override { return m_pending > 0; }

    // Runs op from the main loop on its own, after the current step returned.
    void post(std::function<void()> op) override
    {
        ++m_pending;
        QTimer::singleShot(0, this, [this, op = std::move(op)] {
            op();
            --m_pending;
        });
    }
    void click(QWidget* w, QPoint at, bool twice, Qt::KeyboardModifiers mods) override
    {
        QPointer<QWidget> guard(w);
        post([guard, at, twice, mods] {
            if (!guard)
                return;
            const QPoint p = at.isNull() ? guard->rect().center() : at;
            if (twice)
                QTest::mouseDClick(guard.data(), Qt::LeftButton, mods, p);
            else
                QTest::mouseClick(guard.data(), Qt::LeftButton, mods, p);
        });
    }
    void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods) override
    {
        QPointer<QWidget> guard(w);
        post([guard, k, mods] {
            if (guard)
                QTest::keyClick(guard.data(), k, mods);
        });
    }
    // Types into a line edit: the text replaces what is there (as select-all
    // and typing would), then the keys given follow.
    void type(QLineEdit* edit, const QString& text, Qt::Key then) override
    {
        QPointer<QLineEdit> guard(edit);
        post([guard, text, then] {
            if (!guard)
                return;
            guard->setFocus();
            guard->setText(text);
            if (then != Qt::Key_unknown)
                QTest::keyClick(guard.data(), then);
        });
    }

    // Waits for the main loop to have run everything queued so far (a file
    // chooser's follow-up, a scan's end) and for the busy window to close.
    void settle() override
    {
        auto marker = std::make_shared<bool>(false);
        add(QStringLiteral("queued work has run"), [this, marker](QString&) {
            if (clicksPending() || pmIsWaiting())
                return Res::Wait;
            if (!*marker) {
                QMetaObject::invokeMethod(
                    qApp, [marker] { *marker = true; }, Qt::QueuedConnection);
                return Res::Wait;
            }
            return Res::Done;
        });
    }

    // Clicks the button of every message box that is showing, until none is.
    void answerMessageBoxes() override
    {
        add(QStringLiteral("message boxes answered"), [this](QString&) {
            if (clicksPending())
                return Res::Wait;
            QMessageBox* box = visibleMessageBox();
            if (!box)
                return Res::Done;
            note(QStringLiteral("  message: %1").arg(box->text().left(200)));
            QAbstractButton* button = box->buttons().value(0);
            if (!button)
                return Res::Wait;
            click(button, QPoint(), false, Qt::NoModifier);
            return Res::Wait;
        });
    }

    // Chooses a path in the file chooser that is showing: typed into its name
    // field, then Return (or its Cancel button when path is empty).
    void answerFileDialog(const QString& path) override
    {
        auto typed = std::make_shared<bool>(false);
        add(QStringLiteral("file chooser answered with '%1'").arg(path.isEmpty() ? "Cancel" : path),
            [this, path, typed](QString& why) {
                QFileDialog* dialog = visibleFileDialog();
                if (*typed)
                    return dialog || clicksPending() ? Res::Wait : Res::Done;
                if (!dialog)
                    return Res::Wait;
                if (path.isEmpty()) {
                    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
                    QPushButton* cancel = box ? box->button(QDialogButtonBox::Cancel) : nullptr;
                    if (!cancel) {
                        why = QStringLiteral("the file chooser has no Cancel button");
                        return Res::Fail;
                    }
                    click(cancel, QPoint(), false, Qt::NoModifier);
                } else {
                    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                    if (!edit) {
                        why = QStringLiteral("the file chooser has no name field");
                        return Res::Fail;
                    }
                    type(edit, path, Qt::Key_Return);
                }
                *typed = true;
                return Res::Wait;
            });
    }

    [[noreturn]] void fail(const QString& why)
    {
        const QString text = QStringLiteral("SOAK FAILURE in action %1 (%2), seed %3: %4")
                                 .arg(m_done + 1)
                                 .arg(m_action)
                                 .arg(m_seed)
                                 .arg(why);
        note(text);
        std::fprintf(stderr, "%s\n", qPrintable(text));
        for (QWidget* w : visibleTopLevels())
            std::fprintf(stderr, "soak: showing %s\n", qPrintable(describe(w)));
        std::fflush(stderr);
        ::_exit(3);
    }

private:
    void watch()
    {
        while (!m_stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const qint64 away = nowMs() - m_lastBeat.load();
            if (away > m_watchdogMs) {
                std::fprintf(stderr,
                             "SOAK FAILURE: the main loop has not answered for %lld s (seed %u, action %d)\n",
                             static_cast<long long>(away / 1000), m_seed, m_done);
                std::fflush(stderr);
                std::abort(); // a core dump or the sanitizer's report shows where it hangs
            }
        }
    }

    void tick()
    {
        if (m_inTick)
            return;
        m_inTick = true;
        runSteps();
        m_inTick = false;
    }

    void runSteps()
    {
        for (int guard = 0; guard < 8; ++guard) {
            if (m_steps.empty()) {
                if (!m_started) {
                    m_started = true;
                } else {
                    note(QStringLiteral("  done in %1 ms").arg(nowMs() - m_actionStart));
                    ++m_done;
                }
                if (m_done >= m_total) {
                    finish();
                    return;
                }
                startNextAction();
                continue;
            }
            Step& step = m_steps.front();
            if (m_stepStart == 0)
                m_stepStart = nowMs();
            QString why;
            const Res r = step.run(why);
            switch (r) {
            case Res::Done:
                m_steps.pop_front();
                m_stepStart = 0;
                continue;
            case Res::End:
                if (!why.isEmpty())
                    note(QStringLiteral("  ended: %1").arg(why));
                m_steps.clear();
                m_stepStart = 0;
                continue;
            case Res::Fail:
                fail(QStringLiteral("%1: %2").arg(step.what, why));
            case Res::Wait: {
                const int limit = step.timeoutMs > 0 ? step.timeoutMs : m_waitMs;
                if (nowMs() - m_stepStart > limit)
                    fail(QStringLiteral("no sign after %1 s that %2").arg(limit / 1000).arg(step.what));
                return;
            }
            }
        }
    }

    void startNextAction()
    {
        // Every action starts from a quiet window: no box left, nothing queued.
        answerMessageBoxes();
        settle();
        add(QStringLiteral("no dialog is left open"), [](QString& why) {
            for (QWidget* w : visibleTopLevels()) {
                if (w->objectName() == QLatin1String("MainWindow") || qobject_cast<QMenu*>(w))
                    continue;
                if (qobject_cast<QDialog*>(w) && !w->inherits("WaitingWindow")) {
                    why = QStringLiteral("left open: %1").arg(describe(w));
                    return Res::Fail;
                }
            }
            return Res::Done;
        });
        const Action& action = m_actions.at(draw() % quint32(m_actions.size()));
        m_action = QLatin1String(action.name);
        const quint32 params[4] = {draw(), draw(), draw(), draw()};
        m_actionStart = nowMs();
        note(QStringLiteral("%1\t%2\t%3 %4 %5 %6")
                 .arg(m_done + 1)
                 .arg(action.name)
                 .arg(params[0])
                 .arg(params[1])
                 .arg(params[2])
                 .arg(params[3]));
        action.build(*this, params);
    }

    void finish()
    {
        m_tick.stop();
        note(QStringLiteral("SOAK DONE %1 actions").arg(m_done));
        std::fprintf(stderr, "SOAK DONE %d actions, seed %u\n", m_done, m_seed);
        std::fflush(stderr);
        // Leaves as a user does: the window's close box, which ends the application.
        if (QWidget* mw = mainWindow())
            mw->close();
        QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(0); });
    }

    quint32 m_seed = 0;
    int m_total = 0;
    int m_done = 0;
    bool m_started = false;
    int m_waitMs = 120000;
    int m_watchdogMs = 90000;
    QString m_logPath, m_out, m_browserLog;
    QStringList m_folders;
    std::vector<Action> m_actions;
    std::mt19937 m_rng;
    std::deque<Step> m_steps;
    qint64 m_stepStart = 0;
    qint64 m_actionStart = 0;
    QString m_action;
    QTimer m_tick, m_beat;
    int m_pending = 0;
    bool m_inTick = false;
    std::atomic<qint64> m_lastBeat{0};
    std::atomic<bool> m_stop{false};
    std::thread m_watchdog;
};

void startSoak()
{
    if (qEnvironmentVariableIsEmpty("ROVIX_SOAK_SEED"))
        return;
    // Created once the application's own start-up has run (main() goes on to
    // build the controller and its window after QApplication exists).
    QTimer::singleShot(0, qApp, [] { new Soak(); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startSoak)
