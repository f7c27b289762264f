#pragma once
// The print window: the page (PrintCanvasView) on a grey background, Print
// (the default button) and Cancel, and for a two-camera recording the three
// skinned buttons that choose camera 1, camera 2 or both. Print opens the
// platform's print dialog (whose print-to-file makes a PDF with no printer
// installed) and prints the page as one page, fitted to the paper with no top
// margin; the window stays open for more copies or another camera. A page
// printed to a PDF file is written whole or not at all: a file that cannot be
// written is reported (message and log line) and an older file of that name
// is left as it was. Open it with open(); its print dialog opens the same
// way and the page is printed once that dialog has closed. Must run on the
// main thread.
#include "views/PrintCanvasView.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

class BitmapButton;
class QPainter;
class QPrinter;
class QPushButton;

class PrintWindowController : public QDialog
{
    Q_OBJECT
public:
    explicit PrintWindowController(const PrintPageData& page, QWidget* parent = nullptr);
    ~PrintWindowController() override;

    void windowDidLoad();
    void printOnePage();
    void cancel();
    void onCamera1ButtonPressed();
    void onCamera2ButtonPressed();
    void onCamera12ButtonPressed();

    // Prints the page on a printer that is already set up; false when the
    // printer could not be started.
    bool printPage(QPrinter& printer) const;
    // Prints on a printer set up by the print dialog; a PDF file goes through
    // printPdfFile. Failures are logged and, for a file, shown.
    void printAndReport(QPrinter& printer);
    // The page as a PDF file at `path`, in the printer's page layout; false
    // (and the reason) when it could not be written whole.
    bool printPdfFile(const QPrinter& printer, const QString& path, QString* error = nullptr) const;

    // Stands in for the print dialog: gets the printer, may set it up (a PDF
    // file, for example), and answers whether to print. Empty: the real dialog.
    using PrintDialogHook = std::function<bool(QPrinter&)>;
    static void setPrintDialogHook(PrintDialogHook hook);

    int captureOptions() const { return m_nCaptureOptions; }
    PrintCanvasView* canvasView() const { return m_canvasView; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    BitmapButton* oCamera1Btn() const { return m_oCamera1Btn; }
    BitmapButton* oCamera2Btn() const { return m_oCamera2Btn; }
    BitmapButton* oCamera12Btn() const { return m_oCamera12Btn; }

    // The page's size in points.
    static constexpr int kPageWidth = 540;
    static constexpr int kPageHeight = 720;

private:
    void chooseOption(int option);
    void drawFitted(QPainter& painter, const QRectF& area) const;

    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    PrintCanvasView* m_canvasView = nullptr;
    BitmapButton* m_oCamera1Btn = nullptr;
    BitmapButton* m_oCamera2Btn = nullptr;
    BitmapButton* m_oCamera12Btn = nullptr;
    int m_nCaptureOptions = PrintOneCamera;
    bool m_bTwoCameras = false;
    // The print settings of this window's run: a second Print starts from
    // the printer, file and options chosen for the first.
    std::unique_ptr<QPrinter> thePrintInfo;
    QPointer<QDialog> m_printDialog;
};
