#pragma once
// The capture preview: the frame (or both cameras' frames) taken when the
// capture was pressed, Save As (the default button) and Cancel, and for a
// two-camera recording three skinned buttons that choose camera 1, camera 2
// or both. Save As proposes a name made of the moment it was pressed, in the
// last capture folder (the documents folder when that is gone), and writes the
// JPEG atomically: a picture that cannot be written is reported and leaves no
// file behind. Both cameras are saved as two pictures, "-1" and "-2".
//
// The pictures are taken by the caller once, before the dialog opens, so the
// preview and the saved files show the moment of the capture whatever camera
// is chosen afterwards. Open it with open(); when finished() comes, isOK()
// says whether anything was saved. Its save panels open the same way and
// each picture is written once its panel has closed. Must run on the main
// thread.
#include "core/CaptureLayout.h"

#include <QDialog>
#include <QImage>
#include <functional>

class BitmapButton;
class QCheckBox;
class QLabel;
class QPushButton;

class CapturePreviewDlg : public QDialog
{
    Q_OBJECT
public:
    enum CaptureOption : int { SingleCamera = 0, Camera1 = 1, Camera2 = 2, BothCameras = 3 };

    // subImage is camera 2's frame, null for a one-camera recording.
    CapturePreviewDlg(const QImage& image, const QImage& subImage, QWidget* parent = nullptr);
    ~CapturePreviewDlg() override;

    void windowDidLoad();
    void saveAs();
    void cancel();
    bool isOK() const { return m_bOK; }
    void onCamera1ButtonPressed();
    void onCamera2ButtonPressed();
    void onCamera12ButtonPressed();
    void combine2Image();
    void setCaptureImage();
    // Proposes the picture of this kind (0 one camera, 1 camera 1, 2 camera 2)
    // in a save panel and writes it; closes the dialog afterwards when asked,
    // saved or not; then runs `then`.
    void saveCaptureImage(bool close, int kind, const CaptureDate& date, std::function<void()> then = {});

    // Writes a picture as JPEG (default quality) through a temporary file that
    // replaces the target only when complete; false (and the reason) when it
    // could not be written whole, with no file left behind and an older file
    // of that name untouched.
    static bool writeJpeg(const QImage& image, const QString& path, QString* error = nullptr,
                          const std::function<void(QByteArray&)>& addMetadata = {});
    // Given each picture's JPEG bytes before they are written (EXIF).
    std::function<void(QByteArray& jpeg, const QImage& picture)> jpegMetadata;

    // A capture taken while a picture was zoomed: the parts that were shown
    // (a camera's whole frame where it was not zoomed). A check box "What is
    // shown" then chooses between them and the whole frames; the choice is
    // stored and taken again by the next such capture.
    void offerShownPart(const QImage& shown, const QImage& subShown);
    QCheckBox* shownPartBox() const { return m_shownBox; }
    bool savesShownPart() const;

    int captureOptions() const { return m_nCaptureOptions; }
    const QImage& videoImage() const { return m_videoImage; }
    const QImage& videoSubImage() const { return m_videoSubImage; }
    const QImage& videoCombinedImage() const { return m_videoCombinedImage; }
    // The picture the preview shows now.
    const QImage& shownImage() const { return m_shownImage; }
    const CaptureDate& dateComponents() const { return m_dateComponents; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* imageView() const { return m_imageView; }
    BitmapButton* oCamera1Btn() const { return m_oCamera1Btn; }
    BitmapButton* oCamera2Btn() const { return m_oCamera2Btn; }
    BitmapButton* oCamera12Btn() const { return m_oCamera12Btn; }

    // Window and image-view frames (top-left, window coordinates).
    static constexpr int kWindowWidth = 680;
    static constexpr int kWindowHeight = 520;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void finishSave(const QString& path, const QImage& picture, bool close,
                    const std::function<void()>& then);
    void chooseOption(int option);
    void showPicture();
    void useShownPart(bool on);

    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLabel* m_imageView = nullptr;
    bool m_bOK = false;
    QImage m_videoImage;
    QImage m_videoSubImage;
    QImage m_videoCombinedImage;
    QImage m_shownImage;
    int m_nCaptureOptions = SingleCamera;
    BitmapButton* m_oCamera1Btn = nullptr;
    BitmapButton* m_oCamera2Btn = nullptr;
    BitmapButton* m_oCamera12Btn = nullptr;
    CaptureDate m_dateComponents;
    bool m_bSaving = false;
    QCheckBox* m_shownBox = nullptr;
    QImage m_fullImage, m_fullSubImage, m_shownPart, m_shownSubPart;
};
