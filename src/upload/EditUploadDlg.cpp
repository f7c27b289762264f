#include "upload/EditUploadDlg.h"
#include "controls/StandardDialogs.h"

#include "base/Services.h"
#include "core/UploadScroll.h"
#include "upload/SocialNetworkRequests.h"
#include "upload/UploadRequest.h"

#include <QDebug>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace
{
QString labelText(const char* id)
{
    return QStringLiteral("%1:").arg(pmLoadString(QLatin1String(id)));
}
} // namespace

EditUploadDlg::EditUploadDlg(const QList<AMediaFile>& playlist, QWidget* parent)
    : QDialog(parent), mPlaylist(playlist), m_nRequestTimeoutMs(VideoUploadRequest::kDefaultTimeoutMs)
{
    setObjectName(QStringLiteral("EditUploadDlg"));
    pmApplySkinPalette(this);
    setWindowModality(Qt::ApplicationModal);

    auto* grid = new QGridLayout;
    for (int i = 0; i < 2; ++i) {
        Slot& slot = m_slots[i];
        const QString suffix = i == 0 ? QString() : QStringLiteral("2");
        slot.fileName = new QLabel(this);
        slot.fileName->setObjectName(QStringLiteral("fileName") + suffix);
        slot.fileNameValue = new QLabel(this);
        slot.fileNameValue->setObjectName(QStringLiteral("fileNameTitle") + suffix);
        slot.fileNameValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
        slot.title = new QLabel(this);
        slot.title->setObjectName(QStringLiteral("title") + suffix);
        slot.editTitle = new QLineEdit(this);
        slot.editTitle->setObjectName(QStringLiteral("editTitle") + suffix);
        // The field's own limit cuts pasted text at any UTF-16 unit, even
        // inside an emoji, and says nothing; limitTitle cuts instead.
        slot.editTitle->setMaxLength(std::numeric_limits<int>::max());
        connect(slot.editTitle, &QLineEdit::textChanged, this, [this, i] { limitTitle(i); });
        slot.titleNote = new QLabel(this);
        slot.titleNote->setObjectName(QStringLiteral("titleNote") + suffix);
        slot.titleNote->setWordWrap(true);
        slot.titleNote->setStyleSheet(QStringLiteral("color: #c0392b;"));
        slot.titleNote->hide();
        slot.description = new QLabel(this);
        slot.description->setObjectName(QStringLiteral("description") + suffix);
        slot.editDescription = new QPlainTextEdit(this);
        slot.editDescription->setObjectName(QStringLiteral("editDescription") + suffix);
        slot.editDescription->setTabChangesFocus(true);
        slot.editDescription->setFixedHeight(64);
        const int row = i * 4;
        grid->addWidget(slot.fileName, row, 0, Qt::AlignRight);
        grid->addWidget(slot.fileNameValue, row, 1);
        grid->addWidget(slot.title, row + 1, 0, Qt::AlignRight);
        auto* titleColumn = new QVBoxLayout;
        titleColumn->setSpacing(2);
        titleColumn->addWidget(slot.editTitle);
        titleColumn->addWidget(slot.titleNote);
        grid->addLayout(titleColumn, row + 1, 1);
        grid->addWidget(slot.description, row + 2, 0, Qt::AlignRight | Qt::AlignTop);
        grid->addWidget(slot.editDescription, row + 2, 1);
    }
    grid->setRowMinimumHeight(3, 12);
    grid->setColumnStretch(1, 1);
    m_scrollerColumn = grid;

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressIndicator"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_percentText = new QLabel(this);
    m_percentText->setObjectName(QStringLiteral("PercentTextField"));
    m_percentText->setMinimumWidth(48);
    m_percentText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_uploadButton = new QPushButton(this);
    m_uploadButton->setObjectName(QStringLiteral("uploadButton"));
    m_uploadButton->setDefault(true);
    m_cancelButton = new QPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    connect(m_uploadButton, &QPushButton::clicked, this, &EditUploadDlg::upload);
    connect(m_cancelButton, &QPushButton::clicked, this, &EditUploadDlg::closeDialog);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress, 1);
    bottom->addWidget(m_percentText);
    bottom->addSpacing(12);
    bottom->addWidget(m_cancelButton);
    bottom->addWidget(m_uploadButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(bottom);
    resize(480, 400);

    mUpdateProgressTimeTimer = nullptr;
    connect(this, &QDialog::finished, this, &EditUploadDlg::endSession);
}

