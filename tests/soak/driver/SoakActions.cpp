// The actions of the soak run. Each one appends the steps a user would take:
// press a control of the main window, then answer whatever the application
// opens (its own dialogs, file choosers, the print dialog, message boxes),
// either to the end or to Cancel, and check what it wrote. An action whose
// control is hidden or offers nothing in the current state ends early; that
// is part of the run, not a failure.
#include "SoakDriver.h"

#include "WaitingWindow/WaitingWindow.h"
#include "controls/CalendarView.h"
#include "controls/FileListBox.h"
#include "controls/ProgressDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QWindow>
#include <memory>

namespace soak
{
namespace
{

QString outPath(Runner& r, const QString& name)
{
    return QDir(r.out()).filePath(QStringLiteral("%1-%2").arg(r.actionNumber()).arg(name));
}

// One step: click a visible control of the main window (at a point chosen by
// `where` from its size); the action ends when the control is not shown.
void clickNamed(Runner& r, const QString& name, std::function<QPoint(QWidget*)> where = {},
                bool twice = false)
{
    r.add(QStringLiteral("%1 can be clicked").arg(name), [&r, name, where, twice](QString& why) {
        QWidget* w = findInMain(name);
        if (!usable(w)) {
            why = QStringLiteral("%1 is not shown or disabled").arg(name);
            return Res::End;
        }
        r.click(w, where ? where(w) : QPoint(), twice);
        return Res::Done;
    });
}

// Waits until `find` shows a window after a click. The action ends when the
// click came back with none showing (the application had nothing to offer),
// or when a message box came instead (the next action clicks it away).
void awaitWindow(Runner& r, const QString& what, std::function<QWidget*()> find)
{
    r.add(QStringLiteral("%1 opens").arg(what), [&r, what, find](QString& why) {
        if (find())
            return Res::Done;
        if (QMessageBox* box = visibleMessageBox()) {
            why = QStringLiteral("a message instead of %1: %2").arg(what, box->text().left(120));
            return Res::End;
        }
        // A busy pointer: the program is still preparing it (frames decoded on workers).
        if (!r.clicksPending() && !QApplication::overrideCursor()) {
            why = QStringLiteral("no %1 in this state").arg(what);
            return Res::End;
        }
        return Res::Wait;
    });
}

// Waits until `find` no longer shows a window.
void awaitClosed(Runner& r, const QString& what, std::function<QWidget*()> find)
{
    r.add(QStringLiteral("%1 closes").arg(what), [find](QString&) { return find() ? Res::Wait : Res::Done; });
}

QWidget* topNamed(const char* name)
{
    for (QWidget* w : visibleTopLevels())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

// Clicks a child of a visible top-level window by object name.
void clickChild(Runner& r, const char* window, const char* child)
{
    r.add(QStringLiteral("%1 in %2 can be clicked").arg(QLatin1String(child), QLatin1String(window)),
          [&r, window, child](QString& why) {
              QWidget* top = topNamed(window);
              if (!top)
                  return Res::Wait;
              auto* w = top->findChild<QWidget*>(QLatin1String(child));
              if (!usable(w)) {
                  why =
                      QStringLiteral("%1 has no usable %2").arg(QLatin1String(window), QLatin1String(child));
                  return Res::Fail;
              }
              r.click(w);
              return Res::Done;
          });
}

// The camera row of the capture and print windows (two-camera recordings only).
void chooseCamera(Runner& r, const char* window, quint32 p)
{
    r.add(QStringLiteral("a camera is chosen"), [&r, window, p](QString&) {
        QWidget* top = topNamed(window);
        if (!top)
            return Res::Wait;
        const char* names[] = {"oCamera1Btn", "oCamera2Btn", "oCamera12Btn"};
        auto* button = top->findChild<QWidget*>(QLatin1String(names[p % 3]));
        if (usable(button)) {
            r.note(QStringLiteral("  camera choice %1").arg(QLatin1String(names[p % 3])));
            r.click(button);
        }
        return Res::Done;
    });
}

void closeMenus(Runner& r)
{
    r.add(QStringLiteral("menus are closed"), [&r](QString&) {
        if (r.clicksPending())
            return Res::Wait;
        for (QWidget* w : visibleTopLevels())
            if (auto* menu = qobject_cast<QMenu*>(w)) {
                r.key(menu, Qt::Key_Escape);
                return Res::Wait;
            }
        return Res::Done;
    });
}

// Lets the application run on its own for a while (playback goes on).
void pause(Runner& r, int ms)
{
    auto until = std::make_shared<qint64>(0);
    r.add(QStringLiteral("%1 ms pass").arg(ms), [until, ms](QString&) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (*until == 0)
            *until = now + ms;
        return now >= *until ? Res::Done : Res::Wait;
    });
}

// ---- playback

void seek(Runner& r, const quint32* p)
{
    clickNamed(r, QStringLiteral("poTimeSlider"), [x = p[0]](QWidget* w) {
        return QPoint(int(x % quint32(std::max(1, w->width()))), w->height() / 2);
    });
}

void volume(Runner& r, const quint32* p)
{
    clickNamed(r, QStringLiteral("poVolumeSlider"), [x = p[0]](QWidget* w) {
        return QPoint(int(x % quint32(std::max(1, w->width()))), w->height() / 2);
    });
}

void playerKey(Runner& r, const quint32* p)
{
    struct K {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    };
    static const K keys[] = {{Qt::Key_Space, {}},
                             {Qt::Key_Left, {}},
                             {Qt::Key_Right, {}},
                             {Qt::Key_Left, Qt::ShiftModifier},
                             {Qt::Key_Right, Qt::ShiftModifier},
                             {Qt::Key_PageUp, {}},
                             {Qt::Key_PageDown, {}},
                             {Qt::Key_Up, {}},
                             {Qt::Key_Down, {}},
                             {Qt::Key_M, {}},
                             {Qt::Key_F, {}},
                             {Qt::Key_Escape, {}},
                             {Qt::Key_E, {}}};
    const K k = keys[p[0] % (sizeof keys / sizeof keys[0])];
    r.add(QStringLiteral("key %1").arg(QKeySequence(k.key | k.mods).toString()), [&r, k](QString&) {
        QWidget* mw = mainWindow();
        if (!mw)
            return Res::Wait;
        QWidget* focus = QApplication::focusWidget();
        r.key(focus && focus->window() == mw ? focus : mw, k.key, k.mods);
        return Res::Done;
    });
}

void frameStep(Runner& r, const quint32* p)
{
    const Qt::Key k = p[0] % 2 ? Qt::Key_Right : Qt::Key_Left;
    r.add(QStringLiteral("a frame step"), [&r, k](QString&) {
        if (QWidget* mw = mainWindow())
            r.key(mw, k, Qt::ShiftModifier);
        return Res::Done;
    });
}

// ---- library

void calendarDay(Runner& r, const quint32* p)
{
    r.add(QStringLiteral("a calendar day is clicked"), [&r, a = p[0], b = p[1]](QString& why) {
        auto* calendar = qobject_cast<CalendarView*>(findInMain(QStringLiteral("CalendarView")));
        if (!usable(calendar) || calendar->calendarMode() != 0 || calendar->isShrunk()) {
            why = QStringLiteral("the month grid is not shown");
            return Res::End;
        }
        // Mostly a day that has recordings, else any cell of the grid.
        QList<int> marked;
        for (int cell = 0; cell < 42; ++cell)
            if (calendar->hasMark(cell))
                marked.append(cell);
        const int cell =
            (a % 4 != 0 && !marked.isEmpty()) ? marked.at(int(b % quint32(marked.size()))) : int(b % 42);
        r.click(calendar, calendar->cellQtRect(cell / 7, cell % 7).center());
        return Res::Done;
    });
}

void listRow(Runner& r, const quint32* p, bool twice)
{
    r.add(QStringLiteral("a file list row is clicked"), [&r, a = p[0], twice](QString& why) {
        auto* list = qobject_cast<FileListBox*>(findInMain(QStringLiteral("FileListBox")));
        if (!usable(list) || list->getCount() == 0) {
            why = QStringLiteral("the file list is empty");
            return Res::End;
        }
        const int shown = std::max(
            1, std::min(list->geometryModel().visibleRows(), list->getCount() - list->firstVisibleRow()));
        const int k = int(a % quint32(shown));
        r.click(list, list->rowQtRect(k).center(), twice);
        return Res::Done;
    });
}

// Full screen, left again after a moment (by the same button or Escape) three
// times in four, as a user looks and comes back.
void fullScreen(Runner& r, const quint32* p, const QString& button)
{
    clickNamed(r, button);
    if (p[1] % 4 == 0)
        return;
    pause(r, int(p[0] % 1500));
    r.add(QStringLiteral("full screen is left"), [&r, button, byKey = p[2] % 2 == 0](QString&) {
        if (r.clicksPending())
            return Res::Wait;
        QWidget* w = findInMain(button);
        if (!byKey && usable(w))
            r.click(w);
        else if (QWidget* mw = mainWindow())
            r.key(mw, Qt::Key_Escape);
        return Res::Done;
    });
}

void resizeWindow(Runner& r, const quint32* p)
{
    r.add(QStringLiteral("the window is resized"),
          [w = 980 + int(p[0] % 900), h = 660 + int(p[1] % 380)](QString&) {
              if (QWidget* mw = mainWindow())
                  mw->resize(w, h);
              return Res::Done;
          });
}

// ---- toolbar flows

void openFolder(Runner& r, const quint32* p)
{
    const QStringList folders = r.folders();
    const bool cancel = p[0] % 5 == 0 || folders.isEmpty();
    const QString folder = cancel ? QString() : folders.at(int(p[1] % quint32(folders.size())));
    clickNamed(r, QStringLiteral("oBrowseBtn"));
    awaitWindow(r, QStringLiteral("the folder chooser"), [] { return visibleFileDialog(); });
    r.answerFileDialog(folder);
    r.settle();
}

void exportTrack(Runner& r, const quint32* p, const QString& suffix)
{
    const bool cancel = p[0] % 6 == 0;
    const QString path = outPath(r, QStringLiteral("track.") + suffix);
    clickNamed(r, QStringLiteral("oExportBtn"));
    awaitWindow(r, QStringLiteral("the export chooser"), [] { return visibleFileDialog(); });
    r.answerFileDialog(cancel ? QString() : path);
    r.settle();
    if (cancel)
        return;
    r.add(QStringLiteral("the export is written"), [&r, path](QString& why) {
        if (QMessageBox* box = visibleMessageBox()) {
            why = QStringLiteral("export refused: %1").arg(box->text());
            return Res::Fail;
        }
        if (!QFileInfo::exists(path)) {
            // A track without positions writes nothing and says nothing.
            r.note(QStringLiteral("  no file written (no positions)"));
            return Res::Done;
        }
        why = checkExport(path);
        return why.isEmpty() ? Res::Done : Res::Fail;
    });
}

void capture(Runner& r, const quint32* p)
{
    const bool cancel = p[0] % 4 == 0;
    const QString path1 = outPath(r, QStringLiteral("capture-1.jpg"));
    const QString path2 = outPath(r, QStringLiteral("capture-2.jpg"));
    clickNamed(r, QStringLiteral("oCaptureBtn"));
    awaitWindow(r, QStringLiteral("the capture preview"), [] { return topNamed("CapturePreviewDlg"); });
    chooseCamera(r, "CapturePreviewDlg", p[1]);
    if (cancel) {
        clickChild(r, "CapturePreviewDlg", "cancelButton");
        awaitClosed(r, QStringLiteral("the capture preview"), [] { return topNamed("CapturePreviewDlg"); });
        return;
    }
    clickChild(r, "CapturePreviewDlg", "okButton");
    // One chooser per picture: two when both cameras are saved.
    auto count = std::make_shared<int>(0);
    r.add(QStringLiteral("each picture's chooser is answered"), [&r, count, path1, path2](QString&) {
        if (!topNamed("CapturePreviewDlg") && !visibleFileDialog())
            return Res::Done;
        QFileDialog* dialog = visibleFileDialog();
        if (!dialog || dialog->property("soakAnswered").toBool())
            return Res::Wait;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!edit)
            return Res::Wait;
        dialog->setProperty("soakAnswered", true);
        r.type(edit, ++*count == 1 ? path1 : path2, Qt::Key_Return);
        return Res::Wait;
    });
    r.settle();
    r.add(QStringLiteral("the pictures are written"), [count, path1, path2](QString& why) {
        if (visibleMessageBox()) {
            why = QStringLiteral("the capture was not saved: %1").arg(visibleMessageBox()->text());
            return Res::Fail;
        }
        why = checkJpeg(path1);
        if (why.isEmpty() && *count == 2)
            why = checkJpeg(path2);
        return why.isEmpty() ? Res::Done : Res::Fail;
    });
}

// Qt's print dialog: the PDF printer, a file name, OK.
void answerPrintDialog(Runner& r, const QString& pdf)
{
    auto answered = std::make_shared<bool>(false);
    r.add(QStringLiteral("the print dialog prints to '%1'").arg(pdf), [&r, pdf, answered](QString& why) {
        if (*answered)
            return Res::Done;
        QDialog* dialog = visibleDialogInheriting("QAbstractPrintDialog");
        if (QFileDialog* chooser = visibleFileDialog(); !dialog && chooser) {
            // A chooser for the PDF instead of a printer dialog.
            auto* edit = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit)
                return Res::Wait;
            r.type(edit, pdf, Qt::Key_Return);
            *answered = true;
            return Res::Wait;
        }
        if (!dialog)
            return Res::Wait;
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
        auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        if (!printers || !file || !buttons || !buttons->button(QDialogButtonBox::Ok)) {
            why = QStringLiteral("the print dialog has no printer list, file name or OK");
            return Res::Fail;
        }
        int pdfRow = -1;
        for (int i = 0; i < printers->count(); ++i)
            if (printers->itemText(i).contains(QLatin1String("PDF"), Qt::CaseInsensitive))
                pdfRow = i;
        if (pdfRow < 0) {
            why = QStringLiteral("the print dialog offers no PDF printer");
            return Res::Fail;
        }
        printers->setCurrentIndex(pdfRow);
        file->setText(pdf);
        r.click(buttons->button(QDialogButtonBox::Ok));
        *answered = true;
        return Res::Wait;
    });
}

