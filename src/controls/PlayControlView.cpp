#include "controls/PlayControlView.h"

#include "base/NotificationCenter.h"
#include "base/PlayerKeys.h"
#include "base/QtFrame.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "controls/MultiButtons.h"
#include "controls/Slider.h"

#include <QDebug>
#include <QFontMetrics>
#include <QPainter>

namespace
{

const QStringList kPlaySets = {QStringLiteral("button_play"), QStringLiteral("button_pause")};
const QStringList kPlayTips = {QStringLiteral("IDS_PLAY"), QStringLiteral("IDS_PAUSE")};
const QStringList kPlayRevSets = {QStringLiteral("button_play_previous"), QStringLiteral("button_pause")};
const QStringList kVolumeSets = {QStringLiteral("icon_volume_on"), QStringLiteral("icon_volume_off")};
const QStringList kVolumeTips = {QStringLiteral("IDS_SOUND_MUTE"), QStringLiteral("IDS_SOUND_MUTE")};
// Rates 1.0, 1.5, 2.0, 0.25 and 0.5, in the order the button cycles.
const QStringList kSpeedSets = {QStringLiteral("button_playback1"), QStringLiteral("button_playback1.5"),
                                QStringLiteral("button_playback2"), QStringLiteral("button_playback"),
                                QStringLiteral("button_playback1-2")};
const QStringList kFullSets = {QStringLiteral("button_full"), QStringLiteral("button_full1")};
const QStringList kFullTips = {QStringLiteral("IDS_FULL_SCREEN"), QStringLiteral("IDS_NORMAL_SCREEN")};

void setSkinImages(BitmapButton* button, const QString& base)
{
    const auto names = Skin::stateImageNames(base);
    button->setBitmapButton(names[0], names[1], names[2], names[3]);
}

QFont labelFont()
{
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(14);
    return font;
}

// The label's font, made smaller when the text would not fit its width (a
// recording of an hour or more reads "1:15:00", wider than "15:00").
QFont labelFontFitting(const QString& text, int width)
{
    QFont font = labelFont();
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

} // namespace

PlayControlView::PlayControlView(QWidget* parent) : QWidget(parent), m_frames(playBarInitialLayout())
{
    // Sized for its controls until the window lays it out.
    resize(m_frames.remainTime.right(), kPlayBarHeight);
    setupButtons();
}

PlayControlView::~PlayControlView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void PlayControlView::fillSets(MultiButtons* button, const QStringList& bases, const QStringList& tipIds)
{
    button->clearBitmaps();
    for (int i = 0; i < bases.size(); ++i) {
        const QString tip = pmLoadString(tipIds.value(i, tipIds.value(0)));
        const auto names = Skin::stateImageNames(bases[i]);
        button->addBitmapButton(tip, names[0], names[1], names[2], names[3]);
    }
}

void PlayControlView::setupButtons()
{
    backgroundImage = pmLoadSkinImage(backgroundImageName);
    m_tiledBackground = QPixmap();

    m_poPrevBtn = new BitmapButton(QSize(32, kPlayBarHeight), this);
    m_poPrevBtn->setObjectName(QStringLiteral("poPrevBtn"));
    setSkinImages(m_poPrevBtn, QStringLiteral("button_previous"));
    connect(m_poPrevBtn, &BitmapButton::clicked, this, &PlayControlView::onPrevButtonPressed);

    m_poNextBtn = new BitmapButton(QSize(32, kPlayBarHeight), this);
    m_poNextBtn->setObjectName(QStringLiteral("poNextBtn"));
    setSkinImages(m_poNextBtn, QStringLiteral("button_next"));
    connect(m_poNextBtn, &BitmapButton::clicked, this, &PlayControlView::onNextButtonPressed);

    m_poPlayBtn = new MultiButtons(QSize(52, kPlayBarHeight), this);
    m_poPlayBtn->setObjectName(QStringLiteral("poPlayBtn"));
    fillSets(m_poPlayBtn, kPlaySets, kPlayTips);
    connect(m_poPlayBtn, &MultiButtons::clicked, this, &PlayControlView::onPlayButtonPressed);

    m_poPlayRevBtn = new MultiButtons(QSize(52, kPlayBarHeight), this);
    m_poPlayRevBtn->setObjectName(QStringLiteral("poPlayRevBtn"));
    fillSets(m_poPlayRevBtn, kPlayRevSets, kPlayTips);
    connect(m_poPlayRevBtn, &MultiButtons::clicked, this, &PlayControlView::onPlayRevButtonPressed);
    m_poPlayRevBtn->hide();

    m_poVolumeBtn = new MultiButtons(QSize(32, kPlayBarHeight), this);
    m_poVolumeBtn->setObjectName(QStringLiteral("poVolumeBtn"));
    fillSets(m_poVolumeBtn, kVolumeSets, kVolumeTips);
    connect(m_poVolumeBtn, &MultiButtons::clicked, this, &PlayControlView::onVolumeButtonPressed);

    m_poSpeedBtn = new MultiButtons(QSize(39, kPlayBarHeight), this);
    m_poSpeedBtn->setObjectName(QStringLiteral("poSpeedBtn"));
    fillSets(m_poSpeedBtn, kSpeedSets, {QStringLiteral("IDS_PLAY_SPEED")});
    connect(m_poSpeedBtn, &MultiButtons::clicked, this, &PlayControlView::onSpeedButtonPressed);

    m_poFullScreenBtn = new MultiButtons(QSize(50, kPlayBarHeight), this);
    m_poFullScreenBtn->setObjectName(QStringLiteral("poFullScreenBtn"));
    fillSets(m_poFullScreenBtn, kFullSets, kFullTips);
    connect(m_poFullScreenBtn, &MultiButtons::clicked, this, &PlayControlView::onFullscreenButtonPressed);

    const QString identity = pmIdentityString(this);
    m_poVolumeSlider = new Slider(QRect(0, 0, m_frames.volumeSlider.width, kPlayBarHeight), this);
    m_poVolumeSlider->setObjectName(QStringLiteral("poVolumeSlider"));
    m_poVolumeSlider->loadBitmaps(QStringLiteral("volume_full.png"), QStringLiteral("volume_bg.png"),
                                  QStringLiteral("volume_button.png"));
    m_poVolumeSlider->setRange(0, 10);
    m_poVolumeSlider->setCurrentValue(nVolume);
    m_poVolumeSlider->setRealParent(identity);

    m_poTimeSlider = new Slider(QRect(0, 0, m_frames.timeSlider.width, kPlayBarHeight), this);
    m_poTimeSlider->setObjectName(QStringLiteral("poTimeSlider"));
    m_poTimeSlider->loadBitmaps(QStringLiteral("track_bar_full.png"), QStringLiteral("track_bar_bg.png"),
                                QStringLiteral("volume_button.png"));
    m_poTimeSlider->setRange(0, 1000);
    m_poTimeSlider->setCurrentValue(0);
    m_poTimeSlider->setRealParent(identity);

    changeLanguage();
    applyFrames();
    NotificationCenter::defaultCenter().addObserver(this, Notifications::SliderChanged,
                                                    [this](const Notification& n) { sliderValueChanged(n); });
}

QRect PlayControlView::labelRect(const PmFrame& r) const
{
    return pmQtRect(r, height());
}

void PlayControlView::applyFrames()
{
    const int h = height();
    m_poPrevBtn->setGeometry(pmQtRect(m_frames.prev, h));
    m_poNextBtn->setGeometry(pmQtRect(m_frames.next, h));
    m_poPlayBtn->setGeometry(pmQtRect(m_frames.play, h));
    m_poPlayRevBtn->setGeometry(pmQtRect(m_frames.playRev, h));
    m_poSpeedBtn->setGeometry(pmQtRect(m_frames.speed, h));
    m_poVolumeBtn->setGeometry(pmQtRect(m_frames.volume, h));
    m_poFullScreenBtn->setGeometry(pmQtRect(m_frames.fullScreen, h));
    m_poVolumeSlider->setGeometry(pmQtRect(m_frames.volumeSlider, h));
    m_poTimeSlider->setGeometry(pmQtRect(m_frames.timeSlider, h));
}

void PlayControlView::relayoutContents(bool rightToLeft, double width)
{
    const PmFrame keptRev = m_frames.playRev;
    m_frames = playBarLayout(rightToLeft, width, height());
    m_frames.playRev = keptRev;
    m_bR2L = rightToLeft;
    applyFrames();
    m_poPrevBtn->setButtonFlipped(rightToLeft);
    m_poNextBtn->setButtonFlipped(rightToLeft);
    update();
}

void PlayControlView::resizeEvent(QResizeEvent* event)
{
    m_tiledBackground = QPixmap();
    // Frames are kept from the bottom edge: a new height moves them in Qt's coordinates.
    if (m_poPrevBtn)
        applyFrames();
    QWidget::resizeEvent(event);
}

void PlayControlView::sliderValueChanged(const Notification& n)
{
    const QString sender = n.userInfo.value(QStringLiteral("SLIDER_WINDOW")).toString();
    QString type;
    if (sender == pmIdentityString(m_poVolumeSlider))
        type = QStringLiteral("volume");
    else if (sender == pmIdentityString(m_poTimeSlider))
        type = QStringLiteral("time");
    else
        return;
    const int value = n.object.toInt();
    if (type == QLatin1String("volume"))
        nVolume = value;
    qDebug("sliderValueChanged - %d", value);
    QVariantMap info;
    info.insert(QStringLiteral("SLIDER_TYPE"), type);
    NotificationCenter::defaultCenter().post(Notifications::DoSliderChanged, QVariant(value), info);
}

void PlayControlView::postCommand(int code)
{
    NotificationCenter::defaultCenter().post(Notifications::PlayBarButtonClicked, QVariant(code));
}

void PlayControlView::onPrevButtonPressed()
{
    postCommand(CmdPrevious);
}

void PlayControlView::onNextButtonPressed()
{
    postCommand(CmdNext);
}

void PlayControlView::onPlayButtonPressed()
{
    const bool showedPlay = m_poPlayBtn->getCurButtonIndex() == 0;
    m_poPlayBtn->changeButtonIndex();
    bPausePlay = !showedPlay;
    postCommand(showedPlay ? CmdPlay : CmdPause);
}

void PlayControlView::onPlayRevButtonPressed()
{
    m_poPlayRevBtn->changeButtonIndex();
    bReversePlay = m_poPlayRevBtn->getCurButtonIndex() == 1;
}

void PlayControlView::onVolumeButtonPressed()
{
    m_poVolumeBtn->changeButtonIndex();
    bMute = !bMute;
    postCommand(CmdMute);
}

void PlayControlView::onSpeedButtonPressed()
{
    m_poSpeedBtn->changeButtonIndex();
    postCommand(CmdSpeed);
}

void PlayControlView::onFullscreenButtonPressed()
{
    m_poFullScreenBtn->changeButtonIndex();
    postCommand(CmdFullScreen);
}

void PlayControlView::onDirectionButtonPressed()
{
    // The direction button is not created in this system.
}

void PlayControlView::onDpadUpButtonPressed()
{
    postCommand(CmdDpadUp);
}

void PlayControlView::onDpadDownButtonPressed()
{
    postCommand(CmdDpadDown);
}

void PlayControlView::onDpadLeftButtonPressed()
{
    postCommand(CmdDpadLeft);
}

void PlayControlView::onDpadRightButtonPressed()
{
    postCommand(CmdDpadRight);
}

void PlayControlView::onDpadResetButtonPressed()
{
    postCommand(CmdDpadReset);
}

void PlayControlView::SetPlayTime(int position, int total, bool redraw)
{
    const bool positionChanged = position != m_nPlayTime;
    const bool totalChanged = total != m_nRemainTime;
    m_nPlayTime = position;
    m_nRemainTime = total;
    if (!redraw)
        return;
    if (positionChanged)
        update(labelRect(m_frames.playTime));
    if (totalChanged)
        update(labelRect(m_frames.remainTime));
}

void PlayControlView::SetVolume(int volume)
{
    nVolume = volume;
    m_poVolumeSlider->setCurrentValue(volume);
}

void PlayControlView::SetMute(bool mute)
{
    bMute = mute;
    m_poVolumeBtn->setButtonIndex(mute ? 1 : 0);
}

void PlayControlView::changeLanguage()
{
    // Each tip names the key that does the same (base/PlayerKeys.h).
    auto tip = [](const QString& id, PlayerKey key) { return pmToolTipWithKey(pmLoadString(id), key); };
    m_poPrevBtn->setToolTip(tip(QStringLiteral("IDS_PRE_VIDEO"), PlayerKey::PreviousRecording));
    m_poNextBtn->setToolTip(tip(QStringLiteral("IDS_NEXT_VIDEO"), PlayerKey::NextRecording));
    const QString mute = tip(QStringLiteral("IDS_SOUND_MUTE"), PlayerKey::Mute);
    m_poVolumeBtn->changeToolTips(mute, mute);
    const QString speed = pmLoadString(QStringLiteral("IDS_PLAY_SPEED"));
    m_poSpeedBtn->changeToolTips(speed, speed, speed, speed, speed);
    m_poPlayBtn->changeToolTips(tip(kPlayTips[0], PlayerKey::PlayPause),
                                tip(kPlayTips[1], PlayerKey::PlayPause));
    m_poPlayRevBtn->changeToolTips(pmLoadString(kPlayTips[0]), pmLoadString(kPlayTips[1]));
    m_poFullScreenBtn->changeToolTips(tip(kFullTips[0], PlayerKey::FullScreen),
                                      tip(kFullTips[1], PlayerKey::LeaveFullScreen));
}

void PlayControlView::loadSkinBitmap()
{
    backgroundImage = pmLoadSkinImage(backgroundImageName);
    m_tiledBackground = QPixmap();
    m_poPrevBtn->reloadBitmaps();
    m_poNextBtn->reloadBitmaps();
    // Each button keeps its current image index across the reload.
    fillSets(m_poPlayBtn, kPlaySets, kPlayTips);
    fillSets(m_poPlayRevBtn, kPlayRevSets, kPlayTips);
    fillSets(m_poVolumeBtn, kVolumeSets, kVolumeTips);
    fillSets(m_poSpeedBtn, kSpeedSets, {QStringLiteral("IDS_PLAY_SPEED")});
    fillSets(m_poFullScreenBtn, kFullSets, kFullTips);
    m_poVolumeSlider->loadBitmaps(QStringLiteral("volume_full.png"), QStringLiteral("volume_bg.png"),
                                  QStringLiteral("volume_button.png"));
    m_poTimeSlider->loadBitmaps(QStringLiteral("track_bar_full.png"), QStringLiteral("track_bar_bg.png"),
                                QStringLiteral("volume_button.png"));
    m_poVolumeSlider->loadSkinBitmap();
    m_poTimeSlider->loadSkinBitmap();
    for (MultiButtons* b : {m_poPlayBtn, m_poPlayRevBtn, m_poVolumeBtn, m_poSpeedBtn, m_poFullScreenBtn})
        b->updateImage();
    m_poPrevBtn->updateImage();
    m_poNextBtn->updateImage();
    changeLanguage(); // the image sets were rebuilt with the plain tips
    update();
}

void PlayControlView::paintEvent(QPaintEvent*)
{
    nBackgroundWidth = width();
    nBackgroundHeight = height();
    QPainter painter(this);
    if (!backgroundImage.isNull() && backgroundImage.width() > 0) {
        if (m_tiledBackground.isNull() || m_tiledBackground.width() < nBackgroundWidth) {
            // Tile once per size or skin: (width / image width) + 1 copies side by side.
            const int copies = nBackgroundWidth / backgroundImage.width() + 1;
            m_tiledBackground = QPixmap(copies * backgroundImage.width(), backgroundImage.height());
            m_tiledBackground.fill(Qt::transparent);
            QPainter tiler(&m_tiledBackground);
            tiler.setCompositionMode(QPainter::CompositionMode_Source);
            for (int i = 0; i < copies; ++i)
                tiler.drawPixmap(i * backgroundImage.width(), 0, backgroundImage);
        }
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(0, nBackgroundHeight - m_tiledBackground.height(), m_tiledBackground);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    DrawTime(painter);
}

void PlayControlView::DrawTime(QPainter& painter)
{
    painter.setPen(Qt::white);
    const int lineHeight = QFontMetrics(labelFont()).boundingRect(QStringLiteral("TEST")).height();
    auto draw = [&](const PmFrame& frame, int seconds) {
        QRect r = labelRect(frame);
        r = QRect(r.x(), r.y() + (r.height() - lineHeight) / 2, r.width(), lineHeight);
        const QString text = QString::fromStdString(playBarTimeText(seconds));
        painter.setFont(labelFontFitting(text, r.width()));
        painter.drawText(r, Qt::AlignCenter, text);
    };
    draw(m_frames.playTime, m_nPlayTime);
    draw(m_frames.remainTime, m_nRemainTime);
}
