#include "controls/CapturePreviewDlg.h"
#include "controls/StandardDialogs.h"

#include "WaitingWindow/WaitingWindow.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "controls/BitmapButton.h"
#include "controls/CameraChoiceRow.h"
#include "core/Clock.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>

namespace
{
constexpr int kMargin = 20;
constexpr int kImageViewHeight = 430;
constexpr int kButtonRowY = 470;
} // namespace

CapturePreviewDlg::CapturePreviewDlg(const QImage& image, const QImage& subImage, QWidget* parent)
    : QDialog(parent), m_videoImage(image), m_videoSubImage(subImage)
{
    setObjectName(QStringLiteral("CapturePreviewDlg"));
    pmApplySkinPalette(this);
    setModal(true);
    setFixedSize(kWindowWidth, kWindowHeight);
    m_imageView = new QLabel(this);
    m_imageView->setObjectName(QStringLiteral("imageView"));
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setGeometry(kMargin, kMargin, kWindowWidth - 2 * kMargin, kImageViewHeight);
    m_cancelButton = new QPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(kWindowWidth - kMargin - 240, kButtonRowY, 110, 32);
    m_okButton = new QPushButton(this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(kWindowWidth - kMargin - 120, kButtonRowY, 120, 32);
    // Return saves.
    m_okButton->setDefault(true);
    m_okButton->setAutoDefault(true);
    m_cancelButton->setAutoDefault(false);
    connect(m_okButton, &QPushButton::clicked, this, &CapturePreviewDlg::saveAs);
    connect(m_cancelButton, &QPushButton::clicked, this, &CapturePreviewDlg::cancel);
    windowDidLoad();
}

CapturePreviewDlg::~CapturePreviewDlg() = default;

void CapturePreviewDlg::windowDidLoad()
{
    m_bOK = false;
    setWindowTitle(pmLoadString(QStringLiteral("IDS_CAPTURE_PREVIEW")));
    m_okButton->setText(pmLoadString(QStringLiteral("IDS_SAVE_AS")));
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CANCEL")));
    if (!m_videoSubImage.isNull()) {
        combine2Image();
        m_nCaptureOptions = BothCameras;
        // The image view gives up the top of its frame to the camera buttons.
        QRect view = m_imageView->geometry();
        view.setTop(view.top() + CameraChoiceRow::kSpace);
        m_imageView->setGeometry(view);
    } else {
        m_nCaptureOptions = SingleCamera;
    }
    setCaptureImage();
    if (m_videoSubImage.isNull())
        return;
    const CameraChoiceRow row = CameraChoiceRow::create(this, width(), m_imageView->geometry().top());
    m_oCamera1Btn = row.camera1;
    m_oCamera2Btn = row.camera2;
    m_oCamera12Btn = row.both;
    connect(m_oCamera1Btn, &BitmapButton::clicked, this, &CapturePreviewDlg::onCamera1ButtonPressed);
    connect(m_oCamera2Btn, &BitmapButton::clicked, this, &CapturePreviewDlg::onCamera2ButtonPressed);
    connect(m_oCamera12Btn, &BitmapButton::clicked, this, &CapturePreviewDlg::onCamera12ButtonPressed);
}

void CapturePreviewDlg::offerShownPart(const QImage& shown, const QImage& subShown)
{
    if (shown.isNull() || m_shownBox)
        return;
    m_fullImage = m_videoImage;
    m_fullSubImage = m_videoSubImage;
    m_shownPart = shown;
    m_shownSubPart = m_videoSubImage.isNull() || subShown.isNull() ? m_videoSubImage : subShown;
    m_shownBox = new QCheckBox(pmLoadString(QStringLiteral("IDS_CAPTURE_WHAT_IS_SHOWN")), this);
    m_shownBox->setObjectName(QStringLiteral("shownPartBox"));
    m_shownBox->setGeometry(kMargin, kButtonRowY, kWindowWidth - 2 * kMargin - 250, 32);
    m_shownBox->setChecked(pmReadSetting(SettingsKeys::captureWhatIsShown));
    useShownPart(m_shownBox->isChecked());
    connect(m_shownBox, &QCheckBox::toggled, this, [this](bool on) {
        pmWriteSetting(SettingsKeys::captureWhatIsShown, on);
        useShownPart(on);
    });
    m_shownBox->show();
}

bool CapturePreviewDlg::savesShownPart() const
{
    return m_shownBox && m_shownBox->isChecked();
}

void CapturePreviewDlg::useShownPart(bool on)
{
    m_videoImage = on ? m_shownPart : m_fullImage;
    m_videoSubImage = on ? m_shownSubPart : m_fullSubImage;
    if (!m_videoSubImage.isNull())
        combine2Image();
    setCaptureImage();
}

void CapturePreviewDlg::chooseOption(int option)
{
    qDebug(option == Camera2 ? "Camera2 button pressed !" : "Camera1 button pressed !");
    if (m_nCaptureOptions == option)
        return;
    m_nCaptureOptions = option;
    setCaptureImage();
    if (m_oCamera1Btn) {
        m_oCamera1Btn->checkButton(option == Camera1);
        m_oCamera2Btn->checkButton(option == Camera2);
        m_oCamera12Btn->checkButton(option == BothCameras);
    }
}

void CapturePreviewDlg::onCamera1ButtonPressed()
{
    chooseOption(Camera1);
}

void CapturePreviewDlg::onCamera2ButtonPressed()
{
    chooseOption(Camera2);
}

void CapturePreviewDlg::onCamera12ButtonPressed()
{
    chooseOption(BothCameras);
}

void CapturePreviewDlg::combine2Image()
{
    const CombinedLayout l = pmCombineLayout(m_videoImage.width(), m_videoImage.height(),
                                             m_videoSubImage.width(), m_videoSubImage.height());
    if (l.width <= 0 || l.height <= 0) {
        m_videoCombinedImage = m_videoImage;
        return;
    }
    QImage combined(l.width, l.height, QImage::Format_RGB32);
    combined.fill(Qt::black);
    QPainter p(&combined);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // The layout's frames have their origin at the bottom left.
    const auto topLeft = [&](const PmFrameF& f) {
        const PmFrameF t = pmTopLeftFrame(f, static_cast<double>(l.height));
        return QRectF(t.x, t.y, t.width, t.height);
    };
    p.drawImage(topLeft(l.camera2), m_videoSubImage);
    p.drawImage(topLeft(l.camera1), m_videoImage);
    p.end();
    m_videoCombinedImage = combined;
}

void CapturePreviewDlg::setCaptureImage()
{
    if (m_nCaptureOptions == BothCameras)
        m_shownImage = m_videoCombinedImage;
    else if (m_nCaptureOptions == Camera2)
        m_shownImage = m_videoSubImage;
    else
        m_shownImage = m_videoImage;
    showPicture();
}

void CapturePreviewDlg::showPicture()
{
    const QSize room = m_imageView->size();
    if (m_shownImage.isNull() || room.isEmpty()) {
        m_imageView->clear();
        return;
    }
    QImage fitted = m_shownImage;
    if (fitted.width() > room.width() || fitted.height() > room.height())
        fitted = fitted.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_imageView->setPixmap(QPixmap::fromImage(fitted));
}

void CapturePreviewDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    showPicture();
}

