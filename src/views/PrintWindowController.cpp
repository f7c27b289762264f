#include "views/PrintWindowController.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/CameraChoiceRow.h"
#include "core/Log.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>

namespace
{
constexpr int kMargin = 20;
constexpr int kButtonRowHeight = 52;

PrintWindowController::PrintDialogHook& dialogHook()
{
    static PrintWindowController::PrintDialogHook hook;
    return hook;
}
} // namespace

void PrintWindowController::setPrintDialogHook(PrintDialogHook hook)
{
    dialogHook() = std::move(hook);
}

PrintWindowController::PrintWindowController(const PrintPageData& page, QWidget* parent)
    : QDialog(parent), m_bTwoCameras(!page.videoImage2.isNull())
{
    setObjectName(QStringLiteral("PrintWindow"));
    pmApplySkinPalette(this);
    setModal(true);
    m_canvasView = new PrintCanvasView(QRect(kMargin, kMargin, kPageWidth, kPageHeight), page, this);
    m_cancelButton = new QPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_okButton = new QPushButton(this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    // Return prints.
    m_okButton->setDefault(true);
    m_okButton->setAutoDefault(true);
    m_cancelButton->setAutoDefault(false);
    connect(m_okButton, &QPushButton::clicked, this, &PrintWindowController::printOnePage);
    connect(m_cancelButton, &QPushButton::clicked, this, &PrintWindowController::cancel);
    windowDidLoad();
}

PrintWindowController::~PrintWindowController() = default;

void PrintWindowController::windowDidLoad()
{
    setWindowTitle(pmLoadString(QStringLiteral("IDS_PRINT_PREVIEW")));
    m_okButton->setText(pmLoadString(QStringLiteral("IDS_PRINT")));
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CANCEL")));

    const int width = kPageWidth + 2 * kMargin;
    int height = kPageHeight + 2 * kMargin + kButtonRowHeight;
    int pageTop = kMargin;
    m_nCaptureOptions = m_bTwoCameras ? PrintBothCameras : PrintOneCamera;
    // With two cameras the window grows to hold the camera buttons.
    if (m_bTwoCameras) {
        height += CameraChoiceRow::kSpace;
        pageTop += CameraChoiceRow::kSpace;
    }
    setFixedSize(width, height);
    m_canvasView->move(kMargin, pageTop);
    const int buttonY = pageTop + kPageHeight + (kButtonRowHeight + kMargin - 32) / 2;
    m_okButton->setGeometry(width - kMargin - 120, buttonY, 120, 32);
    m_cancelButton->setGeometry(width - kMargin - 240, buttonY, 110, 32);

    if (!m_bTwoCameras)
        return;
    const CameraChoiceRow row = CameraChoiceRow::create(this, width, pageTop);
    m_oCamera1Btn = row.camera1;
    m_oCamera2Btn = row.camera2;
    m_oCamera12Btn = row.both;
    connect(m_oCamera1Btn, &BitmapButton::clicked, this, &PrintWindowController::onCamera1ButtonPressed);
    connect(m_oCamera2Btn, &BitmapButton::clicked, this, &PrintWindowController::onCamera2ButtonPressed);
    connect(m_oCamera12Btn, &BitmapButton::clicked, this, &PrintWindowController::onCamera12ButtonPressed);
}

void PrintWindowController::chooseOption(int option)
{
    qDebug(option == PrintCamera2 ? "Camera2 button pressed !" : "Camera1 button pressed !");
    if (m_nCaptureOptions == option)
        return;
    m_nCaptureOptions = option;
    m_canvasView->setPrintOptions(option, true);
    if (m_oCamera1Btn) {
        m_oCamera1Btn->checkButton(option == PrintCamera1);
        m_oCamera2Btn->checkButton(option == PrintCamera2);
        m_oCamera12Btn->checkButton(option == PrintBothCameras);
    }
}

void PrintWindowController::onCamera1ButtonPressed()
{
    chooseOption(PrintCamera1);
}

void PrintWindowController::onCamera2ButtonPressed()
{
    chooseOption(PrintCamera2);
}

void PrintWindowController::onCamera12ButtonPressed()
{
    chooseOption(PrintBothCameras);
}

void PrintWindowController::printOnePage()
{
    if (m_printDialog)
        return; // its print dialog is already open
    if (!thePrintInfo)
        thePrintInfo = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinter& printer = *thePrintInfo;
    // No top margin: the page starts at the top of the paper.
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Point);
    printer.setPageMargins(QMarginsF(margins.left(), 0, margins.right(), margins.bottom()),
                           QPageLayout::Point);
    if (dialogHook()) {
        if (dialogHook()(printer))
            printAndReport(printer);
        return;
    }
    // The print dialog opens over this window and the Print button's handler
    // returns; the page is printed from the main loop once the dialog has
    // closed.
    auto* dialog = new QPrintDialog(&printer, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_printDialog = dialog;
    connect(dialog, &QDialog::finished, this, [this](int result) {
        if (result != QDialog::Accepted)
            return;
        QMetaObject::invokeMethod(
            this, [this] { printAndReport(*thePrintInfo); }, Qt::QueuedConnection);
    });
    dialog->open();
}

void PrintWindowController::printAndReport(QPrinter& printer)
{
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    if (!toFile) {
        if (!printPage(printer))
            pmWriteLog("PrintWindowController - the printer could not be started");
        return;
    }
    const QString path = printer.outputFileName();
    QString error;
    if (printPdfFile(printer, path, &error)) {
        pmWriteLogQ(QStringLiteral("PrintWindowController - printed to %1").arg(path));
        return;
    }
    pmWriteLogQ(QStringLiteral("PrintWindowController - cannot write %1 : %2").arg(path, error));
    pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_EXPORT_FAILED")).arg(QDir::toNativeSeparators(path)));
}

void PrintWindowController::drawFitted(QPainter& painter, const QRectF& area) const
{
    // The page's points onto the printable area, whole page visible, from its top-left corner.
    const QSizeF page = m_canvasView->pageSize();
    const double scale = std::min(area.width() / page.width(), area.height() / page.height());
    painter.scale(scale, scale);
    m_canvasView->drawPage(painter);
}

bool PrintWindowController::printPage(QPrinter& printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    drawFitted(painter, printer.pageLayout().paintRectPixels(printer.resolution()));
    return painter.end();
}

bool PrintWindowController::printPdfFile(const QPrinter& printer, const QString& path, QString* error) const
{
    // The PDF writer does not report a file it could not finish: the
    // document is made in memory, then written through a temporary file that
    // replaces the target only when every byte reached the disk. A full disk
    // leaves no cut file and an older file of that name as it was.
    QBuffer document;
    document.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&document);
        pdf.setResolution(printer.resolution());
        pdf.setPageLayout(printer.pageLayout());
        pdf.setTitle(printer.docName());
        pdf.setCreator(printer.creator());
        QPainter painter;
        if (!painter.begin(&pdf)) {
            if (error)
                *error = QStringLiteral("the page could not be drawn");
            return false;
        }
        drawFitted(painter, pdf.pageLayout().paintRectPixels(pdf.resolution()));
        if (!painter.end()) {
            if (error)
                *error = QStringLiteral("the page could not be drawn");
            return false;
        }
    }
    const QByteArray bytes = document.data();
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("the page could not be drawn");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void PrintWindowController::cancel()
{
    reject();
}