void print(Runner& r, const quint32* p)
{
    const bool cancel = p[0] % 4 == 0;
    const QString pdf = outPath(r, QStringLiteral("page.pdf"));
    clickNamed(r, QStringLiteral("oPrintBtn"));
    awaitWindow(r, QStringLiteral("the print window"), [] { return topNamed("PrintWindow"); });
    chooseCamera(r, "PrintWindow", p[1]);
    if (cancel) {
        clickChild(r, "PrintWindow", "cancelButton");
        awaitClosed(r, QStringLiteral("the print window"), [] { return topNamed("PrintWindow"); });
        return;
    }
    clickChild(r, "PrintWindow", "okButton");
    answerPrintDialog(r, pdf);
    r.add(QStringLiteral("the page is written"), [pdf](QString& why) {
        if (visibleDialogInheriting("QAbstractPrintDialog") || visibleFileDialog())
            return Res::Wait;
        if (QMessageBox* box = visibleMessageBox()) {
            why = QStringLiteral("printing failed: %1").arg(box->text());
            return Res::Fail;
        }
        return checkPdf(pdf).isEmpty() ? Res::Done : Res::Wait;
    });
    r.add(QStringLiteral("the page is valid"), [pdf](QString& why) {
        why = checkPdf(pdf);
        return why.isEmpty() ? Res::Done : Res::Fail;
    });
    // The print window stays for another page; close it.
    r.add(QStringLiteral("the print window is left"), [&r](QString&) {
        QWidget* top = topNamed("PrintWindow");
        if (!top)
            return Res::Done;
        auto* cancelButton = top->findChild<QWidget*>(QStringLiteral("cancelButton"));
        if (usable(cancelButton) && !top->property("soakLeaving").toBool()) {
            top->setProperty("soakLeaving", true);
            r.click(cancelButton);
        }
        return Res::Wait;
    });
}