void CapturePreviewDlg::saveAs()
{
    // One save at a time: a second Return while a save panel is open does nothing.
    if (m_bSaving)
        return;
    m_dateComponents = pmCaptureDate(pmNow());
    const CaptureDate date = m_dateComponents;
    m_bSaving = true;
    if (m_nCaptureOptions == BothCameras) {
        saveCaptureImage(false, 1, date,
                         [this, date] { saveCaptureImage(true, 2, date, [this] { m_bSaving = false; }); });
    } else {
        saveCaptureImage(true, m_nCaptureOptions, date, [this] { m_bSaving = false; });
    }
}

void CapturePreviewDlg::saveCaptureImage(bool close, int kind, const CaptureDate& date,
                                         std::function<void()> then)
{
    const QString folder = pmGetCaptureFolder();
    const QImage picture = kind == 2 ? m_videoSubImage : m_videoImage;
    const QString name = QString::fromStdString(pmCaptureFileName(date, kind));
    const QString suggested = QDir(folder).filePath(name);
    QPointer<CapturePreviewDlg> self(this);
    pmChooseSaveFile(this, pmLoadString(QStringLiteral("IDS_SAVE_AS")), suggested,
                     QStringLiteral("JPEG (*.jpg *.jpeg)"),
                     [self, picture, close, then](const QString& path) {
                         // The panel is still finishing when it reports: write, show
                         // the busy window and open the next panel once it is done.
                         if (self)
                             QMetaObject::invokeMethod(
                                 self.data(),
                                 [self, picture, close, then, path] {
                                     if (self)
                                         self->finishSave(path, picture, close, then);
                                 },
                                 Qt::QueuedConnection);
                     });
}

void CapturePreviewDlg::finishSave(const QString& path, const QImage& picture, bool close,
                                   const std::function<void()>& then)
{
    if (!path.isEmpty()) {
        pmStartWait();
        QString error;
        const bool written = writeJpeg(picture, path, &error, [&](QByteArray& jpeg) {
            if (jpegMetadata)
                jpegMetadata(jpeg, picture);
        });
        pmEndWait();
        if (written) {
            m_bOK = true;
            pmSetCaptureFolder(QFileInfo(path).absolutePath());
            pmWriteLogQ(QStringLiteral("CapturePreviewDlg - saved %1").arg(path));
        } else {
            pmWriteLogQ(QStringLiteral("CapturePreviewDlg - cannot write %1 : %2").arg(path, error));
            pmMessageBox(pmLoadString(QStringLiteral("IDS_ERR_SAVE_PICTURE")) + QStringLiteral("\n\n") +
                         QDir::toNativeSeparators(path));
        }
    }
    if (close)
        done(m_bOK ? QDialog::Accepted : QDialog::Rejected);
    if (then)
        then();
}

bool CapturePreviewDlg::writeJpeg(const QImage& image, const QString& path, QString* error,
                                  const std::function<void(QByteArray&)>& addMetadata)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (image.isNull())
        return fail(QStringLiteral("no picture"));
    // Encoded in memory first: the JPEG writer does not check every write it
    // makes to a file. The bytes then go to a temporary file, each step
    // checked, which replaces the target only when complete: a full disk
    // leaves the old picture of that name as it was and no cut file.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        if (!writer.write(image))
            return fail(writer.errorString());
    }
    if (bytes.isEmpty())
        return fail(QStringLiteral("the picture could not be encoded"));
    if (addMetadata)
        addMetadata(bytes);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

void CapturePreviewDlg::cancel()
{
    m_bOK = false;
    reject();
}
