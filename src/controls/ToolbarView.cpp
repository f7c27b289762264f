#include "controls/ToolbarView.h"

#include "base/QtFrame.h"
#include "base/Services.h"
#include "controls/BitmapButton.h"
#include "core/Language.h"

#include <QActionGroup>
#include <QDebug>
#include <QMenu>
#include <QPainter>

ToolbarView::ToolbarView(QWidget* parent) : QWidget(parent)
{
    // Sized for its buttons until the window lays it out.
    resize(kDefaultSwitchButtonX + kToolButtonWidth, kToolButtonHeight);
    setupButtons();
}

ToolbarView::~ToolbarView() = default;

BitmapButton* ToolbarView::makeButton(const QString& base, const char* objectName)
{
    auto* button = new BitmapButton(QSize(kToolButtonWidth, kToolButtonHeight), this);
    button->setObjectName(QLatin1String(objectName));
    button->setBitmapButton(base + QStringLiteral(".png"), base + QStringLiteral("_d.png"),
                            base + QStringLiteral("_f.png"), base + QStringLiteral("_g.png"));
    return button;
}

void ToolbarView::setupButtons()
{
    backgroundImage = pmLoadSkinImage(backgroundImageName);
    m_tiledBackground = QPixmap();
    // Created in the order they are added to the toolbar.
    m_oBrowseBtn = makeButton(QStringLiteral("button_open"), "oBrowseBtn");
    m_oPrintBtn = makeButton(QStringLiteral("button_print"), "oPrintBtn");
    m_oBackupBtn = makeButton(QStringLiteral("button_backup"), "oBackupBtn");
    m_oCaptureBtn = makeButton(QStringLiteral("button_capture"), "oCaptureBtn");
    m_oExportBtn = makeButton(QStringLiteral("button_export"), "oExportBtn");
    m_oUploadYouTubeBtn = makeButton(QStringLiteral("button_youtube"), "oUploadYouTubeBtn");
    m_oSettingBtn = makeButton(QStringLiteral("button_settings"), "oSettingBtn");
    m_oWindowSwitchBtn = makeButton(QStringLiteral("button_window_switch"), "oWindowSwitchBtn");
    m_oUploadFacebookBtn = makeButton(QStringLiteral("button_facebook"), "oUploadFacebookBtn");
    m_oWindowSwitchBtn->hide(); // shown in two-camera mode only

    connect(m_oBrowseBtn, &BitmapButton::clicked, this, &ToolbarView::onBrowseButtonPressed);
    connect(m_oPrintBtn, &BitmapButton::clicked, this, &ToolbarView::onPrintButtonPressed);
    connect(m_oBackupBtn, &BitmapButton::clicked, this, &ToolbarView::onBackupButtonPressed);
    connect(m_oCaptureBtn, &BitmapButton::clicked, this, &ToolbarView::onCaptureButtonPressed);
    connect(m_oExportBtn, &BitmapButton::clicked, this, &ToolbarView::onExportButtonPressed);
    connect(m_oUploadYouTubeBtn, &BitmapButton::clicked, this, &ToolbarView::onUploadYouTubeButtonPressed);
    connect(m_oUploadFacebookBtn, &BitmapButton::clicked, this, &ToolbarView::onUploadFacebookButtonPressed);
    connect(m_oSettingBtn, &BitmapButton::clicked, this, &ToolbarView::onSettingButtonPressed);
    connect(m_oWindowSwitchBtn, &BitmapButton::clicked, this, &ToolbarView::onWindowSwitchButtonPressed);

    changeLanguage();
    setRectPosition();
}

void ToolbarView::setSwitchButtonPositionProvider(std::function<int()> provider)
{
    m_switchPosition = std::move(provider);
}

void ToolbarView::setRectPosition()
{
    const int switchX = m_switchPosition ? m_switchPosition() : kDefaultSwitchButtonX;
    m_frames = toolbarLayout(m_bR2L, width(), height(), switchX);
    applyFrames();
}