// The selection window (backup or upload): one to three rows, then OK or Cancel.
void chooseRows(Runner& r, quint32 p, bool cancel, bool evidence)
{
    r.add(QStringLiteral("recordings are chosen"), [&r, p, evidence](QString& why) {
        QWidget* top = topNamed("BackupDlg");
        // Clicked once the window is on screen and laid out.
        if (!top || !top->windowHandle() || !top->windowHandle()->isExposed())
            return Res::Wait;
        auto* table = top->findChild<QTableWidget*>(QStringLiteral("mTableView"));
        if (!table || table->rowCount() == 0) {
            why = QStringLiteral("the selection window lists nothing");
            return Res::Fail;
        }
        const int rows = std::min(table->rowCount(), 1 + int(p % 3));
        const int first = int((p / 3) % quint32(table->rowCount() - rows + 1));
        for (int i = 0; i < rows; ++i) {
            QPointer<QTableWidget> guard(table);
            const int row = first + i;
            const Qt::KeyboardModifiers mods = i == 0 ? Qt::NoModifier : Qt::ControlModifier;
            // Where the row is is worked out when the click is delivered.
            r.post([guard, row, mods] {
                QTableWidgetItem* item = guard ? guard->item(row, 0) : nullptr;
                if (!item)
                    return;
                guard->scrollToItem(item);
                QTest::mouseClick(guard->viewport(), Qt::LeftButton, mods,
                                  guard->visualItemRect(item).center());
            });
        }
        if (evidence)
            if (auto* box = top->findChild<QWidget*>(QStringLiteral("evidenceCheckBox")); usable(box))
                r.click(box);
        return Res::Done;
    });
    r.add(QStringLiteral("the choice is confirmed"), [&r, cancel](QString& why) {
        if (r.clicksPending())
            return Res::Wait;
        QWidget* top = topNamed("BackupDlg");
        if (!top)
            return Res::Wait;
        auto* table = top->findChild<QTableWidget*>(QStringLiteral("mTableView"));
        if (!cancel && (!table || table->selectionModel()->selectedRows().isEmpty())) {
            why = QStringLiteral("clicks on the rows chose none");
            return Res::Fail;
        }
        auto* button =
            top->findChild<QWidget*>(cancel ? QStringLiteral("cancelButton") : QStringLiteral("okButton"));
        if (!usable(button)) {
            why = QStringLiteral("the selection window has no usable %1").arg(cancel ? "Cancel" : "OK");
            return Res::Fail;
        }
        r.click(button);
        return Res::Done;
    });
    awaitClosed(r, QStringLiteral("the selection window"), [] { return topNamed("BackupDlg"); });
}