EditUploadDlg::~EditUploadDlg()
{
    if (connection)
        connection->cancel();
}

void EditUploadDlg::setSelectedFileIndexSet(const QList<int>& indexes)
{
    m_selFileIndexSet = indexes;
    std::sort(m_selFileIndexSet.begin(), m_selFileIndexSet.end());
    m_selFileIndexSet.erase(std::unique(m_selFileIndexSet.begin(), m_selFileIndexSet.end()),
                            m_selFileIndexSet.end());
    mTitlelist.clear();
    mDirectionslist.clear();
    for (int index : m_selFileIndexSet) {
        mTitlelist.append(index >= 0 && index < mPlaylist.size() ? mPlaylist.at(index).localizedName()
                                                                 : QString());
        mDirectionslist.append(QString());
    }
    m_nPageCount = count() - 1;
    m_bProportion = m_nPageCount > 0 ? 1.0 / m_nPageCount : 1.0;
    m_nScrollPos = 0;
    m_nItemsPerPage = 2;
    m_bScrollValue = m_dScrollerValue = 0;
    createScroller();
    setLayerString();
    scrollChanged(0);
    m_bUploading = false;
}

int EditUploadDlg::getselectedFileIndex(int n) const
{
    return n >= 0 && n < m_selFileIndexSet.size() ? m_selFileIndexSet.at(n) : -1;
}

QString EditUploadDlg::getSelectedFilePath(int index) const
{
    return index >= 0 && index < mPlaylist.size() ? mPlaylist.at(index).path() : QString();
}

QByteArray EditUploadDlg::getSelectedNativePath(int index) const
{
    if (index < 0 || index >= mPlaylist.size())
        return QByteArray();
    const AMediaFile& file = mPlaylist.at(index);
    return file.nativePath().isEmpty() ? QFile::encodeName(file.path()) : file.nativePath();
}

QString EditUploadDlg::getTitlelist(int n) const
{
    return n >= 0 && n < mTitlelist.size() ? mTitlelist.at(n) : QString();
}

QString EditUploadDlg::getDirectionslist(int n) const
{
    return n >= 0 && n < mDirectionslist.size() ? mDirectionslist.at(n) : QString();
}

void EditUploadDlg::setTitlelist(int n, const QString& value)
{
    if (n >= 0 && n < mTitlelist.size())
        mTitlelist[n] = value;
}

void EditUploadDlg::setDirectionslist(int n, const QString& value)
{
    if (n >= 0 && n < mDirectionslist.size())
        mDirectionslist[n] = value;
}

void EditUploadDlg::setLayerString()
{
    setWindowTitle(pmLoadString(QStringLiteral("IDS_UPLOAD")));
    m_uploadButton->setText(pmLoadString(QStringLiteral("IDS_UPLOAD")));
    m_cancelButton->setText(
        pmLoadString(m_bUploading ? QStringLiteral("IDS_CANCEL") : QStringLiteral("IDS_CLOSE")));
    for (Slot& slot : m_slots) {
        slot.fileName->setText(labelText("IDS_FILE_NAME"));
        slot.title->setText(labelText("IDS_TITLE"));
        slot.description->setText(labelText("IDS_DESCRIPTION"));
    }
}

void EditUploadDlg::createScroller()
{
    delete hScroller;
    hScroller = nullptr;
    if (count() <= 2)
        return;
    hScroller = new QScrollBar(Qt::Vertical, this);
    hScroller->setObjectName(QStringLiteral("hScroller"));
    hScroller->setRange(0, kScrollScale);
    // Qt draws the knob as pageStep / (range + pageStep) of the groove: one
    // step of 1 / m_nPageCount.
    hScroller->setPageStep(std::max(1, kScrollScale / std::max(1, m_nPageCount - 1)));
    hScroller->setSingleStep(std::max(1, kScrollScale / m_nPageCount));
    hScroller->setValue(0);
    m_scrollerColumn->addWidget(hScroller, 0, 2, 7, 1);
    connect(hScroller, &QScrollBar::actionTriggered, this, &EditUploadDlg::scrollAction);
}