void ToolbarView::applyFrames()
{
    const int h = height();
    m_oBrowseBtn->setGeometry(pmQtRect(m_frames.browse, h));
    m_oPrintBtn->setGeometry(pmQtRect(m_frames.print, h));
    m_oBackupBtn->setGeometry(pmQtRect(m_frames.backup, h));
    m_oCaptureBtn->setGeometry(pmQtRect(m_frames.capture, h));
    m_oExportBtn->setGeometry(pmQtRect(m_frames.exportKml, h));
    m_oUploadYouTubeBtn->setGeometry(pmQtRect(m_frames.uploadYouTube, h));
    m_oUploadFacebookBtn->setGeometry(pmQtRect(m_frames.uploadFacebook, h));
    m_oSettingBtn->setGeometry(pmQtRect(m_frames.setting, h));
    m_oWindowSwitchBtn->setGeometry(pmQtRect(m_frames.windowSwitch, h));
}

void ToolbarView::relayoutContents(bool rightToLeft)
{
    m_bR2L = rightToLeft;
    setRectPosition();
    update();
}

void ToolbarView::resizeEvent(QResizeEvent* event)
{
    m_tiledBackground = QPixmap();
    if (m_oBrowseBtn)
        setRectPosition();
    QWidget::resizeEvent(event);
}

void ToolbarView::changeLanguage()
{
    m_oBrowseBtn->setToolTip(pmLoadString(QStringLiteral("IDS_OPEN")));
    m_oPrintBtn->setToolTip(pmLoadString(QStringLiteral("IDS_TOOLTIP_PRINT")));
    m_oBackupBtn->setToolTip(pmLoadString(QStringLiteral("IDS_TOOLTIP_BACKUP")));
    m_oCaptureBtn->setToolTip(pmLoadString(QStringLiteral("IDS_CAPTURE")));
    m_oExportBtn->setToolTip(pmLoadString(QStringLiteral("IDS_EXPORT_TO_KML")));
    m_oUploadYouTubeBtn->setToolTip(pmLoadString(QStringLiteral("IDS_UPLOAD_YOUTUBE")));
    m_oUploadFacebookBtn->setToolTip(pmLoadString(QStringLiteral("IDS_UPLOAD_FACEBOOK")));
    m_oSettingBtn->setToolTip(pmLoadString(QStringLiteral("IDS_SETTINGS")));
    m_oWindowSwitchBtn->setToolTip(pmLoadString(QStringLiteral("IDS_WINDOW_SWITCH")));
}

void ToolbarView::loadSkinBitmap()
{
    backgroundImage = pmLoadSkinImage(backgroundImageName);
    m_tiledBackground = QPixmap();
    for (BitmapButton* b : {m_oBrowseBtn, m_oPrintBtn, m_oBackupBtn, m_oCaptureBtn, m_oExportBtn,
                            m_oSettingBtn, m_oUploadYouTubeBtn, m_oUploadFacebookBtn, m_oWindowSwitchBtn}) {
        b->reloadBitmaps();
        b->updateImage();
    }
    update();
}

void ToolbarView::onBrowseButtonPressed()
{
    qDebug("Browse button pressed !");
    Q_EMIT browseRequested();
}

void ToolbarView::onPrintButtonPressed()
{
    qDebug("Print button pressed !");
    Q_EMIT printRequested();
}

void ToolbarView::onBackupButtonPressed()
{
    qDebug("Backup button pressed !");
    Q_EMIT backupRequested();
}

void ToolbarView::onCaptureButtonPressed()
{
    qDebug("Capture button pressed !");
    Q_EMIT captureRequested();
}

void ToolbarView::onUploadYouTubeButtonPressed()
{
    qDebug("Upload video button pressed !");
    Q_EMIT uploadYouTubeRequested();
}

void ToolbarView::onUploadFacebookButtonPressed()
{
    qDebug("Upload social button pressed !");
    Q_EMIT uploadFacebookRequested();
}

void ToolbarView::onExportButtonPressed()
{
    qDebug("Export button pressed !");
    Q_EMIT exportRequested();
}

void ToolbarView::onWindowSwitchButtonPressed()
{
    qDebug("Window switch button pressed !");
    Q_EMIT windowSwitchRequested();
}

