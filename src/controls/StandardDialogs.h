#pragma once
// The real dialogs behind the dialog seam (base/DialogSeam.h): Qt's message
// box and file choosers, window-modal over the main window. Installed once at
// launch. Must run on the main thread.
#include "base/DialogSeam.h"

class QWidget;

void pmInstallStandardDialogs(QWidget* defaultParent);
// The real dialogs as a presenter, for one that replaces only some of them.
DialogPresenter pmStandardDialogPresenter();
// The window dialogs and the busy window open over when their caller names none.
QWidget* pmDialogParent();
// Places a dialog over the middle of its parent's window (nothing without a parent).
void pmCentreOnParentWindow(QWidget* dialog);
// Gives one of the program's own dialogs the dark colours of the skin in
// force (Skin::dialogPalette), as the main window has them.
void pmApplySkinPalette(QWidget* dialog);