void EditUploadDlg::showSlot(int slotIndex, int n)
{
    Slot& slot = m_slots[slotIndex];
    const bool shown = n >= 0 && n < count();
    for (QWidget* w : {static_cast<QWidget*>(slot.fileName), static_cast<QWidget*>(slot.fileNameValue),
                       static_cast<QWidget*>(slot.title), static_cast<QWidget*>(slot.editTitle),
                       static_cast<QWidget*>(slot.description), static_cast<QWidget*>(slot.editDescription)})
        w->setVisible(shown);
    slot.titleNote->hide();
    if (!shown)
        return;
    const int index = getselectedFileIndex(n);
    slot.fileNameValue->setText(index >= 0 && index < mPlaylist.size() ? mPlaylist.at(index).localizedName()
                                                                       : QString());
    slot.editTitle->setText(getTitlelist(n));
    slot.editTitle->setCursorPosition(0);
    slot.editDescription->setPlainText(getDirectionslist(n));
}

void EditUploadDlg::limitTitle(int slotIndex)
{
    Slot& slot = m_slots[slotIndex];
    const QString text = slot.editTitle->text();
    if (text.size() <= kMaxTitleLength)
        return;
    const int cursor = slot.editTitle->cursorPosition();
    const QString cut = SocialUpload::cutAtCharacter(text, kMaxTitleLength);
    slot.editTitle->setText(cut); // comes back here, within the limit
    slot.editTitle->setCursorPosition(std::min(cursor, static_cast<int>(cut.size())));
    slot.titleNote->setText(pmLoadString(QStringLiteral("IDS_TITLE_SHORTENED")).arg(kMaxTitleLength));
    slot.titleNote->setVisible(slot.editTitle->isVisible());
    pmWriteLogQ(QStringLiteral("EditUploadDlg - a title of %1 characters was cut to %2")
                    .arg(text.size())
                    .arg(cut.size()));
}

void EditUploadDlg::scrollChanged(int position)
{
    m_nScrollPos = position;
    showSlot(0, position);
    if (position + 1 < count()) {
        showSlot(1, position + 1);
        fileInfoHidden(false);
    } else {
        fileInfoHidden(true);
    }
}

void EditUploadDlg::fileInfoHidden(bool hidden)
{
    const Slot& slot = m_slots[1];
    for (QWidget* w : {static_cast<QWidget*>(slot.fileName), static_cast<QWidget*>(slot.fileNameValue),
                       static_cast<QWidget*>(slot.title), static_cast<QWidget*>(slot.editTitle),
                       static_cast<QWidget*>(slot.description), static_cast<QWidget*>(slot.editDescription)})
        w->setVisible(!hidden);
    if (hidden)
        slot.titleNote->hide();
}

void EditUploadDlg::saveScrollData(int position)
{
    if (position < 0 || position >= count())
        return;
    setTitlelist(position, m_slots[0].editTitle->text());
    setDirectionslist(position, m_slots[0].editDescription->toPlainText());
    if (position + 1 < count()) {
        setTitlelist(position + 1, m_slots[1].editTitle->text());
        setDirectionslist(position + 1, m_slots[1].editDescription->toPlainText());
    }
}

void EditUploadDlg::scrollAction(int action)
{
    if (!hScroller)
        return;
    UploadScrollPart part = UploadScrollPart::KnobSlot;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        part = UploadScrollPart::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        part = UploadScrollPart::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        part = UploadScrollPart::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        part = UploadScrollPart::PageDown;
        break;
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
        part = UploadScrollPart::KnobDrag;
        break;
    default:
        break;
    }
    saveScrollData(m_nScrollPos);
    const UploadScrollState before{m_nScrollPos, m_dScrollerValue, m_bScrollValue};
    const double dragged = static_cast<double>(hScroller->sliderPosition()) / kScrollScale;
    const UploadScrollState after = pmUploadScroll(part, before, dragged, m_nPageCount);
    m_dScrollerValue = after.value;
    m_bScrollValue = after.stored;
    hScroller->setSliderPosition(static_cast<int>(after.value * kScrollScale + 0.5));
    if (after.position != m_nScrollPos)
        scrollChanged(after.position);
}