void ToolbarView::onSettingButtonPressed()
{
    // Built afresh on every press so that the check mark and the texts follow
    // the skin and language in force.
    if (m_settingsMenu)
        m_settingsMenu->deleteLater();
    auto* menu = new QMenu(QStringLiteral("Settings"), this);
    menu->setObjectName(QStringLiteral("settingsMenu"));
    QMenu* skins = menu->addMenu(pmLoadString(QStringLiteral("IDS_CHANGE_SKIN")));
    skins->setObjectName(QStringLiteral("skinMenu"));
    auto* group = new QActionGroup(skins);
    group->setExclusive(true);
    const int skinInForce = Skin::readId();
    for (int tag = 0; tag < 4; ++tag) {
        const QString id = QStringLiteral("IDS_SKIN_STYLE_%1").arg(tag + 1, 2, 10, QLatin1Char('0'));
        QAction* item = skins->addAction(pmLoadString(id));
        item->setData(tag);
        item->setCheckable(true);
        item->setChecked(tag == skinInForce);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, tag] { Q_EMIT skinChosen(tag); });
    }
    const int view360 = m_view360State ? m_view360State() : -1;
    QAction* item360 = menu->addAction(pmLoadString(QStringLiteral("IDS_360_VIEW")));
    item360->setObjectName(QStringLiteral("view360Item"));
    item360->setCheckable(true);
    item360->setChecked(view360 == 1);
    item360->setEnabled(view360 >= 0);
    connect(item360, &QAction::triggered, this, [this] { Q_EMIT view360Toggled(); });
    QAction* byName = menu->addAction(pmLoadString(QStringLiteral("IDS_PLACE_BY_NAME_TIME")));
    byName->setObjectName(QStringLiteral("placeByNameTimeItem"));
    byName->setCheckable(true);
    byName->setChecked(m_placeByNameTimeState && m_placeByNameTimeState());
    connect(byName, &QAction::triggered, this, [this](bool on) { Q_EMIT placeByNameTimeToggled(on); });
    QAction* clip = menu->addAction(pmLoadString(QStringLiteral("IDS_SAVE_CLIP")));
    clip->setObjectName(QStringLiteral("saveClipItem"));
    connect(clip, &QAction::triggered, this, [this] { Q_EMIT saveClipChosen(); });
    QAction* wholeTrip = menu->addAction(pmLoadString(QStringLiteral("IDS_SHOW_WHOLE_TRIP")));
    wholeTrip->setObjectName(QStringLiteral("showWholeTripItem"));
    wholeTrip->setCheckable(true);
    wholeTrip->setChecked(m_showWholeTripState && m_showWholeTripState());
    connect(wholeTrip, &QAction::triggered, this, [this](bool on) { Q_EMIT showWholeTripToggled(on); });
    QAction* harsh = menu->addAction(pmLoadString(QStringLiteral("IDS_HARSH_THRESHOLD")));
    harsh->setObjectName(QStringLiteral("harshThresholdItem"));
    connect(harsh, &QAction::triggered, this, [this] { Q_EMIT harshThresholdChosen(); });
    const int attached = m_attachedTrackState ? m_attachedTrackState() : -1;
    QAction* attach = menu->addAction(pmLoadString(QStringLiteral("IDS_ATTACH_TRACK")));
    attach->setObjectName(QStringLiteral("attachTrackItem"));
    attach->setEnabled(attached >= 0);
    connect(attach, &QAction::triggered, this, [this] { Q_EMIT attachTrackChosen(); });
    QAction* detach = menu->addAction(pmLoadString(QStringLiteral("IDS_REMOVE_TRACK")));
    detach->setObjectName(QStringLiteral("removeTrackItem"));
    detach->setEnabled(attached == 1);
    connect(detach, &QAction::triggered, this, [this] { Q_EMIT removeTrackChosen(); });
    const int clockState = m_cameraClockState ? m_cameraClockState() : -1;
    QAction* clock = menu->addAction(pmLoadString(QStringLiteral("IDS_CORRECT_CAMERA_CLOCK")));
    clock->setObjectName(QStringLiteral("cameraClockItem"));
    clock->setCheckable(true);
    clock->setChecked(clockState == 1);
    clock->setEnabled(clockState >= 0);
    clock->setToolTip(m_cameraClockToolTip ? m_cameraClockToolTip() : QString());
    menu->setToolTipsVisible(true);
    connect(clock, &QAction::triggered, this, [this](bool on) { Q_EMIT cameraClockToggled(on); });
    addLanguageAndUnitMenus(menu);
    QAction* about = menu->addAction(pmLoadString(QStringLiteral("IDS_ABOUT")));
    about->setObjectName(QStringLiteral("aboutItem"));
    connect(about, &QAction::triggered, this, [this] { Q_EMIT aboutChosen(); });
    m_settingsMenu = menu;
    menu->popup(m_oSettingBtn->mapToGlobal(QPoint(0, kToolButtonHeight)));
}

