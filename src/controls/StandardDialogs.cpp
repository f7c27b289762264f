#include "controls/StandardDialogs.h"

#include "base/DialogSeam.h"
#include "base/Services.h"

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

int showMessageBox(const DialogRequest& request)
{
    QMessageBox box(pmDialogParent());
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(request.title);
    box.setText(request.text);
    QPushButton* ok = box.addButton(pmLoadString(QStringLiteral("IDS_OK")), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok ? 1 : 2;
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

void pmInstallStandardDialogs(QWidget* defaultParent)
{
    defaultParentSlot() = defaultParent;
    pmSetDialogPresenter({&showMessageBox, &showChooser});
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