void EditUploadDlg::enableTextView(bool enable)
{
    for (Slot& slot : m_slots) {
        slot.editTitle->setEnabled(enable);
        slot.editDescription->setReadOnly(!enable);
        QPalette palette = slot.editDescription->palette();
        palette.setColor(QPalette::Text, QWidget::palette().color(
                                             enable ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        slot.editDescription->setPalette(palette);
    }
}

void EditUploadDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bStarted)
        return;
    m_bStarted = true;
    pmCentreOnParentWindow(this);
    setLayerString();
    m_slots[0].editTitle->setFocus();
    pmWriteLogQ(QStringLiteral("EditUploadDlg Start"));
}

void EditUploadDlg::upload()
{
    if (m_bUploading)
        return;
    m_uploadButton->setEnabled(false);
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CANCEL")));
    m_nCurrentlyUploadCount = 0;
    mTotalBytesWritten = 0;
    enableTextView(false);
    saveScrollData(m_nScrollPos);
    startTimer();
    // No busy window here: starting a request takes no time (it runs in the
    // event loop), and showing one would pump events inside this click.
    pmWriteLogQ(QStringLiteral("EditUploadDlg::upload() - Start upload thread for %1 videos").arg(count()));
    uploadThreadFunctionMain();
}

void EditUploadDlg::uploadThreadFunctionMain()
{
    if (m_nCurrentlyUploadCount >= count()) {
        stopTimer();
        pmMessageBox(pmLoadString(QStringLiteral("IDS_UPLOAD_VIDEO_OK")));
        postNotification();
        return;
    }
    const int n = m_nCurrentlyUploadCount++;
    const int index = getselectedFileIndex(n);
    const QString path = getSelectedFilePath(index);
    pmWriteLogQ(QStringLiteral("EditUploadDlg::uploadThreadFunctionMain - upload video : %1").arg(path));
    if (path.isEmpty()) {
        pmWriteLogQ(
            QStringLiteral("EditUploadDlg::uploadThreadFunctionMain - the recording is no longer listed"));
        failUpload();
        return;
    }
    m_nativeUploadPath = getSelectedNativePath(index);
    facebookUpload(SocialUpload::videoBaseUrl(), path, getTitlelist(n), getDirectionslist(n));
}

void EditUploadDlg::facebookUpload(const QString& endpoint, const QString& filePath, const QString& title,
                                   const QString& desc)
{
    const QUrl url = SocialUpload::videoUploadUrl(endpoint, mFBKey, title, desc);
    const QString shown = SocialUpload::pmRedactToken(url.toString(QUrl::FullyEncoded), mFBKey);
    qDebug().noquote() << QStringLiteral("URL : %1").arg(shown);
    pmWriteLogQ(QStringLiteral("EditUploadDlg::facebookUpload - URL : %1").arg(shown));

    if (connection)
        connection->deleteLater();
    auto* request = new VideoUploadRequest(this);
    request->setTimeout(m_nRequestTimeoutMs);
    connection = request;
    connect(request, &VideoUploadRequest::bodySent, this, [this](qint64 written, qint64 expected) {
        mTotalBytesWritten = written;
        m_nPercent = expected > 0 ? static_cast<int>((written / 1024.0) / (expected / 1024.0) * 100) : 0;
        if (m_nPercent >= 100 && !m_bLoggedFull) {
            m_bLoggedFull = true;
            pmWriteLogQ(QStringLiteral("EditUploadDlg connection Upload percent = %1").arg(m_nPercent));
        }
    });
    connect(request, &VideoUploadRequest::finished, this, &EditUploadDlg::onRequestFinished);

    m_bLoggedFull = false;
    mTotalBytesWritten = 0;
    m_nPercent = 0;
    // The recording is opened by the path's own bytes, which also open a
    // name that is not UTF-8; a caller that names only the path gets its bytes.
    const QByteArray nativePath =
        m_nativeUploadPath.isEmpty() || QFile::decodeName(m_nativeUploadPath) != filePath
            ? QFile::encodeName(filePath)
            : m_nativeUploadPath;
    m_nativeUploadPath.clear();
    if (!request->start(url, nativePath)) {
        pmWriteLogQ(QStringLiteral("EditUploadDlg::facebookUpload - cannot read %1 - %2")
                        .arg(filePath, request->errorText()));
        failUpload();
        return;
    }
    pmWriteLogQ(QStringLiteral("EditUploadDlg::facebookUpload - video size: %1").arg(request->fileSize()));
    m_lBodySize = request->bodySize();
    // The bar counts KiB so that recordings beyond 2 GiB fit its range.
    m_progress->setRange(0, static_cast<int>(std::max<qint64>(1, (m_lBodySize + 1023) / 1024)));
    m_progress->setValue(0);
}