void ToolbarView::addLanguageAndUnitMenus(QMenu* menu)
{
    // Each language is named in itself, so a reader finds theirs whatever the
    // window speaks now. Only languages with a complete table are offered.
    QMenu* languages = menu->addMenu(pmLoadString(QStringLiteral("IDS_LANGUAGE")));
    languages->setObjectName(QStringLiteral("languageMenu"));
    auto* languageGroup = new QActionGroup(languages);
    const int inForce = pmGetLanguageId();
    for (int id : language::idsWithTable()) {
        const int tag = language::menuTagOfId(id);
        QAction* item = languages->addAction(QString::fromStdString(language::nativeName(id)));
        item->setObjectName(QStringLiteral("languageItem%1").arg(id));
        item->setData(tag);
        item->setCheckable(true);
        item->setChecked(id == inForce);
        languageGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, tag] { Q_EMIT languageChosen(tag); });
    }
    // The map's info bar has the same choice; here it is at hand while no map is shown.
    QMenu* units = menu->addMenu(pmLoadString(QStringLiteral("IDS_SPEED_UNIT")));
    units->setObjectName(QStringLiteral("speedUnitSettingsMenu"));
    auto* unitGroup = new QActionGroup(units);
    const int unitInForce = pmReadSetting(SettingsKeys::speedUnit);
    for (int unit = 0; unit < 2; ++unit) {
        QAction* item = units->addAction(unit == 1 ? QStringLiteral("mph") : QStringLiteral("km/h"));
        item->setObjectName(QStringLiteral("speedUnitItem%1").arg(unit));
        item->setCheckable(true);
        item->setChecked(unit == unitInForce);
        unitGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, unit] { Q_EMIT speedUnitChosen(unit); });
    }
}

void ToolbarView::setView360StateProvider(std::function<int()> provider)
{
    m_view360State = std::move(provider);
}

void ToolbarView::setPlaceByNameTimeStateProvider(std::function<bool()> provider)
{
    m_placeByNameTimeState = std::move(provider);
}

void ToolbarView::setCameraClockStateProvider(std::function<int()> state, std::function<QString()> toolTip)
{
    m_cameraClockState = std::move(state);
    m_cameraClockToolTip = std::move(toolTip);
}

void ToolbarView::setAttachedTrackStateProvider(std::function<int()> provider)
{
    m_attachedTrackState = std::move(provider);
}

void ToolbarView::setShowWholeTripStateProvider(std::function<bool()> provider)
{
    m_showWholeTripState = std::move(provider);
}

QMenu* ToolbarView::settingsMenu() const
{
    return m_settingsMenu.data();
}

void ToolbarView::paintEvent(QPaintEvent*)
{
    nBackgroundWidth = width();
    nBackgroundHeight = height();
    if (backgroundImage.isNull() || backgroundImage.width() <= 0)
        return;
    if (m_tiledBackground.isNull() || m_tiledBackground.width() < nBackgroundWidth) {
        const int copies = nBackgroundWidth / backgroundImage.width() + 1;
        m_tiledBackground = QPixmap(copies * backgroundImage.width(), backgroundImage.height());
        m_tiledBackground.fill(Qt::transparent);
        QPainter tiler(&m_tiledBackground);
        tiler.setCompositionMode(QPainter::CompositionMode_Source);
        for (int i = 0; i < copies; ++i)
            tiler.drawPixmap(i * backgroundImage.width(), 0, backgroundImage);
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(0, nBackgroundHeight - m_tiledBackground.height(), m_tiledBackground);
}
