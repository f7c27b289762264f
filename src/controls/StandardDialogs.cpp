#include "controls/StandardDialogs.h"

#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/Skin.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace
{
QPointer<QWidget>& defaultParentSlot()
{
    static QPointer<QWidget> parent;
    return parent;
}

// Opens the alert and returns at once: the box runs in the main loop, not in
// a loop of its own, so whatever handler asked for it (a socket's, a
// player's, a dialog's) can return and its object may go away safely.
int showMessageBox(const DialogRequest& request)
{
    auto* box = new QMessageBox(pmDialogParent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("pmMessageBox"));
    box->setIcon(request.icon == DialogRequest::Icon::Information ? QMessageBox::Information
                                                                  : QMessageBox::Warning);
    box->setWindowTitle(request.title);
    box->setText(request.text);
    // An address or a path in a message can be copied from it.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* ok = box->addButton(pmLoadString(QStringLiteral("IDS_OK")), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->open(); // window-modal over the main window
    return 1;
}

void showChooser(QWidget* parent, const DialogRequest& request, std::function<void(const QString&)> done)
{
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    const bool save = request.kind == DialogRequest::Kind::SaveFile;
    if (request.kind == DialogRequest::Kind::ChooseFolder)
        mode = QFileDialog::Directory;
    else if (request.kind == DialogRequest::Kind::OpenFile)
        mode = QFileDialog::ExistingFile;
    if (!parent)
        parent = pmDialogParent();
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
    // The follow-up (a scan, an export with its messages) runs queued, once
    // the dialog has finished closing: run inside finished() it would sit
    // under QFileDialog::accept() while the dialog deletes itself.
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, done](int result) {
        QString path;
        if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
            path = dialog->selectedFiles().first();
        if (done)
            QMetaObject::invokeMethod(
                qApp, [done, path] { done(path); }, Qt::QueuedConnection);
    });
    dialog->open();
}
void showQuestion(QWidget* parent, const DialogRequest& request, std::function<void(bool)> done)
{
    if (!parent)
        parent = pmDialogParent();
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("pmQuestionBox"));
    box->setIcon(QMessageBox::Question);
    box->setWindowTitle(request.title);
    box->setText(request.text);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QPushButton* yes = box->addButton(request.yesText, QMessageBox::YesRole);
    QPushButton* no = box->addButton(request.noText, QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
    // As for the choosers: the follow-up runs queued, after the box has closed.
    QObject::connect(box, &QMessageBox::finished, box, [box, yes, done](int) {
        const bool answer = box->clickedButton() == yes;
        if (done)
            QMetaObject::invokeMethod(
                qApp, [done, answer] { done(answer); }, Qt::QueuedConnection);
    });
    box->open();
}
} // namespace

DialogPresenter pmStandardDialogPresenter()
{
    return {&showMessageBox, &showChooser, &showQuestion};
}

void pmInstallStandardDialogs(QWidget* defaultParent)
{
    defaultParentSlot() = defaultParent;
    pmSetDialogPresenter(pmStandardDialogPresenter());
}

QWidget* pmDialogParent()
{
    return defaultParentSlot().data();
}

void pmCentreOnParentWindow(QWidget* dialog)
{
    if (QWidget* parent = dialog ? dialog->parentWidget() : nullptr)
        dialog->move(parent->window()->geometry().center() - dialog->rect().center());
}

void pmApplySkinPalette(QWidget* dialog)
{
    if (!dialog)
        return;
    dialog->setPalette(Skin::dialogPalette(Skin::currentId()));
    dialog->setAutoFillBackground(true);
}