void EditUploadDlg::onRequestFinished(int outcome)
{
    // Runs from the event loop, after the request's socket handling has
    // returned: the message box, the next request and the window's end are
    // all safe here.
    VideoUploadRequest* request = connection;
    if (!request)
        return;
    // The answer is logged once, whole as far as it is kept, so that a token
    // split across two reads is still masked.
    QString answer;
    if (request->responseSize() > 0) {
        answer = SocialUpload::answerForLog(request->responseBody(), request->responseSize(), mFBKey);
        qDebug("Received data : %lld bytes", static_cast<long long>(request->responseSize()));
        pmWriteLogQ(QStringLiteral("EditUploadDlg::didReceiveData - Data : %1").arg(answer));
    }
    switch (outcome) {
    case VideoUploadRequest::Done:
        pmWriteLogQ(QStringLiteral("EditUploadDlg::connectionDidFinishLoading - HTTP status %1")
                        .arg(request->httpStatus()));
        uploadThreadFunctionMain();
        return;
    case VideoUploadRequest::Rejected:
        pmWriteLogQ(
            QStringLiteral("EditUploadDlg connection error code = %1, the service refused the video - %2")
                .arg(request->httpStatus())
                .arg(answer));
        break;
    case VideoUploadRequest::TimedOut:
        pmWriteLogQ(
            QStringLiteral("EditUploadDlg connection error code = -1001, %1").arg(request->errorText()));
        break;
    default:
        pmWriteLogQ(QStringLiteral("EditUploadDlg connection error code = %1, %2")
                        .arg(request->errorCode())
                        .arg(SocialUpload::pmRedactToken(request->errorText(), mFBKey)));
        break;
    }
    failUpload();
}

void EditUploadDlg::failUpload()
{
    // The run stops here; the window stays in its uploading state until Cancel.
    pmMessageBox(pmLoadString(QStringLiteral("IDS_UPLOAD_VIDEO_FAILED")));
}

void EditUploadDlg::startTimer()
{
    m_bUploading = true;
    if (!mUpdateProgressTimeTimer) {
        mUpdateProgressTimeTimer = new QTimer(this);
        mUpdateProgressTimeTimer->setInterval(500);
        connect(mUpdateProgressTimeTimer, &QTimer::timeout, this, &EditUploadDlg::updatePanels);
    }
    mCurrentlyTotalBytesWritten = 0;
    mUpdateProgressTimeTimer->start();
}

void EditUploadDlg::stopTimer()
{
    m_bUploading = false;
    mTotalBytesWritten = 0;
    m_nPercent = 0;
    m_uploadButton->setEnabled(true);
    m_cancelButton->setText(pmLoadString(QStringLiteral("IDS_CLOSE")));
    enableTextView(true);
    drawProgress();
    if (mUpdateProgressTimeTimer)
        mUpdateProgressTimeTimer->stop();
}

void EditUploadDlg::updatePanels()
{
    if (mTotalBytesWritten == mCurrentlyTotalBytesWritten)
        return;
    mCurrentlyTotalBytesWritten = mTotalBytesWritten;
    drawProgress();
}

void EditUploadDlg::drawProgress()
{
    const qint64 kib = (mTotalBytesWritten + 1023) / 1024;
    m_progress->setValue(static_cast<int>(std::min<qint64>(kib, m_progress->maximum())));
    m_progress->repaint();
    m_percentText->setText(QStringLiteral("%1 %").arg(m_nPercent));
}

void EditUploadDlg::closeDialog()
{
    if (!m_bUploading) {
        postNotification();
        return;
    }
    stopTimer();
    if (connection) {
        connection->cancel();
        connection->deleteLater();
        connection = nullptr;
    }
}

void EditUploadDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        closeDialog();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EditUploadDlg::postNotification()
{
    done(QDialog::Accepted);
}

void EditUploadDlg::endSession()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    if (mUpdateProgressTimeTimer)
        mUpdateProgressTimeTimer->stop();
    if (connection) {
        connection->cancel();
        connection->deleteLater();
        connection = nullptr;
    }
    m_bUploading = false;
    pmWriteLogQ(QStringLiteral("EditUploadDlg End"));
}