// A copy in the backup folder matches a recording of that name on the card.
QString checkBackup(const QString& dest, const QStringList& cards)
{
    // An evidence package puts the copies in a folder of its own.
    QStringList copied;
    for (QDirIterator it(dest, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        copied << QDir(dest).relativeFilePath(it.next());
    if (copied.isEmpty())
        return QStringLiteral("the backup folder %1 is empty").arg(dest);
    for (const QString& name : copied) {
        const QString ext = QFileInfo(name).suffix().toUpper();
        const QString base = QFileInfo(name).fileName();
        if (ext != QLatin1String("MP4") && ext != QLatin1String("MOV") && ext != QLatin1String("AVI"))
            continue;
        const qint64 size = QFileInfo(QDir(dest).filePath(name)).size();
        bool matched = false;
        for (const QString& card : cards) {
            QDirIterator it(card, {base}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext() && !matched)
                matched = QFileInfo(it.next()).size() == size;
        }
        if (!matched)
            return QStringLiteral("the copy %1 (%2 bytes) matches no recording of that name")
                .arg(name)
                .arg(size);
    }
    return {};
}

void backup(Runner& r, const quint32* p, bool cancelCopy)
{
    const bool cancelChoice = !cancelCopy && p[0] % 6 == 0;
    const bool cancelFolder = !cancelCopy && p[0] % 6 == 1;
    const QString dest = outPath(r, QStringLiteral("backup"));
    clickNamed(r, QStringLiteral("oBackupBtn"));
    awaitWindow(r, QStringLiteral("the backup selection"), [] { return topNamed("BackupDlg"); });
    chooseRows(r, p[1], cancelChoice, p[2] % 3 == 0);
    if (cancelChoice)
        return;
    r.add(QStringLiteral("the backup folder exists"), [dest](QString&) {
        QDir().mkpath(dest);
        return Res::Done;
    });
    awaitWindow(r, QStringLiteral("the folder chooser"), [] { return visibleFileDialog(); });
    r.answerFileDialog(cancelFolder ? QString() : dest);
    if (cancelFolder)
        return;
    // The chooser's follow-up (the check of the folder, the progress window) has run.
    r.settle();
    if (cancelCopy) {
        r.add(QStringLiteral("the copy is cancelled"), [&r](QString&) {
            auto* progress = qobject_cast<ProgressDlg*>(topNamed("ProgressDlg"));
            if (!progress)
                return Res::Done; // refused before it started
            if (!progress->isFinished() && usable(progress->cancelButton()))
                r.click(progress->cancelButton());
            return Res::Done;
        });
    }
    // The window stays with what became of each file until Close.
    r.add(QStringLiteral("the backup is over and its window closed"), [&r](QString&) {
        auto* progress = qobject_cast<ProgressDlg*>(topNamed("ProgressDlg"));
        if (!progress)
            return Res::Done;
        if (QMessageBox* box = visibleMessageBox(); box && !r.clicksPending()) {
            r.note(QStringLiteral("  message: %1").arg(box->text().left(200)));
            r.click(box->buttons().value(0));
            return Res::Wait;
        }
        if (progress->isFinished() && !r.clicksPending() && !visibleMessageBox() &&
            usable(progress->cancelButton()) && !progress->property("soakLeaving").toBool()) {
            progress->setProperty("soakLeaving", true);
            r.click(progress->cancelButton());
        }
        return Res::Wait;
    });
    r.settle();
    if (cancelCopy)
        return;
    r.add(QStringLiteral("the copies are there"), [&r, dest](QString& why) {
        if (QMessageBox* box = visibleMessageBox()) {
            r.note(QStringLiteral("  backup refused: %1").arg(box->text().left(200)));
            return Res::Done;
        }
        why = checkBackup(dest, r.folders());
        return why.isEmpty() ? Res::Done : Res::Fail;
    });
}

void upload(Runner& r, const quint32* p)
{
    const int stop = int(p[0] % 8); // 0: at sign-in, 1: at the choice, 2: at the upload window
    clickNamed(r, QStringLiteral("oUploadFacebookBtn"));
    awaitWindow(r, QStringLiteral("the sign-in window"), [] { return topNamed("LoginDlg"); });
    if (stop == 0) {
        r.add(QStringLiteral("the sign-in page has loaded"),
              [](QString&) { return pmIsWaiting() ? Res::Wait : Res::Done; });
        r.add(QStringLiteral("the sign-in is left"), [&r](QString&) {
            QWidget* login = topNamed("LoginDlg");
            if (!login)
                return Res::Done; // signed in already
            auto* cancel = login->findChild<QWidget*>(QStringLiteral("cancelButton"));
            if (usable(cancel))
                r.click(cancel);
            else
                r.key(login, Qt::Key_Escape);
            return Res::Done;
        });
        awaitClosed(r, QStringLiteral("the sign-in window"), [] { return topNamed("LoginDlg"); });
        r.settle();
        r.add(QStringLiteral("a selection window opened after the sign-in is left"), [&r](QString&) {
            if (QWidget* select = topNamed("BackupDlg")) {
                if (auto* cancel = select->findChild<QWidget*>(QStringLiteral("cancelButton"));
                    usable(cancel))
                    r.click(cancel);
                return Res::Wait;
            }
            return r.clicksPending() ? Res::Wait : Res::Done;
        });
        return;
    }
    // The stand-in network signs in at once: the selection window follows.
    r.add(QStringLiteral("the sign-in ends"), [](QString& why) {
        if (topNamed("BackupDlg"))
            return Res::Done;
        if (!topNamed("LoginDlg")) {
            why = visibleMessageBox() ? QStringLiteral("sign-in refused: %1").arg(visibleMessageBox()->text())
                                      : QStringLiteral("the sign-in window closed without a selection");
            return Res::End;
        }
        return Res::Wait;
    });
    chooseRows(r, p[1], stop == 1, false);
    if (stop == 1)
        return;
    r.add(QStringLiteral("the upload window opens"), [](QString& why) {
        if (topNamed("EditUploadDlg"))
            return Res::Done;
        why = QStringLiteral("no upload window after the choice");
        return Res::Wait;
    });
    r.add(QStringLiteral("a title is typed and the upload starts"),
          [&r, stop, n = r.actionNumber()](QString&) {
              QWidget* dlg = topNamed("EditUploadDlg");
              if (!dlg)
                  return Res::Wait;
              if (auto* title = dlg->findChild<QLineEdit*>(QStringLiteral("editTitle"))) {
                  if (title->isVisible())
                      r.type(title, QStringLiteral("Soak %1 ドライブ").arg(n));
              }
              auto* button = dlg->findChild<QWidget*>(stop == 2 ? QStringLiteral("cancelButton")
                                                                : QStringLiteral("uploadButton"));
              if (!usable(button))
                  return Res::Wait;
              r.click(button);
              return Res::Done;
          });
    if (stop == 2) {
        awaitClosed(r, QStringLiteral("the upload window"), [] { return topNamed("EditUploadDlg"); });
        return;
    }
    // The run ends with a message: uploaded, or why not.
    r.add(QStringLiteral("the upload's result is told"),
          [](QString&) { return visibleMessageBox() ? Res::Done : Res::Wait; });
    r.answerMessageBoxes();
    // After a refusal the window stays in its uploading state: Cancel ends
    // that, and the same button (now Close) closes the window.
    r.add(QStringLiteral("the upload window is left"), [&r](QString&) {
        QWidget* dlg = topNamed("EditUploadDlg");
        if (!dlg)
            return Res::Done;
        auto* cancel = dlg->findChild<QWidget*>(QStringLiteral("cancelButton"));
        if (!r.clicksPending() && !visibleMessageBox() && usable(cancel))
            r.click(cancel);
        return Res::Wait;
    });
}

int lineCount(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

void videoSite(Runner& r, const quint32*)
{
    auto before = std::make_shared<int>(0);
    r.add(QStringLiteral("the browser has been asked so far"), [&r, before](QString&) {
        *before = lineCount(r.browserLog());
        return Res::Done;
    });
    clickNamed(r, QStringLiteral("oUploadYouTubeBtn"));
    r.add(QStringLiteral("the browser is asked for the video site"), [&r, before](QString&) {
        if (r.browserLog().isEmpty())
            return Res::Done;
        return lineCount(r.browserLog()) > *before ? Res::Done : Res::Wait;
    });
}

// ---- settings menu

// Opens the settings menu and clicks an item (in the skin submenu when
// skinTag >= 0); a disabled item leaves the menu to be closed by Escape.
void settingsItem(Runner& r, const QString& item, int skinTag)
{
    clickNamed(r, QStringLiteral("oSettingBtn"));
    r.add(QStringLiteral("the settings menu opens"),
          [](QString&) { return findVisible(QStringLiteral("settingsMenu")) ? Res::Done : Res::Wait; });
    r.add(QStringLiteral("the item '%1' is clicked").arg(skinTag >= 0 ? QStringLiteral("skin") : item),
          [&r, item, skinTag](QString& why) {
              auto* menu = qobject_cast<QMenu*>(findVisible(QStringLiteral("settingsMenu")));
              if (!menu || r.clicksPending())
                  return Res::Wait;
              QAction* action = nullptr;
              if (skinTag >= 0) {
                  auto* skins = menu->findChild<QMenu*>(QStringLiteral("skinMenu"));
                  action = skins ? skins->menuAction() : nullptr;
              } else {
                  action = menu->findChild<QAction*>(item);
              }
              if (!action) {
                  why = QStringLiteral("the settings menu has no %1").arg(item);
                  return Res::Fail;
              }
              r.click(menu, menu->actionGeometry(action).center());
              return Res::Done;
          });
    if (skinTag >= 0) {
        r.add(QStringLiteral("a skin is chosen"), [&r, skinTag](QString&) {
            auto* skins = qobject_cast<QMenu*>(findVisible(QStringLiteral("skinMenu")));
            if (!skins || r.clicksPending())
                return Res::Wait;
            const QList<QAction*> actions = skins->actions();
            if (skinTag < actions.size())
                r.click(skins, skins->actionGeometry(actions.at(skinTag)).center());
            return Res::Done;
        });
    }
    if (item == QLatin1String("aboutItem")) {
        awaitWindow(r, QStringLiteral("the About box"), [] { return topNamed("AboutDialog"); });
        clickChild(r, "AboutDialog", "aboutOk");
        awaitClosed(r, QStringLiteral("the About box"), [] { return topNamed("AboutDialog"); });
    }
    closeMenus(r);
}

} // namespace

std::vector<Action> actionTable(const QStringList& skipped, const QStringList& only)
{
    using P = const quint32*;
    std::vector<Action> all = {
        {"play-pause", [](Runner& r, P) { clickNamed(r, QStringLiteral("poPlayBtn")); }},
        {"seek", seek},
        {"frame-step", frameStep},
        {"next", [](Runner& r, P) { clickNamed(r, QStringLiteral("poNextBtn")); }},
        {"previous", [](Runner& r, P) { clickNamed(r, QStringLiteral("poPrevBtn")); }},
        {"speed", [](Runner& r, P) { clickNamed(r, QStringLiteral("poSpeedBtn")); }},
        {"volume", volume},
        {"mute", [](Runner& r, P) { clickNamed(r, QStringLiteral("poVolumeBtn")); }},
        {"full-screen-video", [](Runner& r, P p) { fullScreen(r, p, QStringLiteral("poFullScreenBtn")); }},
        {"full-screen-map", [](Runner& r, P p) { fullScreen(r, p, QStringLiteral("fullMapButton")); }},
        {"wait", [](Runner& r, P p) { pause(r, int(p[0] % 3000)); }},
        {"gsensor-click",
         [](Runner& r, P p) {
             clickNamed(r, QStringLiteral("gsensorView"), [x = p[0]](QWidget* w) {
                 return QPoint(int(x % quint32(std::max(1, w->width()))), w->height() / 2);
             });
         }},
        {"calendar-day", calendarDay},
        {"calendar-month",
         [](Runner& r, P p) {
             clickNamed(r, p[0] % 2 ? QStringLiteral("CalendarNext") : QStringLiteral("CalendarPrev"));
         }},
        {"calendar-tab",
         [](Runner& r, P p) {
             clickNamed(r, p[0] % 3 == 0 ? QStringLiteral("AllTab") : QStringLiteral("CalendarTab"));
         }},
        {"list-click", [](Runner& r, P p) { listRow(r, p, false); }},
        {"list-double-click", [](Runner& r, P p) { listRow(r, p, true); }},
        {"list-double-click-2", [](Runner& r, P p) { listRow(r, p, true); }},
        {"type-filter",
         [](Runner& r, P p) {
             const char* boxes[] = {"EventCheckBox", "NormalCheckBox", "ParkingCheckBox"};
             clickNamed(r, QLatin1String(boxes[p[0] % 3]));
         }},
        {"key", playerKey},
        {"key-2", playerKey},
        {"resize", resizeWindow},
        {"window-switch", [](Runner& r, P) { clickNamed(r, QStringLiteral("oWindowSwitchBtn")); }},
        {"open-folder", openFolder},
        {"print", print},
        {"backup", [](Runner& r, P p) { backup(r, p, false); }},
        {"backup-cancel", [](Runner& r, P p) { backup(r, p, true); }},
        {"capture", capture},
        {"export-kml", [](Runner& r, P p) { exportTrack(r, p, QStringLiteral("kml")); }},
        {"export-gpx", [](Runner& r, P p) { exportTrack(r, p, QStringLiteral("gpx")); }},
        {"export-csv", [](Runner& r, P p) { exportTrack(r, p, QStringLiteral("csv")); }},
        {"upload", upload},
        {"video-site", videoSite},
        {"skin", [](Runner& r, P p) { settingsItem(r, QString(), int(p[0] % 4)); }},
        {"view-360", [](Runner& r, P) { settingsItem(r, QStringLiteral("view360Item"), -1); }},
        {"place-by-name", [](Runner& r, P) { settingsItem(r, QStringLiteral("placeByNameTimeItem"), -1); }},
        {"about", [](Runner& r, P) { settingsItem(r, QStringLiteral("aboutItem"), -1); }},
    };
    std::vector<Action> kept;
    for (Action& a : all) {
        QString base = QLatin1String(a.name);
        base.remove(QRegularExpression(QStringLiteral("-2$")));
        if (!skipped.contains(QLatin1String(a.name)) && !skipped.contains(base) &&
            (only.isEmpty() || only.contains(base)))
            kept.push_back(std::move(a));
    }
    return kept;
}

} // namespace soak
